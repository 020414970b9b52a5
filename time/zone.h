// Time zones of the local-time conversion: offsets, names and daylight rules, and the
// daylight time of every instant of the unsigned 32-bit range worked out once, when a zone
// is set up. A zone comes from TZ (posix_tz.cpp) or from the system (system_zone.cpp);
// the process has one of them (process_zone.cpp).
#ifndef QUORVEL_TIME_ZONE_H
#define QUORVEL_TIME_ZONE_H

#include <stdint.h>

#include "platform/qv_windows.h"
#include "time/calendar.h"

namespace qv {

// Longest zone name kept (what %Z can give).
constexpr int kZoneNameMax = 128;

// Offsets from UTC are kept within a day either way (TZ's own limit; the system's biases
// are clamped to it), but for TZ's default daylight offset, an hour past a standard one:
// every local date lies well inside the calendar's tables.
constexpr int32_t kMaxOffset = 24 * 3600;

// When daylight time starts or ends: a day of the year and a local time on it.
struct ZoneRule {
  // kMonthWeek first: a zone that is all zeros is a zone of its defaults, kept in .bss.
  enum Kind : uint8_t {
    kMonthWeek,  // Mm.w.d: weekday d (0 Sunday) of week w (5: the last) of month m
    kJulian,     // Jn: day 1-365, 29 February never counted
    kYearDay,    // n: day 0-365, 29 February counted
    kMonthDay,   // day d of month m, the month's last day where it is shorter
  };
  Kind kind = kMonthWeek;
  int16_t day = 0;      // kJulian, kYearDay, kMonthDay
  uint8_t month = 0;    // kMonthWeek, kMonthDay: 1-12
  uint8_t week = 0;     // kMonthWeek: 1-5
  uint8_t weekday = 0;  // kMonthWeek: 0-6
  int32_t time = 0;     // seconds after local midnight of that day, -167 h to +167 h
};

// Daylight time in one UTC year: the instants (seconds since 1970 UTC) at which it begins
// and ends, kept as the half-open span [from, to) that is daylight time, or standard time
// when `inverted` (daylight time across the new year).
struct DaylightYear {
  int64_t from = 0;
  int64_t to = 0;
  bool inverted = false;
};

// The UTC years of the unsigned 32-bit range of seconds since 1970.
constexpr int kDaylightFirstYear = 1970;
constexpr int kDaylightYears = 137;  // 1970-2106

// The unsigned 32-bit range in spans of 2^21 seconds (about 24 days), each with what
// daylight time does in it: bit 0, whether it applies at the span's first second; bit 1,
// set when it changes more than once in the span (the years tell); from bit 2 on, the
// second within the span at which it changes, 2^21 when it does not.
constexpr int kDaylightSpanBits = 21;
constexpr int kDaylightSpans = 1 << (32 - kDaylightSpanBits);

struct TimeZone {
  int32_t std_offset = 0;  // seconds east of UTC in standard time
  int32_t dst_offset = 0;  // seconds east of UTC in daylight time
  bool has_daylight = false;
  ZoneRule start;  // daylight time begins, in standard time
  ZoneRule end;    // daylight time ends, in daylight time
  char std_name[kZoneNameMax + 1] = {};
  char dst_name[kZoneNameMax + 1] = {};
  // The rules worked out for every year, and the spans from them (set_up_daylight).
  DaylightYear years[kDaylightYears] = {};
  uint32_t spans[kDaylightSpans] = {};
};

// --- daylight.cpp

// The instant (seconds since 1970 UTC) at which the rule takes effect in that year
// (1970-2106), for a rule whose time is written in the local time `offset` seconds east of
// UTC.
int64_t rule_instant(const ZoneRule& rule, int64_t year, int32_t offset);

// Works the zone's rules out for each year of the range, and each span from the years.
// Every zone is set up so before it converts anything.
void set_up_daylight(TimeZone* zone);

// Whether daylight time applies at the instant, from the zone's years: every instant of
// the range falls in one of them.
inline bool daylight_by_years(uint32_t utc, const TimeZone& zone) {
  const uint32_t day = utc / static_cast<uint32_t>(kDay) + kDays1968;
  const DaylightYear& y = zone.years[year_index(day) - (kDaylightFirstYear - kFirstYear)];
  const bool inside = static_cast<uint64_t>(utc - y.from) < static_cast<uint64_t>(y.to - y.from);
  return inside != y.inverted;
}

// The same by the instant's span, which leaves all but a few to a comparison.
inline bool daylight_at(uint32_t utc, const TimeZone& zone) {
  const uint32_t span = zone.spans[utc >> kDaylightSpanBits];
  if ((span & 2) != 0) [[unlikely]]
    return daylight_by_years(utc, zone);
  const uint32_t within = utc & ((uint32_t{1} << kDaylightSpanBits) - 1);
  return ((span & 1) != 0) != (within >= (span >> 2));
}

// --- posix_tz.cpp

// Parses a POSIX TZ value (std offset [dst [offset] [,start[/time],end[/time]]]), filling
// in the defaults for what it leaves out, and sets the zone up. False, with *zone
// unspecified, when the whole value is not of that form.
bool parse_posix_tz(const char* text, TimeZone* zone);

// 5 hours west, "EST"/"EDT", daylight time from April to October.
void set_fallback_zone(TimeZone* zone);

// --- system_zone.cpp

// The zone that the system's time-zone query describes, given what the query returned.
void zone_from_system(const TIME_ZONE_INFORMATION& info, DWORD result, TimeZone* zone);

// The system's zone, queried once in the process at its first use.
const TimeZone& system_zone();

// --- process_zone.cpp

// The process's zone: TZ as the process environment held it when the library was loaded,
// else the system's zone.
const TimeZone& process_zone();

}  // namespace qv

#endif
