// The simulated event-log service's state: the live logs and the open handles.
// Call everything here with lock() held.
#ifndef QUORVEL_SIM_EVENTLOG_STORE_H
#define QUORVEL_SIM_EVENTLOG_STORE_H

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include <vector>

#include "evt_file.h"
#include "qvsim/control.h"
#include "sim_state.h"

namespace qvsim::detail {

// The classic event log's default maximum size.
constexpr uint32_t kDefaultMaxLogSize = 512 * 1024;

struct Record : RecordView {
  std::vector<uint8_t> evt;  // the record in the .evt layout; its size is what it costs
};

struct Log {
  std::string name;
  std::deque<Record> records;  // oldest first, numbered without gaps
  uint32_t next_number = 1;
  uint32_t max_size = kDefaultMaxLogSize;
  size_t size = 0;  // of all records in the .evt layout
};

// A backup file as opened: its bytes as read, and its records.
struct BackupLog {
  EvtContents contents;
};

enum class HandleKind { kSource, kLiveLog, kBackupLog };

struct EventLogHandle {
  HandleKind kind = HandleKind::kSource;
  std::string log;                    // the live log a source writes to or a live handle reads
  std::string source;                 // the source name of an event source
  std::shared_ptr<BackupLog> backup;  // a backup handle's file
  // The sequential read position: the number of the record read last.
  bool positioned = false;
  uint32_t last_read = 0;
  size_t last_index = 0;     // where it was then
  bool log_changed = false;  // the log was cleared since the handle was opened
  // The record last made for ReadEventLogA, kept for the read that follows a 122.
  std::vector<uint8_t> made;
  size_t made_index = SIZE_MAX;
  uint32_t made_number = 0;
};

// The live log of that name (case-insensitive), or null when the service has none.
Log* find_log(const std::string& name);

// Appends a record under the log's next number, overwriting the oldest records when the
// log would outgrow its maximum size.
void append_record(Log& log, Record record);

// Empties the log; numbering starts again at 1, and the log's open read handles learn
// that it changed.
void clear_log(Log& log);

// A new handle for the entry; its value as Windows returns it.
HANDLE add_handle(EventLogHandle entry);
// The open handle of that value and one of the kinds given, or null.
EventLogHandle* find_handle(HANDLE handle, HandleKind kind);
bool remove_handle(HANDLE handle, HandleKind kind);

// The log whose key holds the source's key in the registry; "Application" when none does.
std::string log_of_source(const std::string& source);

// Answers a ReadEventLogA call with the bytes queued by deliver_next_read: true, with the
// call's result in *result, when one was queued. given_reads_queued counts them, so that
// a read without any looks no further.
extern size_t given_reads_queued;
bool take_given_read(LPVOID buffer, DWORD size, DWORD* read, DWORD* needed, BOOL* result);

}  // namespace qvsim::detail

#endif
