// The C library as the oracle of the time tests: its localtime_r and strftime under a TZ
// set for the while, and the instants worth comparing at (its own changes of offset).
#ifndef QUORVEL_TESTS_TIME_ORACLE_H
#define QUORVEL_TESTS_TIME_ORACLE_H

#include <stdlib.h>
#include <time.h>

#include <random>
#include <string>
#include <vector>

#include "time/expansion.h"
#include "time/zone.h"

namespace oracle {

// TZ for the C library while it lives.
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
  GlibcZone(const GlibcZone&) = delete;
  GlibcZone& operator=(const GlibcZone&) = delete;

 private:
  bool had_ = false;
  std::string old_;
};

// Conversions that the C library in the C locale defines as this library does, in
// formats that stay under the result's limit; the C library's %c and %x differ (its day is
// padded with a blank), so their composites are written out for it.
struct Alike {
  const char* ours;
  const char* theirs;
};
constexpr Alike kAlike[] = {
    {"%a %A %b %h %B %d %D %H %I %j %m %M %p %S %%",
     "%a %A %b %h %B %d %D %H %I %j %m %M %p %S %%"},
    {"%r %T %X %U %w %W %y %Y %n%t", "%r %T %X %U %w %W %y %Y %n%t"},
    {"%c|%x|%Z", "%a %b %d %H:%M:%S %Y|%a %b %d, %Y|%Z"},
};

// The C library's text, in the TZ set now.
inline std::string theirs(uint32_t seconds, const char* format, bool* daylight = nullptr) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  localtime_r(&t, &local);
  if (daylight != nullptr) *daylight = local.tm_isdst > 0;
  char text[256];
  strftime(text, sizeof text, format, &local);
  return text;
}

inline std::string ours(uint32_t seconds, const qv::TimeZone& zone, const char* format) {
  char result[qv::kFormatResultBytes];
  qv::format_local_time(format, seconds, zone, result);
  return result;
}

// Every conversion of kAlike, by this library and by the C library in the TZ set now.
inline std::string all_ours(uint32_t seconds, const qv::TimeZone& zone) {
  std::string text;
  for (const Alike& a : kAlike) text += ours(seconds, zone, a.ours) + "|";
  return text;
}
inline std::string all_theirs(uint32_t seconds) {
  std::string text;
  for (const Alike& a : kAlike) text += theirs(seconds, a.theirs) + "|";
  return text;
}

inline long gmt_offset(int64_t t) {
  const time_t s = static_cast<time_t>(t);
  struct tm local {};
  localtime_r(&s, &local);
  return local.tm_gmtoff * 2 + (local.tm_isdst > 0 ? 1 : 0);
}

// The instants of the range at which the C library's offset or daylight flag changes, in
// the TZ set now, from the first of `first_year` on: a probe every 6 hours, then halving.
inline std::vector<int64_t> changes(int first_year) {
  std::vector<int64_t> found;
  struct tm jan1 {};
  jan1.tm_year = first_year - 1900;
  jan1.tm_mday = 1;
  int64_t from = timegm(&jan1);
  if (from < 0) from = 0;
  long before = gmt_offset(from);
  for (int64_t t = from + 21600; t <= 4294967295LL + 21600; t += 21600) {
    const long now = gmt_offset(t);
    if (now == before) continue;
    int64_t lo = t - 21600;
    int64_t hi = t;
    while (hi - lo > 1) {
      const int64_t mid = lo + (hi - lo) / 2;
      (gmt_offset(mid) == before ? lo : hi) = mid;
    }
    found.push_back(hi);
    before = now;
  }
  return found;
}

// Instants to compare at: the ends of the range, around each change, and at random.
inline std::vector<uint32_t> instants(const std::vector<int64_t>& around, int random,
                                      uint32_t seed) {
  std::vector<uint32_t> times = {1, 2, 86399, 86400, 4294967294u, 4294967295u};
  for (int64_t change : around) {
    for (int64_t d : {-86401, -3601, -1801, -1, 0, 1, 1799, 3599, 3600, 43200}) {
      const int64_t t = change + d;
      if (t >= 1 && t <= 4294967295LL) times.push_back(static_cast<uint32_t>(t));
    }
  }
  std::mt19937 rng(seed);
  for (int i = 0; i < random; ++i) times.push_back(1 + rng() % 4294967295u);
  return times;
}

}  // namespace oracle

#endif
