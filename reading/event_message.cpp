// QVFORMATEVENTMESSAGE: an event's message (or its category's) as the Event Viewer shows
// it, from the message files that the source's registry key names, with the event's
// strings put in.
//
// The message's text is taken with its inserts left as written, and the strings are put in
// here: nothing is read past the strings given, and an insert's format (%1!d!) never makes
// a string be read as a number or a wide string.
#include "host/exports.h"
#include "host/frame.h"
#include "reading/message_loader.h"
#include "writing/event_log_key.h"

namespace {

constexpr ULONG kMaxStrings = 99;               // %1 to %99
constexpr DWORD kStringBytes = 32768;           // an insertion string, its terminator too
constexpr DWORD kMessageBytes = 32767;          // FormatMessageA takes no larger buffer everywhere
constexpr DWORD kMaxFileListBytes = 32768;      // a registry value naming message files
constexpr DWORD kMaxResultBytes = 1024 * 1024;  // the text returned is cut there
constexpr DWORD kMaxParameterFiles = 8;
constexpr DWORD kFormatFlags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS;

// A text that grows on the heap, cut at kMaxResultBytes.
struct Text {
  char* bytes = nullptr;
  DWORD length = 0;
  DWORD room = 0;
  bool failed = false;  // memory ran out
};

void append(Text* text, const char* bytes, DWORD count) {
  if (text->failed) return;
  if (count > kMaxResultBytes - text->length) count = kMaxResultBytes - text->length;
  if (text->length + count + 1 > text->room) {
    DWORD room = text->room == 0 ? 256 : text->room;
    while (room < text->length + count + 1) room *= 2;
    if (room > kMaxResultBytes + 1) room = kMaxResultBytes + 1;
    void* grown = text->bytes == nullptr ? qv::heap_alloc_zeroed(room)
                                         : qv::heap_grow_zeroed(text->bytes, room);
    if (grown == nullptr) {
      text->failed = true;
      return;
    }
    text->bytes = static_cast<char*>(grown);
    text->room = room;
  }
  memcpy(text->bytes + text->length, bytes, count);
  text->length += count;
  text->bytes[text->length] = 0;
}

// The insertion strings of the call: each a terminated copy, or null where the array's
// element is no character value.
struct Strings {
  char* text[kMaxStrings];
  DWORD length[kMaxStrings];
  ULONG count;
};

void free_strings(Strings* strings) {
  for (ULONG i = 0; i < strings->count; ++i) qv::heap_free(strings->text[i]);
  strings->count = 0;
}

// The strings of the array in parameter 4 (at most 99 of them): ERROR_SUCCESS, else
// ERROR_NOT_ENOUGH_MEMORY, or ERROR_NO_UNICODE_TRANSLATION for a string that cannot be
// converted.
DWORD fetch_strings(XppParamList pl, Strings* strings) {
  DWORD error = ERROR_NOT_ENOUGH_MEMORY;
  strings->count = 0;
  BOOL by_ref = FALSE;
  ContainerHandle array = _conParam(pl, 4, &by_ref);
  if (array == NULLCONTAINER) return error;
  ULONG size = 0;
  bool fetched = _conSizeA(array, &size, 0) == 0;
  // One byte more than the run-time is told of: whether it terminates a string that fills
  // the buffer or not, nothing is read or written past it.
  char* scratch = fetched ? static_cast<char*>(qv::heap_alloc_zeroed(kStringBytes + 1)) : nullptr;
  ContainerHandle work = scratch != nullptr ? _conNew(NULLCONTAINER) : NULLCONTAINER;
  fetched = fetched && work != NULLCONTAINER;
  if (size > kMaxStrings) size = kMaxStrings;
  for (ULONG i = 0; fetched && i < size; ++i) {
    ULONG length = 0;
    strings->text[i] = nullptr;
    strings->length[i] = 0;
    strings->count = i + 1;
    if (_conArrayGet(array, work, i + 1, 0) == NULLCONTAINER ||
        _conGetCL(work, &length, scratch, kStringBytes) != 0)
      continue;
    if (length >= kStringBytes) length = kStringBytes - 1;
    char* copy = static_cast<char*>(qv::heap_alloc_zeroed(length + 1));
    if (copy == nullptr) {
      fetched = false;
      break;
    }
    memcpy(copy, scratch, length);
    strings->text[i] = copy;
    if (!qv::text_to_windows(copy, length)) {
      error = ERROR_NO_UNICODE_TRANSLATION;
      fetched = false;
      break;
    }
    strings->length[i] = length;
  }
  if (work != NULLCONTAINER) _conRelease(work);
  qv::heap_free(scratch);
  if (!by_ref) _conRelease(array);
  if (!fetched) free_strings(strings);
  return fetched ? ERROR_SUCCESS : error;
}

// A registry value naming message files, environment variables expanded; null with the
// Windows error when the key has no such text value.
char* read_file_list(HKEY key, const char* name, DWORD* error) {
  DWORD type = 0;
  DWORD size = 0;
  *error = static_cast<DWORD>(RegQueryValueExA(key, name, nullptr, &type, nullptr, &size));
  if (*error != ERROR_SUCCESS) return nullptr;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > kMaxFileListBytes) {
    *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  char* raw = static_cast<char*>(qv::heap_alloc_zeroed(size + 1));
  if (raw == nullptr) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  DWORD got = size;
  *error = static_cast<DWORD>(
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(raw), &got));
  if (*error != ERROR_SUCCESS) {
    qv::heap_free(raw);
    return nullptr;
  }
  DWORD needed = ExpandEnvironmentStringsA(raw, nullptr, 0);
  char* expanded = needed > 0 && needed <= kMaxFileListBytes
                       ? static_cast<char*>(qv::heap_alloc_zeroed(needed + 1))
                       : nullptr;
  DWORD written = expanded != nullptr ? ExpandEnvironmentStringsA(raw, expanded, needed + 1) : 0;
  if (written == 0 || written > needed + 1) {
    // The text as it is stored, when it cannot be expanded.
    qv::heap_free(expanded);
    return raw;
  }
  qv::heap_free(raw);
  return expanded;
}

