// Log handles: opening live logs and backup files, reading, counting, backing up, clearing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "eventlog_store.h"
#include "host_files.h"

using namespace qvsim::detail;

namespace {

constexpr DWORD kMaxReadBuffer = 0x7FFFF;  // the largest buffer ReadEventLog accepts

struct ReadStats {
  uint32_t calls = 0;
  uint32_t last_size = 0;
  int fail_skip = -1;  // the read that fails: this many calls from now
  DWORD fail_error = 0;
};

ReadStats& stats() {
  static ReadStats s;
  return s;
}

[[maybe_unused]] const bool registered = on_reset([] { stats() = ReadStats{}; });

// The records a read handle reads: a live log's or a backup file's.
class Records {
 public:
  explicit Records(Log* live) : live_(live) {}
  explicit Records(BackupLog* backup) : backup_(backup) {}

  size_t count() const { return live_ ? live_->records.size() : backup_->contents.records.size(); }
  uint32_t number(size_t i) const {
    return live_ ? live_->records[i].number : backup_->contents.records[i].number;
  }
  // Record i as ReadEventLogA delivers it, made in the handle's room for it.
  const std::vector<uint8_t>& ansi(EventLogHandle& h, size_t i) {
    uint32_t n = number(i);
    if (h.made_index == i && h.made_number == n && !h.made.empty()) return h.made;
    if (live_) {
      const Record& r = live_->records[i];
      ansi_record(r.evt.data(), r.evt.size(), h.made);
    } else {
      const EvtContents::Slot& slot = backup_->contents.records[i];
      ansi_record(backup_->contents.bytes.data() + slot.offset, slot.length, h.made);
    }
    h.made_index = i;
    h.made_number = n;
    return h.made;
  }
  // Records are numbered in order, mostly without gaps: try the place the number would
  // have, then look.
  bool index_of(uint32_t wanted, size_t* index) const {
    size_t n = count();
    if (n == 0) return false;
    uint32_t first = number(0);
    if (wanted >= first && wanted - first < n && number(wanted - first) == wanted) {
      *index = wanted - first;
      return true;
    }
    for (size_t i = 0; i < n; ++i) {
      if (number(i) == wanted) {
        *index = i;
        return true;
      }
    }
    return false;
  }

 private:
  Log* live_ = nullptr;
  BackupLog* backup_ = nullptr;
};

// The handle's records: a backup file's, or its live log's.
bool records_of(EventLogHandle* h, Log** live, BackupLog** backup) {
  if (h == nullptr) return false;
  if (h->backup != nullptr) {
    *backup = h->backup.get();
    return true;
  }
  *live = find_log(h->log);
  return *live != nullptr;
}

// The handle's log as a file: a live log's records as written now; a backup file's bytes
// as they were opened, written from where they are held.
DWORD backup_to(EventLogHandle* h, const char* path) {
  if (h->backup != nullptr) {
    const EvtContents& contents = h->backup->contents;
    return write_new_file(path, contents.bytes.data(), contents.file_size);
  }
  Log* log = find_log(h->log);
  if (log == nullptr) return ERROR_INVALID_HANDLE;
  std::vector<const std::vector<uint8_t>*> records;
  records.reserve(log->records.size());
  for (const Record& r : log->records) records.push_back(&r.evt);
  uint32_t oldest = log->records.empty() ? 0 : log->records.front().number;
  std::vector<uint8_t> bytes = write_evt(records, log->next_number, oldest);
  return write_new_file(path, bytes.data(), bytes.size());
}

}  // namespace

extern "C" HANDLE WINAPI OpenEventLogA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
  QVSIM_SERVICE(HANDLE{});
  if (lpSourceName == nullptr) return fail(ERROR_INVALID_PARAMETER, HANDLE{});
  if (!is_local_server(lpUNCServerName)) return fail(RPC_S_SERVER_UNAVAILABLE, HANDLE{});
  EventLogHandle entry;
  entry.log = log_for_name(lpSourceName).name;
  entry.source = lpSourceName;
  return add_handle(std::move(entry));
}

