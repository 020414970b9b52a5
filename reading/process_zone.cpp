// The process's zone: TZ as it stood when the library was loaded, else the system's.
#include <stdlib.h>

#include "reading/time_zone.h"

namespace qv {
namespace {

struct LoadTimeZone {
  bool from_tz = false;
  TimeZone zone;
};

// Run once while the library is loaded; TZ is not read again. An empty TZ counts as not
// set; a value that is not of the POSIX form (a zone file name such as Europe/Berlin,
// anything malformed, a name over 128 characters) gives way to the system's zone.
LoadTimeZone read_tz() {
  LoadTimeZone loaded;
  const char* tz = getenv("TZ");
  if (tz != nullptr && *tz != '\0') loaded.from_tz = parse_posix_tz(tz, &loaded.zone);
  return loaded;
}

const LoadTimeZone load_time_zone = read_tz();

}  // namespace

const TimeZone& process_zone() {
  return load_time_zone.from_tz ? load_time_zone.zone : system_zone();
}

}  // namespace qv
