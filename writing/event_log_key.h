// The log an event source is registered under: its name checked, its registry key made
// the way Windows describes a log, the names already taken by other logs, and the log's
// list of its sources.
#ifndef QUORVEL_WRITING_EVENT_LOG_KEY_H
#define QUORVEL_WRITING_EVENT_LOG_KEY_H

#include "host/frame.h"

namespace qv {

#define EVENT_LOG_KEY "SYSTEM\\CurrentControlSet\\Services\\EventLog"

// The registry's limit for a key name, and so for a log's name.
constexpr size_t kMaxLogNameChars = 255;

// Whether the call only looks for a source under the log, or adds or removes one.
enum class LogUse { kLookUp, kChange };

// The upper case of a UTF-16 unit as the registry folds key names, for the letters of the
// alphabets of Windows' ANSI code pages: Basic Latin, Latin-1, Latin Extended-A, Greek and
// Cyrillic; any other unit is its own.
WCHAR name_upper_case(WCHAR c);

// True for a name a log may have: at most kMaxLogNameChars characters, none that a file
// name cannot hold (the log's file is named after it), and, for a change, none of the
// names Windows keeps for its own logs: Security, which takes no program's sources, and
// AppEvent, SecEvent and SysEvent, the file names of the three standard logs.
bool log_name_allowed(const char* log, size_t chars, LogUse use);

// Opens the key at a path of `count` names below `root` one name at a time, the last with
// the access given: each path the registry is given is then one name, also where the
// whole would be longer than the 260 characters that Wine's ANSI registry functions take.
LSTATUS open_by_names(HKEY root, const char* const* names, size_t count, REGSAM access, HKEY* key);

// Opens EVENT_LOG_KEY\<log>, or EVENT_LOG_KEY\<log>\<source> when a source is given.
LSTATUS open_event_log_key(const char* log, const char* source, REGSAM access, HKEY* key);

// Whether `source` may be added under `log`, given the EventLog key opened for listing its
// subkeys: ERROR_ALREADY_EXISTS when another log already has the name, as a source key of
// its own or as its own name (Windows counts every log among its sources), or when `log`
// does not exist yet and its name is a source of another log; ERROR_SUCCESS otherwise;
// the registry's code when the logs could not be listed.
LSTATUS check_name_free(HKEY logs, const char* log, const char* source);

// Opens the log's key below the EventLog key for writing, creating it with the options
// given (the volatility of the source that asks) and describing a new log as Windows
// expects, with `source` as its first source. *created tells whether this call made the
// key. A log key that this call made but could not describe is removed again; the
// registry's code is returned.
LSTATUS open_log_key(HKEY logs, const char* log, const char* source, DWORD options, HKEY* key,
                     bool* created);

// Keep the log's "Sources" list (REG_MULTI_SZ) in step with its source keys when the log
// keeps one: a new source comes first, where Windows puts the newest; a removed one is
// taken out. A log without the list is left alone, and so is the list when it cannot be
// read or written: the source key is what counts.
void list_source(HKEY log_key, const char* source);
void unlist_source(HKEY log_key, const char* source);

}  // namespace qv

#endif