extern "C" HANDLE WINAPI OpenBackupEventLogA(LPCSTR lpUNCServerName, LPCSTR lpFileName) {
  QVSIM_SERVICE(HANDLE{});
  if (lpFileName == nullptr) return fail(ERROR_INVALID_PARAMETER, HANDLE{});
  if (!is_local_server(lpUNCServerName)) return fail(RPC_S_SERVER_UNAVAILABLE, HANDLE{});
  OpenFile file;
  DWORD error = open_regular_file(lpFileName, &file);
  if (error != ERROR_SUCCESS) return fail(error, HANDLE{});
  try {
    auto backup = std::make_shared<BackupLog>();
    error = read_evt(file.fd, file.size, &backup->contents);
    if (error != ERROR_SUCCESS) return fail(error, HANDLE{});
    EventLogHandle entry;
    entry.backup = std::move(backup);
    return add_handle(std::move(entry));
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, HANDLE{});
  }
}

extern "C" BOOL WINAPI CloseEventLog(HANDLE hEventLog) {
  QVSIM_SERVICE(FALSE);
  if (!remove_handle(hEventLog)) return fail(ERROR_INVALID_HANDLE, FALSE);
  return TRUE;
}

extern "C" BOOL WINAPI GetNumberOfEventLogRecords(HANDLE hEventLog, PDWORD NumberOfRecords) {
  QVSIM_SERVICE(FALSE);
  if (NumberOfRecords == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
  Log* live = nullptr;
  BackupLog* backup = nullptr;
  if (!records_of(find_handle(hEventLog), &live, &backup)) return fail(ERROR_INVALID_HANDLE, FALSE);
  *NumberOfRecords = static_cast<DWORD>(live ? Records(live).count() : Records(backup).count());
  return TRUE;
}

extern "C" BOOL WINAPI GetOldestEventLogRecord(HANDLE hEventLog, PDWORD OldestRecord) {
  QVSIM_SERVICE(FALSE);
  if (OldestRecord == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
  Log* live = nullptr;
  BackupLog* backup = nullptr;
  if (!records_of(find_handle(hEventLog), &live, &backup)) return fail(ERROR_INVALID_HANDLE, FALSE);
  Records records = live ? Records(live) : Records(backup);
  *OldestRecord = records.count() == 0 ? 0 : records.number(0);
  return TRUE;
}

extern "C" BOOL WINAPI BackupEventLogA(HANDLE hEventLog, LPCSTR lpBackupFileName) {
  QVSIM_SERVICE(FALSE);
  if (lpBackupFileName == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
  EventLogHandle* h = find_handle(hEventLog);
  if (h == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  DWORD error = backup_to(h, lpBackupFileName);
  if (error != ERROR_SUCCESS) return fail(error, FALSE);
  return TRUE;
}

extern "C" BOOL WINAPI ClearEventLogA(HANDLE hEventLog, LPCSTR lpBackupFileName) {
  QVSIM_SERVICE(FALSE);
  // A backup file cannot be cleared: only handles of live logs qualify.
  EventLogHandle* h = find_handle(hEventLog);
  if (h == nullptr || h->backup != nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  Log* log = find_log(h->log);
  if (log == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  if (!settings().admin) return fail(ERROR_ACCESS_DENIED, FALSE);
  if (lpBackupFileName != nullptr) {
    DWORD error = backup_to(h, lpBackupFileName);
    if (error != ERROR_SUCCESS) return fail(error, FALSE);
  }
  clear_log(*log);
  return TRUE;
}

extern "C" BOOL WINAPI ReadEventLogA(HANDLE hEventLog, DWORD dwReadFlags, DWORD dwRecordOffset,
                                     LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                     DWORD* pnBytesRead, DWORD* pnMinNumberOfBytesNeeded) {
  // The read statistics count every call, a faulted one too.
  std::lock_guard<std::recursive_mutex> stats_guard(lock());
  ReadStats& st = stats();
  ++st.calls;
  st.last_size = nNumberOfBytesToRead;
  bool injected = st.fail_skip == 0;
  if (st.fail_skip >= 0) --st.fail_skip;
  QVSIM_SERVICE(FALSE);

  if (pnBytesRead == nullptr || pnMinNumberOfBytesNeeded == nullptr)
    return fail(ERROR_INVALID_PARAMETER, FALSE);
  BOOL given = FALSE;
  if (given_reads_queued > 0 && take_given_read(lpBuffer, nNumberOfBytesToRead, pnBytesRead,
                                                pnMinNumberOfBytesNeeded, &given))
    return given;
  *pnBytesRead = 0;
  *pnMinNumberOfBytesNeeded = 0;
  bool sequential = (dwReadFlags & EVENTLOG_SEQUENTIAL_READ) != 0;
  bool seek = (dwReadFlags & EVENTLOG_SEEK_READ) != 0;
  bool forwards = (dwReadFlags & EVENTLOG_FORWARDS_READ) != 0;
  bool backwards = (dwReadFlags & EVENTLOG_BACKWARDS_READ) != 0;
  if (sequential == seek || forwards == backwards) return fail(ERROR_INVALID_PARAMETER, FALSE);
  if (nNumberOfBytesToRead > kMaxReadBuffer || lpBuffer == nullptr)
    return fail(ERROR_INVALID_PARAMETER, FALSE);

  EventLogHandle* h = find_handle(hEventLog);
  Log* live = nullptr;
  BackupLog* backup = nullptr;
  if (!records_of(h, &live, &backup)) return fail(ERROR_INVALID_HANDLE, FALSE);
  // A handle that saw its log cleared reads nothing more; it has to be opened again.
  if (h->log_changed) return fail(ERROR_EVENTLOG_FILE_CHANGED, FALSE);
  Records records = live ? Records(live) : Records(backup);
  size_t count = records.count();

  // The first record to deliver.
  size_t index = 0;
  bool at_end = false;
  if (seek) {
    if (!records.index_of(dwRecordOffset, &index)) return fail(ERROR_INVALID_PARAMETER, FALSE);
  } else if (count == 0) {
    at_end = true;
  } else if (!h->positioned) {
    index = forwards ? 0 : count - 1;
  } else {
    // Where the record read last is now: at the same place unless older records have
    // been overwritten since. The position lies after it when that read went forwards,
    // before it when it went backwards: a read that turns round delivers it again.
    size_t last = h->last_index;
    bool found = last < count && records.number(last) == h->last_read;
    if (found || records.index_of(h->last_read, &last)) {
      if (forwards) {
        index = h->last_forwards ? last + 1 : last;
        at_end = index >= count;
      } else {
        index = h->last_forwards ? last : last - 1;
        at_end = !h->last_forwards && last == 0;
      }
    } else if (h->last_read < records.number(0)) {
      // The record read last has been overwritten since: forwards goes on with the oldest
      // record left, backwards has nothing older.
      at_end = backwards;
      index = 0;
    } else {
      at_end = true;
    }
  }
  if (injected) {
    if (st.fail_error == ERROR_INSUFFICIENT_BUFFER && !at_end)
      *pnMinNumberOfBytesNeeded = static_cast<DWORD>(records.ansi(*h, index).size());
    return fail(st.fail_error, FALSE);
  }
  if (at_end) return fail(ERROR_HANDLE_EOF, FALSE);

  // As many whole records as fit.
  uint8_t* out = static_cast<uint8_t*>(lpBuffer);
  size_t used = 0;
  uint32_t last_number = 0;
  size_t last_index = 0;
  for (;;) {
    const std::vector<uint8_t>& rec = records.ansi(*h, index);
    if (rec.empty()) return fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    if (rec.size() > nNumberOfBytesToRead - used) {
      if (used == 0) {
        *pnMinNumberOfBytesNeeded = static_cast<DWORD>(rec.size());
        return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
      }
      break;
    }
    std::memcpy(out + used, rec.data(), rec.size());
    used += rec.size();
    last_number = records.number(index);
    last_index = index;
    if (forwards ? index + 1 >= count : index == 0) break;
    index = forwards ? index + 1 : index - 1;
  }
  h->positioned = true;
  h->last_forwards = forwards;
  h->last_read = last_number;
  h->last_index = last_index;
  *pnBytesRead = static_cast<DWORD>(used);
  return TRUE;
}

namespace qvsim {

uint32_t read_calls() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  return stats().calls;
}

uint32_t last_read_buffer_size() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  return stats().last_size;
}

void fail_read_call(int skip, uint32_t error) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  stats().fail_skip = skip;
  stats().fail_error = error;
}

}  // namespace qvsim
