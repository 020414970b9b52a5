// The module's entry point on Windows: it registers with the run-time as the process
// attaches and ends that as the module is unloaded by FreeLibrary (DllUnload()); at the
// process's end (`reserved` not null) it does nothing. Nothing else happens here.
#include "exports/registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) qv::register_with_runtime(instance);
  if (reason == DLL_PROCESS_DETACH) qv::module_detached(instance, reserved != nullptr);
  return TRUE;
}