// The next file name of a ";"-separated list, spaces around it dropped; its terminator is
// written over the separator. Returns null after the last.
char* next_file(char** cursor) {
  char* p = *cursor;
  while (p != nullptr && *p != 0) {
    char* end = strchr(p, ';');
    char* next = end != nullptr ? end + 1 : nullptr;
    if (end == nullptr) end = p + strlen(p);
    *end = 0;
    while (*p == ' ') ++p;
    char* last = end;
    while (last > p && last[-1] == ' ') *--last = 0;
    if (*p != 0) {
      *cursor = next;
      return p;
    }
    p = next;
  }
  *cursor = nullptr;
  return nullptr;
}

// The message's text from one module, its inserts as written; 0 when it has none.
DWORD module_text(HMODULE module, DWORD id, char* buffer) {
  buffer[0] = 0;
  return FormatMessageA(kFormatFlags, module, id, 0, buffer, kMessageBytes, nullptr);
}

// The message from the first of the files that has it, into the buffer. The error when none
// has it: 317, or the loader's error when no file could be loaded.
DWORD find_message(const qv::MessageLoader& loader, char* files, DWORD id, char* buffer,
                   DWORD* length) {
  DWORD error = 0;
  bool loaded_any = false;
  char* cursor = files;
  for (char* file = next_file(&cursor); file != nullptr; file = next_file(&cursor)) {
    HMODULE module = qv::load_message_file(loader, file);
    if (module == nullptr) {
      error = GetLastError();
      continue;
    }
    loaded_any = true;
    *length = module_text(module, id, buffer);
    FreeLibrary(module);
    if (*length > 0) return ERROR_SUCCESS;
  }
  return loaded_any || error == 0 ? ERROR_MR_MID_NOT_FOUND : error;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The message with the strings put in for %1 to %99. An insert's format (!...!) is dropped;
// an insert without its string stays as written; %% before a number is kept for the
// parameter messages, the other escapes give their character.
void put_strings(const char* message, DWORD length, const Strings& strings, Text* out) {
  for (DWORD i = 0; i < length; ++i) {
    char c = message[i];
    if (c != '%' || i + 1 == length) {
      append(out, &c, 1);
      continue;
    }
    char next = message[i + 1];
    if (next == '%') {
      bool parameter = i + 2 < length && is_digit(message[i + 2]);
      append(out, "%%", parameter ? 2 : 1);
      ++i;
      continue;
    }
    if (next < '1' || next > '9') {
      // %. %! and "% " stand for their character; anything else stays as written.
      if (next == '.' || next == '!' || next == ' ') {
        append(out, &next, 1);
        ++i;
      } else {
        append(out, &c, 1);
      }
      continue;
    }
    DWORD end = i + 2;
    ULONG number = static_cast<ULONG>(next - '0');
    if (end < length && is_digit(message[end])) number = number * 10 + (message[end++] - '0');
    if (end < length && message[end] == '!') {
      const void* close = memchr(message + end + 1, '!', length - end - 1);
      if (close != nullptr) end = static_cast<DWORD>(static_cast<const char*>(close) - message) + 1;
    }
    if (number <= strings.count && strings.text[number - 1] != nullptr)
      append(out, strings.text[number - 1], strings.length[number - 1]);
    else
      append(out, message + i, end - i);
    i = end - 1;
  }
}

// The modules of the source's parameter messages, loaded for the call.
struct ParameterFiles {
  HMODULE module[kMaxParameterFiles];
  DWORD count;
};

void load_parameter_files(const qv::MessageLoader& loader, char* files, ParameterFiles* loaded) {
  loaded->count = 0;
  char* cursor = files;
  for (char* file = next_file(&cursor); file != nullptr && loaded->count < kMaxParameterFiles;
       file = next_file(&cursor)) {
    HMODULE module = qv::load_message_file(loader, file);
    if (module != nullptr) loaded->module[loaded->count++] = module;
  }
}

// %%n replaced by parameter message n, its closing line breaks dropped; one that no file
// has stays as written.
void put_parameters(const Text& in, const ParameterFiles& files, char* buffer, Text* out) {
  for (DWORD i = 0; i < in.length; ++i) {
    if (in.bytes[i] != '%' || i + 2 >= in.length || in.bytes[i + 1] != '%' ||
        !is_digit(in.bytes[i + 2])) {
      append(out, in.bytes + i, 1);
      continue;
    }
    DWORD end = i + 2;
    uint64_t number = 0;
    while (end < in.length && is_digit(in.bytes[end]) && number <= 0xFFFFFFFFu)
      number = number * 10 + static_cast<uint64_t>(in.bytes[end++] - '0');
    DWORD length = 0;
    for (DWORD f = 0; number <= 0xFFFFFFFFu && f < files.count && length == 0; ++f)
      length = module_text(files.module[f], static_cast<DWORD>(number), buffer);
    while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) --length;
    if (length > 0)
      append(out, buffer, length);
    else
      append(out, in.bytes + i, end - i);
    i = end - 1;
  }
}

