// The export's way of formatting (fields worked out as the format asks for them) against the
// broken-down time expanded field by field: the same text for every conversion, in zones
// with and without daylight years, all over the range.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reading/datetime_format.h"
#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace {

// Every conversion once, each behind a letter that shows where it went wrong.
constexpr char kEveryConversion[] =
    "a%a A%A b%b B%B c%c d%d D%D h%h H%H I%I j%j m%m M%M n%n p%p r%r S%S t%t T%T U%U w%w "
    "W%W x%x X%X y%y Y%Y Z%Z z%z %%";

// Instants where a field turns over: the ends of the range, the turn of each year, 2100's
// missing 29 February, and others at random.
std::vector<uint32_t> instants() {
  std::vector<uint32_t> times = {1, 2, 86399, 86400, 4294967294u, 4294967295u};
  for (int year = 1970; year <= 2106; ++year) {
    const int64_t jan1 = qv::days_from_civil(year, 1, 1) * 86400;
    for (int64_t d : {-3601, -1, 0, 1, 3600, 59 * 86400, 60 * 86400 - 1}) {
      const int64_t t = jan1 + d;
      if (t >= 1 && t <= 4294967295LL) times.push_back(static_cast<uint32_t>(t));
    }
  }
  const int64_t march2100 = qv::days_from_civil(2100, 3, 1) * 86400;
  for (int64_t d = -2 * 86400; d <= 2 * 86400; d += 3600)
    times.push_back(static_cast<uint32_t>(march2100 + d));
  std::mt19937 rng(1100043200);
  for (int i = 0; i < 20000; ++i) times.push_back(1 + rng() % 4294967295u);
  return times;
}

TEST(FormatLocalTime, SameTextAsTheBrokenDownTimeExpanded) {
  const char* const zones[] = {
      "UTC0",
      "CET-1CEST,M3.5.0,M10.5.0/3",
      "EST5EDT",
      "<+1245>-12:45<+1345>,M9.5.0/2:45,M4.1.0/3:45",
      "AAA12BBB-12,M1.1.0/-100,M12.5.6/100",  // a day back and forth across the new year
      "AAA-14",                               // east of UTC past the end of the range
      "AAA0BBB,364/23,0/1",
  };
  const std::vector<uint32_t> times = instants();
  for (const char* tz : zones) {
    SCOPED_TRACE(tz);
    qv::TimeZone looked_up;
    ASSERT_TRUE(qv::parse_posix_tz(tz, &looked_up));
    qv::TimeZone by_rules = looked_up;
    by_rules.years_ready = false;  // the general way throughout
    for (const qv::TimeZone* zone : {&looked_up, &by_rules}) {
      for (uint32_t t : times) {
        const qv::LocalTime local = qv::to_local_time(t, *zone);
        char expected[qv::kFormatResultBytes];
        qv::expand_datetime_format(kEveryConversion, local,
                                   local.daylight ? zone->dst_name : zone->std_name, expected);
        char result[qv::kFormatResultBytes];
        const size_t n = qv::format_local_time(kEveryConversion, t, *zone, result);
        ASSERT_STREQ(result, expected) << t;
        ASSERT_EQ(n, std::string(expected).size());
      }
    }
  }
}

// The default format and a cut at the limit take the same way.
TEST(FormatLocalTime, DefaultFormatAndTheLimit) {
  qv::TimeZone zone;
  ASSERT_TRUE(qv::parse_posix_tz("CET-1CEST,M3.5.0,M10.5.0/3", &zone));
  char result[qv::kFormatResultBytes];
  EXPECT_EQ(qv::format_local_time("%Y%m%d", 1100043200u, zone, result), 8u);
  EXPECT_STREQ(result, "20041110");
  const std::string long_format(60, 'x');
  const std::string format = long_format + "%c%c%c";  // 60 + 3 * 24 characters
  EXPECT_EQ(qv::format_local_time(format.c_str(), 1100043200u, zone, result), 126u);
  // 60 + 24 + 24 = 108 characters whole, then 18 of the third.
  EXPECT_EQ(std::string(result),
            long_format + "Wed Nov 10 00:33:20 2004Wed Nov 10 00:33:20 2004Wed Nov 10 00:33:2");
}

}  // namespace
