// How a DLL registers its functions with the Xbase++ run-time as it loads, for a program
// that loads it with DllLoad() and calls its functions by name or through macros.
//
// The run-time exports the two services as __conRegisterDll and __conUnRegisterDll (one
// more leading underscore, like the rest of its API). Older run-times lack them: a DLL
// looks them up by name and never imports them.
#ifndef QUORVEL_HOST_XPP_REGISTRATION_H
#define QUORVEL_HOST_XPP_REGISTRATION_H

#include "host/xpp_api.h"

#ifdef __cplusplus
extern "C" {
#endif

// A registered function: its name in upper case and the export itself.
typedef void(XPP_CDECL* XppFuncType)(XppParamList);
typedef struct {
  char* functionName;
  XppFuncType capiFunc;
} XppRegisterFunction;

// Called with the record's userData: createFunc after the load (0 means destroyFunc is not
// called at unload), destroyFunc at unload.
typedef ULONG(XPP_CDECL* XPPDLLFUNC)(void*);

// The DLL's record, static for the DLL's life. funcHandle belongs to the run-time; the
// reserved tail, zeroed, is that of the 1.9 run-time and harmless to older ones.
typedef struct {
  XppRegisterFunction* xppFuncs;
  ULONG numFunc;
  void* funcHandle;  // MomHandle
  XPPDLLFUNC createFunc;
  XPPDLLFUNC destroyFunc;
  void* userData;
  BYTE reserved[16 * sizeof(void*)];
} XppDllRegistration;

// _conRegisterDll: false when the run-time could not keep the record (memory ran out).
// _conUnRegisterDll: ends the registration of that DLL.
typedef BOOL(XPP_CDECL* XppRegisterDll)(ULONG dll_handle, XppDllRegistration* record);
typedef BOOL(XPP_CDECL* XppUnRegisterDll)(ULONG dll_handle);

#ifdef __cplusplus
}
#endif

#endif
