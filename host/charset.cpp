#include "host/charset.h"

#include <string.h>

#include "host/procedure.h"
#include "host/xpp_charset.h"

namespace {

// The run-time's services, looked up once in the process. Threads that meet at the first
// lookup find the same functions, and each publishes them before it marks them found.
struct CharsetServices {
  XppCharSetIsOem is_oem;
  XppConvertCharset to_ansi;
  XppConvertCharset to_oem;
};
CharsetServices services;
int looked_up;

template <typename Service>
Service runtime_service(HMODULE runtime, const char* name) {
  return qv::find_procedure<Service>(runtime, name);
}

// The services, or all null when the run-time lacks any of them. The thread's last error
// stays as it was.
CharsetServices charset_services() {
  CharsetServices found;
  if (__atomic_load_n(&looked_up, __ATOMIC_ACQUIRE) == 0) {
    const DWORD error = GetLastError();
    HMODULE runtime = GetModuleHandleA("XPPRT1.dll");
    found.is_oem = runtime_service<XppCharSetIsOem>(runtime, "__conCharSetIsOem");
    found.to_ansi = runtime_service<XppConvertCharset>(runtime, "__conToAnsiCp");
    found.to_oem = runtime_service<XppConvertCharset>(runtime, "__conToOemCp");
    if (found.is_oem == nullptr || found.to_ansi == nullptr || found.to_oem == nullptr)
      found = CharsetServices{};
    SetLastError(error);
    __atomic_store_n(&services.is_oem, found.is_oem, __ATOMIC_RELAXED);
    __atomic_store_n(&services.to_ansi, found.to_ansi, __ATOMIC_RELAXED);
    __atomic_store_n(&services.to_oem, found.to_oem, __ATOMIC_RELAXED);
    __atomic_store_n(&looked_up, 1, __ATOMIC_RELEASE);
    return found;
  }
  found.is_oem = __atomic_load_n(&services.is_oem, __ATOMIC_RELAXED);
  found.to_ansi = __atomic_load_n(&services.to_ansi, __ATOMIC_RELAXED);
  found.to_oem = __atomic_load_n(&services.to_oem, __ATOMIC_RELAXED);
  return found;
}

// The text converted in place when the calling thread is an OEM one, a piece at a time
// through a buffer of the call's own (the run-time converts from one buffer into another).
// A piece the run-time cannot convert stays as it is.
void convert_for_oem_thread(bool to_ansi, char* text, ULONG length) {
  if (length == 0) return;
  const CharsetServices found = charset_services();
  if (found.is_oem == nullptr || !found.is_oem()) return;
  const XppConvertCharset convert = to_ansi ? found.to_ansi : found.to_oem;
  const DWORD error = GetLastError();
  char piece[256];
  for (ULONG done = 0; done < length;) {
    const ULONG n = length - done < sizeof piece ? length - done : sizeof piece;
    if (convert(piece, text + done, n) == 0) memcpy(text + done, piece, n);
    done += n;
  }
  SetLastError(error);
}

}  // namespace

namespace qv {

void text_to_windows(char* text, ULONG length) { convert_for_oem_thread(true, text, length); }

void text_to_caller(char* text, ULONG length) { convert_for_oem_thread(false, text, length); }

}  // namespace qv
