// Local time and format expansion over zones from TZ values, many zones in one process:
// named cases, and whole zones against the C library.
#include <gtest/gtest.h>

#include <string>

#include "time/expansion.h"
#include "time/local_time.h"
#include "time/zone.h"
#include "time_oracle.h"

namespace {

qv::TimeZone zone(const char* tz) {
  qv::TimeZone z;
  EXPECT_TRUE(qv::parse_posix_tz(tz, &z)) << tz;
  return z;
}

// What the export does: local time in the zone, then the format over it.
std::string format(uint32_t seconds, const char* tz, const char* fmt) {
  char result[qv::kFormatResultBytes];
  const size_t n = qv::format_local_time(fmt, seconds, zone(tz), result);
  EXPECT_EQ(n, std::string(result).size());
  return result;
}

struct FormatCase {
  const char* name;
  uint32_t seconds;
  const char* tz;
  const char* format;
  const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class Format : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Format, GivesTheText) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(format(c.seconds, c.tz, c.format), c.expected);
}

constexpr char kFull[] = "%Y-%m-%d %H:%M:%S %Z";

const FormatCase kFormats[] = {
    {"Default", 1100043200, "UTC0", "%Y%m%d", "20041109"},
    {"C", 1100043200, "UTC0", "%c", "Tue Nov 09 23:33:20 2004"},
    {"X", 1100043200, "UTC0", "%x", "Tue Nov 09, 2004"},
    {"D", 1100043200, "UTC0", "%D", "11/09/04"},
    {"R", 1100043200, "UTC0", "%r", "11:33:20 PM"},
    {"J", 1100043200, "UTC0", "%j", "314"},
    {"Weeks", 1100043200, "UTC0", "%U %W", "45 45"},
    {"W", 1100043200, "UTC0", "%w", "2"},
    {"Zone", 1100043200, "UTC0", "%Z %z", "UTC UTC"},
    {"Others", 1100043200, "UTC0", "%A %B %b %h %T %X %H %I %M %S %p %y",
     "Tuesday November Nov Nov 23:33:20 23:33:20 23 11 33 20 PM 04"},
    // Monday 2001-01-01: the first Monday begins week 1 of %W.
    {"FirstMonday", 978350400, "UTC0", "%W %U %j %a", "01 00 001 Mon"},
    // Hour 0 on the 12-hour clock is 12, AM; noon is 12 PM.
    {"Midnight", 978307200, "UTC0", "%I %p|%r", "12 AM|12:00:00 AM"},
    {"Noon", 978350400, "UTC0", "%I %p", "12 PM"},
    // The end of the range: 2100 is not a leap year.
    {"LastSecond", 4294967295u, "UTC0", "%Y%m%d %T", "21060207 06:28:15"},
    {"LastDay", 4294967295u, "UTC0", "%a %d %j", "Sun 07 038"},
    {"LastSecondEast", 4294967295u, "CET-1", "%Y-%m-%d %T", "2106-02-07 07:28:15"},
    {"LastSecondFarEast", 4294967295u, "<+14>-14", "%Y-%m-%d %T %Z", "2106-02-07 20:28:15 +14"},
    {"FirstSecondWest", 1, "EST5EDT", "%Y-%m-%d %T %a %j %U %W",
     "1969-12-31 19:00:01 Wed 365 52 52"},
    {"March2100", 4107542400u, "UTC0", "%Y-%m-%d %j %a", "2100-03-01 060 Mon"},
    {"LeapDay2000", 951782400, "UTC0", "%Y-%m-%d %j", "2000-02-29 060"},
    {"UnknownLetters", 1100043200, "UTC0", "%e%Q% %%%n%t", "eQ %\n\t"},
    {"LonePercentAtEnd", 1100043200, "UTC0", "%Y%", "2004"},
    {"LonePercent", 1100043200, "UTC0", "%", ""},
    {"PlainText", 1100043200, "UTC0", "plain text", "plain text"},
    // A name given without offset is 5 hours west.
    {"NameWithoutOffset", 1100043200, "GMT", "%H:%M %Z", "18:33 GMT"},
    // No rules written: first Sunday in April 02:00 to last Sunday in October 02:00 daylight.
    {"DefaultRulesBeforeStart", 923209199, "EST5EDT", kFull, "1999-04-04 01:59:59 EST"},
    {"DefaultRulesStart", 923209200, "EST5EDT", kFull, "1999-04-04 03:00:00 EDT"},
    {"DefaultRulesBeforeEnd", 941349599, "EST5EDT", kFull, "1999-10-31 01:59:59 EDT"},
    {"DefaultRulesEnd", 941349600, "EST5EDT", kFull, "1999-10-31 01:00:00 EST"},
    // No daylight part: never daylight time.
    {"NoDaylightUtc", 963792000, "UTC0", kFull, "2000-07-17 00:00:00 UTC"},
    {"NoDaylightCet", 963792000, "CET-1", kFull, "2000-07-17 01:00:00 CET"},
    // Rules of the three forms; the end in daylight time.
    {"MonthRuleBeforeStart", 1711846799, "CET-1CEST,M3.5.0,M10.5.0/3", kFull,
     "2024-03-31 01:59:59 CET"},
    {"MonthRuleStart", 1711846800, "CET-1CEST,M3.5.0,M10.5.0/3", kFull, "2024-03-31 03:00:00 CEST"},
    {"MonthRuleBeforeEnd", 1729990799, "CET-1CEST,M3.5.0,M10.5.0/3", kFull,
     "2024-10-27 02:59:59 CEST"},
    {"MonthRuleEnd", 1729990800, "CET-1CEST,M3.5.0,M10.5.0/3", kFull, "2024-10-27 02:00:00 CET"},
    // Jn skips 29 February: J60 is 1 March in a leap year; n counts it: 59 is 29 February.
    {"JulianAfterLeapDay", 1709251200, "AAA0BBB,J60/0,J300", kFull, "2024-03-01 01:00:00 BBB"},
    {"JulianLeapDay", 1709251199, "AAA0BBB,J60/0,J300", kFull, "2024-02-29 23:59:59 AAA"},
    {"YearDayLeapDay", 1709164800, "AAA0BBB,59/0,300", kFull, "2024-02-29 01:00:00 BBB"},
    // Southern hemisphere: daylight time across the new year.
    {"SouthernSummer", 1704067200, "NZST-12NZDT-13,M9.5.0,M4.1.0/3", kFull,
     "2024-01-01 13:00:00 NZDT"},
    {"SouthernWinter", 1718000000, "NZST-12NZDT-13,M9.5.0,M4.1.0/3", kFull,
     "2024-06-10 18:13:20 NZST"},
    // Negative times and times beyond a day: J2/-1 is 1 January 23:00, J364/25 (30
    // December in a leap year) is 31 December 01:00.
    {"NegativeTimeBefore", 1704149999, "AAA0BBB,J2/-1,J364/25", kFull, "2024-01-01 22:59:59 AAA"},
    {"NegativeTime", 1704150000, "AAA0BBB,J2/-1,J364/25", kFull, "2024-01-02 00:00:00 BBB"},
    {"LongTimeBefore", 1735603199, "AAA0BBB,J2/-1,J364/25", kFull, "2024-12-31 00:59:59 BBB"},
    {"LongTime", 1735603200, "AAA0BBB,J2/-1,J364/25", kFull, "2024-12-31 00:00:00 AAA"},
    // The first hours of the range east of UTC in daylight time all year.
    {"DaylightAllYear", 1, "<+10>-10<+11>,0/0,365/24", kFull, "1970-01-01 11:00:01 +11"},
    // Daylight time two days ahead moves the date by two.
    {"TwoDaysAhead", 86400 * 100 + 3600, "<-24>24<+24>-24,J1/0,J365/0", kFull,
     "1970-04-12 01:00:00 +24"},
};

