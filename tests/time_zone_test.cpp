// The POSIX TZ parser, and the zone taken from the system's setting against the C library
// under the TZ value that writes the same rules.
#include <gtest/gtest.h>

#include <string>

#include "time/zone.h"
#include "time_oracle.h"

namespace {

struct ParseCase {
  const char* name;
  const char* tz;
  int32_t std_offset;
  int32_t dst_offset;
  bool has_daylight;
  const char* std_name;
  const char* dst_name;
  const char* start;  // "M4.1.0/7200" style, empty without daylight
  const char* end;
};

std::string describe(const qv::ZoneRule& r) {
  std::string s;
  switch (r.kind) {
    case qv::ZoneRule::kJulian:
      s = "J" + std::to_string(r.day);
      break;
    case qv::ZoneRule::kYearDay:
      s = std::to_string(r.day);
      break;
    case qv::ZoneRule::kMonthWeek:
      s = "M" + std::to_string(r.month) + "." + std::to_string(r.week) + "." +
          std::to_string(r.weekday);
      break;
    case qv::ZoneRule::kMonthDay:
      s = std::to_string(r.month) + "/" + std::to_string(r.day);
      break;
  }
  return s + "/" + std::to_string(r.time);
}

const ParseCase kParsed[] = {
    {"Utc", "UTC0", 0, 0, false, "UTC", "", "", ""},
    {"Cet", "CET-1", 3600, 3600, false, "CET", "", "", ""},
    // No offset written: 5 hours west under the name given.
    {"NameOnly", "GMT", -18000, -18000, false, "GMT", "", "", ""},
    // No rules: first Sunday in April to last Sunday in October, 02:00.
    {"DefaultRules", "EST5EDT", -18000, -14400, true, "EST", "EDT", "M4.1.0/7200", "M10.5.0/7200"},
    {"Europe", "CET-1CEST,M3.5.0,M10.5.0/3", 3600, 7200, true, "CET", "CEST", "M3.5.0/7200",
     "M10.5.0/10800"},
    {"Southern", "NZST-12NZDT-13,M9.5.0,M4.1.0/3", 43200, 46800, true, "NZST", "NZDT",
     "M9.5.0/7200", "M4.1.0/10800"},
    {"JulianAt24", "<+0330>-3:30<+0430>,J79/24,J263/24", 12600, 16200, true, "+0330", "+0430",
     "J79/86400", "J263/86400"},
    {"NegativeTimes", "<-03>3<-02>,M3.5.0/-2,M10.5.0/-1", -10800, -7200, true, "-03", "-02",
     "M3.5.0/-7200", "M10.5.0/-3600"},
    {"SecondsAndWeekLongTimes", "AAA+1:02:03BBB-4:05:06,0/-167,365/167:59:59", -3723, 14706, true,
     "AAA", "BBB", "0/-601200", "365/604799"},
    {"DayBothWays", "<ABC>24<DEF>-24,J1/0:00:01,J365", -86400, 86400, true, "ABC", "DEF", "J1/1",
     "J365/7200"},
    // Quoted standard name without offset, then a daylight name.
    {"QuotedWithoutOffset", "<XYZ><UVW>", -18000, -14400, true, "XYZ", "UVW", "M4.1.0/7200",
     "M10.5.0/7200"},
    {"RuleWithoutTime", "WET0WEST,M3.5.0/1,M10.5.0", 0, 3600, true, "WET", "WEST", "M3.5.0/3600",
     "M10.5.0/7200"},
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.tz; }

class PosixTzParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PosixTzParse, FillsTheDefaults) {
  const ParseCase& c = GetParam();
  qv::TimeZone zone;
  ASSERT_TRUE(qv::parse_posix_tz(c.tz, &zone));
  EXPECT_EQ(zone.std_offset, c.std_offset);
  EXPECT_EQ(zone.dst_offset, c.dst_offset);
  EXPECT_EQ(zone.has_daylight, c.has_daylight);
  EXPECT_STREQ(zone.std_name, c.std_name);
  EXPECT_STREQ(zone.dst_name, c.dst_name);
  if (c.has_daylight) {
    EXPECT_EQ(describe(zone.start), c.start);
    EXPECT_EQ(describe(zone.end), c.end);
  }
}

INSTANTIATE_TEST_SUITE_P(Values, PosixTzParse, ::testing::ValuesIn(kParsed),
                         [](const auto& named) { return std::string(named.param.name); });

