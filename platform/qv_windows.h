// The one header through which the library reaches the Windows API.
// On Windows it is <windows.h> with <winevt.h> (the types and prototypes of the event log of
// Windows Vista and later, whose functions the library looks up at run time, never imports);
// elsewhere the simulated services declare the same names, types, structures and constants.
#ifndef QUORVEL_PLATFORM_QV_WINDOWS_H
#define QUORVEL_PLATFORM_QV_WINDOWS_H

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winevt.h>
#else
#include "windows_sim.h"
#endif

#endif