INSTANTIATE_TEST_SUITE_P(Cases, Format, ::testing::ValuesIn(kFormats),
                         [](const auto& named) { return std::string(named.param.name); });

TEST(FormatLimit, ResultKeepsAtMost126Characters) {
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

// Every day of the range against the C library's calendar.
TEST(Calendar, EveryDayOfTheRange) {
  const qv::TimeZone utc = zone("UTC0");
  for (uint32_t day = 0; day <= 49710; ++day) {
    const uint32_t t = day * 86400u + 12345;  // the last day ends at 06:28:15
    const qv::LocalTime local = qv::to_local_time(t, utc);
    const time_t s = t;
    struct tm expected {};
    gmtime_r(&s, &expected);
    ASSERT_EQ(local.year(), expected.tm_year) << day;
    ASSERT_EQ(local.month(), expected.tm_mon) << day;
    ASSERT_EQ(local.day_of_month(), expected.tm_mday) << day;
    ASSERT_EQ(local.yearday(), expected.tm_yday) << day;
    ASSERT_EQ(local.weekday(), expected.tm_wday) << day;
  }
}

// Whole zones against the C library: around each of its changes over the range, and at
// random instants.
struct ZoneCase {
  const char* name;
  const char* tz;
};

void PrintTo(const ZoneCase& c, std::ostream* os) { *os << c.tz; }

class ZoneAgainstTheCLibrary : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ZoneAgainstTheCLibrary, SameTextEverywhere) {
  const qv::TimeZone ours = zone(GetParam().tz);
  oracle::GlibcZone glibc(GetParam().tz);
  for (uint32_t t : oracle::instants(oracle::changes(1970), 3000, 1100043200)) {
    ASSERT_EQ(oracle::all_ours(t, ours), oracle::all_theirs(t)) << t;
  }
}

const ZoneCase kZones[] = {
    {"Utc", "UTC0"},
    {"Europe", "CET-1CEST,M3.5.0,M10.5.0/3"},
    {"AprilToOctober", "EST5EDT,M4.1.0,M10.5.0"},
    {"Southern", "NZST-12NZDT-13,M9.5.0,M4.1.0/3"},
    {"Quarter", "<+1245>-12:45<+1345>,M9.5.0/2:45,M4.1.0/3:45"},
    {"JulianDays", "AAA0BBB,J60/0,J300"},
    {"YearDays", "AAA0BBB,59/0,300"},
    {"TimesOutsideTheDay", "AAA0BBB,J2/-1,J364/25"},
    {"WeekLongTimes", "AAA3BBB,M2.5.6/-167,M12.5.0/167"},
    {"AcrossTheNewYearByHours", "AAA0BBB,364/23,0/1"},
    {"DayBackAndForth", "AAA12BBB-12,M1.1.0/-100,M12.5.6/100"},
    {"OneDayOfDaylight", "AAA0BBB,J60/0,J61/0"},
    {"HalfADayOfDaylight", "AAA0BBB,J60/0,J60/12"},
    {"FourHoursAhead", "AAA-10BBB-14,M3.2.0,M11.1.0"},
    {"HourBehind", "AAA-2BBB-1,M3.5.0,M10.5.0"},
    {"DaylightFromTheFirstSecond", "<+10>-10<+11>,0/0,365/24"},
    {"FarWest", "<-14>14<-13>-12,M1.1.0,M12.5.6"},
    {"FarEast", "AAA-14"},
};

INSTANTIATE_TEST_SUITE_P(Zones, ZoneAgainstTheCLibrary, ::testing::ValuesIn(kZones),
                         [](const auto& named) { return std::string(named.param.name); });

}  // namespace
