// The process's zone: TZ as it stood when the library was loaded, else the system's.
#include "time/zone.h"

namespace qv {
namespace {

// Longer than any value of the POSIX form (two quoted names of 128 characters, two offsets
// and two rules come to about 320).
constexpr DWORD kTzBytes = 512;

// TZ from the process environment, as the application may have set it before loading the
// library (a copy of the environment taken at the process's start would miss that). An
// empty or missing TZ counts as not set; a value that is not of the POSIX form (a zone
// file name such as Europe/Berlin, anything malformed, a name over 128 characters) gives
// way to the system's zone.
bool read_tz(TimeZone* zone) {
  char tz[kTzBytes];
  const DWORD n = GetEnvironmentVariableA("TZ", tz, kTzBytes);
  return n > 0 && n < kTzBytes && parse_posix_tz(tz, zone);
}

// Set once, while the library is loaded; TZ is not read again.
TimeZone tz_zone;
const bool from_tz = read_tz(&tz_zone);

}  // namespace

const TimeZone& process_zone() { return from_tz ? tz_zone : system_zone(); }

}  // namespace qv
