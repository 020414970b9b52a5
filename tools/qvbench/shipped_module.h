// The library's exports as it ships them: resolved by name from the module beside qvbench
// (libquorvel.so), loaded once, as the Xbase++ run-time calls into quorvel.dll. A copy
// linked into qvbench itself would sit far from the run-time's module in the address space
// of a 64-bit process, which makes every call between them dearer than calls between two
// DLLs of a 32-bit process are.
#ifndef QUORVEL_TOOLS_QVBENCH_SHIPPED_MODULE_H
#define QUORVEL_TOOLS_QVBENCH_SHIPPED_MODULE_H

#include "xpprt/host.h"

namespace qvbench {

// The export of that name, or null when the module or the export cannot be found.
xpp::ExportFn shipped_export(const char* name);

}  // namespace qvbench

#endif
