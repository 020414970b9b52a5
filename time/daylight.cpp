// A zone's daylight rules worked out for each year of the range, and for each span of 2^21
// seconds from the years, when the zone is set up.
#include <initializer_list>

#include "time/calendar.h"
#include "time/zone.h"

namespace qv {
namespace {

// The day (from 1970-01-01) on which the rule falls in that year.
int64_t rule_day(const ZoneRule& rule, int64_t year) {
  const int64_t jan1 = year_start(year);
  const int leap = is_leap(year) ? 1 : 0;
  const int16_t* months = kMonthStart[leap];
  switch (rule.kind) {
    case ZoneRule::kJulian:
      // Jn never counts 29 February: from day 60 on a leap year is one day further.
      return jan1 + rule.day - 1 + (rule.day >= 60 ? leap : 0);
    case ZoneRule::kYearDay:
      return jan1 + rule.day;
    case ZoneRule::kMonthDay: {
      const int length = months[rule.month] - months[rule.month - 1];
      return jan1 + months[rule.month - 1] + (rule.day < length ? rule.day : length) - 1;
    }
    case ZoneRule::kMonthWeek:
      break;
  }
  const int64_t first = jan1 + months[rule.month - 1];
  const int length = months[rule.month] - months[rule.month - 1];
  int offset = (rule.weekday - weekday_of(first) + 7) % 7 + 7 * (rule.week - 1);
  // Week 5 means the last such weekday, which may be the fourth.
  while (offset >= length) offset -= 7;
  return first + offset;
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
    const uint32_t year = year_index(static_cast<uint32_t>(t / kDay) + kDays1968);
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

}  // namespace

int64_t rule_instant(const ZoneRule& rule, int64_t year, int32_t offset) {
  return rule_day(rule, year) * kDay + rule.time - offset;
}

// Daylight time begins in standard time and ends in daylight time; where it ends before it
// begins, it spans the new year.
void set_up_daylight(TimeZone* zone) {
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
}

}  // namespace qv
