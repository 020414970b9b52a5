// Event sources: registering, reporting and deregistering.
#include <cstring>

#include "codepage.h"
#include "eventlog_store.h"

using namespace qvsim::detail;

namespace {

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

  Record record;
  record.time_generated = record.time_written = qvsim::now();
  record.event_id = dwEventID;
  record.event_type = wType;
  record.category = wCategory;
  record.source = source->source;
  record.computer = settings().computer;
  const uint8_t* sid = static_cast<const uint8_t*>(lpUserSid);
  if (sid != nullptr) record.sid.assign(sid, sid + sid_size);
  for (WORD i = 0; i < wNumStrings; ++i) record.strings.push_back(ansi_to_utf16(lpStrings[i]));
  const uint8_t* data = static_cast<const uint8_t*>(lpRawData);
  if (dwDataSize > 0) record.data.assign(data, data + dwDataSize);
  append_record(*log, std::move(record));
  return TRUE;
}
