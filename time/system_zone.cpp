// The zone of the system's setting, from GetTimeZoneInformation: its biases, names and the
// yearly rules of its daylight time, which hold for every year of the range.
#include <string.h>

#include "time/zone.h"

namespace qv {
namespace {

constexpr int kWideNameChars = 32;
constexpr int64_t kMaxBiasMinutes = kMaxOffset / 60;

// A zone name of the query (up to 32 WCHARs, not always terminated) in the ANSI code page.
void ansi_name(const WCHAR (&wide)[kWideNameChars], char (&name)[kZoneNameMax + 1]) {
  int n = 0;
  while (n < kWideNameChars && wide[n] != 0) ++n;
  int written = 0;
  if (n > 0)
    written = WideCharToMultiByte(CP_ACP, 0, wide, n, name, kZoneNameMax, nullptr, nullptr);
  name[written > 0 ? written : 0] = '\0';
}

// Minutes west of UTC, in range, as seconds east.
int32_t offset_east(int64_t minutes_west) {
  if (minutes_west > kMaxBiasMinutes) minutes_west = kMaxBiasMinutes;
  if (minutes_west < -kMaxBiasMinutes) minutes_west = -kMaxBiasMinutes;
  return static_cast<int32_t>(-minutes_west * 60);
}

// A transition date of the query as a rule. With wYear 0 it recurs on a weekday of a week
// of the month (wDay 5: the last); with wYear set it is day wDay of the month, which the
// C run-time takes as recurring too. Milliseconds after a whole second move it to the next
// one, the first that the change has reached. False for a date out of range.
bool rule_from_date(const SYSTEMTIME& date, ZoneRule* rule) {
  if (date.wMonth < 1 || date.wMonth > 12 || date.wHour > 23 || date.wMinute > 59 ||
      date.wSecond > 59 || date.wMilliseconds > 999)
    return false;
  rule->month = static_cast<uint8_t>(date.wMonth);
  if (date.wYear == 0) {
    if (date.wDay < 1 || date.wDay > 5 || date.wDayOfWeek > 6) return false;
    rule->kind = ZoneRule::kMonthWeek;
    rule->week = static_cast<uint8_t>(date.wDay);
    rule->weekday = static_cast<uint8_t>(date.wDayOfWeek);
  } else {
    if (date.wDay < 1 || date.wDay > 31) return false;
    rule->kind = ZoneRule::kMonthDay;
    rule->day = static_cast<int16_t>(date.wDay);
  }
  rule->time =
      date.wHour * 3600 + date.wMinute * 60 + date.wSecond + (date.wMilliseconds > 0 ? 1 : 0);
  return true;
}

void query_system_zone(TimeZone* zone) {
  TIME_ZONE_INFORMATION info;
  memset(&info, 0, sizeof info);
  const DWORD result = GetTimeZoneInformation(&info);
  zone_from_system(info, result, zone);
}

}  // namespace

// Daylight time where the system reports it in use and gives both dates: from DaylightDate
// in standard time to StandardDate in daylight time, shifted by minus the daylight bias.
void zone_from_system(const TIME_ZONE_INFORMATION& info, DWORD result, TimeZone* zone) {
  if (result == TIME_ZONE_ID_INVALID) {
    set_fallback_zone(zone);
    return;
  }
  *zone = TimeZone();
  const int64_t standard_west = int64_t{info.Bias} + info.StandardBias;
  zone->std_offset = offset_east(standard_west);
  ansi_name(info.StandardName, zone->std_name);
  ansi_name(info.DaylightName, zone->dst_name);
  zone->has_daylight = result != TIME_ZONE_ID_UNKNOWN &&
                       rule_from_date(info.DaylightDate, &zone->start) &&
                       rule_from_date(info.StandardDate, &zone->end);
  zone->dst_offset =
      zone->has_daylight ? offset_east(standard_west + info.DaylightBias) : zone->std_offset;
  set_up_daylight(zone);
}

// The system's zone and its state: kUnset, then kSettingUp while the first caller queries
// it, then kReady, after which it is only read.
enum : int { kUnset, kSettingUp, kReady };
TimeZone queried_zone;
int queried_state = kUnset;

// Queried at the first use only. The caller that moves the state from kUnset sets the zone
// up and publishes it; a caller that meets it half made waits for it.
const TimeZone& system_zone() {
  if (__atomic_load_n(&queried_state, __ATOMIC_ACQUIRE) == kReady) return queried_zone;
  int expected = kUnset;
  if (__atomic_compare_exchange_n(&queried_state, &expected, kSettingUp, false, __ATOMIC_ACQ_REL,
                                  __ATOMIC_ACQUIRE)) {
    query_system_zone(&queried_zone);
    __atomic_store_n(&queried_state, kReady, __ATOMIC_RELEASE);
  } else {
    while (__atomic_load_n(&queried_state, __ATOMIC_ACQUIRE) != kReady) Sleep(0);
  }
  return queried_zone;
}

}  // namespace qv
