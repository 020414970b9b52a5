// The event source's registry key, under the Application log or a log of the caller's
// choosing: created with the message file and the event types the source writes, tested
// for and deleted. The registry's own code is the outcome; nothing is left as the thread's
// last error, except ERROR_FILENAME_EXCED_RANGE for a name too long to be passed on at all,
// ERROR_NO_UNICODE_TRANSLATION for one that cannot be converted, and ERROR_INVALID_NAME for
// a log name refused.
#include "host/exports.h"
#include "host/frame.h"
#include "writing/event_log_key.h"

namespace {

// Error, warning and information events.
constexpr DWORD kTypesSupported =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// The result of a refused name that tells why: the thread's last error, which the refusal
// set.
constexpr LONG kTheReason = 0;

LONG refusal(LONG result) {
  return result != kTheReason ? result : static_cast<LONG>(GetLastError());
}

// The source named by parameter 1. Without a source name the call is refused: the result
// is set to ERR_MISSING_FIRST and false is returned. A name too long, or one that cannot be
// converted, reaches no registry call either: the result is set to `too_long`.
bool source_or_refuse(XppParamList pl, char (&source)[MAX_NAME_BYTES], LONG too_long) {
  ULONG count = qv::fetch_name(pl, 1, source);
  if (count != 0 && count != qv::kNameTooLong) return true;
  _retnl(pl, count == 0 ? ERR_MISSING_FIRST : refusal(too_long));
  return false;
}

// The log named by parameter `index`: Application when it is absent, empty or not a
// character value. A name no log may have for that use refuses the call: the result is
// set to `refused`, the thread's last error to ERROR_INVALID_NAME (or the conversion's
// error for a name that cannot be converted), and false is returned.
bool log_or_refuse(XppParamList pl, ULONG index, qv::LogUse use, char (&log)[MAX_NAME_BYTES],
                   LONG refused) {
  ULONG count = qv::fetch_name(pl, index, log);
  if (count == 0) {
    memcpy(log, "Application", sizeof "Application");
    return true;
  }
  if (count != qv::kNameTooLong && qv::log_name_allowed(log, count, use)) return true;
  if (count != qv::kNameTooLong || GetLastError() != ERROR_NO_UNICODE_TRANSLATION)
    SetLastError(ERROR_INVALID_NAME);
  _retnl(pl, refusal(refused));
  return false;
}

// Creates or opens the source's key under the log and writes its two values. A key that
// exists keeps its kind; a key or log key this call made is not left behind when the call
// fails. Returns the registry's code.
LSTATUS make_source_key(HKEY logs, const char* log, const char* source, DWORD options,
                        const char* message_file, ULONG message_file_chars) {
  if (LSTATUS taken = qv::check_name_free(logs, log, source)) return taken;
  HKEY log_key = nullptr;
  bool log_created = false;
  if (LSTATUS opened = qv::open_log_key(logs, log, source, options, &log_key, &log_created))
    return opened;

  char no_class[1] = "";
  HKEY key = nullptr;
  DWORD disposition = 0;
  LSTATUS written = RegCreateKeyExA(log_key, source, 0, no_class, options, KEY_ALL_ACCESS, nullptr,
                                    &key, &disposition);
  if (written == ERROR_SUCCESS) {
    // Both values are written; a key without them renders no message, so the first failed
    // write is the outcome.
    DWORD types = kTypesSupported;
    written = RegSetValueExA(key, "TypesSupported", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&types), sizeof types);
    LSTATUS file_written =
        RegSetValueExA(key, "EventMessageFile", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(message_file), message_file_chars + 1);
    if (written == ERROR_SUCCESS) written = file_written;
    RegCloseKey(key);
    if (written != ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY)
      RegDeleteKeyA(log_key, source);
  }
  // A new log lists its first source already.
  if (written == ERROR_SUCCESS && !log_created) qv::list_source(log_key, source);
  RegCloseKey(log_key);
  if (written != ERROR_SUCCESS && log_created) RegDeleteKeyA(logs, log);
  return written;
}

}  // namespace

QV_EXPORT QVCREATEEVENTKEY(XppParamList pl) {
  char source[MAX_NAME_BYTES];
  if (!source_or_refuse(pl, source, kTheReason)) return;
  char message_file[MAX_NAME_BYTES];
  ULONG message_file_chars = qv::fetch_name(pl, 2, message_file);
  if (message_file_chars == 0 || message_file_chars == qv::kNameTooLong) {
    _retnl(pl, message_file_chars == 0 ? ERR_MISSING_SECOND : refusal(kTheReason));
    return;
  }
  // The key is volatile, gone at the next restart, unless the caller asks with .T. for one
  // that lasts. A key that exists already keeps the kind it has; a log key this call
  // creates takes the kind of its source.
  bool permanent = qv::is_logical(_partype(pl, 3)) && _parl(pl, 3) != 0;
  DWORD options = permanent ? REG_OPTION_NON_VOLATILE : REG_OPTION_VOLATILE;
  char log[MAX_NAME_BYTES];
  if (!log_or_refuse(pl, 4, qv::LogUse::kChange, log, kTheReason)) return;
  // The EventLog key, to list the logs and make the new one below; reading it takes no
  // rights.
  char no_class[1] = "";
  HKEY logs = nullptr;
  LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, EVENT_LOG_KEY, 0, no_class,
                                   REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &logs, nullptr);
  if (status == ERROR_SUCCESS) {
    status = make_source_key(logs, log, source, options, message_file, message_file_chars);
    RegCloseKey(logs);
  }
  _retnl(pl, status);
}

// Removes the source's key only: the log stays, with its other sources, even when this
// was its last.
QV_EXPORT QVDELEVENTKEY(XppParamList pl) {
  char source[MAX_NAME_BYTES];
  if (!source_or_refuse(pl, source, ERR_KEY_FAILED)) return;
  char log[MAX_NAME_BYTES];
  if (!log_or_refuse(pl, 2, qv::LogUse::kChange, log, ERR_KEY_FAILED)) return;
  HKEY log_key = nullptr;
  if (qv::open_event_log_key(log, nullptr, KEY_QUERY_VALUE | KEY_SET_VALUE, &log_key) !=
      ERROR_SUCCESS) {
    _retnl(pl, ERR_KEY_FAILED);
    return;
  }
  LSTATUS deleted = RegDeleteKeyA(log_key, source);
  if (deleted == ERROR_SUCCESS) qv::unlist_source(log_key, source);
  RegCloseKey(log_key);
  _retnl(pl, deleted == ERROR_SUCCESS ? 0 : ERR_KEY_FAILED);
}

QV_EXPORT QVCHECKEVENTKEY(XppParamList pl) {
  char source[MAX_NAME_BYTES];
  if (!source_or_refuse(pl, source, ERR_KEY_FAILED)) return;
  char log[MAX_NAME_BYTES];
  if (!log_or_refuse(pl, 2, qv::LogUse::kLookUp, log, ERR_KEY_FAILED)) return;
  HKEY key = nullptr;
  if (qv::open_event_log_key(log, source, KEY_READ, &key) != ERROR_SUCCESS) {
    _retnl(pl, ERR_KEY_FAILED);
    return;
  }
  RegCloseKey(key);
  _retnl(pl, 0);
}
