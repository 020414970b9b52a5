// Texts between the caller's character set and Windows' ANSI services.
//
// When the calling Xbase++ thread keeps its texts in the OEM character set, every text the
// library hands to Windows is converted to ANSI first, and every text it returns or stores
// back to OEM, with the run-time's own conversions. An ANSI thread, or a run-time without
// those services (before Xbase++ 1.9), sees its texts pass unchanged. Raw bytes are never
// converted.
//
// A text the run-time cannot convert is not used at all: the conversion fails as a whole,
// the text is cleared, and the thread's last error is ERROR_NO_UNICODE_TRANSLATION.
#ifndef QUORVEL_HOST_CHARSET_H
#define QUORVEL_HOST_CHARSET_H

#include "host/xpp_api.h"

namespace qv {

// The caller's text, `length` bytes in place, into the ANSI code page; false when it
// cannot be converted.
bool text_to_windows(char* text, ULONG length);

// Windows' ANSI text, `length` bytes in place, into the caller's character set; false when
// it cannot be converted.
bool text_to_caller(char* text, ULONG length);

}  // namespace qv

#endif
