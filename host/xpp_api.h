// The Xbase++ run-time's extension interface, as the library calls it.
//
// The names, argument types and return types are those of Alaska's C API for Xbase++ (1.9
// and later, which also fit the run-times before), so that the library compiles unchanged
// against the run-time's own headers. Every operation uses the C calling convention. On
// Windows the run-time is XPPRT1.dll, which exports these operations under their decorated
// names (one more leading underscore: __parc, __retnl, ...).
//
// Operations that take "..." accept a list of array indices closed by 0 (an element of an
// array parameter, or of an array container); the library passes the plain list.
#ifndef QUORVEL_HOST_XPP_API_H
#define QUORVEL_HOST_XPP_API_H

#include "platform/qv_windows.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define XPP_CDECL __cdecl
#ifdef XPPRT_BUILDING
#define XPP_IMPORT
#else
#define XPP_IMPORT __declspec(dllimport)
#endif
#else
#define XPP_CDECL
#define XPP_IMPORT __attribute__((visibility("default")))
#endif

typedef struct XppParamList_* XppParamList;
typedef struct XppContainer_* ContainerHandle;
// An operation's status: 0 for success, otherwise the run-time's error code.
typedef ULONG XPPAPIRET;

#define NULLCONTAINER ((ContainerHandle)0)

// Base types of a type word (_partype), the same in every generation of the run-time. The
// flags that the generations add (by reference, memo, floating point) differ between them:
// host/type_word.h tests them.
#define XPP_UNDEF 0x00000001u
#define XPP_CHARACTER 0x00000002u
#define XPP_NUMERIC 0x00000004u
#define XPP_LOGICAL 0x00000008u
#define XPP_DATE 0x00000010u
#define XPP_ARRAY 0x00000020u
#define XPP_BLOCK 0x00000040u
#define XPP_OBJECT 0x00000080u

// Parameters. _partype(pl, 0) is the number of parameters of the call; a parameter not
// given is typed XPP_UNDEF, one past the count XPP_UNDEF or 0.
XPP_IMPORT ULONG XPP_CDECL _parc(CHAR* buffer, ULONG size, XppParamList pl, ULONG index, ...);
XPP_IMPORT ULONG XPP_CDECL _parclen(XppParamList pl, ULONG index, ...);
XPP_IMPORT LONG XPP_CDECL _parnl(XppParamList pl, ULONG index, ...);
XPP_IMPORT BOOL XPP_CDECL _parl(XppParamList pl, ULONG index, ...);
XPP_IMPORT ULONG XPP_CDECL _partype(XppParamList pl, ULONG index);

// The call's result, and values stored into parameters passed by reference.
XPP_IMPORT BOOL XPP_CDECL _retnl(XppParamList pl, LONG value);
XPP_IMPORT BOOL XPP_CDECL _retl(XppParamList pl, BOOL value);
XPP_IMPORT BOOL XPP_CDECL _retc(XppParamList pl, const CHAR* text);
XPP_IMPORT BOOL XPP_CDECL _stornl(LONG value, XppParamList pl, ULONG index, ...);
XPP_IMPORT BOOL XPP_CDECL _storc(const CHAR* text, XppParamList pl, ULONG index, ...);

// Containers. The _conPut operations fill the container given, or create one when given
// NULLCONTAINER, and return it (NULLCONTAINER when they failed). _conNew copies its
// argument's value into a new container, NIL for NULLCONTAINER. _conArrayGet copies the
// element into the container given, or into a new one for NULLCONTAINER, and returns it
// (NULLCONTAINER on error). _conParam gives a parameter passed by reference as the caller's
// own container, one passed by value as a copy, which the caller releases.
XPP_IMPORT ContainerHandle XPP_CDECL _conNewArray(ULONG dimensions, ...);
XPP_IMPORT ContainerHandle XPP_CDECL _conNew(ContainerHandle source);
XPP_IMPORT ContainerHandle XPP_CDECL _conPutNL(ContainerHandle dest, LONG value);
XPP_IMPORT ContainerHandle XPP_CDECL _conPutC(ContainerHandle dest, const CHAR* text);
XPP_IMPORT ContainerHandle XPP_CDECL _conPutCL(ContainerHandle dest, const CHAR* text,
                                               ULONG length);
XPP_IMPORT XPPAPIRET XPP_CDECL _conArrayPut(ContainerHandle array, ContainerHandle value, ...);
XPP_IMPORT ContainerHandle XPP_CDECL _conArrayGet(ContainerHandle array, ContainerHandle result,
                                                  ...);
XPP_IMPORT XPPAPIRET XPP_CDECL _conSizeA(ContainerHandle array, ULONG* size, ...);
XPP_IMPORT XPPAPIRET XPP_CDECL _conGetCL(ContainerHandle string, ULONG* copied, CHAR* buffer,
                                         ULONG size);
XPP_IMPORT ContainerHandle XPP_CDECL _conParam(XppParamList pl, ULONG index, BOOL* by_reference);
XPP_IMPORT XPPAPIRET XPP_CDECL _conReturn(XppParamList pl, ContainerHandle con);
XPP_IMPORT XPPAPIRET XPP_CDECL _conRelease(ContainerHandle con);

#ifdef __cplusplus
}
#endif

#endif
