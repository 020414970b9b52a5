// The simulation's kernel32 services of the time zone and the environment: the host's zone
// reported as Windows reports its zones, and GetEnvironmentVariableA over the process
// environment.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "qvsim/control.h"
#include "qvsim/timezone_control.h"
#include "time_oracle.h"

namespace {

std::string narrow(const WCHAR (&name)[32]) {
  std::string s;
  for (int i = 0; i < 32 && name[i] != 0; ++i) s += static_cast<char>(name[i]);
  return s;
}

std::string date(const SYSTEMTIME& d) {
  return std::to_string(d.wYear) + "-" + std::to_string(d.wMonth) + " day " +
         std::to_string(d.wDayOfWeek) + " week " + std::to_string(d.wDay) + " " +
         std::to_string(d.wHour) + ":" + std::to_string(d.wMinute) + ":" +
         std::to_string(d.wSecond);
}

struct HostCase {
  const char* name;
  const char* tz;
  uint32_t clock;
  DWORD result;
  LONG bias;
  LONG daylight_bias;
  const char* standard_name;
  const char* daylight_name;
  const char* daylight_date;
  const char* standard_date;
};

constexpr uint32_t kMay2026 = 1780000000;
constexpr uint32_t kNovember2004 = 1100043200;

const HostCase kHosts[] = {
    {"Northern", "Europe/Berlin", kMay2026, TIME_ZONE_ID_DAYLIGHT, -60, -60, "CET", "CEST",
     "0-3 day 0 week 5 2:0:0", "0-10 day 0 week 5 3:0:0"},
    {"NorthernWeeks", "America/New_York", kMay2026, TIME_ZONE_ID_DAYLIGHT, 300, -60, "EST", "EDT",
     "0-3 day 0 week 2 2:0:0", "0-11 day 0 week 1 2:0:0"},
    // The rules of the clock's year: 2004 had April to October.
    {"NorthernIn2004", "America/New_York", kNovember2004, TIME_ZONE_ID_STANDARD, 300, -60, "EST",
     "EDT", "0-4 day 0 week 1 2:0:0", "0-10 day 0 week 5 2:0:0"},
    {"Southern", "Australia/Sydney", kMay2026, TIME_ZONE_ID_STANDARD, -600, -60, "AEST", "AEDT",
     "0-10 day 0 week 1 2:0:0", "0-4 day 0 week 1 3:0:0"},
    {"HalfHourShift", "Australia/Lord_Howe", kMay2026, TIME_ZONE_ID_STANDARD, -630, -30, "+1030",
     "+11", "0-10 day 0 week 1 2:0:0", "0-4 day 0 week 1 2:0:0"},
    {"NoDaylight", "Asia/Kolkata", kMay2026, TIME_ZONE_ID_UNKNOWN, -330, 0, "IST", "IST",
     "0-0 day 0 week 0 0:0:0", "0-0 day 0 week 0 0:0:0"},
};

void PrintTo(const HostCase& c, std::ostream* os) { *os << c.tz; }

class HostZone : public ::testing::TestWithParam<HostCase> {
 protected:
  void TearDown() override { qvsim::reset(); }
};

TEST_P(HostZone, ReportedInTheFieldsWindowsFills) {
  const HostCase& c = GetParam();
  if (access(("/usr/share/zoneinfo/" + std::string(c.tz)).c_str(), F_OK) != 0)
    GTEST_SKIP() << "no zone file " << c.tz;
  oracle::GlibcZone host(c.tz);
  qvsim::reset();
  qvsim::set_clock(c.clock);
  TIME_ZONE_INFORMATION info;
  EXPECT_EQ(GetTimeZoneInformation(&info), c.result);
  EXPECT_EQ(info.Bias, c.bias);
  EXPECT_EQ(info.StandardBias, 0);
  EXPECT_EQ(info.DaylightBias, c.daylight_bias);
  EXPECT_EQ(narrow(info.StandardName), c.standard_name);
  EXPECT_EQ(narrow(info.DaylightName), c.daylight_name);
  EXPECT_EQ(date(info.DaylightDate), c.daylight_date);
  EXPECT_EQ(date(info.StandardDate), c.standard_date);
}

INSTANTIATE_TEST_SUITE_P(Zones, HostZone, ::testing::ValuesIn(kHosts),
                         [](const auto& named) { return std::string(named.param.name); });

TEST(SimEnvironment, GetEnvironmentVariableReadsTheProcessEnvironment) {
  setenv("QV_SIM_ENV_TEST", "value", 1);
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(GetEnvironmentVariableA("QV_SIM_ENV_TEST", buffer, sizeof buffer), 5u);
  EXPECT_STREQ(buffer, "value");
  // Too small for the terminator: the size needed, the buffer untouched.
  char small[5] = "abcd";
  EXPECT_EQ(GetEnvironmentVariableA("QV_SIM_ENV_TEST", small, sizeof small), 6u);
  EXPECT_STREQ(small, "abcd");
  unsetenv("QV_SIM_ENV_TEST");
  SetLastError(0);
  EXPECT_EQ(GetEnvironmentVariableA("QV_SIM_ENV_TEST", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

}  // namespace
