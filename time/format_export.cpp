// QVFORMATDATETIME: a time stamp as local-time text in a format of the caller's.
#include "host/exports.h"
#include "time/expansion.h"
#include "time/zone.h"

namespace {

constexpr size_t kFormatBytes = 126;
constexpr char kDefaultFormat[] = "%Y%m%d";

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
  const char* used = _parc(format, sizeof format, pl, 2) > 0 ? format : kDefaultFormat;

  char result[qv::kFormatResultBytes];
  qv::format_local_time(used, seconds, qv::process_zone(), result);
  _retc(pl, result);
}
