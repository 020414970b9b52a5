// Differential test against the C library: for random TZ values with explicit rules, the
// same text as localtime_r and strftime where the two define a conversion alike, and the
// same zone name.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <random>
#include <string>

#include "time/zone.h"
#include "time_oracle.h"

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

TEST(LocalTimeGlibc, SameFieldsNamesAndTextAsTheCLibrary) {
  RandomTz random(20041109);
  int compared = 0;
  for (int z = 0; z < 150; ++z) {
    const std::string tz = random.make();
    SCOPED_TRACE(tz);
    qv::TimeZone zone;
    ASSERT_TRUE(qv::parse_posix_tz(tz.c_str(), &zone));
    oracle::GlibcZone glibc(tz);

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
      EXPECT_EQ(oracle::all_ours(seconds, zone), oracle::all_theirs(seconds)) << seconds;
      ++compared;
    }
    if (HasFailure()) break;
  }
  EXPECT_GT(compared, 2500);
}

}  // namespace
