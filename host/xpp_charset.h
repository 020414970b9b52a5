// The character set of an Xbase++ thread (SET CHARSET), as the run-time tells it to C code.
//
// Xbase++ keeps character values in the calling thread's character set: ANSI, or OEM (the
// default of text-mode programs). From 1.9 on the run-time exports the thread's setting and
// the conversions between the system's OEM and ANSI code pages as __conCharSetIsOem,
// __conToAnsiCp and __conToOemCp (one more leading underscore, like the rest of its API).
// Older run-times lack them: a DLL looks them up by name and never imports them.
#ifndef QUORVEL_HOST_XPP_CHARSET_H
#define QUORVEL_HOST_XPP_CHARSET_H

#include "host/xpp_api.h"

#ifdef __cplusplus
extern "C" {
#endif

// TRUE when the calling thread's character set is OEM.
typedef BOOL(XPP_CDECL* XppCharSetIsOem)(void);
// `length` bytes converted from one code page into the other, destination first; 0 for
// success.
typedef XPPAPIRET(XPP_CDECL* XppConvertCharset)(CHAR* to, const CHAR* from, ULONG length);

#ifdef __cplusplus
}
#endif

#endif
