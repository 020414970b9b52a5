#include "exports/registration.h"

#include <stddef.h>

#include "host/exports.h"
#include "host/procedure.h"
#include "host/xpp_registration.h"

namespace {

static_assert(offsetof(XppDllRegistration, reserved) == 6 * sizeof(void*),
              "the record as the run-time reads it");

// Every export of the module definition, by its upper-case name (generated from
// exports/quorvel.def).
#define QV_REGISTERED(name) {const_cast<char*>(#name), name},
XppRegisterFunction functions[] = {
#include "registered_exports.inc"
};
#undef QV_REGISTERED

// No create or destroy function; the rest zero.
XppDllRegistration record = {
    functions, sizeof functions / sizeof functions[0], nullptr, nullptr, nullptr, nullptr, {}};

bool registered = false;

ULONG dll_handle(HMODULE module) { return static_cast<ULONG>(reinterpret_cast<uintptr_t>(module)); }

// The run-time's service of that name, when it has one.
template <typename Service>
Service runtime_service(const char* name) {
  return qv::find_procedure<Service>(GetModuleHandleA("XPPRT1.dll"), name);
}

}  // namespace

namespace qv {

// The thread's last error stays as the loader left it.
void register_with_runtime(HMODULE module) {
  const DWORD error = GetLastError();
  XppRegisterDll register_dll = runtime_service<XppRegisterDll>("__conRegisterDll");
  registered = register_dll != nullptr && register_dll(dll_handle(module), &record) != 0;
  SetLastError(error);
}

void unregister_from_runtime(HMODULE module) {
  if (!registered) return;
  registered = false;
  const DWORD error = GetLastError();
  XppUnRegisterDll unregister_dll = runtime_service<XppUnRegisterDll>("__conUnRegisterDll");
  if (unregister_dll != nullptr) unregister_dll(dll_handle(module));
  SetLastError(error);
}

}  // namespace qv
