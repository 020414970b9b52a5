// The module's entry point on Windows: it registers with the run-time as the process
// attaches and ends that as it detaches. Nothing else happens here.
#include "exports/registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) qv::register_with_runtime(instance);
  if (reason == DLL_PROCESS_DETACH) qv::unregister_from_runtime(instance);
  return TRUE;
}
