// Seconds since 1970 to the local time of a zone, daylight time included. Every instant of
// the unsigned 32-bit range takes the same way: its daylight time by its span, its day and
// time of day from the calendar's tables.
#ifndef QUORVEL_TIME_LOCAL_TIME_H
#define QUORVEL_TIME_LOCAL_TIME_H

#include <stdint.h>

#include "time/calendar.h"
#include "time/zone.h"

namespace qv {

[[gnu::always_inline]] inline LocalTime to_local_time(uint32_t seconds, const TimeZone& zone) {
  const bool daylight = daylight_at(seconds, zone);
  // Daylight time is as likely as not for instants taken at random: its shift by a mask
  // rather than a branch.
  const int32_t daylight_mask = -static_cast<int32_t>(daylight);
  const int32_t shift = (zone.dst_offset - zone.std_offset) & daylight_mask;
  // The day in standard time does not wait for daylight time to be known; the shift moves
  // the time of day, which mostly stays within that day. The offsets' limits keep the day
  // inside the tables, counted from 1968, so the count is never negative.
  const uint64_t standard =
      uint64_t{seconds} + static_cast<uint64_t>(int64_t{zone.std_offset} + kDays1968 * kDay);
  uint32_t day = static_cast<uint32_t>(standard / kDay);
  int32_t secs = static_cast<int32_t>(standard - uint64_t{day} * kDay) + shift;
  if (secs < 0 || secs >= kDay) [[unlikely]] {  // daylight time moved it to another day
    const uint64_t local = standard + static_cast<uint64_t>(int64_t{shift});
    day = static_cast<uint32_t>(local / kDay);
    secs = static_cast<int32_t>(local - uint64_t{day} * kDay);
  }
  return calendar_time(day, static_cast<uint32_t>(secs), daylight);
}

}  // namespace qv

#endif
