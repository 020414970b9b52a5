// Expansion of a %-format over the local time of an instant, with fixed English names.
#ifndef QUORVEL_TIME_EXPANSION_H
#define QUORVEL_TIME_EXPANSION_H

#include <stddef.h>
#include <stdint.h>

#include "time/zone.h"

namespace qv {

// The longest result; its buffer holds one more byte for the terminator, and is 128 bytes.
constexpr size_t kFormatResultMax = 126;
constexpr size_t kFormatResultBytes = 128;

// The local time of the instant in the zone, the terminated format expanded over it in one
// pass into result, keeping the first kFormatResultMax characters; %Z and %z give the
// zone's name for that time. The fields are worked out as the format asks for them.
// Returns the length.
size_t format_local_time(const char* format, uint32_t seconds, const TimeZone& zone,
                         char (&result)[kFormatResultBytes]);

// The same with the zone's names given: standard, then daylight time (the zone's names in
// another character set).
size_t format_local_time(const char* format, uint32_t seconds, const TimeZone& zone,
                         const char* const (&names)[2], char (&result)[kFormatResultBytes]);

}  // namespace qv

#endif
