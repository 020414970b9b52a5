// Controls of the simulated system time-zone setting (GetTimeZoneInformation).
//
// By default the simulated system reports the host's own zone, as the C library sees it
// (TZ or /etc/localtime): its standard and daylight offsets and names, and the rules of its
// daylight time in the year of the simulated clock, in the fields Windows fills: Bias and
// DaylightBias, DaylightDate and StandardDate in their day-in-month form (wYear 0, wDay 5
// for the last such weekday), StandardBias 0; a zone without daylight time has no dates
// and the query gives TIME_ZONE_ID_UNKNOWN. reset() returns to that.
#ifndef QUORVEL_SIM_TIMEZONE_CONTROL_H
#define QUORVEL_SIM_TIMEZONE_CONTROL_H

#include <cstdint>

#include "qvsim/control.h"
#include "windows_sim.h"

namespace qvsim {

// GetTimeZoneInformation reports this zone and returns `result` (TIME_ZONE_ID_UNKNOWN,
// _STANDARD or _DAYLIGHT; TIME_ZONE_ID_INVALID makes it fail).
QVSIM_API void set_time_zone(const TIME_ZONE_INFORMATION& info, uint32_t result);
// The host's own zone again.
QVSIM_API void use_host_time_zone();
// What GetTimeZoneInformation would report now, and its result.
QVSIM_API uint32_t host_time_zone(TIME_ZONE_INFORMATION* info);
// How often GetTimeZoneInformation has been called in this process (reset() keeps it).
QVSIM_API int time_zone_queries();

}  // namespace qvsim

#endif
