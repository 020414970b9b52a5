// The 126-character limit falls at every place inside every conversion: the result is
// always the first 126 characters of the whole expansion.
#include <gtest/gtest.h>

#include <string>

#include "time/expansion.h"
#include "time/zone.h"

namespace {

// A Wednesday in September: the longest day and month names.
constexpr uint32_t kWednesday = 1095235200u;

std::string expand(const std::string& format, const qv::TimeZone& zone) {
  char result[qv::kFormatResultBytes];
  const size_t n = qv::format_local_time(format.c_str(), kWednesday, zone, result);
  EXPECT_EQ(n, std::string(result).size());
  return result;
}

TEST(FormatLimit, EveryConversionCutAtEveryPlace) {
  qv::TimeZone zone;
  ASSERT_TRUE(qv::parse_posix_tz("<Zone+14>-14", &zone));
  ASSERT_EQ(expand("%A %B", zone), "Wednesday September");
  const char* const conversions[] = {"%a", "%A", "%b", "%h", "%B", "%c", "%d",  "%D",
                                     "%H", "%I", "%j", "%m", "%M", "%n", "%p",  "%r",
                                     "%S", "%t", "%T", "%U", "%w", "%W", "%x",  "%X",
                                     "%y", "%Y", "%Z", "%z", "%%", "%Q", "%c%c"};
  for (const char* conversion : conversions) {
    const std::string whole = expand(conversion, zone);
    ASSERT_FALSE(whole.empty()) << conversion;
    for (size_t lead = 90; lead <= 126; ++lead) {
      SCOPED_TRACE(std::string(conversion) + " after " + std::to_string(lead));
      const std::string text = std::string(lead, '.') + whole + "tail";
      EXPECT_EQ(expand(std::string(lead, '.') + conversion + "tail", zone), text.substr(0, 126));
    }
  }
}

}  // namespace
