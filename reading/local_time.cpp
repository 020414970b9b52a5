// Local time from seconds since 1970: Gregorian calendar throughout, 64-bit arithmetic so
// nothing wraps at either end of the unsigned 32-bit range. The common case, a local date
// in 1968-2109 in a zone set up with its daylight years, takes tables and 32-bit steps.
#include "reading/local_time.h"

#include <initializer_list>

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
// a year's margin either side, as days from 1968-01-01. Years outside take the general
// calendar arithmetic.
constexpr int kFirstYear = 1968;
constexpr int kYears = 142;         // 1968-2109
constexpr int32_t kDays1968 = 731;  // 1968-01-01 to 1970-01-01
constexpr int kFirstWeekday = 1;    // 1968-01-01 was a Monday
struct CalendarTables {
  int32_t year_start[kYears + 1] = {};
  constexpr CalendarTables() {
    int32_t days = 0;
    for (int i = 0; i <= kYears; ++i) {
      year_start[i] = days;
      days += is_leap(kFirstYear + i) ? 366 : 365;
    }
  }
};
constexpr CalendarTables kCalendar;
constexpr int64_t kTableSeconds = int64_t{kCalendar.year_start[kYears]} * kDay;

// The year (index from 1968) of a day of the table, counted from 1968-01-01. Every fourth
// year from 1968 on is a leap year but 2100, after which the count of 4 years to 1461 days
// falls short by one day: one comparison puts that right.
uint32_t table_year(uint32_t day) {
  uint32_t i = 4 * day / 1461;
  return i + (day >= static_cast<uint32_t>(kCalendar.year_start[i + 1]) ? 1 : 0);
}

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

// The same from the zone's years: every instant of the range falls in one of them.
inline bool daylight_by_table(uint32_t utc, const TimeZone& zone) {
  const uint32_t day = utc / static_cast<uint32_t>(kDay) + kDays1968;
  const DaylightYear& y = zone.years[table_year(day) - (kDaylightFirstYear - kFirstYear)];
  const bool inside = static_cast<uint64_t>(utc - y.from) < static_cast<uint64_t>(y.to - y.from);
  return inside != y.inverted;
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
constexpr CycleTable kCycle;
constexpr uint32_t kMarch2100 = static_cast<uint32_t>(kCalendar.year_start[2100 - kFirstYear]) + 59;
constexpr uint32_t kJanuary2101 = static_cast<uint32_t>(kCalendar.year_start[2101 - kFirstYear]);

// The same by the instant's span, which leaves all but a few to a comparison.
inline bool daylight_by_span(uint32_t utc, const TimeZone& zone) {
  const uint32_t span = zone.spans[utc >> kDaylightSpanBits];
  if ((span & 2) != 0) return daylight_by_table(utc, zone);
  const uint32_t within = utc & ((uint32_t{1} << kDaylightSpanBits) - 1);
  return ((span & 1) != 0) != (within >= (span >> 2));
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
  const uint32_t at_first = daylight_by_table(static_cast<uint32_t>(first), zone) ? 1 : 0;
  int changes = 0;
  int64_t change = next;
  for (int i = 0; i < count; ++i) {
    const int64_t c = candidates[i];
    if (c <= first || c >= next) continue;
    bool seen = false;
    for (int j = 0; j < i; ++j) seen = seen || candidates[j] == c;
    if (seen || daylight_by_table(static_cast<uint32_t>(c), zone) ==
                    daylight_by_table(static_cast<uint32_t>(c - 1), zone))
      continue;
    ++changes;
    change = c;
  }
  if (changes > 1) return at_first | 2;
  return at_first | static_cast<uint32_t>(change - first) << 2;
}

// The fields of a local time of the table: its day counted from 1968-01-01 and the
// seconds into that day.
inline LocalTime fields_by_table(uint32_t day, uint32_t secs) {
  const uint32_t counted = day + (day >= kMarch2100 ? 1 : 0);
  const uint32_t cycle = counted / 1461;
  const uint32_t entry = kCycle.day[counted - cycle * 1461];
  const uint32_t yearday = ((entry >> 2) & 511) - (day >= kMarch2100 && day < kJanuary2101 ? 1 : 0);
  LocalTime t;
  t.second = static_cast<int32_t>(secs % 60);
  t.minute = static_cast<int32_t>(secs / 60 % 60);
  t.hour = static_cast<int32_t>(secs / 3600);
  t.day = static_cast<int32_t>(entry >> 15);
  t.month = static_cast<int32_t>((entry >> 11) & 15);
  t.year = static_cast<int32_t>(kFirstYear - 1900 + 4 * cycle + (entry & 3));
  t.weekday = static_cast<int32_t>((day + kFirstWeekday) % 7);
  t.yearday = static_cast<int32_t>(yearday);
  return t;
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
  LocalTime t;
  if (since_1968 >= 0 && since_1968 < kTableSeconds) {
    const uint32_t day = static_cast<uint32_t>(static_cast<uint64_t>(since_1968) / kDay);
    t = fields_by_table(day, static_cast<uint32_t>(since_1968 - int64_t{day} * kDay));
  } else {
    fields_by_calendar(local, &t);
  }
  t.daylight = daylight ? 1 : 0;
  return t;
}

}  // namespace

// The common way here, everything else aside.
LocalTime to_local_time(uint32_t seconds, const TimeZone& zone) {
  if (zone.years_ready) {
    const bool daylight = daylight_by_span(seconds, zone);
    // Daylight time is as likely as not for instants taken at random: its shift by a mask
    // rather than a branch.
    const int32_t daylight_mask = -static_cast<int32_t>(daylight);
    const int32_t shift = (zone.dst_offset - zone.std_offset) & daylight_mask;
    // The day in standard time does not wait for daylight time to be known; the shift
    // moves the time of day, which mostly stays within that day.
    const int64_t standard = int64_t{seconds} + zone.std_offset + kDays1968 * kDay;
    if (standard >= 0 && standard < kTableSeconds) {
      const uint32_t day = static_cast<uint32_t>(static_cast<uint64_t>(standard) / kDay);
      const int32_t secs = static_cast<int32_t>(standard - int64_t{day} * kDay) + shift;
      if (secs >= 0 && secs < kDay) {
        LocalTime t = fields_by_table(day, static_cast<uint32_t>(secs));
        t.daylight = daylight ? 1 : 0;
        return t;
      }
    }
  }
  return local_time_generally(seconds, zone);
}

}  // namespace qv
