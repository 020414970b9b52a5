// The character set of the calling thread, and the conversions between the system's OEM and
// ANSI code pages, as Xbase++ 1.9 and later offer them to C code.
//
// A thread's character set is ANSI, or OEM for the whole run when the environment variable
// QVXPP_CHARSET is OEM as the run-time starts; xpp::set_thread_charset changes it for the
// calling thread, as SET CHARSET does in an Xbase++ thread.
#include <cstdlib>
#include <cstring>

#include "xpprt/host.h"

namespace {

bool oem_by_environment() {
  const char* charset = std::getenv("QVXPP_CHARSET");
  return charset != nullptr &&
         (std::strcmp(charset, "OEM") == 0 || std::strcmp(charset, "oem") == 0);
}

const bool run_is_oem = oem_by_environment();

enum class ThreadCharset { kRun, kAnsi, kOem };
thread_local ThreadCharset thread_charset = ThreadCharset::kRun;
// Conversions that go through before they fail; negative: none fails.
thread_local int conversions_before_failure = -1;

// The bytes from one code page into the other, a piece at a time through UTF-16, as Windows'
// own OemToCharBuffA and CharToOemBuffA convert them. Single-byte code pages give as many
// bytes as they take.
XPPAPIRET convert(UINT from, UINT to, CHAR* out, const CHAR* in, ULONG length) {
  if (length == 0) return 0;
  if (out == nullptr || in == nullptr) return xpp::kConErrorHandle;
  if (conversions_before_failure == 0) return xpp::kConErrorIndex;
  if (conversions_before_failure > 0) --conversions_before_failure;
  WCHAR wide[256];
  for (ULONG done = 0; done < length;) {
    const int piece = static_cast<int>(length - done < 256 ? length - done : 256);
    const int units = MultiByteToWideChar(from, 0, in + done, piece, wide, piece);
    if (units != piece ||
        WideCharToMultiByte(to, 0, wide, units, out + done, piece, nullptr, nullptr) != piece)
      return xpp::kConErrorIndex;
    done += static_cast<ULONG>(piece);
  }
  return 0;
}

}  // namespace

namespace xpp {

void set_thread_charset(bool oem) {
  thread_charset = oem ? ThreadCharset::kOem : ThreadCharset::kAnsi;
}

void fail_conversions(int skip) { conversions_before_failure = skip < 0 ? -1 : skip; }

}  // namespace xpp

extern "C" {

BOOL XPP_CDECL _conCharSetIsOem(void) {
  const bool oem =
      thread_charset == ThreadCharset::kRun ? run_is_oem : thread_charset == ThreadCharset::kOem;
  return oem ? TRUE : FALSE;
}

XPPAPIRET XPP_CDECL _conToAnsiCp(CHAR* ansi, const CHAR* oem, ULONG length) {
  return convert(CP_OEMCP, CP_ACP, ansi, oem, length);
}

XPPAPIRET XPP_CDECL _conToOemCp(CHAR* oem, const CHAR* ansi, ULONG length) {
  return convert(CP_ACP, CP_OEMCP, oem, ansi, length);
}

}  // extern "C"
