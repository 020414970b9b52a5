#include "exports/registration.h"

#include <stddef.h>

#include "host/exports.h"
#include "host/kept_last_error.h"
#include "host/runtime_services.h"

namespace {

static_assert(offsetof(XppDllRegistration, reserved) == 6 * sizeof(void*),
              "the record as the run-time reads it");

// Every export of the module definition, by its upper-case name (generated from
// exports/quorvel.def).
#define QV_MODULE_EXPORT(name, ordinal) {const_cast<char*>(#name), name},
XppRegisterFunction functions[] = {
#include "module_exports.inc"
};
#undef QV_MODULE_EXPORT

// No create or destroy function; the rest zero.
XppDllRegistration record = {
    functions, sizeof functions / sizeof functions[0], nullptr, nullptr, nullptr, nullptr, {}};

bool registered = false;

ULONG dll_handle(HMODULE module) { return static_cast<ULONG>(reinterpret_cast<uintptr_t>(module)); }

}  // namespace

namespace qv {

// The thread's last error stays as the loader left it.
void register_with_runtime(HMODULE module) {
  KeptLastError kept;
  XppRegisterDll register_dll = runtime_services().register_dll;
  registered = register_dll != nullptr && register_dll(dll_handle(module), &record) != 0;
}

void module_detached(HMODULE module, bool process_ending) {
  if (!process_ending) unregister_from_runtime(module);
}

void unregister_from_runtime(HMODULE module) {
  if (!registered) return;
  registered = false;
  KeptLastError kept;
  XppUnRegisterDll unregister_dll = runtime_services().unregister_dll;
  if (unregister_dll != nullptr) unregister_dll(dll_handle(module));
}

}  // namespace qv
