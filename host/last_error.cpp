// QVEVENTGETLASTERROR: the calling thread's last Windows error and its system text.
#include "host/exports.h"
#include "host/frame.h"

namespace {

constexpr DWORD kSystemMessageFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kMessageBytes = 256;

}  // namespace

QV_EXPORT QVEVENTGETLASTERROR(XppParamList pl) {
  char text[kMessageBytes];
  memset(text, 0, sizeof text);
  DWORD code = GetLastError();
  FormatMessageA(kSystemMessageFlags, nullptr, code, 0, text, kMessageBytes, nullptr);
  // A message that did not fit may leave the buffer full and unterminated.
  text[kMessageBytes - 1] = '\0';

  ULONG type = _partype(pl, 1);
  if (qv::is_character(type) && qv::is_by_reference(type)) {
    // A text that cannot be converted is stored empty; the code is still the answer.
    if (!qv::text_to_caller(text, static_cast<ULONG>(strlen(text)))) SetLastError(code);
    _storc(text, pl, 1);
  }
  _retnl(pl, static_cast<LONG>(code));
}
