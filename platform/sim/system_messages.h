// The system's message texts that the simulated FormatMessageA gives: Windows' own US
// English texts, without the CR LF that FormatMessageA puts after each.
//
// A plain table with no dependencies, so that the Windows-side checks can compare it with
// the texts of a real system (or Wine) entry by entry.
#ifndef QUORVEL_PLATFORM_SIM_SYSTEM_MESSAGES_H
#define QUORVEL_PLATFORM_SIM_SYSTEM_MESSAGES_H

#include <stdint.h>

namespace qvsim {

struct SystemMessage {
  uint32_t code;
  const char* text;
};

inline constexpr SystemMessage kSystemMessages[] = {
    {0, "The operation completed successfully."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {23, "Data error (cyclic redundancy check)."},
    {38, "Reached the end of the file."},
    {87, "The parameter is incorrect."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {234, "More data is available."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page."},
    {1332, "No mapping between account names and security IDs was done."},
    {1500, "The event log file is corrupted."},
    {1501, "No event log file could be opened, so the event logging service did not start."},
    {1502, "The event log file is full."},
    {1503, "The event log file has changed between read operations."},
    {1722, "The RPC server is unavailable."},
    {1734, "The array bounds are invalid."},
};

}  // namespace qvsim

#endif
