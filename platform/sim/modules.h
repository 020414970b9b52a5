// Modules loaded as data files: their messages, for FormatMessageA.
#ifndef QUORVEL_SIM_MODULES_H
#define QUORVEL_SIM_MODULES_H

#include <string>

#include "windows_sim.h"

namespace qvsim::detail {

// Message `id` of the module's message table in the language asked for (0: as FormatMessage
// searches), as 8-bit text; the Windows error when there is none. Call with lock() held.
DWORD module_message(HMODULE module, DWORD id, DWORD language, std::string* text);

// Whether the handle is a module of the system loaded for its code (kernel32, wevtapi).
bool is_system_module(HMODULE module);

}  // namespace qvsim::detail

#endif
