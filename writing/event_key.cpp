// The event source's registry key: created with the message file and the event types the
// source writes, tested for and deleted. The registry's own code is the outcome; nothing
// is left as the thread's last error, except ERROR_FILENAME_EXCED_RANGE for a name too long
// to be passed on at all.
#include "host/exports.h"
#include "host/frame.h"

namespace {

#define EVENT_SOURCE_KEY_PREFIX "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\"
constexpr size_t kKeyPrefixChars = sizeof EVENT_SOURCE_KEY_PREFIX - 1;
static_assert(kKeyPrefixChars == 55);

// Room for the prefix and any name a fetch can give (259 characters and the terminator):
// the whole name always reaches the registry, whose own limits decide about it.
constexpr size_t kKeyPathBytes = kKeyPrefixChars + MAX_NAME_BYTES;

// Error, warning and information events.
constexpr DWORD kTypesSupported =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// The key path of the source named by parameter 1. Without a source name the call is
// refused: the result is set to ERR_MISSING_FIRST and false is returned. A name too long
// reaches no registry call either: the result is set to `too_long`.
bool key_path_or_refuse(XppParamList pl, char (&path)[kKeyPathBytes], LONG too_long) {
  char source[MAX_NAME_BYTES];
  ULONG count = qv::fetch_name(pl, 1, source);
  if (count == 0 || count == qv::kNameTooLong) {
    _retnl(pl, count == 0 ? ERR_MISSING_FIRST : too_long);
    return false;
  }
  // The prefix, then the source name with its terminator: the buffer holds both.
  memcpy(path, EVENT_SOURCE_KEY_PREFIX, kKeyPrefixChars);
  memcpy(path + kKeyPrefixChars, source, sizeof source);
  return true;
}

}  // namespace

QV_EXPORT QVCREATEEVENTKEY(XppParamList pl) {
  char path[kKeyPathBytes];
  if (!key_path_or_refuse(pl, path, ERROR_FILENAME_EXCED_RANGE)) return;
  char message_file[MAX_NAME_BYTES];
  ULONG message_file_chars = qv::fetch_name(pl, 2, message_file);
  if (message_file_chars == 0 || message_file_chars == qv::kNameTooLong) {
    _retnl(pl, message_file_chars == 0 ? ERR_MISSING_SECOND : ERROR_FILENAME_EXCED_RANGE);
    return;
  }

  // The key is volatile, gone at the next restart, unless the caller asks with .T. for one
  // that lasts. A key that exists already keeps the kind it has.
  bool permanent = qv::is_logical(_partype(pl, 3)) && _parl(pl, 3) != 0;
  DWORD options = permanent ? REG_OPTION_NON_VOLATILE : REG_OPTION_VOLATILE;

  char no_class[1] = "";
  HKEY key = nullptr;
  DWORD disposition = 0;
  LSTATUS created = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, no_class, options, KEY_ALL_ACCESS,
                                    nullptr, &key, &disposition);
  if (created != ERROR_SUCCESS) {
    _retnl(pl, created);
    return;
  }
  // Both values are written; a key without them renders no message, so the first failed
  // write is the outcome, and a key this call created is not left behind half made.
  DWORD types = kTypesSupported;
  LSTATUS written = RegSetValueExA(key, "TypesSupported", 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&types), sizeof types);
  LSTATUS file_written =
      RegSetValueExA(key, "EventMessageFile", 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(message_file), message_file_chars + 1);
  if (written == ERROR_SUCCESS) written = file_written;
  RegCloseKey(key);
  if (written != ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY)
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
  _retnl(pl, written);
}

QV_EXPORT QVDELEVENTKEY(XppParamList pl) {
  char path[kKeyPathBytes];
  if (!key_path_or_refuse(pl, path, ERR_KEY_FAILED)) return;
  _retnl(pl, RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS ? 0 : ERR_KEY_FAILED);
}

QV_EXPORT QVCHECKEVENTKEY(XppParamList pl) {
  char path[kKeyPathBytes];
  if (!key_path_or_refuse(pl, path, ERR_KEY_FAILED)) return;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    _retnl(pl, ERR_KEY_FAILED);
    return;
  }
  RegCloseKey(key);
  _retnl(pl, 0);
}