// Everything the call holds, released at its end.
struct Call {
  HKEY key = nullptr;
  char* message_files = nullptr;
  char* parameter_files = nullptr;
  char* buffer = nullptr;
  Text text;
  Text rendered;
  Strings strings = {};
  ParameterFiles parameters = {};

  ~Call() {
    for (DWORD i = 0; i < parameters.count; ++i) FreeLibrary(parameters.module[i]);
    if (key != nullptr) RegCloseKey(key);
    qv::heap_free(message_files);
    qv::heap_free(parameter_files);
    qv::heap_free(buffer);
    qv::heap_free(text.bytes);
    qv::heap_free(rendered.bytes);
    free_strings(&strings);
  }
};

// The message of the call, or its Windows error with the result "".
DWORD render(XppParamList pl, bool has_strings, bool category, const char* log, const char* source,
             Call* call) {
  // The source's key, opened the way writing opens it.
  if (LSTATUS opened = qv::open_event_log_key(log, source, KEY_READ, &call->key)) {
    call->key = nullptr;
    return static_cast<DWORD>(opened);
  }
  DWORD error = 0;
  call->message_files =
      read_file_list(call->key, category ? "CategoryMessageFile" : "EventMessageFile", &error);
  if (call->message_files == nullptr) return error;
  call->buffer = static_cast<char*>(qv::heap_alloc_zeroed(kMessageBytes));
  if (call->buffer == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  if (has_strings && (error = fetch_strings(pl, &call->strings)) != ERROR_SUCCESS) return error;

  DWORD length = 0;
  DWORD id = static_cast<DWORD>(_parnl(pl, 3));
  const qv::MessageLoader loader = qv::find_message_loader();
  error = find_message(loader, call->message_files, id, call->buffer, &length);
  if (error != ERROR_SUCCESS) return error;
  put_strings(call->buffer, length, call->strings, &call->text);
  if (call->text.failed) return ERROR_NOT_ENOUGH_MEMORY;

  // Parameter messages, when the source has them and the text asks for one.
  DWORD ignored = 0;
  if (call->text.length > 0 && strstr(call->text.bytes, "%%") != nullptr)
    call->parameter_files = read_file_list(call->key, "ParameterMessageFile", &ignored);
  if (call->parameter_files != nullptr) {
    load_parameter_files(loader, call->parameter_files, &call->parameters);
    put_parameters(call->text, call->parameters, call->buffer, &call->rendered);
    if (call->rendered.failed) return ERROR_NOT_ENOUGH_MEMORY;
  }
  return ERROR_SUCCESS;
}

}  // namespace

