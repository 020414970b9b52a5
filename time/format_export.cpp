// QVFORMATDATETIME: a time stamp as local-time text in a format of the caller's.
#include <string.h>

#include "host/charset.h"
#include "host/exports.h"
#include "time/expansion.h"
#include "time/zone.h"

namespace {

constexpr size_t kFormatBytes = 126;
constexpr char kDefaultFormat[] = "%Y%m%d";

// A zone's name in the caller's character set; false when it cannot be converted.
bool name_for_caller(const char* name, char (&out)[qv::kZoneNameMax + 1]) {
  const size_t length = strlen(name);
  memcpy(out, name, length + 1);
  return qv::text_to_caller(out, static_cast<ULONG>(length));
}

}  // namespace

QV_EXPORT QVFORMATDATETIME(XppParamList pl) {
  // The 32 bits of the number, read as unsigned: negative numbers are after 2038-01-19.
  const uint32_t seconds = static_cast<uint32_t>(_parnl(pl, 1));
  if (seconds == 0) {
    _retc(pl, "");
    return;
  }

  // _parc terminates what it copies within the buffer; nothing else of it is read.
  char format[kFormatBytes];
  const ULONG format_chars = _parc(format, sizeof format, pl, 2);
  const char* used = format_chars > 0 ? format : kDefaultFormat;

  // The format and the result are the caller's, in its character set; only the zone's
  // names come from Windows, in the ANSI code page.
  const qv::TimeZone& zone = qv::process_zone();
  char std_name[qv::kZoneNameMax + 1];
  char dst_name[qv::kZoneNameMax + 1];
  if (!name_for_caller(zone.std_name, std_name) || !name_for_caller(zone.dst_name, dst_name)) {
    _retc(pl, "");
    return;
  }
  const char* const names[2] = {std_name, dst_name};
  char result[qv::kFormatResultBytes];
  qv::format_local_time(used, seconds, zone, names, result);
  _retc(pl, result);
}
