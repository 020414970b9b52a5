// Fuzzes the TZ parser and the format expansion. Input: a 4-byte time, then the TZ value
// up to the first newline, then the format. Each string lies in a block of exactly its own
// size plus the terminator, so that any read past it is caught.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "time/expansion.h"
#include "time/local_time.h"
#include "time/zone.h"

namespace {

char* terminated_copy(const uint8_t* data, size_t size) {
  char* copy = static_cast<char*>(malloc(size + 1));
  memcpy(copy, data, size);
  copy[size] = '\0';
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t seconds = 0;
  memcpy(&seconds, data, 4);
  data += 4;
  size -= 4;
  const uint8_t* newline = static_cast<const uint8_t*>(memchr(data, '\n', size));
  const size_t tz_size = newline != nullptr ? static_cast<size_t>(newline - data) : size;
  const size_t format_start = newline != nullptr ? tz_size + 1 : size;
  // The export fetches at most 125 characters of format.
  size_t format_size = size - format_start;
  if (format_size > 125) format_size = 125;

  char* tz = terminated_copy(data, tz_size);
  char* format = terminated_copy(data + format_start, format_size);

  // Static: a zone is too large for the stack of every run.
  static qv::TimeZone zone;
  if (!qv::parse_posix_tz(tz, &zone)) qv::set_fallback_zone(&zone);
  if (strlen(zone.std_name) > qv::kZoneNameMax || strlen(zone.dst_name) > qv::kZoneNameMax) abort();

  const qv::LocalTime t = qv::to_local_time(seconds, zone);
  if (t.second() < 0 || t.second() > 59 || t.minute() < 0 || t.minute() > 59 || t.hour() < 0 ||
      t.hour() > 23 || t.day_of_month() < 1 || t.day_of_month() > 31 || t.month() < 0 ||
      t.month() > 11 || t.weekday() < 0 || t.weekday() > 6 || t.yearday() < 0 ||
      t.yearday() > 365 || t.year() < 69 || t.year() > 206)
    abort();

  char result[qv::kFormatResultBytes];
  const size_t n = qv::format_local_time(format, seconds, zone, result);
  if (n > qv::kFormatResultMax || strlen(result) != n) abort();

  free(tz);
  free(format);
  return 0;
}
