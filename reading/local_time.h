// Seconds since 1970 to broken-down local time, the zone's daylight rules applied.
#ifndef QUORVEL_READING_LOCAL_TIME_H
#define QUORVEL_READING_LOCAL_TIME_H

#include <stdint.h>

#include "reading/time_zone.h"

namespace qv {

struct LocalTime {
  int32_t second = 0;    // 0-59
  int32_t minute = 0;    // 0-59
  int32_t hour = 0;      // 0-23
  int32_t day = 0;       // day of the month, 1-31
  int32_t month = 0;     // 0-11
  int32_t year = 0;      // years since 1900
  int32_t weekday = 0;   // 0-6, Sunday 0
  int32_t yearday = 0;   // 0-365, 1 January 0
  int32_t daylight = 0;  // 1 when daylight time applies
};

// Whether daylight time applies at that instant (seconds since 1970 UTC).
bool is_daylight_time(int64_t utc, const TimeZone& zone);

// The instant (seconds since 1970 UTC) at which the rule takes effect in that year, for a
// rule whose time is written in the local time `offset` seconds east of UTC.
int64_t rule_instant(const ZoneRule& rule, int64_t year, int32_t offset);

// Works the zone's rules out for each year of the unsigned 32-bit range into zone->years,
// so that a conversion looks them up. Called where a zone is set up.
void fill_daylight_years(TimeZone* zone);

// The local time of an instant given as an unsigned 32-bit count of seconds since 1970.
LocalTime to_local_time(uint32_t seconds, const TimeZone& zone);

// Gregorian calendar helpers over a day count from 1970-01-01.
int64_t days_from_civil(int64_t year, int month, int day);  // month 1-12
void civil_from_days(int64_t days, int64_t* year, int* month, int* day);

}  // namespace qv

#endif
