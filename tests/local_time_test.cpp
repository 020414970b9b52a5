// Local-time conversion and format expansion over parsed zones, many zones in one process.
#include <gtest/gtest.h>

#include <string>

#include "reading/datetime_format.h"
#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace {

qv::TimeZone zone(const char* tz) {
  qv::TimeZone z;
  EXPECT_TRUE(qv::parse_posix_tz(tz, &z)) << tz;
  return z;
}

// What the export does: local time in the zone, then the format over it.
std::string format(uint32_t seconds, const char* tz, const char* fmt) {
  const qv::TimeZone z = zone(tz);
  const qv::LocalTime t = qv::to_local_time(seconds, z);
  char result[qv::kFormatResultBytes];
  const size_t n = qv::expand_datetime_format(fmt, t, t.daylight ? z.dst_name : z.std_name, result);
  EXPECT_EQ(n, std::string(result).size());
  return result;
}

struct FormatCase {
  uint32_t seconds;
  const char* tz;
  const char* format;
  const char* expected;
};

TEST(FormatDateTime, ConversionsAndCalendar) {
  const FormatCase cases[] = {
      {1100043200, "UTC0", "%Y%m%d", "20041109"},
      {1100043200, "UTC0", "%c", "Tue Nov 09 23:33:20 2004"},
      {1100043200, "UTC0", "%x", "Tue Nov 09, 2004"},
      {1100043200, "UTC0", "%D", "11/09/04"},
      {1100043200, "UTC0", "%r", "11:33:20 PM"},
      {1100043200, "UTC0", "%j", "314"},
      {1100043200, "UTC0", "%U %W", "45 45"},
      {1100043200, "UTC0", "%w", "2"},
      {1100043200, "UTC0", "%Z %z", "UTC UTC"},
      {1100043200, "UTC0", "%A %B %b %h %T %X %H %I %M %S %p %y",
       "Tuesday November Nov Nov 23:33:20 23:33:20 23 11 33 20 PM 04"},
      // Monday 2001-01-01: the first Monday begins week 1 of %W.
      {978350400, "UTC0", "%W %U %j %a", "01 00 001 Mon"},
      // Hour 0 on the 12-hour clock is 12, AM; noon is 12 PM.
      {978307200, "UTC0", "%I %p|%r", "12 AM|12:00:00 AM"},
      {978350400, "UTC0", "%I %p", "12 PM"},
      // The end of the range: 2100 is not a leap year.
      {4294967295u, "UTC0", "%Y%m%d %T", "21060207 06:28:15"},
      {4294967295u, "UTC0", "%a %d %j", "Sun 07 038"},
      {4294967295u, "CET-1", "%Y-%m-%d %T", "2106-02-07 07:28:15"},
      {4294967295u, "<+14>-14", "%Y-%m-%d %T %Z", "2106-02-07 20:28:15 +14"},
      {1, "EST5EDT", "%Y-%m-%d %T %a %j %U %W", "1969-12-31 19:00:01 Wed 365 52 52"},
      {4107542400u, "UTC0", "%Y-%m-%d %j %a", "2100-03-01 060 Mon"},
      {951782400, "UTC0", "%Y-%m-%d %j", "2000-02-29 060"},
      {1100043200, "UTC0", "%e%Q% %%%n%t", "eQ %\n\t"},
      {1100043200, "UTC0", "%Y%", "2004"},
      {1100043200, "UTC0", "%", ""},
      {1100043200, "UTC0", "plain text", "plain text"},
      // A name given without offset is 5 hours west.
      {1100043200, "GMT", "%H:%M %Z", "18:33 GMT"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(std::string(c.tz) + " " + c.format);
    EXPECT_EQ(format(c.seconds, c.tz, c.format), c.expected);
  }
}

TEST(FormatDateTime, ResultKeepsAtMost126Characters) {
  const std::string six = format(1100043200, "UTC0", "%c%c%c%c%c%c");
  EXPECT_EQ(six.size(), 126u);
  EXPECT_EQ(six, format(1100043200, "UTC0", "%c%c%c%c%c") + "Tue No");
  // Exactly 126: five %c (120) and six more characters.
  EXPECT_EQ(format(1100043200, "UTC0", "%c%c%c%c%cabcdef").size(), 126u);
  EXPECT_EQ(format(1100043200, "UTC0", "%c%c%c%c%cabcdef").substr(120), "abcdef");
  // A long zone name is cut at the limit, too.
  const std::string name(128, 'Z');
  EXPECT_EQ(format(1100043200, ("<" + name + ">0").c_str(), "%Z"), std::string(126, 'Z'));
  EXPECT_EQ(format(1100043200, ("<" + name + ">0").c_str(), "ab%Z%Z").size(), 126u);
}

struct DaylightCase {
  uint32_t seconds;
  const char* tz;
  const char* expected;  // "%Y-%m-%d %H:%M:%S %Z"
};

TEST(LocalTime, DaylightRules) {
  const DaylightCase cases[] = {
      // No rules written: first Sunday in April 02:00 to last Sunday in October 02:00 daylight.
      {923209199, "EST5EDT", "1999-04-04 01:59:59 EST"},
      {923209200, "EST5EDT", "1999-04-04 03:00:00 EDT"},
      {941349599, "EST5EDT", "1999-10-31 01:59:59 EDT"},
      {941349600, "EST5EDT", "1999-10-31 01:00:00 EST"},
      // No daylight part: never daylight time.
      {963792000, "UTC0", "2000-07-17 00:00:00 UTC"},
      {963792000, "CET-1", "2000-07-17 01:00:00 CET"},
      // Rules of the three forms; the end in daylight time.
      {1711846799, "CET-1CEST,M3.5.0,M10.5.0/3", "2024-03-31 01:59:59 CET"},
      {1711846800, "CET-1CEST,M3.5.0,M10.5.0/3", "2024-03-31 03:00:00 CEST"},
      {1729990799, "CET-1CEST,M3.5.0,M10.5.0/3", "2024-10-27 02:59:59 CEST"},
      {1729990800, "CET-1CEST,M3.5.0,M10.5.0/3", "2024-10-27 02:00:00 CET"},
      // Jn skips 29 February: J60 is 1 March in a leap year; n counts it: 59 is 29 February.
      {1709251200, "AAA0BBB,J60/0,J300", "2024-03-01 01:00:00 BBB"},
      {1709251199, "AAA0BBB,J60/0,J300", "2024-02-29 23:59:59 AAA"},
      {1709164800, "AAA0BBB,59/0,300", "2024-02-29 01:00:00 BBB"},
      // Southern hemisphere: daylight time across the new year.
      {1704067200, "NZST-12NZDT-13,M9.5.0,M4.1.0/3", "2024-01-01 13:00:00 NZDT"},
      {1718000000, "NZST-12NZDT-13,M9.5.0,M4.1.0/3", "2024-06-10 18:13:20 NZST"},
      // Negative times and times beyond a day: J2/-1 is 1 January 23:00, J364/25 (30
      // December in a leap year) is 31 December 01:00.
      {1704149999, "AAA0BBB,J2/-1,J364/25", "2024-01-01 22:59:59 AAA"},
      {1704150000, "AAA0BBB,J2/-1,J364/25", "2024-01-02 00:00:00 BBB"},
      {1735603199, "AAA0BBB,J2/-1,J364/25", "2024-12-31 00:59:59 BBB"},
      {1735603200, "AAA0BBB,J2/-1,J364/25", "2024-12-31 00:00:00 AAA"},
      // The first hours of the range east of UTC in daylight time all year.
      {1, "<+10>-10<+11>,0/0,365/24", "1970-01-01 11:00:01 +11"},
  };
  for (const DaylightCase& c : cases) {
    SCOPED_TRACE(std::string(c.tz) + " " + std::to_string(c.seconds));
    EXPECT_EQ(format(c.seconds, c.tz, "%Y-%m-%d %H:%M:%S %Z"), c.expected);
  }
}

TEST(LocalTime, CalendarMatchesDayCounts) {
  // Round trip of every day of the range and a little beyond.
  for (int64_t days = -400; days <= 49711 + 400; ++days) {
    int64_t y = 0;
    int m = 0;
    int d = 0;
    qv::civil_from_days(days, &y, &m, &d);
    ASSERT_EQ(qv::days_from_civil(y, m, d), days);
  }
}

}  // namespace
