// TZ as the process environment holds it when quorvel.dll is loaded, run under Wine in the
// win32 build: the program puts TZ into its environment with SetEnvironmentVariableA (as an
// application or the Xbase++ run-time may before it loads the library), then loads the
// DLL and formats through XPPRT1.dll as an Xbase++ program does. The C run-time's copy of
// the environment, taken at the program's start, still holds the TZ it was started with.
//
// Plain checks: each failure is printed, and the exit status is the number of failures.
#include <windows.h>

#include "plain_checks.h"

#include <string>

#include "xpprt/host.h"

namespace {

std::string module_path() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, n);
  return path.substr(0, path.find_last_of("\\/") + 1) + "quorvel.dll";
}

std::string format(xpp::ExportFn fn, double seconds, const char* fmt) {
  xpp::CallResult r = xpp::call(fn, {xpp::Value::num(seconds), xpp::Value::str(fmt)});
  for (const std::string& v : r.violations) check(false, std::string("audit: ") + v);
  return r.value.text;
}

}  // namespace

int main() {
  check(SetEnvironmentVariableA("TZ", "CET-1CEST,M3.5.0,M10.5.0/3") != 0,
        "SetEnvironmentVariableA(TZ)");
  HMODULE dll = LoadLibraryA(module_path().c_str());
  check(dll != nullptr, "LoadLibraryA(" + module_path() + ")");
  if (dll == nullptr) return failures;
  auto fn = reinterpret_cast<xpp::ExportFn>(
      reinterpret_cast<void*>(GetProcAddress(dll, "QVFORMATDATETIME")));
  check(fn != nullptr, "QVFORMATDATETIME found in quorvel.dll");
  if (fn != nullptr) {
    struct Case {
      long seconds;
      const char* expected;
    };
    const Case cases[] = {
        {1100043200, "2004-11-10 00:33:20 CET"},
        {1711846799, "2024-03-31 01:59:59 CET"},
        {1711846800, "2024-03-31 03:00:00 CEST"},
    };
    for (const Case& c : cases) {
      const std::string got = format(fn, c.seconds, "%Y-%m-%d %H:%M:%S %Z");
      check(got == c.expected, "QVFORMATDATETIME(" + std::to_string(c.seconds) + ") gives " +
                                   quoted(got) + ", expected " + quoted(c.expected));
    }
    // Set after the load: not seen.
    SetEnvironmentVariableA("TZ", "UTC0");
    const std::string later = format(fn, 1100043200, "%H:%M %Z");
    check(later == "00:33 CET", "after TZ changed: " + quoted(later) + ", expected \"00:33 CET\"");
  }
  FreeLibrary(dll);
  if (failures == 0) std::printf("TZ taken from the process environment at load\n");
  return failures;
}
