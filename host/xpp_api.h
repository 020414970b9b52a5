// The Xbase++ run-time's extension interface, as the library calls it.
//
// Every operation uses the C calling convention and takes and returns 32-bit numbers.
// On Windows the run-time is XPPRT1.dll, which exports these operations under their
// decorated names (one more leading underscore: __parc, __retnl, ...).
#ifndef QUORVEL_HOST_XPP_API_H
#define QUORVEL_HOST_XPP_API_H

#include <stdint.h>

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
typedef int32_t XppLong;
typedef uint32_t XppUlong;

// Type word bits of _partype.
#define XPP_UNDEF 0x0000u
#define XPP_CHARACTER 0x0002u
#define XPP_NUMERIC 0x0004u
#define XPP_LOGICAL 0x0010u
#define XPP_ARRAY 0x0040u
#define XPP_MEMO 0x0200u
#define XPP_REFERENCE 0x0100u
#define XPP_CHARACTER_MASK (XPP_CHARACTER | XPP_MEMO)

XPP_IMPORT XppUlong XPP_CDECL _parc(char* buffer, XppUlong size, XppParamList pl, XppUlong index);
XPP_IMPORT XppUlong XPP_CDECL _parclen(XppParamList pl, XppUlong index);
XPP_IMPORT XppLong XPP_CDECL _parnl(XppParamList pl, XppUlong index);
XPP_IMPORT XppUlong XPP_CDECL _partype(XppParamList pl, XppUlong index);
XPP_IMPORT XppLong XPP_CDECL _parl(XppParamList pl, XppUlong index);

XPP_IMPORT void XPP_CDECL _retnl(XppParamList pl, XppLong value);
XPP_IMPORT void XPP_CDECL _retl(XppParamList pl, XppLong value);
XPP_IMPORT void XPP_CDECL _retc(XppParamList pl, const char* text);

XPP_IMPORT XppLong XPP_CDECL _stornl(XppLong value, XppParamList pl, XppUlong index);
XPP_IMPORT XppLong XPP_CDECL _storc(const char* text, XppParamList pl, XppUlong index);

XPP_IMPORT ContainerHandle XPP_CDECL _conNewArray(XppUlong dimensions, XppUlong count);
XPP_IMPORT ContainerHandle XPP_CDECL _conNew(ContainerHandle none);
XPP_IMPORT ContainerHandle XPP_CDECL _conPutNL(ContainerHandle con, XppLong value);
XPP_IMPORT ContainerHandle XPP_CDECL _conPutC(ContainerHandle con, const char* text);
XPP_IMPORT XppLong XPP_CDECL _conArrayPut(ContainerHandle array, ContainerHandle con,
                                          XppUlong index, XppUlong closing);
XPP_IMPORT XppLong XPP_CDECL _conReturn(XppParamList pl, ContainerHandle con);
XPP_IMPORT XppLong XPP_CDECL _conRelease(ContainerHandle con);

// Byte strings and parameters as containers. The container operations that answer with a
// number return 0 for success; an array element is named by its index list closed by 0.
XPP_IMPORT ContainerHandle XPP_CDECL _conPutCL(ContainerHandle con, const char* text,
                                               XppUlong length);
XPP_IMPORT ContainerHandle XPP_CDECL _conParam(XppParamList pl, XppUlong index, int32_t* by_ref);
XPP_IMPORT XppLong XPP_CDECL _conSizeA(ContainerHandle array, XppUlong* size, ...);
XPP_IMPORT XppLong XPP_CDECL _conArrayGet(ContainerHandle array, ContainerHandle con, ...);
XPP_IMPORT XppLong XPP_CDECL _conGetCL(ContainerHandle con, XppUlong* length, char* buffer,
                                       XppUlong size);

#ifdef __cplusplus
}
#endif

#endif
