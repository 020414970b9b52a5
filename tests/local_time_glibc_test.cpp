// Differential test against the C library: for TZ values with explicit rules, the same
// broken-down time and zone name as localtime_r, and the same text as strftime where the
// two define a conversion alike.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <random>
#include <string>

#include "reading/datetime_format.h"
#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace {

class RandomTz {
 public:
  explicit RandomTz(uint32_t seed) : rng_(seed) {}

  std::string make() {
    std::string tz = name() + offset(true);
    tz += name();
    if (pick(2) == 0) tz += offset(false);
    return tz + "," + rule() + "," + rule();
  }

  uint32_t time() { return static_cast<uint32_t>(rng_()); }
  int pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

 private:
  std::string name() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    static const char kQuoted[] = "ABCXYZabc0123456789+-";
    std::string n;
    const int length = 3 + pick(5);
    const bool quoted = pick(3) == 0;
    for (int i = 0; i < length; ++i)
      n += quoted ? kQuoted[pick(sizeof kQuoted - 1)] : kLetters[pick(sizeof kLetters - 1)];
    return quoted ? "<" + n + ">" : n;
  }

  std::string clock(int max_hours) {
    std::string s = std::to_string(pick(max_hours + 1));
    if (pick(2) == 0) s += ":" + two(pick(60));
    if (pick(3) == 0) s += ":" + two(pick(60));
    return s;
  }
  static std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

  // The C library takes offsets up to 24 hours.
  std::string offset(bool required) {
    static const char* const kSigns[] = {"", "+", "-"};
    return kSigns[pick(3)] + clock(required ? 24 : 23);
  }

  std::string rule() {
    std::string r;
    switch (pick(3)) {
      case 0:
        r = "J" + std::to_string(1 + pick(365));
        break;
      case 1:
        r = std::to_string(pick(366));
        break;
      default:
        r = "M" + std::to_string(1 + pick(12)) + "." + std::to_string(1 + pick(5)) + "." +
            std::to_string(pick(7));
    }
    switch (pick(3)) {
      case 0:
        return r;
      case 1:
        return r + "/" + clock(167);
      default:
        return r + "/-" + clock(167);
    }
  }

  std::mt19937 rng_;
};

class GlibcZone {
 public:
  explicit GlibcZone(const std::string& tz) {
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz.c_str(), 1);
    tzset();
  }
  ~GlibcZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

// Conversions that the C library in the C locale defines as this library does. (%c, %x,
// %z and unknown letters differ.)
const char* const kAlike[] = {
    "%a %A %b %h %B %d %D %H %I %j %m %M %p %S %%",
    "%r %T %X %U %w %W %y %Y %Z %n%t",
};

TEST(LocalTimeGlibc, SameFieldsNamesAndTextAsTheCLibrary) {
  RandomTz random(20041109);
  int compared = 0;
  for (int z = 0; z < 150; ++z) {
    const std::string tz = random.make();
    SCOPED_TRACE(tz);
    qv::TimeZone zone;
    ASSERT_TRUE(qv::parse_posix_tz(tz.c_str(), &zone));
    GlibcZone glibc(tz);

    // Random instants over the whole range, and the seconds around this zone's changes in
    // a few random years.
    std::vector<uint32_t> times;
    for (int i = 0; i < 12; ++i) times.push_back(random.time());
    for (int i = 0; i < 2; ++i) {
      const int64_t year = 1971 + random.pick(135);
      for (int64_t change : {qv::rule_instant(zone.start, year, zone.std_offset),
                             qv::rule_instant(zone.end, year, zone.dst_offset)}) {
        for (int64_t d = -1; d <= 1; ++d) {
          const int64_t t = change + d;
          if (t >= 1 && t <= 4294967295LL) times.push_back(static_cast<uint32_t>(t));
        }
      }
    }

    for (uint32_t seconds : times) {
      SCOPED_TRACE(seconds);
      const qv::LocalTime ours = qv::to_local_time(seconds, zone);
      const char* name = ours.daylight ? zone.dst_name : zone.std_name;
      const time_t t = static_cast<time_t>(seconds);
      struct tm theirs {};
      ASSERT_NE(localtime_r(&t, &theirs), nullptr);
      EXPECT_EQ(ours.second, theirs.tm_sec);
      EXPECT_EQ(ours.minute, theirs.tm_min);
      EXPECT_EQ(ours.hour, theirs.tm_hour);
      EXPECT_EQ(ours.day, theirs.tm_mday);
      EXPECT_EQ(ours.month, theirs.tm_mon);
      EXPECT_EQ(ours.year, theirs.tm_year);
      EXPECT_EQ(ours.weekday, theirs.tm_wday);
      EXPECT_EQ(ours.yearday, theirs.tm_yday);
      EXPECT_EQ(ours.daylight, theirs.tm_isdst);
      EXPECT_STREQ(name, theirs.tm_zone);

      char expected[256];
      char result[qv::kFormatResultBytes];
      for (const char* format : kAlike) {
        ASSERT_GT(strftime(expected, sizeof expected, format, &theirs), 0u);
        qv::expand_datetime_format(format, ours, name, result);
        EXPECT_STREQ(result, expected) << format;
      }
      ASSERT_GT(strftime(expected, sizeof expected, "%a %b %d %H:%M:%S %Y|%a %b %d, %Y", &theirs),
                0u);
      qv::expand_datetime_format("%c|%x", ours, name, result);
      EXPECT_STREQ(result, expected);
      ++compared;
    }
    if (HasFailure()) break;
  }
  EXPECT_GT(compared, 2500);
}

}  // namespace
