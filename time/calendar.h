// The Gregorian calendar over every local date an instant of the unsigned 32-bit range can
// have, as tables worked out at compile time: the first day of each year, and each day of a
// four-year cycle with its month, day of the month and day of the year.
#ifndef QUORVEL_TIME_CALENDAR_H
#define QUORVEL_TIME_CALENDAR_H

#include <stdint.h>

namespace qv {

constexpr int64_t kDay = 86400;

constexpr bool is_leap(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Day of the year on which each month begins, in common and in leap years.
inline constexpr int16_t kMonthStart[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// 1 January of each year from 1968 to 2110, as days from 1968-01-01: a local date of the
// range lies in 1969-2106, so an offset from UTC of up to a year either way stays inside.
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

// The year (index from 1968) of a day counted from 1968-01-01. Every fourth year from 1968
// on is a leap year but 2100, after which the count of 4 years to 1461 days falls short by
// one day: one comparison puts that right.
inline uint32_t year_index(uint32_t day) {
  const uint32_t i = 4 * day / 1461;
  return i + (day >= static_cast<uint32_t>(kCalendar.year_start[i + 1]) ? 1 : 0);
}

// 1 January of a year of the table, as days from 1970-01-01.
inline int64_t year_start(int64_t year) {
  return kCalendar.year_start[year - kFirstYear] - kDays1968;
}

// 1970-01-01 was a Thursday; days from it are never far below 0 here.
inline int weekday_of(int64_t days) { return static_cast<int>((days + 4 + 7 * 400) % 7); }

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

// A local time: its day counted from 1968-01-01, the seconds into that day and the day's
// entry of the cycle table. Each field is worked out when it is asked for, so that a
// format that shows the date alone does not pay for the time of day or the weekday.
struct LocalTime {
  uint32_t day = 0;
  uint32_t secs = 0;
  uint32_t cycle = 0;  // four-year cycles since 1968
  uint32_t entry = 0;  // kCycle.day of the day
  bool daylight = false;

  int32_t second() const { return static_cast<int32_t>(secs % 60); }
  int32_t minute() const { return static_cast<int32_t>(secs / 60 % 60); }
  int32_t hour() const { return static_cast<int32_t>(secs / 3600); }
  int32_t day_of_month() const { return static_cast<int32_t>(entry >> 15); }
  int32_t month() const { return static_cast<int32_t>((entry >> 11) & 15); }  // 0-11
  int32_t year() const {                                                      // years since 1900
    return static_cast<int32_t>(kFirstYear - 1900 + 4 * cycle + (entry & 3));
  }
  int32_t weekday() const { return static_cast<int32_t>((day + kFirstWeekday) % 7); }
  int32_t yearday() const {
    return static_cast<int32_t>(((entry >> 2) & 511) -
                                (day >= kMarch2100 && day < kJanuary2101 ? 1 : 0));
  }
};

// The local time of a day of the table and the seconds into it.
inline LocalTime calendar_time(uint32_t day, uint32_t secs, bool daylight) {
  const uint32_t counted = day + (day >= kMarch2100 ? 1 : 0);
  LocalTime t;
  t.day = day;
  t.secs = secs;
  t.cycle = counted / 1461;
  t.entry = kCycle.day[counted - t.cycle * 1461];
  t.daylight = daylight;
  return t;
}

}  // namespace qv

#endif
