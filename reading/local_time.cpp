// Local time from seconds since 1970: Gregorian calendar throughout, 64-bit arithmetic so
// nothing wraps at either end of the unsigned 32-bit range. The common case, a local date
// in 1968-2109 in a zone set up with its daylight years, takes the tables of
// local_time_table.h; here is the rest, and the zone's set-up.
#include "reading/local_time.h"

#include <initializer_list>

#include "reading/local_time_table.h"

namespace qv {
namespace {

using table::daylight_by_span;
using table::daylight_by_years;
using table::is_leap;
using table::kCalendar;
using table::kDay;
using table::kDays1968;
using table::kFirstYear;
using table::kMonthStart;
using table::kTableSeconds;
using table::kYears;
using table::table_year;

// Floor division and its remainder, for counts that may be negative.
int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }

int64_t year_start(int64_t year) {
  const int64_t i = year - kFirstYear;
  return i >= 0 && i <= kYears ? kCalendar.year_start[i] - kDays1968 : days_from_civil(year, 1, 1);
}

int64_t year_of(int64_t days) {
  const int64_t day = days + kDays1968;
  if (day < 0 || day >= kCalendar.year_start[kYears]) {
    int64_t year = 0;
    int month = 0;
    int day_of_month = 0;
    civil_from_days(days, &year, &month, &day_of_month);
    return year;
  }
  return kFirstYear + table_year(static_cast<uint32_t>(day));
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

// Daylight time from the rules of the UTC year of the instant. Daylight time begins in
// standard time and ends in daylight time; where it ends before it begins, it spans the
// new year.
[[gnu::noinline]] bool daylight_by_rules(int64_t utc, const TimeZone& zone) {
  const int64_t year = year_of(floor_div(utc, kDay));
  const int64_t start = rule_instant(zone.start, year, zone.std_offset);
  const int64_t end = rule_instant(zone.end, year, zone.dst_offset);
  if (start > end) return utc < end || utc >= start;
  return utc >= start && utc < end;
}

// What daylight time does in one span, from the years: it changes only where a year
// begins, or where a year's daylight time begins or ends, so the years of the span's first
// and last seconds tell.
uint32_t daylight_span(const TimeZone& zone, uint32_t span) {
  const int64_t first = int64_t{span} << kDaylightSpanBits;
  const int64_t next = first + (int64_t{1} << kDaylightSpanBits);
  int64_t candidates[6] = {};
  int count = 0;
  for (const int64_t t : {first, next - 1}) {
    const uint32_t day = static_cast<uint32_t>(t / kDay) + kDays1968;
    const uint32_t year = table_year(day);
    const DaylightYear& y = zone.years[year - (kDaylightFirstYear - kFirstYear)];
    candidates[count++] = (int64_t{kCalendar.year_start[year]} - kDays1968) * kDay;
    candidates[count++] = y.from;
    candidates[count++] = y.to;
  }
  const uint32_t at_first = daylight_by_years(static_cast<uint32_t>(first), zone) ? 1 : 0;
  int changes = 0;
  int64_t change = next;
  for (int i = 0; i < count; ++i) {
    const int64_t c = candidates[i];
    if (c <= first || c >= next) continue;
    bool seen = false;
    for (int j = 0; j < i; ++j) seen = seen || candidates[j] == c;
    if (seen || daylight_by_years(static_cast<uint32_t>(c), zone) ==
                    daylight_by_years(static_cast<uint32_t>(c - 1), zone))
      continue;
    ++changes;
    change = c;
  }
  if (changes > 1) return at_first | 2;
  return at_first | static_cast<uint32_t>(change - first) << 2;
}

// The same by the general calendar arithmetic, for any local time.
[[gnu::noinline]] void fields_by_calendar(int64_t local, LocalTime* t) {
  const int64_t days = floor_div(local, kDay);
  const int32_t secs = static_cast<int32_t>(local - days * kDay);
  const int64_t year = year_of(days);
  const int32_t yearday = static_cast<int32_t>(days - year_start(year));
  const int16_t* months = kMonthStart[is_leap(year) ? 1 : 0];
  int month = yearday / 32;  // never past the month of the day
  while (yearday >= months[month + 1]) ++month;
  t->second = secs % 60;
  t->minute = secs / 60 % 60;
  t->hour = secs / 3600;
  t->day = yearday - months[month] + 1;
  t->month = month;
  t->year = static_cast<int32_t>(year - 1900);
  t->weekday = weekday_of(days);
  t->yearday = yearday;
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

void fill_daylight_years(TimeZone* zone) {
  for (int i = 0; i < kDaylightYears; ++i) {
    DaylightYear& y = zone->years[i];
    y = DaylightYear();  // an empty span: never daylight time
    if (!zone->has_daylight) continue;
    const int64_t start = rule_instant(zone->start, kDaylightFirstYear + i, zone->std_offset);
    const int64_t end = rule_instant(zone->end, kDaylightFirstYear + i, zone->dst_offset);
    y.inverted = start > end;
    y.from = y.inverted ? end : start;
    y.to = y.inverted ? start : end;
  }
  for (int i = 0; i < kDaylightSpans; ++i)
    zone->spans[i] = daylight_span(*zone, static_cast<uint32_t>(i));
  zone->years_ready = true;
}

bool is_daylight_time(int64_t utc, const TimeZone& zone) {
  if (zone.years_ready && utc >= 0 && utc <= UINT32_MAX)
    return daylight_by_span(static_cast<uint32_t>(utc), zone);
  return zone.has_daylight && daylight_by_rules(utc, zone);
}

namespace {

// Any instant in any zone: the rules applied afresh where the zone has no years, the
// calendar arithmetic where the local time lies outside the table.
[[gnu::noinline]] LocalTime local_time_generally(uint32_t seconds, const TimeZone& zone) {
  const bool daylight = zone.years_ready ? daylight_by_span(seconds, zone)
                                         : zone.has_daylight && daylight_by_rules(seconds, zone);
  const int64_t local = int64_t{seconds} + (daylight ? zone.dst_offset : zone.std_offset);
  const int64_t since_1968 = local + kDays1968 * kDay;
  if (since_1968 >= 0 && since_1968 < kTableSeconds) {
    const uint32_t day = static_cast<uint32_t>(static_cast<uint64_t>(since_1968) / kDay);
    const uint32_t secs = static_cast<uint32_t>(since_1968 - int64_t{day} * kDay);
    return table::broken_down(table::table_time(day, secs, daylight));
  }
  LocalTime t;
  fields_by_calendar(local, &t);
  t.daylight = daylight ? 1 : 0;
  return t;
}

}  // namespace

LocalTime to_local_time(uint32_t seconds, const TimeZone& zone) {
  table::TableTime t;
  if (table::table_time_of(seconds, zone, &t)) return table::broken_down(t);
  return local_time_generally(seconds, zone);
}

}  // namespace qv
