// The module's load and unload hooks where there is no DllMain: it registers with the
// run-time as it is loaded and ends that as it is unloaded. Its handle is the one the C++
// run-time knows it by.
#include "exports/registration.h"

extern "C" void* __dso_handle;

namespace {

HMODULE this_module() { return reinterpret_cast<HMODULE>(&__dso_handle); }

__attribute__((constructor)) void on_load() { qv::register_with_runtime(this_module()); }

__attribute__((destructor)) void on_unload() { qv::unregister_from_runtime(this_module()); }

}  // namespace
