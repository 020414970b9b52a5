// Time zones of the local-time conversion: the POSIX TZ form, the system's setting, and the
// zone of this process (TZ as it stood at load, else the system's setting queried once).
#ifndef QUORVEL_READING_TIME_ZONE_H
#define QUORVEL_READING_TIME_ZONE_H

#include <stdint.h>

#include "platform/qv_windows.h"

namespace qv {

// Longest zone name kept (what %Z can give).
constexpr int kZoneNameMax = 128;

// When daylight time starts or ends: a day of the year and a local time on it.
struct ZoneRule {
  // kMonthWeek first: a zone that is all zeros is a zone of its defaults, kept in .bss.
  enum Kind : uint8_t {
    kMonthWeek,  // Mm.w.d: weekday d (0 Sunday) of week w (5: the last) of month m
    kJulian,     // Jn: day 1-365, 29 February never counted
    kYearDay,    // n: day 0-365, 29 February counted
  };
  Kind kind = kMonthWeek;
  int16_t day = 0;      // kJulian, kYearDay
  uint8_t month = 0;    // kMonthWeek: 1-12
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
  // The rules worked out for every year, once, when the zone is set up; a conversion then
  // looks its year up. Without them (years_ready false) the rules are applied afresh.
  bool years_ready = false;
  DaylightYear years[kDaylightYears] = {};
  uint32_t spans[kDaylightSpans] = {};  // from the years, ready with them
};

// Parses a POSIX TZ value (std offset [dst [offset] [,start[/time],end[/time]]]), filling
// in the defaults for what it leaves out. False, with *zone unspecified, when the whole
// value is not of that form.
bool parse_posix_tz(const char* text, TimeZone* zone);

// The zone that the system's time-zone query describes, given what the query returned.
TimeZone zone_from_system(const TIME_ZONE_INFORMATION& info, DWORD result);

// 5 hours west, "EST"/"EDT", daylight time from April to October.
TimeZone fallback_zone();

// The system's zone, queried once in the process at its first use.
const TimeZone& system_zone();

// The process's zone: TZ as it stood when the library was loaded, else the system's zone.
const TimeZone& process_zone();

}  // namespace qv

#endif
