// Modules loaded as data files: their messages, for FormatMessageA.
#ifndef QUORVEL_SIM_MODULES_H
#define QUORVEL_SIM_MODULES_H

#include <string>

#include "windows_sim.h"

namespace qvsim::detail {

// Message `id` of the module's message table in the language asked for (0: as FormatMessage
// searches), as 8-bit text; the Windows error when there is none. Call with lock() held.
DWORD module_message(HMODULE module, DWORD id, DWORD language, std::string* text);

// A message's text with the escapes that FormatMessage applies while it ignores inserts:
// %0 ends it, %n %r %t are CR LF, CR and tab, every line end becomes CR LF, and every other
// %-pair, inserts too, stays as written.
std::string escapes_applied(const std::string& raw);

}  // namespace qvsim::detail

#endif
