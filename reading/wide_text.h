// Texts between the ANSI code page and the UTF-16 of the event log of Windows Vista and
// later. The buffers come from the process heap; the caller frees them with heap_free.
#ifndef QUORVEL_READING_WIDE_TEXT_H
#define QUORVEL_READING_WIDE_TEXT_H

#include "host/frame.h"

namespace qv {

// The ANSI name, closed by a zero, as UTF-16 in a buffer of a name's size. False, with the
// thread's last error set, when it cannot be converted.
bool widen_into(const char* name, WCHAR (&wide)[MAX_NAME_BYTES]);

// `length` ANSI bytes as UTF-16 closed by a zero; null with the last error set on failure.
WCHAR* widen(const char* text, ULONG length);

// `length` UTF-16 units (or up to the zero for -1) in the ANSI code page, closed by a zero,
// its length in *bytes. Null with the last error set on failure.
char* narrow(LPCWSTR text, int length, DWORD* bytes);

}  // namespace qv

#endif
