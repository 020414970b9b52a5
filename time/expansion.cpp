// The conversions of the timestamp format. Nothing here follows the locale.
//
// Each conversion is written straight into the result while at least kRoom bytes are left
// (no conversion but %Z needs more); nearer the limit it is written aside and as much of it
// copied as fits, so that the result is always the first 126 characters of the expansion.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "time/calendar.h"
#include "time/expansion.h"
#include "time/local_time.h"
#include "time/zone.h"

namespace qv {
namespace {

// Names padded to a fixed width so that they are copied whole, with their lengths.
struct Names {
  char text[12][10];
  uint8_t length[12];
};
constexpr Names kShortDays = {{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
                              {3, 3, 3, 3, 3, 3, 3}};
constexpr Names kDays = {
    {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
    {6, 6, 7, 9, 8, 6, 8}};
constexpr Names kShortMonths = {
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}};
constexpr Names kMonths = {{"January", "February", "March", "April", "May", "June", "July",
                            "August", "September", "October", "November", "December"},
                           {7, 8, 5, 5, 3, 4, 4, 6, 9, 7, 8, 8}};

// The most one conversion other than %Z writes, scratch bytes past its end included:
// %c with a year of 11 characters.
constexpr size_t kRoom = 32;

// "00" to "99".
struct DigitPairs {
  char text[200] = {};
  constexpr DigitPairs() {
    for (int i = 0; i < 100; ++i) {
      text[2 * i] = static_cast<char>('0' + i / 10);
      text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr DigitPairs kPairs;

// A name by a field that is in range by construction; "?" otherwise all the same.
[[gnu::always_inline]] inline char* name(char* p, const Names& names, int32_t count,
                                         int32_t index) {
  if (index < 0 || index >= count) {
    *p = '?';
    return p + 1;
  }
  memcpy(p, names.text[index], sizeof names.text[index]);
  return p + names.length[index];
}

// Two digits, for fields of 0-99 (others keep their last two digits' arithmetic).
[[gnu::always_inline]] inline char* two(char* p, int32_t value) {
  if (static_cast<uint32_t>(value) < 100) {
    memcpy(p, kPairs.text + 2 * value, 2);
  } else {
    p[0] = static_cast<char>('0' + value / 10 % 10);
    p[1] = static_cast<char>('0' + value % 10);
  }
  return p + 2;
}

// Decimal, at least `width` digits with leading zeros.
[[gnu::always_inline]] inline char* number(char* p, int64_t value, int width) {
  if (value < 0) {
    *p++ = '-';
    value = -value;
  }
  char digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < width) digits[n++] = '0';
  while (n > 0) *p++ = digits[--n];
  return p;
}

// Four digits through the pairs; other years (before 1000, after 9999) as they come.
[[gnu::always_inline]] inline char* year(char* p, int32_t years_since_1900) {
  const int64_t y = int64_t{years_since_1900} + 1900;
  if (y < 1000 || y > 9999) return number(p, y, 1);
  const uint32_t century = static_cast<uint32_t>(y) / 100;
  memcpy(p, kPairs.text + 2 * century, 2);
  memcpy(p + 2, kPairs.text + 2 * (static_cast<uint32_t>(y) - 100 * century), 2);
  return p + 4;
}

// hh:mm:ss
[[gnu::always_inline]] inline char* clock(char* p, int32_t hour, const LocalTime& t) {
  p = two(p, hour);
  *p++ = ':';
  p = two(p, t.minute());
  *p++ = ':';
  return two(p, t.second());
}

// "Tue Nov 09": %a %b %d
[[gnu::always_inline]] inline char* day_month(char* p, const LocalTime& t) {
  p = name(p, kShortDays, 7, t.weekday());
  *p++ = ' ';
  p = name(p, kShortMonths, 12, t.month());
  *p++ = ' ';
  return two(p, t.day_of_month());
}

// %Z and %z: the zone's name, cut at the limit.
[[gnu::always_inline]] inline char* zone(char* p, const char* end, const char* name) {
  while (*name != '\0' && p < end) *p++ = *name++;
  return p;
}

// One conversion letter: at most kRoom bytes written, but for %Z and %z, which give the
// zone's name up to `end` (nothing where the caller takes them itself).
template <bool kWithZone>
[[gnu::always_inline]] inline char* convert(char* p, char letter, const LocalTime& t,
                                            const char* end, const char* zone_name) {
  switch (letter) {
    case 'Z':
    case 'z':
      if constexpr (kWithZone) return zone(p, end, zone_name);
      return p;
    case 'a':
      return name(p, kShortDays, 7, t.weekday());
    case 'A':
      return name(p, kDays, 7, t.weekday());
    case 'b':
    case 'h':
      return name(p, kShortMonths, 12, t.month());
    case 'B':
      return name(p, kMonths, 12, t.month());
    case 'c':  // %a %b %d %H:%M:%S %Y
      p = day_month(p, t);
      *p++ = ' ';
      p = clock(p, t.hour(), t);
      *p++ = ' ';
      return year(p, t.year());
    case 'd':
      return two(p, t.day_of_month());
    case 'D':  // %m/%d/%y
      p = two(p, t.month() + 1);
      *p++ = '/';
      p = two(p, t.day_of_month());
      *p++ = '/';
      return two(p, (t.year() % 100 + 100) % 100);
    case 'H':
      return two(p, t.hour());
    case 'I':
      return two(p, t.hour() % 12 == 0 ? 12 : t.hour() % 12);
    case 'j':
      return number(p, int64_t{t.yearday()} + 1, 3);
    case 'm':
      return two(p, t.month() + 1);
    case 'M':
      return two(p, t.minute());
    case 'n':
      *p = '\n';
      return p + 1;
    case 'p':
      memcpy(p, t.hour() < 12 ? "AM" : "PM", 2);
      return p + 2;
    case 'r':  // %I:%M:%S %p
      p = clock(p, t.hour() % 12 == 0 ? 12 : t.hour() % 12, t);
      *p++ = ' ';
      memcpy(p, t.hour() < 12 ? "AM" : "PM", 2);
      return p + 2;
    case 'S':
      return two(p, t.second());
    case 't':
      *p = '\t';
      return p + 1;
    case 'T':
    case 'X':
      return clock(p, t.hour(), t);
    case 'U':
      return two(p, (t.yearday() + 7 - t.weekday()) / 7);
    case 'w':
      return number(p, t.weekday(), 1);
    // Weeks begin on Monday: the weekday counted from Monday is (weekday + 6) mod 7.
    case 'W':
      return two(p, (t.yearday() + 7 - (t.weekday() + 6) % 7) / 7);
    case 'x':  // %a %b %d, %Y
      p = day_month(p, t);
      memcpy(p, ", ", 2);
      return year(p + 2, t.year());
    case 'y':
      return two(p, (t.year() % 100 + 100) % 100);
    case 'Y':
      return year(p, t.year());
    default:
      *p = letter;  // %% and every letter outside the table
      return p + 1;
  }
}

// The same written aside, and as much of it copied as the room left takes; not for %Z, %z.
[[gnu::noinline]] char* convert_near_end(char* p, size_t room, char letter, const LocalTime& t) {
  char aside[kRoom];
  const size_t n = static_cast<size_t>(convert<false>(aside, letter, t, nullptr, nullptr) - aside);
  memcpy(p, aside, n < room ? n : room);
  return p + (n < room ? n : room);
}

// The rest of the format near the limit, each step measured against the room left.
[[gnu::noinline]] char* expand_near_end(const char* f, char* p, char* end, const LocalTime& time,
                                        const char* zone_name) {
  while (*f != '\0' && p < end) {
    if (*f != '%') {
      *p++ = *f++;
      continue;
    }
    const char letter = f[1];
    if (letter == '\0') break;
    f += 2;
    if (letter == 'Z' || letter == 'z') {
      p = zone(p, end, zone_name);
    } else {
      p = convert_near_end(p, static_cast<size_t>(end - p), letter, time);
    }
  }
  return p;
}

// The expansion over the local time.
[[gnu::always_inline]] inline size_t expand(const char* format, const LocalTime& time,
                                            const char* zone_name,
                                            char (&result)[kFormatResultBytes]) {
  char* p = result;
  char* const end = result + kFormatResultMax;
  const char* f = format;
  // While kRoom bytes are left, every step but %Z writes whole: one comparison a step, and
  // nothing called.
  for (char* const roomy = end - kRoom;;) {
    if (p > roomy) {
      p = expand_near_end(f, p, end, time, zone_name);
      break;
    }
    const char c = *f++;
    if (c != '%') {
      if (c == '\0') break;
      *p++ = c;
      continue;
    }
    const char letter = *f++;
    if (letter == '\0') break;  // a closing lone % gives nothing
    p = convert<true>(p, letter, time, end, zone_name);
  }
  *p = '\0';
  return static_cast<size_t>(p - result);
}

}  // namespace

// The zone's name for the time by index rather than by a branch, which instants taken at
// random would miss half the time.
size_t format_local_time(const char* format, uint32_t seconds, const TimeZone& zone,
                         const char* const (&names)[2], char (&result)[kFormatResultBytes]) {
  const LocalTime time = to_local_time(seconds, zone);
  return expand(format, time, names[time.daylight ? 1 : 0], result);
}

size_t format_local_time(const char* format, uint32_t seconds, const TimeZone& zone,
                         char (&result)[kFormatResultBytes]) {
  const char* const names[2] = {zone.std_name, zone.dst_name};
  return format_local_time(format, seconds, zone, names, result);
}

}  // namespace qv