QV_EXPORT QVFORMATEVENTMESSAGE(XppParamList pl) {
  char log[MAX_NAME_BYTES];
  char source[MAX_NAME_BYTES];
  const ULONG log_chars = qv::fetch_name(pl, 1, log);
  if (log_chars == 0) {
    _retnl(pl, ERR_MISSING_FIRST);
    return;
  }
  // A name too long names no key: "", with the fetch's 206 as the last error.
  if (log_chars == qv::kNameTooLong) {
    _retc(pl, "");
    return;
  }
  const ULONG source_chars = qv::fetch_name(pl, 2, source);
  if (source_chars == 0) {
    _retnl(pl, ERR_MISSING_SECOND);
    return;
  }
  if (source_chars == qv::kNameTooLong) {
    _retc(pl, "");
    return;
  }
  // The strings: an array, or nothing (NIL or left out) for a message without inserts.
  const ULONG type = _partype(pl, 4);
  const bool has_strings = qv::is_array(type);
  if (!has_strings && qv::has_value(type)) {
    _retnl(pl, ERR_MISSING_TEXT);
    return;
  }

  // With .T., the identifier is a category's, looked up in the category message file.
  const bool category = qv::is_logical(_partype(pl, 5)) && _parl(pl, 5) != 0;

  DWORD error = 0;
  {
    Call call;
    error = render(pl, has_strings, category, log, source, &call);
    if (error == ERROR_SUCCESS) {
      const Text& done = call.parameter_files != nullptr ? call.rendered : call.text;
      if (qv::text_to_caller(done.bytes, done.length)) {
        _retc(pl, done.bytes != nullptr ? done.bytes : "");
        return;
      }
      error = ERROR_NO_UNICODE_TRANSLATION;
    }
  }
  // After the call's resources are released, which may change the thread's last error.
  SetLastError(error);
  _retc(pl, "");
}