TEST(PosixTz, RefusesWhatIsNotThePosixForm) {
  const std::string name128(128, 'Q');
  const std::string rejected[] = {
      "",
      "Europe/Berlin",
      ":Europe/Berlin",
      ":UTC0",
      "UT0",         // names have three letters at least
      "<UT>0",       //
      "<ABC",        // unterminated quote
      "<AB C>0",     // blank inside quotes
      "E$T5",        //
      "UTC0 ",       // trailing characters
      "UTC25",       // offset hours 0-24
      "UTC1:60",     //
      "UTC1:00:60",  //
      "UTC123",      //
      "UTC-",        //
      "EST5EDT,",    // rules: both or none
      "EST5EDT,M3.2.0",
      "EST5EDT,M3.2.0,",
      "EST5EDT,M13.1.0,M10.5.0",
      "EST5EDT,M3.0.0,M10.5.0",
      "EST5EDT,M3.6.0,M10.5.0",
      "EST5EDT,M3.2.7,M10.5.0",
      "EST5EDT,M3.2,M10.5.0",
      "EST5EDT,M3.0,M10.5.0",
      "EST5EDT,J0,J365",
      "EST5EDT,J366,J1",
      "EST5EDT,366,1",
      "EST5EDT,1,2/168",
      "EST5EDT,1,2/-168",
      "EST5EDT,1,2/",
      "EST5EDT,1,2,3",
      "UTC0,M3.2.0,M10.5.0",  // rules without a daylight name
      "EST5EDT4x",
      "<" + name128 + "Q>5",  // 129 characters: longer than %Z may give
      name128 + "Q5",
  };
  for (const std::string& tz : rejected) {
    SCOPED_TRACE(tz);
    qv::TimeZone zone;
    EXPECT_FALSE(qv::parse_posix_tz(tz.c_str(), &zone));
  }
  qv::TimeZone zone;
  EXPECT_FALSE(qv::parse_posix_tz(nullptr, &zone));
}

TEST(PosixTz, KeepsNamesOfUpTo128Characters) {
  const std::string name(128, 'N');
  qv::TimeZone zone;
  ASSERT_TRUE(qv::parse_posix_tz(("<" + name + ">-2" + name + ",J1,J2").c_str(), &zone));
  EXPECT_EQ(std::string(zone.std_name), name);
  EXPECT_EQ(std::string(zone.dst_name), name);
}

// A zone as the system reports it: names as given, dates as {wYear, wMonth, wDayOfWeek,
// wDay, wHour, wMinute, wSecond, wMilliseconds}.
TIME_ZONE_INFORMATION system_info(LONG bias, const char16_t* standard, const char16_t* daylight,
                                  LONG daylight_bias, SYSTEMTIME daylight_date = {},
                                  SYSTEMTIME standard_date = {}, LONG standard_bias = 0) {
  TIME_ZONE_INFORMATION info{};
  info.Bias = bias;
  info.StandardBias = standard_bias;
  info.DaylightBias = daylight_bias;
  for (int i = 0; standard[i] != 0 && i < 31; ++i) info.StandardName[i] = standard[i];
  for (int i = 0; daylight[i] != 0 && i < 31; ++i) info.DaylightName[i] = daylight[i];
  info.DaylightDate = daylight_date;
  info.StandardDate = standard_date;
  return info;
}

struct SystemCase {
  const char* name;
  TIME_ZONE_INFORMATION info;
  DWORD result;
  const char* tz;  // the same zone as a TZ value, for the C library
};

// Day-in-month dates: the last Sunday in March 02:00, the last in October 03:00.
constexpr SYSTEMTIME kMarch{0, 3, 0, 5, 2, 0, 0, 0};
constexpr SYSTEMTIME kOctober{0, 10, 0, 5, 3, 0, 0, 0};

