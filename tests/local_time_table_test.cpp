// The looked-up daylight years and calendar tables against the rules and the general
// calendar arithmetic they stand in for.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace {

void expect_same(const qv::LocalTime& a, const qv::LocalTime& b) {
  EXPECT_EQ(a.second, b.second);
  EXPECT_EQ(a.minute, b.minute);
  EXPECT_EQ(a.hour, b.hour);
  EXPECT_EQ(a.day, b.day);
  EXPECT_EQ(a.month, b.month);
  EXPECT_EQ(a.year, b.year);
  EXPECT_EQ(a.weekday, b.weekday);
  EXPECT_EQ(a.yearday, b.yearday);
  EXPECT_EQ(a.daylight, b.daylight);
}

// The zone as set up, and the same zone applying its rules afresh on every conversion.
struct ZonePair {
  qv::TimeZone looked_up;
  qv::TimeZone by_rules;
};

ZonePair pair_of(const qv::TimeZone& zone) {
  ZonePair p{zone, zone};
  p.by_rules.years_ready = false;
  return p;
}

TEST(LocalTimeTable, DaylightYearsMatchTheRules) {
  // Each rule form; negative times and times past a day; daylight time across the new
  // year; rules that fall on the same instant; a start on the first second of the range.
  const char* const zones[] = {
      "CET-1CEST,M3.5.0,M10.5.0/3",
      "EST5EDT",
      "NZST-12NZDT-13,M9.5.0,M4.1.0/3",
      "AAA0BBB,J60/0,J300",
      "AAA0BBB,59/0,300",
      "AAA0BBB,J2/-1,J364/25",
      "AAA3BBB,M2.5.6/-167,M12.5.0/167",
      "AAA0BBB,J1/0,J1/0",
      "<+10>-10<+11>,0/0,365/24",
      "<-14>14<-13>-12,M1.1.0,M12.5.6",
  };
  std::mt19937 rng(20041109);
  for (const char* tz : zones) {
    SCOPED_TRACE(tz);
    qv::TimeZone zone;
    ASSERT_TRUE(qv::parse_posix_tz(tz, &zone));
    ASSERT_TRUE(zone.years_ready);
    const ZonePair p = pair_of(zone);
    std::vector<uint32_t> times = {1, 2, 86399, 86400, 4294967295u, 4294967294u};
    for (int year = 1969; year <= 2107; ++year) {
      for (int64_t change : {qv::rule_instant(zone.start, year, zone.std_offset),
                             qv::rule_instant(zone.end, year, zone.dst_offset)}) {
        for (int64_t d : {-3601, -1, 0, 1, 3600}) {
          const int64_t t = change + d;
          if (t >= 1 && t <= 4294967295LL) times.push_back(static_cast<uint32_t>(t));
        }
      }
    }
    for (int i = 0; i < 2000; ++i) times.push_back(1 + rng() % 4294967295u);
    for (uint32_t t : times) {
      SCOPED_TRACE(t);
      EXPECT_EQ(qv::is_daylight_time(t, p.looked_up), qv::is_daylight_time(t, p.by_rules));
      expect_same(qv::to_local_time(t, p.looked_up), qv::to_local_time(t, p.by_rules));
    }
  }
}

TEST(LocalTimeTable, EveryDayOfTheRangeMatchesTheCalendar) {
  qv::TimeZone utc;
  ASSERT_TRUE(qv::parse_posix_tz("UTC0", &utc));
  for (uint32_t day = 0; day <= 49710; ++day) {
    const uint32_t t = day * 86400u + 12345;  // the last day ends at 06:28:15
    const qv::LocalTime local = qv::to_local_time(t, utc);
    int64_t y = 0;
    int m = 0;
    int d = 0;
    qv::civil_from_days(day, &y, &m, &d);
    ASSERT_EQ(local.year + 1900, y) << day;
    ASSERT_EQ(local.month + 1, m) << day;
    ASSERT_EQ(local.day, d) << day;
    ASSERT_EQ(local.yearday, qv::days_from_civil(y, m, d) - qv::days_from_civil(y, 1, 1));
    ASSERT_EQ(local.weekday, (day + 4) % 7);
  }
}

// A system zone far from UTC puts local dates beyond the tables: the general arithmetic
// takes over and agrees with the calendar.
TEST(LocalTimeTable, LocalDatesBeyondTheTables) {
  struct Case {
    int32_t bias_minutes;  // west of UTC
    uint32_t seconds;
  };
  const Case cases[] = {
      {5 * 366 * 1440, 1},             // five years west of the first second
      {-5 * 366 * 1440, 4294967295u},  // five years east of the last
      {-5 * 366 * 1440, 4294967295u - 86400u * 300},
  };
  for (const Case& c : cases) {
    TIME_ZONE_INFORMATION info{};
    info.Bias = c.bias_minutes;
    const qv::TimeZone zone = qv::zone_from_system(info, TIME_ZONE_ID_UNKNOWN);
    const qv::LocalTime local = qv::to_local_time(c.seconds, zone);
    const int64_t since = int64_t{c.seconds} - int64_t{c.bias_minutes} * 60;
    const int64_t days = since >= 0 ? since / 86400 : -((-since + 86399) / 86400);
    int64_t y = 0;
    int m = 0;
    int d = 0;
    qv::civil_from_days(days, &y, &m, &d);
    EXPECT_EQ(local.year + 1900, y);
    EXPECT_EQ(local.month + 1, m);
    EXPECT_EQ(local.day, d);
    EXPECT_EQ(local.hour * 3600 + local.minute * 60 + local.second, since - days * 86400);
    EXPECT_EQ(local.daylight, 0);
  }
}

}  // namespace
