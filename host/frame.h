// The frame every export follows: fetching handles and names, testing type words.
#ifndef QUORVEL_HOST_FRAME_H
#define QUORVEL_HOST_FRAME_H

#include <stdint.h>
#include <string.h>

#include "host/charset.h"
#include "host/status.h"
#include "host/type_word.h"
#include "host/xpp_api.h"
#include "platform/qv_windows.h"

namespace qv {

// Handles travel through Xbase++ as 32-bit numbers.
inline HANDLE handle_from_number(LONG number) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(static_cast<uint32_t>(number)));
}

inline LONG number_from_handle(HANDLE handle) {
  return static_cast<LONG>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)));
}

// The handle in that parameter; null for 0, absent or not numeric.
inline HANDLE fetch_handle(XppParamList pl, ULONG index) {
  return handle_from_number(_parnl(pl, index));
}

// The handle in parameter 1. A handle of 0 refuses the call: the result is set to
// ERR_MISSING_FIRST and null is returned.
inline HANDLE handle_or_refuse(XppParamList pl) {
  HANDLE handle = fetch_handle(pl, 1);
  if (handle == nullptr) _retnl(pl, ERR_MISSING_FIRST);
  return handle;
}

// What fetch_name gives for a name it cannot hand to Windows: longer than its buffer
// holds, or not convertible to the ANSI code page.
constexpr ULONG kNameTooLong = 0xFFFFFFFFu;

// Clears the buffer and fetches a character parameter into it. Returns the number of
// characters fetched: 0 for an absent, empty or non-character parameter. A name of more
// than MAX_NAME_BYTES - 1 characters is not fetched at all (a cut name would name something
// else): the result is kNameTooLong, the buffer stays empty, and the thread's last error is
// ERROR_FILENAME_EXCED_RANGE, as Windows answers for such a path. The name arrives in the
// ANSI code page, whatever the caller's character set; one that cannot be converted is
// kNameTooLong too, with the conversion's error.
inline ULONG fetch_name(XppParamList pl, ULONG index, char (&buffer)[MAX_NAME_BYTES]) {
  memset(buffer, 0, sizeof buffer);
  if (is_character(_partype(pl, index)) && _parclen(pl, index) > MAX_NAME_BYTES - 1) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return kNameTooLong;
  }
  ULONG count = _parc(buffer, sizeof buffer, pl, index);
  if (count > MAX_NAME_BYTES - 1) count = MAX_NAME_BYTES - 1;
  return text_to_windows(buffer, count) ? count : kNameTooLong;
}

// A name for Windows: the buffer when something was fetched, else null.
inline const char* optional_name(const char* buffer, ULONG count) {
  return count > 0 ? buffer : nullptr;
}

typedef HANDLE(WINAPI* NameOpener)(LPCSTR server, LPCSTR name);

// The openers' frame: server name (optional) and a name or path (required), then the
// opener's handle as the result (0 when Windows refused, or for a name too long).
inline void open_by_name(XppParamList pl, NameOpener opener) {
  char server[MAX_NAME_BYTES];
  char name[MAX_NAME_BYTES];
  ULONG server_count = fetch_name(pl, 1, server);
  if (server_count == kNameTooLong) {
    _retnl(pl, 0);
    return;
  }
  ULONG name_count = fetch_name(pl, 2, name);
  if (name_count == 0) {
    _retnl(pl, ERR_MISSING_SECOND);
    return;
  }
  if (name_count == kNameTooLong) {
    _retnl(pl, 0);
    return;
  }
  _retnl(pl, number_from_handle(opener(optional_name(server, server_count), name)));
}

// Zero-filled blocks of the process heap, freed within the call that took them.
inline void* heap_alloc_zeroed(SIZE_T size) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}
inline void* heap_grow_zeroed(void* block, SIZE_T size) {
  return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, size);
}
inline void heap_free(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace qv

#endif