const SystemCase kSystemZones[] = {
    {"Northern", system_info(-60, u"CET", u"CEST", -60, kMarch, kOctober), TIME_ZONE_ID_STANDARD,
     "CET-1CEST,M3.5.0,M10.5.0/3"},
    // The shift is the daylight bias whatever the query reports now.
    {"NorthernInDaylight", system_info(-60, u"CET", u"CEST", -60, kMarch, kOctober),
     TIME_ZONE_ID_DAYLIGHT, "CET-1CEST,M3.5.0,M10.5.0/3"},
    {"NorthernWeeks",
     system_info(300, u"EST", u"EDT", -60, {0, 3, 0, 2, 2, 0, 0, 0}, {0, 11, 0, 1, 2, 0, 0, 0}),
     TIME_ZONE_ID_STANDARD, "EST5EDT,M3.2.0,M11.1.0"},
    {"Southern",
     system_info(-600, u"AEST", u"AEDT", -60, {0, 10, 0, 1, 2, 0, 0, 0}, {0, 4, 0, 1, 3, 0, 0, 0}),
     TIME_ZONE_ID_DAYLIGHT, "AEST-10AEDT,M10.1.0,M4.1.0/3"},
    {"HalfHourShift",
     system_info(-630, u"LHST", u"LHDT", -30, {0, 10, 0, 1, 2, 0, 0, 0}, {0, 4, 0, 1, 2, 0, 0, 0}),
     TIME_ZONE_ID_STANDARD, "LHST-10:30LHDT-11,M10.1.0,M4.1.0"},
    {"NoDaylight", system_info(-330, u"IST", u"IST", 0), TIME_ZONE_ID_UNKNOWN, "IST-5:30"},
    // The absolute form: day 29 of March and day 25 of October, every year.
    {"AbsoluteDates",
     system_info(-60, u"CET", u"CEST", -60, {2026, 3, 0, 29, 2, 0, 0, 0},
                 {2026, 10, 0, 25, 3, 0, 0, 0}),
     TIME_ZONE_ID_STANDARD, "CET-1CEST,J88,J298/3"},
    // Day 31 of a month of 30 is its last day.
    {"AbsoluteDatesPastTheMonth",
     system_info(-60, u"CET", u"CEST", -60, {2026, 4, 0, 31, 2, 0, 0, 0},
                 {2026, 9, 0, 31, 3, 0, 0, 0}),
     TIME_ZONE_ID_STANDARD, "CET-1CEST,J120,J273/3"},
    // 01:59:59.999 is reached at 02:00:00.
    {"Milliseconds",
     system_info(-60, u"CET", u"CEST", -60, {0, 3, 0, 5, 1, 59, 59, 999},
                 {0, 10, 0, 5, 2, 59, 59, 1}),
     TIME_ZONE_ID_STANDARD, "CET-1CEST,M3.5.0,M10.5.0/3"},
    // The last moment of each field: December, 23:59:59.999, reached at 24:00.
    {"LastMoments", system_info(-60, u"CET", u"CEST", -60, kMarch, {0, 12, 0, 5, 23, 59, 59, 999}),
     TIME_ZONE_ID_STANDARD, "CET-1CEST,M3.5.0,M12.5.0/24"},
    // The first moment of each field: January, the first week, 00:00:00.000.
    {"FirstMoments", system_info(-60, u"CET", u"CEST", -60, {0, 1, 0, 1, 0, 0, 0, 0}, kOctober),
     TIME_ZONE_ID_STANDARD, "CET-1CEST,M1.1.0/0,M10.5.0/3"},
    {"StandardBiasCounts", system_info(300, u"AAA", u"BBB", -60, kMarch, kOctober, 15),
     TIME_ZONE_ID_STANDARD, "AAA5:15BBB4:15,M3.5.0,M10.5.0/3"},
    {"DatesOutOfRange", system_info(-60, u"CET", u"CEST", -60, {0, 13, 0, 5, 2, 0, 0, 0}, kOctober),
     TIME_ZONE_ID_STANDARD, "CET-1"},
    {"WeekOutOfRange", system_info(-60, u"CET", u"CEST", -60, {0, 3, 0, 6, 2, 0, 0, 0}, kOctober),
     TIME_ZONE_ID_STANDARD, "CET-1"},
    {"ReportedUnknown", system_info(-60, u"CET", u"CEST", -60, kMarch, kOctober),
     TIME_ZONE_ID_UNKNOWN, "CET-1"},
    // Biases beyond a day are taken as a day.
    {"FarWest", system_info(5 * 366 * 1440, u"WWW", u"WWW", 0), TIME_ZONE_ID_UNKNOWN, "WWW24"},
    {"FarEast", system_info(-5 * 366 * 1440, u"EEE", u"FFF", -5 * 366 * 1440, kMarch, kOctober),
     TIME_ZONE_ID_STANDARD, "EEE-24FFF-24,M3.5.0,M10.5.0/3"},
    {"FailedQuery", system_info(-60, u"CET", u"CEST", -60, kMarch, kOctober), TIME_ZONE_ID_INVALID,
     "EST5EDT,M4.1.0,M10.5.0"},
};

void PrintTo(const SystemCase& c, std::ostream* os) { *os << c.name; }

class SystemZone : public ::testing::TestWithParam<SystemCase> {};

TEST_P(SystemZone, SameLocalTimeAsTheCLibraryUnderItsRules) {
  const SystemCase& c = GetParam();
  qv::TimeZone zone;
  qv::zone_from_system(c.info, c.result, &zone);
  qv::TimeZone expected;
  ASSERT_TRUE(qv::parse_posix_tz(c.tz, &expected));
  EXPECT_EQ(zone.std_offset, expected.std_offset);
  EXPECT_EQ(zone.dst_offset, expected.dst_offset);
  EXPECT_EQ(zone.has_daylight, expected.has_daylight);
  oracle::GlibcZone glibc(c.tz);
  for (uint32_t t : oracle::instants(oracle::changes(1970), 500, 20041109)) {
    ASSERT_EQ(oracle::all_ours(t, zone), oracle::all_theirs(t)) << t;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SystemZone, ::testing::ValuesIn(kSystemZones),
                         [](const auto& named) { return std::string(named.param.name); });

TEST(SystemZoneNames, BecomeAnsiAndNeedNoTerminator) {
  TIME_ZONE_INFORMATION info = system_info(0, u"", u"", -60, kMarch, kOctober);
  for (WCHAR& c : info.StandardName) c = u'S';  // all 32, no terminator
  const char16_t daylight[] = u"Hor\u00e1rio \u20ac \u4e2d";
  std::copy(std::begin(daylight), std::end(daylight), info.DaylightName);
  qv::TimeZone zone;
  qv::zone_from_system(info, TIME_ZONE_ID_STANDARD, &zone);
  EXPECT_EQ(std::string(zone.std_name), std::string(32, 'S'));
  EXPECT_EQ(std::string(zone.dst_name), "Hor\xe1rio \x80 ?");
}

}  // namespace
