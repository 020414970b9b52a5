// The module's entry point on Windows: it registers with the run-time as the process
// attaches and ends that as the module is unloaded by FreeLibrary (DllUnload()). Nothing
// else happens here.
//
// At the process's end (`reserved` not null) nothing is done: the other threads were
// stopped wherever they were, perhaps holding the run-time's own locks, and the run-time
// goes with the process anyway.
#include "exports/registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) qv::register_with_runtime(instance);
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) qv::unregister_from_runtime(instance);
  return TRUE;
}
