// QVFORMATDATETIME in processes started under a chosen TZ: qvcall runs the statements
// against the shared library, which takes TZ when it is loaded.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

std::string qvcall_path() {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1) + "qvcall";
}

std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The value qvcall prints for `? QVFORMATDATETIME(<call>)` with TZ set to tz.
std::string run(const std::string& tz, const std::string& call) {
  const std::string command = "env TZ=" + quoted(tz) + " " + quoted(qvcall_path()) + " -e " +
                              quoted("? QVFORMATDATETIME(" + call + ")") + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "<popen failed>";
  std::string out;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  const int status = pclose(pipe);
  if (status != 0) out += "<exit " + std::to_string(status) + ">";
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

struct TzCase {
  const char* name;
  std::string tz;
  std::string call;
  std::string expected;  // as qvcall prints it
};

void PrintTo(const TzCase& c, std::ostream* os) { *os << c.tz << " " << c.call; }

class FormatUnderTz : public ::testing::TestWithParam<TzCase> {};

// TZ of the POSIX form is the zone; any other value gives way to the system's zone. The
// simulated system reports the host's zone as the C library reads it from TZ (a zone
// file), with this year's rules, which the system's zone applies to every year.
TEST_P(FormatUnderTz, ZoneTakenAtLoad) {
  const TzCase& c = GetParam();
  struct stat info;
  if (c.tz.find('/') != std::string::npos && c.tz.find(',') == std::string::npos &&
      stat(("/usr/share/zoneinfo/" + c.tz.substr(c.tz[0] == ':' ? 1 : 0)).c_str(), &info) != 0)
    GTEST_SKIP() << "no zone files";
  EXPECT_EQ(run(c.tz, c.call), c.expected);
}

const std::string kLongName(129, 'Q');

const TzCase kCases[] = {
    {"DefaultFormat", "UTC0", "1100043200", "\"20041109\""},
    {"LastSecond", "UTC0", "-1, \"%Y%m%d %T %Z\"", "\"21060207 06:28:15 UTC\""},
    {"LastSecondEast", "CET-1", "-1, \"%Y-%m-%d %T %Z\"", "\"2106-02-07 07:28:15 CET\""},
    {"FirstSecondWest", "EST5EDT", "1, \"%Y-%m-%d %T\"", "\"1969-12-31 19:00:01\""},
    {"BeforeDaylight", "EST5EDT", "923209199, \"%F%Y-%m-%d %T %Z\"",
     "\"F1999-04-04 01:59:59 EST\""},
    {"DaylightStarts", "EST5EDT", "923209200, \"%Y-%m-%d %T %Z\"", "\"1999-04-04 03:00:00 EDT\""},
    {"BeforeStandard", "EST5EDT", "941349599, \"%Y-%m-%d %T %Z\"", "\"1999-10-31 01:59:59 EDT\""},
    {"StandardStarts", "EST5EDT", "941349600, \"%Y-%m-%d %T %Z\"", "\"1999-10-31 01:00:00 EST\""},
    {"NameWithoutOffset", "GMT", "1100043200, \"%H:%M:%S %Z\"", "\"18:33:20 GMT\""},
    {"HalfHourEast", "<+0530>-5:30", "1100043200, \"%c %Z\"", "\"Wed Nov 10 05:03:20 2004 +0530\""},
    {"Rules", "CET-1CEST,M3.5.0,M10.5.0/3", "922708800, \"%H %Z\"", "\"14 CEST\""},
    {"ZoneFile", "Europe/Berlin", "1100043200, \"%H:%M %Z\"", "\"00:33 CET\""},
    {"ZoneFileWithColon", ":Europe/Berlin", "1100043200, \"%H:%M %Z\"", "\"00:33 CET\""},
    // 1999: daylight time in Berlin from the last Sunday in March, 01:00 UTC.
    {"ZoneFileBeforeDaylight", ":Europe/Berlin", "922582799, \"%H:%M %Z\"", "\"01:59 CET\""},
    {"ZoneFileDaylightStarts", ":Europe/Berlin", "922582800, \"%H:%M %Z\"", "\"03:00 CEST\""},
    {"ZoneFileDaylight", ":Europe/Berlin", "922708800, \"%H:%M %Z\"", "\"14:00 CEST\""},
    // A name over 128 characters: the C library reads it (5 hours west); the system keeps
    // 31 characters of it.
    {"NameTooLong", "<" + kLongName + ">5", "1100043200, \"%H %Z\"",
     "\"18 " + std::string(31, 'Q') + "\""},
};

INSTANTIATE_TEST_SUITE_P(Cases, FormatUnderTz, ::testing::ValuesIn(kCases),
                         [](const auto& named) { return std::string(named.param.name); });

}  // namespace
