// The module's registration with the Xbase++ run-time as it loads and unloads, so that a
// program can load it with DllLoad() and call its functions by name or through macros.
// A run-time without the registration services, or one that refuses the record, changes
// nothing: the module works as linked through its import library.
#ifndef QUORVEL_EXPORTS_REGISTRATION_H
#define QUORVEL_EXPORTS_REGISTRATION_H

#include "platform/qv_windows.h"

namespace qv {

// Registers every export of the module with the run-time; at load.
void register_with_runtime(HMODULE module);

// Ends the registration, when there was one; at unload.
void unregister_from_runtime(HMODULE module);

// The module is detached from the process: by an unload, which ends the registration, or at
// the process's end, when nothing is done. The run-time's other threads were then stopped
// wherever they were, perhaps holding its locks, and it goes with the process anyway.
void module_detached(HMODULE module, bool process_ending);

}  // namespace qv

#endif
