#include "host/runtime_services.h"

#include "host/kept_last_error.h"
#include "host/procedure.h"

namespace qv {
namespace {

// The run-time exports its API with one more leading underscore than its C names.
enum Service { kCharsetIsOem, kToAnsi, kToOem, kRegisterDll, kUnRegisterDll, kServices };
constexpr const char* kServiceNames[kServices] = {
    "__conCharSetIsOem", "__conToAnsiCp", "__conToOemCp", "__conRegisterDll", "__conUnRegisterDll"};

// Each published before the lookup is marked done.
void* found[kServices];
int looked_up;

void look_up() {
  KeptLastError kept;
  HMODULE runtime = GetModuleHandleA("XPPRT1.dll");
  for (int i = 0; i < kServices; ++i) {
    void* service = find_procedure<void*>(runtime, kServiceNames[i]);
    __atomic_store_n(&found[i], service, __ATOMIC_RELAXED);
  }
  __atomic_store_n(&looked_up, 1, __ATOMIC_RELEASE);
}

template <typename Function>
Function service(Service which) {
  return reinterpret_cast<Function>(__atomic_load_n(&found[which], __ATOMIC_RELAXED));
}

}  // namespace

RuntimeServices runtime_services() {
  if (__atomic_load_n(&looked_up, __ATOMIC_ACQUIRE) == 0) look_up();
  return RuntimeServices{service<XppCharSetIsOem>(kCharsetIsOem),
                         service<XppConvertCharset>(kToAnsi), service<XppConvertCharset>(kToOem),
                         service<XppRegisterDll>(kRegisterDll),
                         service<XppUnRegisterDll>(kUnRegisterDll)};
}

}  // namespace qv
