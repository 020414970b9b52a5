// Event sources: registering, reporting and deregistering.
#include <cstring>

#include "codepage.h"
#include "eventlog_store.h"
#include "qvsim/eventlog_control.h"

using namespace qvsim::detail;

namespace {

// What Windows Vista and later take in one event: strings of at most 31,839 characters
// (RPC_S_INVALID_BOUND beyond), at most 256 of them and 61,440 bytes of raw data
// (ERROR_INVALID_PARAMETER beyond).
constexpr size_t kMaxStringChars = 31839;
constexpr WORD kMaxStrings = 256;
constexpr DWORD kMaxDataBytes = 61440;

// The longest string this Windows takes; lower on the Windows releases that refuse
// somewhat shorter strings already.
size_t string_limit = kMaxStringChars;
[[maybe_unused]] const bool registered = on_reset([] { string_limit = kMaxStringChars; });

// The length of a SID from its sub-authority count; 0 for something that is not one.
size_t sid_length(PSID sid) {
  const uint8_t* bytes = static_cast<const uint8_t*>(sid);
  if (bytes[0] != 1 || bytes[1] > 15) return 0;
  return 8 + 4 * static_cast<size_t>(bytes[1]);
}

// The event types there are; Windows 7 and later refuse any other with ERROR_CRC.
bool known_type(WORD type) {
  switch (type) {
    case EVENTLOG_SUCCESS:
    case EVENTLOG_ERROR_TYPE:
    case EVENTLOG_WARNING_TYPE:
    case EVENTLOG_INFORMATION_TYPE:
    case EVENTLOG_AUDIT_SUCCESS:
    case EVENTLOG_AUDIT_FAILURE:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
  QVSIM_SERVICE(HANDLE{});
  if (!is_local_server(lpUNCServerName)) return fail(RPC_S_SERVER_UNAVAILABLE, HANDLE{});
  if (lpSourceName == nullptr || *lpSourceName == '\0')
    return fail(ERROR_INVALID_PARAMETER, HANDLE{});
  EventLogHandle entry;
  entry.log = log_for_name(lpSourceName).name;
  entry.source = lpSourceName;
  return add_handle(std::move(entry));
}

extern "C" BOOL WINAPI DeregisterEventSource(HANDLE hEventLog) {
  QVSIM_SERVICE(FALSE);
  if (!remove_handle(hEventLog)) return fail(ERROR_INVALID_HANDLE, FALSE);
  return TRUE;
}

extern "C" BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID,
                                    PSID lpUserSid, WORD wNumStrings, DWORD dwDataSize,
                                    LPCSTR* lpStrings, LPVOID lpRawData) {
  QVSIM_SERVICE(FALSE);
  if ((wNumStrings > 0 && lpStrings == nullptr) || (dwDataSize > 0 && lpRawData == nullptr))
    return fail(ERROR_INVALID_PARAMETER, FALSE);
  for (WORD i = 0; i < wNumStrings; ++i) {
    if (lpStrings[i] == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  size_t sid_size = lpUserSid == nullptr ? 0 : sid_length(lpUserSid);
  if (lpUserSid != nullptr && sid_size == 0) return fail(ERROR_INVALID_PARAMETER, FALSE);

  // Any handle of a live log writes there; a backup file takes no events.
  EventLogHandle* source = find_handle(hEventLog);
  if (source == nullptr || source->backup != nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  Log* log = find_log(source->log);
  if (log == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  if (!known_type(wType)) return fail(ERROR_CRC, FALSE);
  if (wNumStrings > kMaxStrings || dwDataSize > kMaxDataBytes)
    return fail(ERROR_INVALID_PARAMETER, FALSE);
  std::vector<std::u16string> strings;
  for (WORD i = 0; i < wNumStrings; ++i) {
    strings.push_back(ansi_to_utf16(lpStrings[i]));
    if (strings.back().size() > string_limit) return fail(RPC_S_INVALID_BOUND, FALSE);
  }

  Record record;
  record.time_generated = record.time_written = qvsim::now();
  record.event_id = dwEventID;
  record.event_type = wType;
  record.category = wCategory;
  record.source = source->source;
  record.computer = settings().computer;
  const uint8_t* sid = static_cast<const uint8_t*>(lpUserSid);
  if (sid != nullptr) record.sid.assign(sid, sid + sid_size);
  record.strings = std::move(strings);
  const uint8_t* data = static_cast<const uint8_t*>(lpRawData);
  if (dwDataSize > 0) record.data.assign(data, data + dwDataSize);
  append_record(*log, std::move(record));
  return TRUE;
}

void qvsim::set_report_string_limit(uint32_t chars) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  string_limit = chars < kMaxStringChars ? chars : kMaxStringChars;
}
