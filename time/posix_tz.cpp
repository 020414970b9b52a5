// The POSIX TZ form: std offset [dst [offset] [,start[/time],end[/time]]].
#include "time/zone.h"

namespace qv {
namespace {

constexpr int32_t kHour = 3600;
constexpr int32_t kDefaultWest = 5 * kHour;
constexpr int32_t kDefaultRuleTime = 2 * kHour;
constexpr int kMaxRuleHours = 167;  // a week less one hour, as POSIX systems accept
constexpr int kMaxOffsetHours = kMaxOffset / kHour;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// 1 to max_digits decimal digits, at most max_value.
bool parse_number(const char*& p, int max_digits, int max_value, int* value) {
  int n = 0;
  int v = 0;
  while (is_digit(*p)) {
    if (++n > max_digits) return false;
    v = v * 10 + (*p++ - '0');
  }
  if (n == 0 || v > max_value) return false;
  *value = v;
  return true;
}

// A name of three or more letters, or <...> holding three or more letters, digits, + and -.
bool parse_name(const char*& p, char (&name)[kZoneNameMax + 1]) {
  const bool quoted = *p == '<';
  const char* q = quoted ? p + 1 : p;
  int n = 0;
  while (is_letter(*q) || (quoted && (is_digit(*q) || *q == '+' || *q == '-'))) {
    if (n == kZoneNameMax) return false;
    name[n++] = *q++;
  }
  if (n < 3) return false;
  if (quoted && *q++ != '>') return false;
  name[n] = '\0';
  p = q;
  return true;
}

// [+|-]hh[:mm[:ss]] in seconds, the sign applied.
bool parse_clock(const char*& p, int max_hours, int32_t* seconds) {
  int sign = 1;
  if (*p == '+' || *p == '-') sign = *p++ == '-' ? -1 : 1;
  int hours = 0;
  int minutes = 0;
  int secs = 0;
  if (!parse_number(p, max_hours >= 100 ? 3 : 2, max_hours, &hours)) return false;
  if (*p == ':') {
    ++p;
    if (!parse_number(p, 2, 59, &minutes)) return false;
    if (*p == ':') {
      ++p;
      if (!parse_number(p, 2, 59, &secs)) return false;
    }
  }
  *seconds = sign * (hours * kHour + minutes * 60 + secs);
  return true;
}

bool starts_offset(char c) { return is_digit(c) || c == '+' || c == '-'; }

// Jn, n or Mm.w.d, then an optional /time (2:00 when none is written).
bool parse_rule(const char*& p, ZoneRule* rule) {
  int a = 0;
  if (*p == 'J') {
    ++p;
    if (!parse_number(p, 3, 365, &a) || a < 1) return false;
    rule->kind = ZoneRule::kJulian;
    rule->day = static_cast<int16_t>(a);
  } else if (*p == 'M') {
    ++p;
    int w = 0;
    int d = 0;
    if (!parse_number(p, 2, 12, &a) || a < 1 || *p++ != '.') return false;
    if (!parse_number(p, 1, 5, &w) || w < 1 || *p++ != '.') return false;
    if (!parse_number(p, 1, 6, &d)) return false;
    rule->kind = ZoneRule::kMonthWeek;
    rule->month = static_cast<uint8_t>(a);
    rule->week = static_cast<uint8_t>(w);
    rule->weekday = static_cast<uint8_t>(d);
  } else {
    if (!parse_number(p, 3, 365, &a)) return false;
    rule->kind = ZoneRule::kYearDay;
    rule->day = static_cast<int16_t>(a);
  }
  rule->time = kDefaultRuleTime;
  if (*p == '/') {
    ++p;
    return parse_clock(p, kMaxRuleHours, &rule->time);
  }
  return true;
}

ZoneRule month_rule(int month, int week) {
  ZoneRule r;
  r.kind = ZoneRule::kMonthWeek;
  r.month = static_cast<uint8_t>(month);
  r.week = static_cast<uint8_t>(week);
  r.weekday = 0;
  r.time = kDefaultRuleTime;
  return r;
}

// First Sunday in April 02:00 to last Sunday in October 02:00 daylight time.
void set_default_rules(TimeZone* zone) {
  zone->start = month_rule(4, 1);
  zone->end = month_rule(10, 5);
}

bool parse_fields(const char* text, TimeZone* zone) {
  *zone = TimeZone();
  const char* p = text;
  if (p == nullptr || !parse_name(p, zone->std_name)) return false;

  // Offsets are written west of UTC; they are kept east of it.
  int32_t west = kDefaultWest;
  if (starts_offset(*p) && !parse_clock(p, kMaxOffsetHours, &west)) return false;
  zone->std_offset = -west;
  zone->dst_offset = zone->std_offset;
  if (*p == '\0') return true;

  if (!parse_name(p, zone->dst_name)) return false;
  zone->has_daylight = true;
  west -= kHour;
  if (starts_offset(*p) && !parse_clock(p, kMaxOffsetHours, &west)) return false;
  zone->dst_offset = -west;

  set_default_rules(zone);
  if (*p == '\0') return true;
  if (*p++ != ',' || !parse_rule(p, &zone->start)) return false;
  if (*p++ != ',' || !parse_rule(p, &zone->end)) return false;
  return *p == '\0';
}

}  // namespace

bool parse_posix_tz(const char* text, TimeZone* zone) {
  if (!parse_fields(text, zone)) return false;
  set_up_daylight(zone);
  return true;
}

void set_fallback_zone(TimeZone* zone) {
  parse_fields("EST5EDT", zone);
  set_up_daylight(zone);
}

}  // namespace qv
