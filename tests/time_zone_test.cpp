// The POSIX TZ parser and the zone taken from the system's setting.
#include <gtest/gtest.h>

#include <string>

#include "reading/time_zone.h"

namespace {

struct ParseCase {
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
  }
  return s + "/" + std::to_string(r.time);
}

const ParseCase kParsed[] = {
    {"UTC0", 0, 0, false, "UTC", "", "", ""},
    {"CET-1", 3600, 3600, false, "CET", "", "", ""},
    // No offset written: 5 hours west under the name given.
    {"GMT", -18000, -18000, false, "GMT", "", "", ""},
    // No rules: first Sunday in April to last Sunday in October, 02:00.
    {"EST5EDT", -18000, -14400, true, "EST", "EDT", "M4.1.0/7200", "M10.5.0/7200"},
    {"CET-1CEST,M3.5.0,M10.5.0/3", 3600, 7200, true, "CET", "CEST", "M3.5.0/7200", "M10.5.0/10800"},
    {"NZST-12NZDT-13,M9.5.0,M4.1.0/3", 43200, 46800, true, "NZST", "NZDT", "M9.5.0/7200",
     "M4.1.0/10800"},
    {"<+0330>-3:30<+0430>,J79/24,J263/24", 12600, 16200, true, "+0330", "+0430", "J79/86400",
     "J263/86400"},
    {"<-03>3<-02>,M3.5.0/-2,M10.5.0/-1", -10800, -7200, true, "-03", "-02", "M3.5.0/-7200",
     "M10.5.0/-3600"},
    {"AAA+1:02:03BBB-4:05:06,0/-167,365/167:59:59", -3723, 14706, true, "AAA", "BBB", "0/-601200",
     "365/604799"},
    {"<ABC>24<DEF>-24,J1/0:00:01,J365", -86400, 86400, true, "ABC", "DEF", "J1/1", "J365/7200"},
    // Quoted standard name without offset, then a daylight name.
    {"<XYZ><UVW>", -18000, -14400, true, "XYZ", "UVW", "M4.1.0/7200", "M10.5.0/7200"},
    {"WET0WEST,M3.5.0/1,M10.5.0", 0, 3600, true, "WET", "WEST", "M3.5.0/3600", "M10.5.0/7200"},
};

TEST(PosixTz, ParsesValuesAndFillsDefaults) {
  for (const ParseCase& c : kParsed) {
    SCOPED_TRACE(c.tz);
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
}

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

TIME_ZONE_INFORMATION system_info(LONG bias, LONG standard_bias, LONG daylight_bias,
                                  bool daylight_dates) {
  TIME_ZONE_INFORMATION info{};
  info.Bias = bias;
  info.StandardBias = standard_bias;
  info.DaylightBias = daylight_bias;
  const char16_t standard[] = u"W. Europe Standard Time";
  const char16_t daylight[] = u"W. Europe Daylight Time";
  std::copy(std::begin(standard), std::end(standard), info.StandardName);
  std::copy(std::begin(daylight), std::end(daylight), info.DaylightName);
  if (daylight_dates) {
    info.StandardDate = SYSTEMTIME{0, 10, 0, 5, 3, 0, 0, 0};
    info.DaylightDate = SYSTEMTIME{0, 3, 0, 5, 2, 0, 0, 0};
  }
  return info;
}

struct SystemCase {
  const char* what;
  TIME_ZONE_INFORMATION info;
  DWORD result;
  int32_t std_offset;
  int32_t dst_offset;
  bool has_daylight;
  const char* std_name;
};

TEST(SystemZone, FollowsTheQueryResult) {
  const SystemCase cases[] = {
      {"daylight reported: shift from the daylight bias", system_info(-60, 0, -30, true),
       TIME_ZONE_ID_DAYLIGHT, 3600, 5400, true, "W. Europe Standard Time"},
      {"standard reported: one hour", system_info(-60, 0, -30, true), TIME_ZONE_ID_STANDARD, 3600,
       7200, true, "W. Europe Standard Time"},
      {"standard bias counts", system_info(300, 15, -60, true), TIME_ZONE_ID_STANDARD, -18900,
       -15300, true, "W. Europe Standard Time"},
      {"no daylight time: own offset and names", system_info(-330, 0, 0, false),
       TIME_ZONE_ID_UNKNOWN, 19800, 19800, false, "W. Europe Standard Time"},
      {"failed query", system_info(-60, 0, -60, true), TIME_ZONE_ID_INVALID, -18000, -14400, true,
       "EST"},
  };
  for (const SystemCase& c : cases) {
    SCOPED_TRACE(c.what);
    qv::TimeZone zone = qv::zone_from_system(c.info, c.result);
    EXPECT_EQ(zone.std_offset, c.std_offset);
    EXPECT_EQ(zone.dst_offset, c.dst_offset);
    EXPECT_EQ(zone.has_daylight, c.has_daylight);
    EXPECT_STREQ(zone.std_name, c.std_name);
    if (c.has_daylight) {
      // The April-to-October period whatever dates the system gives.
      EXPECT_EQ(describe(zone.start), "M4.1.0/7200");
      EXPECT_EQ(describe(zone.end), "M10.5.0/7200");
    }
  }
}

TEST(SystemZone, NamesBecomeAnsiAndNeedNoTerminator) {
  TIME_ZONE_INFORMATION info = system_info(0, 0, -60, true);
  for (WCHAR& c : info.StandardName) c = u'S';  // all 32, no terminator
  const char16_t daylight[] = u"Hor\u00e1rio \u20ac \u4e2d";
  std::fill(std::begin(info.DaylightName), std::end(info.DaylightName), 0);
  std::copy(std::begin(daylight), std::end(daylight), info.DaylightName);
  qv::TimeZone zone = qv::zone_from_system(info, TIME_ZONE_ID_STANDARD);
  EXPECT_EQ(std::string(zone.std_name), std::string(32, 'S'));
  EXPECT_EQ(std::string(zone.dst_name), "Hor\xe1rio \x80 ?");
}

}  // namespace
