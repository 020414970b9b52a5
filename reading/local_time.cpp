// Local time from seconds since 1970: Gregorian calendar throughout, 64-bit arithmetic so
// nothing wraps at either end of the unsigned 32-bit range.
#include "reading/local_time.h"

namespace qv {
namespace {

constexpr int64_t kDay = 86400;

// Floor division and its remainder, for counts that may be negative.
int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }

bool is_leap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int month_days(int64_t year, int month) {  // month 1-12
  static const int8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

// 1970-01-01 was a Thursday.
int weekday_of(int64_t days) { return static_cast<int>(floor_mod(days + 4, 7)); }

// The day (from 1970-01-01) on which the rule falls in that year.
int64_t rule_day(const ZoneRule& rule, int64_t year) {
  const int64_t jan1 = days_from_civil(year, 1, 1);
  switch (rule.kind) {
    case ZoneRule::kJulian:
      // Jn never counts 29 February: from day 60 on a leap year is one day further.
      return jan1 + rule.day - 1 + (rule.day >= 60 && is_leap(year) ? 1 : 0);
    case ZoneRule::kYearDay:
      return jan1 + rule.day;
    case ZoneRule::kMonthWeek:
      break;
  }
  const int64_t first = days_from_civil(year, rule.month, 1);
  int offset = (rule.weekday - weekday_of(first) + 7) % 7 + 7 * (rule.week - 1);
  // Week 5 means the last such weekday, which may be the fourth.
  while (offset >= month_days(year, rule.month)) offset -= 7;
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
  int64_t year = 0;
  int month = 0;
  int day = 0;
  civil_from_days(floor_div(utc, kDay), &year, &month, &day);
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
  const int64_t secs = local - days * kDay;
  int64_t year = 0;
  int month = 0;
  int day = 0;
  civil_from_days(days, &year, &month, &day);

  LocalTime t;
  t.second = static_cast<int32_t>(secs % 60);
  t.minute = static_cast<int32_t>(secs / 60 % 60);
  t.hour = static_cast<int32_t>(secs / 3600);
  t.day = day;
  t.month = month - 1;
  t.year = static_cast<int32_t>(year - 1900);
  t.weekday = weekday_of(days);
  t.yearday = static_cast<int32_t>(days - days_from_civil(year, 1, 1));
  t.daylight = daylight ? 1 : 0;
  return t;
}

}  // namespace qv
