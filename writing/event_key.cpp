// The event source's registry key, under the Application log or a log of the caller's
// choosing: created with the message file, the event types the source writes and, when
// given, its category and parameter message files, tested for and deleted. The registry's
// own code is the outcome; nothing is left as the thread's last error, except
// ERROR_FILENAME_EXCED_RANGE for a name or path too long to be passed on at all,
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

// The files a source's key names: its messages, and, when given, its categories (with
// their count) and its parameter messages. Each path holds at most MAX_NAME_BYTES - 1
// characters; an empty one is not given.
struct KeyFiles {
  char message[MAX_NAME_BYTES];
  char category[MAX_NAME_BYTES];
  char parameter[MAX_NAME_BYTES];
  DWORD category_count;
};

// A path naming a file: REG_EXPAND_SZ when it holds an environment variable (%SystemRoot%),
// which the Event Viewer expands only in a value of that type, else REG_SZ.
LSTATUS set_file_value(HKEY key, const char* name, const char* path) {
  const DWORD type = strchr(path, '%') != nullptr ? REG_EXPAND_SZ : REG_SZ;
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(path),
                        static_cast<DWORD>(strlen(path) + 1));
}

LSTATUS set_number_value(HKEY key, const char* name, DWORD number) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                        sizeof number);
}

// Keeps the first failure of a series of writes.
void note(LSTATUS* first, LSTATUS written) {
  if (*first == ERROR_SUCCESS) *first = written;
}

// Writes the source's values, each one even after another failed; the first failure is
// the outcome. A key without them renders no message.
LSTATUS write_source_values(HKEY key, const KeyFiles& files) {
  LSTATUS status = ERROR_SUCCESS;
  note(&status, set_number_value(key, "TypesSupported", kTypesSupported));
  note(&status, set_file_value(key, "EventMessageFile", files.message));
  if (files.category[0] != '\0') {
    note(&status, set_file_value(key, "CategoryMessageFile", files.category));
    note(&status, set_number_value(key, "CategoryCount", files.category_count));
  }
  if (files.parameter[0] != '\0')
    note(&status, set_file_value(key, "ParameterMessageFile", files.parameter));
  return status;
}

// Creates or opens the source's key under the log and writes its values. A key that
// exists keeps its kind; a key or log key this call made is not left behind when the call
// fails. Returns the registry's code.
LSTATUS make_source_key(HKEY logs, const char* log, const char* source, DWORD options,
                        const KeyFiles& files) {
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
    written = write_source_values(key, files);
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

// The category file and count (parameters 5 and 6) and the parameter file (7). Both of
// the first two or neither: a count without a file or a file without a count, or a count
// outside 1 to 65535 (the categories a 16-bit number names), refuses the call with
// ERR_MISSING_TEXT; a path too long, or one that cannot be converted, with the reason
// (ERROR_FILENAME_EXCED_RANGE, ERROR_NO_UNICODE_TRANSLATION). False when refused,
// with the result set.
bool optional_files_or_refuse(XppParamList pl, KeyFiles* files) {
  const ULONG category_chars = qv::fetch_name(pl, 5, files->category);
  if (category_chars == qv::kNameTooLong) {
    _retnl(pl, refusal(kTheReason));
    return false;
  }
  const ULONG count_type = _partype(pl, 6);
  const bool count_given = qv::has_value(count_type);
  const LONG count = _parnl(pl, 6);
  if (count_given != (category_chars > 0) ||
      (count_given &&
       (!qv::has_base_type(count_type, XPP_NUMERIC) || count < 1 || count > 0xFFFF))) {
    _retnl(pl, ERR_MISSING_TEXT);
    return false;
  }
  files->category_count = static_cast<DWORD>(count);
  if (qv::fetch_name(pl, 7, files->parameter) == qv::kNameTooLong) {
    _retnl(pl, refusal(kTheReason));
    return false;
  }
  return true;
}

}  // namespace

QV_EXPORT QVCREATEEVENTKEY(XppParamList pl) {
  char source[MAX_NAME_BYTES];
  if (!source_or_refuse(pl, source, kTheReason)) return;
  KeyFiles files;
  ULONG message_file_chars = qv::fetch_name(pl, 2, files.message);
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
  if (!optional_files_or_refuse(pl, &files)) return;
  // The EventLog key, to list the logs and make the new one below; reading it takes no
  // rights.
  char no_class[1] = "";
  HKEY logs = nullptr;
  LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, EVENT_LOG_KEY, 0, no_class,
                                   REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &logs, nullptr);
  if (status == ERROR_SUCCESS) {
    status = make_source_key(logs, log, source, options, files);
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
