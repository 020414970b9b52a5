// QVFORMATDATETIME: a time stamp as local-time text in a format of the caller's.
#include "host/charset.h"
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
  // An OEM caller's format and result are converted, like every text: a zone's name comes in
  // the ANSI code page.
  char format[kFormatBytes];
  const ULONG format_chars = _parc(format, sizeof format, pl, 2);
  qv::text_to_windows(format, format_chars);
  const char* used = format_chars > 0 ? format : kDefaultFormat;

  char result[qv::kFormatResultBytes];
  const size_t length = qv::format_local_time(used, seconds, qv::process_zone(), result);
  qv::text_to_caller(result, static_cast<ULONG>(length));
  _retc(pl, result);
}
