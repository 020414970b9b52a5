// GetTimeZoneInformation: the host's own zone, or one that a test has set. The host's zone
// is reported as Windows reports its zones: biases in minutes west of UTC, and the rules of
// the simulated clock's year as the month, weekday and week (5: the last) of each change,
// with the local time in effect before it.
#include <cstring>
#include <ctime>

#include "codepage.h"
#include "qvsim/timezone_control.h"
#include "sim_state.h"

namespace {

using namespace qvsim::detail;

struct ZoneSetting {
  bool custom = false;
  TIME_ZONE_INFORMATION info{};
  DWORD result = TIME_ZONE_ID_UNKNOWN;
};

ZoneSetting& setting() {
  static ZoneSetting current;
  return current;
}

int& queries() {
  static int count = 0;
  return count;
}

const bool registered = on_reset([] { setting() = ZoneSetting{}; });

void put_name(WCHAR (&name)[32], const char* text) {
  std::u16string wide = ansi_to_utf16(text != nullptr ? text : "");
  if (wide.size() > 31) wide.resize(31);
  std::memset(name, 0, sizeof name);
  std::memcpy(name, wide.data(), wide.size() * sizeof(WCHAR));
}

struct Probe {
  bool daylight;
  long offset;  // seconds east
  const char* name;
};

Probe probe(time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return {local.tm_isdst > 0, local.tm_gmtoff, local.tm_zone};
}

// The first second after `from` at which the daylight flag differs from that at `from`,
// given that it differs at `to`.
time_t bisect(time_t from, time_t to) {
  const bool before = probe(from).daylight;
  while (to - from > 1) {
    time_t mid = from + (to - from) / 2;
    (probe(mid).daylight == before ? from : to) = mid;
  }
  return to;
}

// A change described as Windows does for a yearly rule: month, weekday, its week of the
// month (5: the last), and the local time that was in effect just before it.
SYSTEMTIME rule_date(time_t change, long offset_before) {
  time_t local = change + offset_before;
  std::tm t{};
  gmtime_r(&local, &t);
  SYSTEMTIME date{};
  date.wMonth = static_cast<WORD>(t.tm_mon + 1);
  date.wDayOfWeek = static_cast<WORD>(t.tm_wday);
  std::tm next_week = t;
  time_t a_week_later = local + 7 * 86400;
  gmtime_r(&a_week_later, &next_week);
  date.wDay = static_cast<WORD>(next_week.tm_mon != t.tm_mon ? 5 : (t.tm_mday - 1) / 7 + 1);
  date.wHour = static_cast<WORD>(t.tm_hour);
  date.wMinute = static_cast<WORD>(t.tm_min);
  date.wSecond = static_cast<WORD>(t.tm_sec);
  return date;
}

}  // namespace

namespace qvsim {

uint32_t host_time_zone(TIME_ZONE_INFORMATION* info) {
  std::memset(info, 0, sizeof *info);
  const time_t now = static_cast<time_t>(qvsim::now());
  std::tm today{};
  localtime_r(&now, &today);
  std::tm jan1{};
  jan1.tm_year = today.tm_year;
  jan1.tm_mday = 1;
  const time_t year_start = timegm(&jan1);

  // A probe a day through the year finds the standard and daylight offsets and the days on
  // which they change.
  Probe standard = probe(now);
  Probe daylight{};
  bool has_daylight = false;
  time_t starts = 0;
  time_t ends = 0;
  Probe previous = probe(year_start);
  for (int day = 1; day <= 366; ++day) {
    const time_t t = year_start + day * 86400L;
    Probe p = probe(t);
    if (p.daylight) {
      daylight = p;
      has_daylight = true;
    } else {
      standard = p;
    }
    if (p.daylight != previous.daylight) (p.daylight ? starts : ends) = bisect(t - 86400, t);
    previous = p;
  }

  info->Bias = static_cast<LONG>(-standard.offset / 60);
  put_name(info->StandardName, standard.name);
  if (!has_daylight || starts == 0 || ends == 0) {
    put_name(info->DaylightName, standard.name);
    return TIME_ZONE_ID_UNKNOWN;
  }
  put_name(info->DaylightName, daylight.name);
  info->DaylightBias = static_cast<LONG>(-(daylight.offset - standard.offset) / 60);
  info->DaylightDate = rule_date(starts, standard.offset);
  info->StandardDate = rule_date(ends, daylight.offset);
  return today.tm_isdst > 0 ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

void set_time_zone(const TIME_ZONE_INFORMATION& info, uint32_t result) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  setting().custom = true;
  setting().info = info;
  setting().result = result;
}

void use_host_time_zone() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  setting() = ZoneSetting{};
}

int time_zone_queries() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  return queries();
}

}  // namespace qvsim

extern "C" DWORD WINAPI GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  ++queries();
  QVSIM_SERVICE(TIME_ZONE_ID_INVALID);
  if (info == nullptr) return fail(ERROR_INVALID_PARAMETER, TIME_ZONE_ID_INVALID);
  if (!setting().custom) return qvsim::host_time_zone(info);
  *info = setting().info;
  if (setting().result == TIME_ZONE_ID_INVALID)
    return fail(ERROR_INVALID_PARAMETER, TIME_ZONE_ID_INVALID);
  return setting().result;
}
