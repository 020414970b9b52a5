// Daylight time looked up by span against the rules, for zones whose daylight time
// changes more than once within a span, or by more than an hour, or backwards.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace {

TEST(LocalTimeSpans, ShortAndLargeDaylightTimeMatchTheRules) {
  const char* const zones[] = {
      "AAA0BBB,J60/0,J61/0",          // one day of daylight time
      "AAA0BBB,J60/0,J60/12",         // half a day
      "AAA0BBB,J60/0,J60/0",          // none at all
      "AAA-10BBB-14,M3.2.0,M11.1.0",  // four hours ahead
      "AAA-2BBB-1,M3.5.0,M10.5.0",    // one hour behind
      "AAA12BBB-12,M1.1.0/-100,M12.5.6/100",
      "AAA0BBB,364/23,0/1",  // across the new year
  };
  std::mt19937 rng(1100043200);
  for (const char* tz : zones) {
    SCOPED_TRACE(tz);
    qv::TimeZone looked_up;
    ASSERT_TRUE(qv::parse_posix_tz(tz, &looked_up));
    qv::TimeZone by_rules = looked_up;
    by_rules.years_ready = false;
    std::vector<uint32_t> times = {1, 4294967295u};
    for (int year = 1969; year <= 2107; ++year) {
      for (int64_t change : {qv::rule_instant(looked_up.start, year, looked_up.std_offset),
                             qv::rule_instant(looked_up.end, year, looked_up.dst_offset)}) {
        for (int64_t d : {-86401, -1, 0, 1, 43200}) {
          const int64_t t = change + d;
          if (t >= 1 && t <= 4294967295LL) times.push_back(static_cast<uint32_t>(t));
        }
      }
    }
    for (int i = 0; i < 3000; ++i) times.push_back(1 + rng() % 4294967295u);
    for (uint32_t t : times) {
      SCOPED_TRACE(t);
      ASSERT_EQ(qv::is_daylight_time(t, looked_up), qv::is_daylight_time(t, by_rules));
      const qv::LocalTime a = qv::to_local_time(t, looked_up);
      const qv::LocalTime b = qv::to_local_time(t, by_rules);
      ASSERT_EQ(a.daylight, b.daylight);
      ASSERT_EQ(a.hour * 3600 + a.minute * 60 + a.second, b.hour * 3600 + b.minute * 60 + b.second);
      ASSERT_EQ(a.yearday, b.yearday);
      ASSERT_EQ(a.year, b.year);
    }
  }
}

}  // namespace
