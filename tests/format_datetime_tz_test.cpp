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
  std::string tz;
  std::string call;
  std::string expected;  // as qvcall prints it
};

TEST(FormatUnderTz, ZoneTakenFromTzAtLoad) {
  const TzCase cases[] = {
      {"UTC0", "1100043200", "\"20041109\""},
      {"UTC0", "-1, \"%Y%m%d %T %Z\"", "\"21060207 06:28:15 UTC\""},
      {"CET-1", "-1, \"%Y-%m-%d %T %Z\"", "\"2106-02-07 07:28:15 CET\""},
      {"EST5EDT", "1, \"%Y-%m-%d %T\"", "\"1969-12-31 19:00:01\""},
      {"EST5EDT", "923209199, \"%F%Y-%m-%d %T %Z\"", "\"F1999-04-04 01:59:59 EST\""},
      {"EST5EDT", "923209200, \"%Y-%m-%d %T %Z\"", "\"1999-04-04 03:00:00 EDT\""},
      {"EST5EDT", "941349599, \"%Y-%m-%d %T %Z\"", "\"1999-10-31 01:59:59 EDT\""},
      {"EST5EDT", "941349600, \"%Y-%m-%d %T %Z\"", "\"1999-10-31 01:00:00 EST\""},
      {"GMT", "1100043200, \"%H:%M:%S %Z\"", "\"18:33:20 GMT\""},
      {"<+0530>-5:30", "1100043200, \"%c %Z\"", "\"Wed Nov 10 05:03:20 2004 +0530\""},
      {"CET-1CEST,M3.5.0,M10.5.0/3", "922708800, \"%H %Z\"", "\"14 CEST\""},
  };
  for (const TzCase& c : cases) EXPECT_EQ(run(c.tz, c.call), c.expected) << c.tz << " " << c.call;
}

// A TZ value that is not of the POSIX form gives way to the system's zone. The simulated
// system reports the host's zone as the C library reads it from TZ (here the zone file),
// with this year's rules, which the system's zone applies to every year.
TEST(FormatUnderTz, UnparsableTzGivesTheSystemZone) {
  struct stat info;
  if (stat("/usr/share/zoneinfo/Europe/Berlin", &info) != 0) GTEST_SKIP() << "no zone files";
  const TzCase cases[] = {
      {"Europe/Berlin", "1100043200, \"%H:%M %Z\"", "\"00:33 CET\""},
      {":Europe/Berlin", "1100043200, \"%H:%M %Z\"", "\"00:33 CET\""},
      // 1999-03-29 12:00 UTC: daylight time in Berlin since the last Sunday in March.
      {":Europe/Berlin", "922708800, \"%H:%M %Z\"", "\"14:00 CEST\""},
      {":Europe/Berlin", "922582799, \"%H:%M %Z\"", "\"01:59 CET\""},
      {":Europe/Berlin", "922582800, \"%H:%M %Z\"", "\"03:00 CEST\""},
      {":Europe/Berlin", "923227200, \"%H:%M %Z\"", "\"14:00 CEST\""},
  };
  for (const TzCase& c : cases) EXPECT_EQ(run(c.tz, c.call), c.expected) << c.tz << " " << c.call;

  // A name over 128 characters: the C library reads it (5 hours west); the system keeps
  // 31 characters of it.
  const std::string name(129, 'Q');
  EXPECT_EQ(run("<" + name + ">5", "1100043200, \"%H %Z\""), "\"18 " + std::string(31, 'Q') + "\"");
}

}  // namespace
