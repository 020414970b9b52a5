// The zone of the system's setting, from GetTimeZoneInformation.
#include <string.h>

#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace qv {
namespace {

constexpr int kWideNameChars = 32;

// A zone name of the query (up to 32 WCHARs, not always terminated) in the ANSI code page.
void ansi_name(const WCHAR (&wide)[kWideNameChars], char (&name)[kZoneNameMax + 1]) {
  int n = 0;
  while (n < kWideNameChars && wide[n] != 0) ++n;
  int written = 0;
  if (n > 0)
    written = WideCharToMultiByte(CP_ACP, 0, wide, n, name, kZoneNameMax, nullptr, nullptr);
  name[written > 0 ? written : 0] = '\0';
}

TimeZone query_system_zone() {
  TIME_ZONE_INFORMATION info;
  memset(&info, 0, sizeof info);
  DWORD result = GetTimeZoneInformation(&info);
  return zone_from_system(info, result);
}

}  // namespace

TimeZone zone_from_system(const TIME_ZONE_INFORMATION& info, DWORD result) {
  if (result == TIME_ZONE_ID_INVALID) return fallback_zone();

  TimeZone zone = fallback_zone();  // for its April-to-October rules
  // Biases are minutes west of UTC.
  zone.std_offset = -(info.Bias + info.StandardBias) * 60;
  ansi_name(info.StandardName, zone.std_name);
  ansi_name(info.DaylightName, zone.dst_name);
  // A zone without daylight time keeps its own offset and names all year.
  zone.has_daylight = result != TIME_ZONE_ID_UNKNOWN && info.DaylightDate.wMonth != 0;
  const int32_t shift = result == TIME_ZONE_ID_DAYLIGHT ? -info.DaylightBias * 60 : 3600;
  zone.dst_offset = zone.has_daylight ? zone.std_offset + shift : zone.std_offset;
  fill_daylight_years(&zone);
  return zone;
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
    queried_zone = query_system_zone();
    __atomic_store_n(&queried_state, kReady, __ATOMIC_RELEASE);
  } else {
    while (__atomic_load_n(&queried_state, __ATOMIC_ACQUIRE) != kReady) Sleep(0);
  }
  return queried_zone;
}

}  // namespace qv
