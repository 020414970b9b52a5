// Local time from seconds since 1970: Gregorian calendar throughout, 64-bit arithmetic so
// nothing wraps at either end of the unsigned 32-bit range.
#include "reading/local_time.h"

namespace qv {
namespace {

constexpr int64_t kDay = 86400;

// Floor division and its remainder, for counts that may be negative.
int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }

constexpr bool is_leap(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Day of the year on which each month begins, in common and in leap years.
constexpr int16_t kMonthStart[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};

// 1 January of each year that a local date of the unsigned 32-bit range can fall in, with
// a year's margin either side, as days from 1970-01-01. Years outside take the general
// calendar arithmetic.
constexpr int kFirstYear = 1968;
constexpr int kYears = 142;  // 1968-2109
struct YearTable {
  int32_t start[kYears + 1] = {};
  constexpr YearTable() {
    int32_t days = -731;  // 1968-01-01
    for (int i = 0; i <= kYears; ++i) {
      start[i] = days;
      days += is_leap(kFirstYear + i) ? 366 : 365;
    }
  }
};
constexpr YearTable kYearTable;

int64_t year_start(int64_t year) {
  const int64_t i = year - kFirstYear;
  return i >= 0 && i <= kYears ? kYearTable.start[i] : days_from_civil(year, 1, 1);
}

int64_t year_of(int64_t days) {
  if (days < kYearTable.start[0] || days >= kYearTable.start[kYears]) {
    int64_t year = 0;
    int month = 0;
    int day = 0;
    civil_from_days(days, &year, &month, &day);
    return year;
  }
  // Dividing by 366 falls short by one year at most over the table.
  int32_t i = static_cast<int32_t>(days - kYearTable.start[0]) / 366;
  while (kYearTable.start[i + 1] <= days) ++i;
  return kFirstYear + i;
}

// 1970-01-01 was a Thursday.
int weekday_of(int64_t days) { return static_cast<int>(floor_mod(days + 4, 7)); }

// The day (from 1970-01-01) on which the rule falls in that year.
int64_t rule_day(const ZoneRule& rule, int64_t year) {
  const int64_t jan1 = year_start(year);
  const int leap = is_leap(year) ? 1 : 0;
  switch (rule.kind) {
    case ZoneRule::kJulian:
      // Jn never counts 29 February: from day 60 on a leap year is one day further.
      return jan1 + rule.day - 1 + (rule.day >= 60 ? leap : 0);
    case ZoneRule::kYearDay:
      return jan1 + rule.day;
    case ZoneRule::kMonthWeek:
      break;
  }
  const int64_t first = jan1 + kMonthStart[leap][rule.month - 1];
  const int length = kMonthStart[leap][rule.month] - kMonthStart[leap][rule.month - 1];
  int offset = (rule.weekday - weekday_of(first) + 7) % 7 + 7 * (rule.week - 1);
  // Week 5 means the last such weekday, which may be the fourth.
  while (offset >= length) offset -= 7;
  return first + offset;
}

}  // namespace

int64_t days_from_civil(int64_t year, int month, int day) {
  // Count from 1 March so that the leap day ends each 400-year era's years.
  year -= month <= 2;
  const int64_t era = floor_div(year, 400);
  const int64_t yoe = year - era * 400;                                          // 0-399
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;  // 0-365
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;                     // 0-146096
  return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t days, int64_t* year, int* month, int* day) {
  days += 719468;
  const int64_t era = floor_div(days, 146097);
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;  // 0 is March
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = yoe + era * 400 + (*month <= 2);
}

int64_t rule_instant(const ZoneRule& rule, int64_t year, int32_t offset) {
  return rule_day(rule, year) * kDay + rule.time - offset;
}

bool is_daylight_time(int64_t utc, const TimeZone& zone) {
  if (!zone.has_daylight) return false;
  // The rules of the UTC year of the instant. Daylight time begins in standard time and
  // ends in daylight time; where it ends before it begins, it spans the new year.
  const int64_t year = year_of(floor_div(utc, kDay));
  const int64_t start = rule_instant(zone.start, year, zone.std_offset);
  const int64_t end = rule_instant(zone.end, year, zone.dst_offset);
  if (start > end) return utc < end || utc >= start;
  return utc >= start && utc < end;
}

LocalTime to_local_time(uint32_t seconds, const TimeZone& zone) {
  const int64_t utc = seconds;
  const bool daylight = is_daylight_time(utc, zone);
  const int64_t local = utc + (daylight ? zone.dst_offset : zone.std_offset);

  const int64_t days = floor_div(local, kDay);
  const int32_t secs = static_cast<int32_t>(local - days * kDay);
  const int64_t year = year_of(days);
  const int32_t yearday = static_cast<int32_t>(days - year_start(year));
  const int16_t* months = kMonthStart[is_leap(year) ? 1 : 0];
  int month = yearday / 32;  // never past the month of the day
  while (yearday >= months[month + 1]) ++month;

  LocalTime t;
  t.second = secs % 60;
  t.minute = secs / 60 % 60;
  t.hour = secs / 3600;
  t.day = yearday - months[month] + 1;
  t.month = month;
  t.year = static_cast<int32_t>(year - 1900);
  t.weekday = weekday_of(days);
  t.yearday = yearday;
  t.daylight = daylight ? 1 : 0;
  return t;
}

}  // namespace qv
