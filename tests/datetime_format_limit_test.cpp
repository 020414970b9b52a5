// The 126-character limit falls at every place inside every conversion: the result is
// always the first 126 characters of the whole expansion.
#include <gtest/gtest.h>

#include <string>

#include "reading/datetime_format.h"
#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace {

std::string expand(const std::string& format, const qv::LocalTime& t, const char* name) {
  char result[qv::kFormatResultBytes];
  const size_t n = qv::expand_datetime_format(format.c_str(), t, name, result);
  EXPECT_EQ(n, std::string(result).size());
  return result;
}

TEST(FormatLimit, EveryConversionCutAtEveryPlace) {
  qv::TimeZone zone;
  ASSERT_TRUE(qv::parse_posix_tz("<Zone+14>-14", &zone));
  // A Wednesday in September: the longest day and month names.
  const qv::LocalTime t = qv::to_local_time(1095235200u, zone);
  ASSERT_EQ(expand("%A %B", t, zone.std_name), "Wednesday September");
  const char* const conversions[] = {"%a", "%A", "%b", "%h", "%B", "%c", "%d",  "%D",
                                     "%H", "%I", "%j", "%m", "%M", "%n", "%p",  "%r",
                                     "%S", "%t", "%T", "%U", "%w", "%W", "%x",  "%X",
                                     "%y", "%Y", "%Z", "%z", "%%", "%Q", "%c%c"};
  for (const char* conversion : conversions) {
    const std::string whole = expand(conversion, t, zone.std_name);
    ASSERT_FALSE(whole.empty()) << conversion;
    for (size_t lead = 90; lead <= 126; ++lead) {
      SCOPED_TRACE(std::string(conversion) + " after " + std::to_string(lead));
      const std::string text = std::string(lead, '.') + whole + "tail";
      EXPECT_EQ(expand(std::string(lead, '.') + conversion + "tail", t, zone.std_name),
                text.substr(0, 126));
    }
  }
}

}  // namespace
