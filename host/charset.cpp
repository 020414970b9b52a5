#include "host/charset.h"

#include <string.h>

#include "host/kept_last_error.h"
#include "host/runtime_services.h"

namespace {

// The text converted in place when the calling thread is an OEM one, a piece at a time
// through a buffer of the call's own (the run-time converts from one buffer into another).
// The run-time's conversions are used only when it has all three services.
bool convert_for_oem_thread(bool to_ansi, char* text, ULONG length) {
  if (length == 0) return true;
  const qv::RuntimeServices services = qv::runtime_services();
  if (services.charset_is_oem == nullptr || services.to_ansi == nullptr ||
      services.to_oem == nullptr || !services.charset_is_oem())
    return true;
  const XppConvertCharset convert = to_ansi ? services.to_ansi : services.to_oem;
  bool converted = true;
  {
    qv::KeptLastError kept;
    char piece[256];
    for (ULONG done = 0; converted && done < length;) {
      const ULONG n = length - done < sizeof piece ? length - done : sizeof piece;
      converted = convert(piece, text + done, n) == 0;
      if (converted) memcpy(text + done, piece, n);
      done += n;
    }
  }
  if (converted) return true;
  // Nothing half-converted is left for anyone to use.
  memset(text, 0, length);
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return false;
}

}  // namespace

namespace qv {

bool text_to_windows(char* text, ULONG length) {
  return convert_for_oem_thread(true, text, length);
}

bool text_to_caller(char* text, ULONG length) {
  return convert_for_oem_thread(false, text, length);
}

}  // namespace qv
