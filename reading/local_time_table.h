// The common way of the local-time conversion, inline where it is used: a local date in
// 1968-2109 in a zone set up with its daylight years, worked out from tables in 32-bit
// steps. Everything else takes to_local_time's general way.
#ifndef QUORVEL_READING_LOCAL_TIME_TABLE_H
#define QUORVEL_READING_LOCAL_TIME_TABLE_H

#include <stdint.h>

#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace qv {
namespace table {

constexpr int64_t kDay = 86400;

constexpr bool is_leap(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Day of the year on which each month begins, in common and in leap years.
inline constexpr int16_t kMonthStart[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// 1 January of each year that a local date of the unsigned 32-bit range can fall in, with
// a year's margin either side, as days from 1968-01-01.
constexpr int kFirstYear = 1968;
constexpr int kYears = 142;         // 1968-2109
constexpr int32_t kDays1968 = 731;  // 1968-01-01 to 1970-01-01
constexpr int kFirstWeekday = 1;    // 1968-01-01 was a Monday
struct CalendarTable {
  int32_t year_start[kYears + 1] = {};
  constexpr CalendarTable() {
    int32_t days = 0;
    for (int i = 0; i <= kYears; ++i) {
      year_start[i] = days;
      days += is_leap(kFirstYear + i) ? 366 : 365;
    }
  }
};
inline constexpr CalendarTable kCalendar;
constexpr int64_t kTableSeconds = int64_t{kCalendar.year_start[kYears]} * kDay;

// The year (index from 1968) of a day of the table, counted from 1968-01-01. Every fourth
// year from 1968 on is a leap year but 2100, after which the count of 4 years to 1461 days
// falls short by one day: one comparison puts that right.
inline uint32_t table_year(uint32_t day) {
  uint32_t i = 4 * day / 1461;
  return i + (day >= static_cast<uint32_t>(kCalendar.year_start[i + 1]) ? 1 : 0);
}

// Daylight time from the zone's years: every instant of the range falls in one of them.
inline bool daylight_by_years(uint32_t utc, const TimeZone& zone) {
  const uint32_t day = utc / static_cast<uint32_t>(kDay) + kDays1968;
  const DaylightYear& y = zone.years[table_year(day) - (kDaylightFirstYear - kFirstYear)];
  const bool inside = static_cast<uint64_t>(utc - y.from) < static_cast<uint64_t>(y.to - y.from);
  return inside != y.inverted;
}

// The same by the instant's span, which leaves all but a few to a comparison.
inline bool daylight_by_span(uint32_t utc, const TimeZone& zone) {
  const uint32_t span = zone.spans[utc >> kDaylightSpanBits];
  if ((span & 2) != 0) return daylight_by_years(utc, zone);
  const uint32_t within = utc & ((uint32_t{1} << kDaylightSpanBits) - 1);
  return ((span & 1) != 0) != (within >= (span >> 2));
}

// Each day of a four-year cycle that begins with a leap year, as the cycle's year (bits
// 0-1), the day of the year (bits 2-10), the month, 0-11 (bits 11-14) and the day of the
// month (bits 15-19). 2100 is the one common year of the table that falls on the leap
// year of its cycle: from its 1 March on, days are counted one further, as though it had
// a 29 February, and its own days of the year one less.
struct CycleTable {
  uint32_t day[1461] = {};
  constexpr CycleTable() {
    int i = 0;
    for (int year = 0; year < 4; ++year) {
      const int leap = year == 0 ? 1 : 0;
      for (int month = 0; month < 12; ++month) {
        for (int d = kMonthStart[leap][month]; d < kMonthStart[leap][month + 1]; ++d) {
          const int of_month = d - kMonthStart[leap][month] + 1;
          day[i++] = static_cast<uint32_t>(year | d << 2 | month << 11 | of_month << 15);
        }
      }
    }
  }
};
inline constexpr CycleTable kCycle;
constexpr uint32_t kMarch2100 = static_cast<uint32_t>(kCalendar.year_start[2100 - kFirstYear]) + 59;
constexpr uint32_t kJanuary2101 = static_cast<uint32_t>(kCalendar.year_start[2101 - kFirstYear]);

// A local time of the table: its day counted from 1968-01-01, the seconds into that day and
// the day's entry of the cycle table. Each field is worked out when it is asked for, so
// that a format that shows the date alone does not pay for the time of day or the weekday.
struct TableTime {
  uint32_t day = 0;
  uint32_t secs = 0;
  uint32_t cycle = 0;  // four-year cycles since 1968
  uint32_t entry = 0;  // kCycle.day of the day
  bool daylight = false;

  int32_t second() const { return static_cast<int32_t>(secs % 60); }
  int32_t minute() const { return static_cast<int32_t>(secs / 60 % 60); }
  int32_t hour() const { return static_cast<int32_t>(secs / 3600); }
  int32_t day_of_month() const { return static_cast<int32_t>(entry >> 15); }
  int32_t month() const { return static_cast<int32_t>((entry >> 11) & 15); }
  int32_t year() const { return static_cast<int32_t>(kFirstYear - 1900 + 4 * cycle + (entry & 3)); }
  int32_t weekday() const { return static_cast<int32_t>((day + kFirstWeekday) % 7); }
  int32_t yearday() const {
    return static_cast<int32_t>(((entry >> 2) & 511) -
                                (day >= kMarch2100 && day < kJanuary2101 ? 1 : 0));
  }
};

// The table time of a day of the table and the seconds into it.
inline TableTime table_time(uint32_t day, uint32_t secs, bool daylight) {
  const uint32_t counted = day + (day >= kMarch2100 ? 1 : 0);
  TableTime t;
  t.day = day;
  t.secs = secs;
  t.cycle = counted / 1461;
  t.entry = kCycle.day[counted - t.cycle * 1461];
  t.daylight = daylight;
  return t;
}

// Every field of a table time.
inline LocalTime broken_down(const TableTime& t) {
  LocalTime local;
  local.second = t.second();
  local.minute = t.minute();
  local.hour = t.hour();
  local.day = t.day_of_month();
  local.month = t.month();
  local.year = t.year();
  local.weekday = t.weekday();
  local.yearday = t.yearday();
  local.daylight = t.daylight ? 1 : 0;
  return local;
}

// The table time of the instant into *t, when the zone has its daylight years and the
// instant's day in standard time lies in the table with daylight time keeping it within
// that day; false, with *t untouched, otherwise.
[[gnu::always_inline]] inline bool table_time_of(uint32_t seconds, const TimeZone& zone,
                                                 TableTime* t) {
  if (!zone.years_ready) return false;
  const bool daylight = daylight_by_span(seconds, zone);
  // Daylight time is as likely as not for instants taken at random: its shift by a mask
  // rather than a branch.
  const int32_t daylight_mask = -static_cast<int32_t>(daylight);
  const int32_t shift = (zone.dst_offset - zone.std_offset) & daylight_mask;
  // The day in standard time does not wait for daylight time to be known; the shift moves
  // the time of day, which mostly stays within that day.
  const int64_t standard = int64_t{seconds} + zone.std_offset + kDays1968 * kDay;
  if (standard < 0 || standard >= kTableSeconds) return false;
  const uint32_t day = static_cast<uint32_t>(static_cast<uint64_t>(standard) / kDay);
  const int32_t secs = static_cast<int32_t>(standard - int64_t{day} * kDay) + shift;
  if (secs < 0 || secs >= kDay) return false;
  *t = table_time(day, static_cast<uint32_t>(secs), daylight);
  return true;
}

}  // namespace table
}  // namespace qv

#endif
