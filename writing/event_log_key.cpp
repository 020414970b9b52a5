#include "writing/event_log_key.h"

namespace qv {
namespace {

// A new log is described with the values Windows keeps for a log (and that other wrappers
// write when they make one): its file, named after the log in the folder of the classic
// logs' files, its size limit (512 KiB, the classic default), events overwritten as needed
// (Retention 0: a program that logs a lot keeps logging; Windows Vista and later overwrite
// so anyway), no automatic backups, and the list of its sources.
#define LOG_FILE_FOLDER "%SystemRoot%\\System32\\config\\"
#define LOG_FILE_EXTENSION ".evt"
constexpr char kSources[] = "Sources";

constexpr const char* kNamesKeptByWindows[] = {"Security", "AppEvent", "SecEvent", "SysEvent"};

struct LogNumber {
  const char* name;
  DWORD value;
};
constexpr LogNumber kLogNumbers[] = {
    {"MaxSize", 512 * 1024},
    {"Retention", 0},
    {"AutoBackupLogFiles", 0},
};

// A name of the ANSI code page in UTF-16, upper case, with its terminator; its units, 0
// when it is longer than any name the library takes.
int upper_units(const char* name, WCHAR (&wide)[MAX_NAME_BYTES]) {
  const int units = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, MAX_NAME_BYTES);
  for (int i = 0; i < units; ++i) wide[i] = name_upper_case(wide[i]);
  return units;
}

// Windows compares key names without regard to case, for every letter.
bool same_name(const char* a, const char* b) {
  WCHAR wide_a[MAX_NAME_BYTES];
  WCHAR wide_b[MAX_NAME_BYTES];
  const int units = upper_units(a, wide_a);
  return units > 0 && units == upper_units(b, wide_b) &&
         memcmp(wide_a, wide_b, static_cast<size_t>(units) * sizeof(WCHAR)) == 0;
}

char* append(char* end, const char* text, size_t chars) {
  memcpy(end, text, chars);
  return end + chars;
}

// Whether the key <logs>\<log>\<name> exists.
bool holds_key(HKEY logs, const char* log, const char* name) {
  const char* names[] = {log, name};
  HKEY key = nullptr;
  if (open_by_names(logs, names, 2, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

LSTATUS set_value(HKEY key, const char* name, DWORD type, const void* data, size_t bytes) {
  return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data),
                        static_cast<DWORD>(bytes));
}

LSTATUS describe_log(HKEY key, const char* log, const char* source) {
  const size_t log_chars = strlen(log);
  char file[sizeof LOG_FILE_FOLDER + kMaxLogNameChars + sizeof LOG_FILE_EXTENSION];
  char* end = append(file, LOG_FILE_FOLDER, sizeof LOG_FILE_FOLDER - 1);
  end = append(end, log, log_chars);
  end = append(end, LOG_FILE_EXTENSION, sizeof LOG_FILE_EXTENSION);
  LSTATUS status = set_value(key, "File", REG_EXPAND_SZ, file, static_cast<size_t>(end - file));
  for (const LogNumber& number : kLogNumbers) {
    if (status == ERROR_SUCCESS)
      status = set_value(key, number.name, REG_DWORD, &number.value, sizeof number.value);
  }
  // The source, then the log itself, which Windows counts among its sources; each string
  // with its terminator, and one more to close the list.
  char list[MAX_NAME_BYTES + kMaxLogNameChars + 2];
  memset(list, 0, sizeof list);
  end = list;
  if (!same_name(source, log)) end = append(end, source, strlen(source) + 1);
  end = append(end, log, log_chars + 1);
  if (status == ERROR_SUCCESS)
    status = set_value(key, kSources, REG_MULTI_SZ, list, static_cast<size_t>(end - list) + 1);
  return status;
}

// The log's "Sources" list in a zero-filled heap block with two zero bytes beyond its
// data, so that its last string ends even when it was stored without its terminator;
// null when the log keeps none or it cannot be read.
char* read_sources(HKEY log_key, DWORD* size) {
  DWORD type = REG_NONE;
  DWORD stored = 0;
  if (RegQueryValueExA(log_key, kSources, nullptr, &type, nullptr, &stored) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ)
    return nullptr;
  char* list = static_cast<char*>(heap_alloc_zeroed(stored + 2));
  if (list == nullptr) return nullptr;
  DWORD got = stored;
  if (RegQueryValueExA(log_key, kSources, nullptr, &type, reinterpret_cast<BYTE*>(list), &got) !=
          ERROR_SUCCESS ||
      type != REG_MULTI_SZ || got > stored) {
    heap_free(list);
    return nullptr;
  }
  *size = got;
  return list;
}

// Copies the list's strings other than `source` to `out`, each with its terminator, and
// returns the bytes written: at most size + 1. *found tells whether `source` was there.
size_t copy_others(const char* list, DWORD size, const char* source, char* out, bool* found) {
  size_t used = 0;
  *found = false;
  for (const char* entry = list; entry < list + size && *entry != '\0';) {
    const size_t bytes = strlen(entry) + 1;
    if (same_name(entry, source)) {
      *found = true;
    } else {
      memcpy(out + used, entry, bytes);
      used += bytes;
    }
    entry += bytes;
  }
  return used;
}

}  // namespace

WCHAR name_upper_case(WCHAR c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
      (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
    return static_cast<WCHAR>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<WCHAR>(c - 0x50);
  if (c == 0xFF) return 0x178;
  if (c == 0x3C2) return 0x3A3;  // final sigma
  // Latin Extended-A: pairs of upper and lower case, the upper first; its first half on
  // even units, its second half from 0x139 to 0x148 and from 0x179 on odd ones.
  if (c < 0x100 || c > 0x17E || c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149) return c;
  const bool upper_odd = (c >= 0x139 && c <= 0x148) || c >= 0x179;
  return (c & 1) != (upper_odd ? 1 : 0) ? static_cast<WCHAR>(c - 1) : c;
}

bool log_name_allowed(const char* log, size_t chars, LogUse use) {
  if (chars > kMaxLogNameChars) return false;
  for (size_t i = 0; i < chars; ++i) {
    const unsigned char c = static_cast<unsigned char>(log[i]);
    if (c < 32 || strchr("\\/:*?\"<>|", c) != nullptr) return false;
  }
  if (use == LogUse::kLookUp) return true;
  for (const char* kept : kNamesKeptByWindows) {
    if (same_name(log, kept)) return false;
  }
  return true;
}

LSTATUS open_by_names(HKEY root, const char* const* names, size_t count, REGSAM access, HKEY* key) {
  HKEY parent = root;
  for (size_t i = 0; i < count; ++i) {
    HKEY next = nullptr;
    LSTATUS status =
        RegOpenKeyExA(parent, names[i], 0, i + 1 < count ? KEY_QUERY_VALUE : access, &next);
    if (parent != root) RegCloseKey(parent);
    if (status != ERROR_SUCCESS) return status;
    parent = next;
  }
  *key = parent;
  return ERROR_SUCCESS;
}

LSTATUS open_event_log_key(const char* log, const char* source, REGSAM access, HKEY* key) {
  const char* names[] = {EVENT_LOG_KEY, log, source};
  return open_by_names(HKEY_LOCAL_MACHINE, names, source != nullptr ? 3 : 2, access, key);
}

LSTATUS check_name_free(HKEY logs, const char* log, const char* source) {
  LSTATUS status = ERROR_SUCCESS;
  bool log_exists = false;
  bool log_name_taken = false;
  for (DWORD index = 0; status == ERROR_SUCCESS; ++index) {
    // A key's name of 255 characters takes up to twice as many bytes on a double-byte code
    // page.
    char other[2 * kMaxLogNameChars + 1];
    DWORD chars = sizeof other;
    status = RegEnumKeyExA(logs, index, other, &chars, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    if (same_name(other, log)) {
      log_exists = true;
    } else if (same_name(other, source) || holds_key(logs, other, source)) {
      status = ERROR_ALREADY_EXISTS;
    } else if (holds_key(logs, other, log)) {
      log_name_taken = true;
    }
  }
  if (status != ERROR_NO_MORE_ITEMS) return status;
  return log_name_taken && !log_exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
}

LSTATUS open_log_key(HKEY logs, const char* log, const char* source, DWORD options, HKEY* key,
                     bool* created) {
  char no_class[1] = "";
  DWORD disposition = 0;
  *key = nullptr;
  *created = false;
  LSTATUS status =
      RegCreateKeyExA(logs, log, 0, no_class, options, KEY_ALL_ACCESS, nullptr, key, &disposition);
  if (status != ERROR_SUCCESS) {
    *key = nullptr;
    return status;
  }
  if (disposition != REG_CREATED_NEW_KEY) return ERROR_SUCCESS;
  status = describe_log(*key, log, source);
  if (status == ERROR_SUCCESS) {
    *created = true;
  } else {
    RegCloseKey(*key);
    *key = nullptr;
    RegDeleteKeyA(logs, log);
  }
  return status;
}

void list_source(HKEY log_key, const char* source) {
  DWORD size = 0;
  char* list = read_sources(log_key, &size);
  if (list == nullptr) return;
  const size_t source_bytes = strlen(source) + 1;
  char* updated = static_cast<char*>(heap_alloc_zeroed(source_bytes + size + 2));
  bool found = false;
  if (updated != nullptr) {
    memcpy(updated, source, source_bytes);
    size_t used = source_bytes + copy_others(list, size, source, updated + source_bytes, &found);
    if (!found) set_value(log_key, kSources, REG_MULTI_SZ, updated, used + 1);
  }
  heap_free(updated);
  heap_free(list);
}

void unlist_source(HKEY log_key, const char* source) {
  DWORD size = 0;
  char* list = read_sources(log_key, &size);
  if (list == nullptr) return;
  char* updated = static_cast<char*>(heap_alloc_zeroed(size + 2));
  bool found = false;
  if (updated != nullptr) {
    size_t used = copy_others(list, size, source, updated, &found);
    if (found) set_value(log_key, kSources, REG_MULTI_SZ, updated, used + 1);
  }
  heap_free(updated);
  heap_free(list);
}

}  // namespace qv
