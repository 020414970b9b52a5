// Functions of a loaded module found while the program runs, for what an older Windows or
// run-time may lack: the caller does without when the module has no such function.
#ifndef QUORVEL_HOST_PROCEDURE_H
#define QUORVEL_HOST_PROCEDURE_H

#include "platform/qv_windows.h"

namespace qv {

// The module's function of that name as the type given; null when the module is null or
// has no such function.
template <typename Function>
Function find_procedure(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace qv

#endif
