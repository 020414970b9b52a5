// Expansion of a %-format over a broken-down local time, with fixed English names.
#ifndef QUORVEL_READING_DATETIME_FORMAT_H
#define QUORVEL_READING_DATETIME_FORMAT_H

#include <stddef.h>
#include <stdint.h>

#include "reading/local_time.h"
#include "reading/time_zone.h"

namespace qv {

// The longest result; its buffer holds one more byte for the terminator, and is 128 bytes.
constexpr size_t kFormatResultMax = 126;
constexpr size_t kFormatResultBytes = 128;

// Expands the terminated format in one pass into result (kFormatResultBytes), keeping the
// first kFormatResultMax characters. zone_name is what %Z and %z give. Returns the length.
size_t expand_datetime_format(const char* format, const LocalTime& time, const char* zone_name,
                              char (&result)[kFormatResultBytes]);

// The local time of the instant in the zone, expanded as above with the zone's name for
// that time. The fields are worked out as the format asks for them.
size_t format_local_time(const char* format, uint32_t seconds, const TimeZone& zone,
                         char (&result)[kFormatResultBytes]);

}  // namespace qv

#endif
