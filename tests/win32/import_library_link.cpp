// A program linked against quorvel.lib by GNU ld that names every export as compiled Xbase++
// code does: by its plain name (the thunk) and as __imp_ and its name (the address slot).
// Under Wine beside quorvel.dll and XPPRT1.dll: every slot holds the export, every thunk
// jumps through its slot, and QVFORMATDATETIME answers through either. Plain checks: each
// failure is printed, and the exit status is the number of failures.
#include <windows.h>

#include "plain_checks.h"

#include <cstring>

#include "xpprt/host.h"

#define QV_MODULE_EXPORT(name, ordinal)              \
  extern "C" void name(XppParamList) __asm__(#name); \
  extern "C" xpp::ExportFn imp_##name __asm__("__imp_" #name);
#include "module_exports.inc"
#undef QV_MODULE_EXPORT

namespace {

struct Import {
  const char* name;
  xpp::ExportFn thunk;
  xpp::ExportFn* slot;
};

constexpr Import kImports[] = {
#define QV_MODULE_EXPORT(name, ordinal) {#name, name, &imp_##name},
#include "module_exports.inc"
#undef QV_MODULE_EXPORT
};

// The year of a time in mid-1970, the same in every zone.
std::string year_through(xpp::ExportFn fn) {
  return xpp::call(fn, {xpp::Value::num(15552000), xpp::Value::str("%Y")}).value.text;
}

}  // namespace

int main() {
  HMODULE dll = GetModuleHandleA("quorvel.dll");
  for (const Import& import : kImports) {
    auto exported = reinterpret_cast<void*>(GetProcAddress(dll, import.name));
    check(exported != nullptr && reinterpret_cast<void*>(*import.slot) == exported,
          std::string(import.name) + ": the slot does not hold the export");
    const auto* code = reinterpret_cast<const unsigned char*>(import.thunk);
    xpp::ExportFn* target = nullptr;
    std::memcpy(&target, code + 2, sizeof target);
    check(code[0] == 0xFF && code[1] == 0x25 && target == import.slot,
          std::string(import.name) + ": the thunk does not jump through the slot");
  }
  check(year_through(QVFORMATDATETIME) == "1970", "QVFORMATDATETIME through its thunk");
  check(year_through(imp_QVFORMATDATETIME) == "1970", "QVFORMATDATETIME through __imp_");
  std::printf("%zu imports of quorvel.dll bound, %d failures\n", std::size(kImports), failures);
  return failures;
}
