// The simulation's Windows-1252 (platform/sim/codepage_1252.h) against the system's own,
// run under Wine in the win32 build:
// - WideCharToMultiByte(1252, 0, ...) gives, for every UTF-16 unit U+0000..U+FFFF alone,
//   the byte the table gives, best-fit characters included, and says it used the default
//   character exactly where the table gives '?' for a unit that is not '?' itself;
// - MultiByteToWideChar(1252, 0, ...) gives, for every byte, the table's character.
//
// Plain checks: each failure is printed, and the exit status is the number of failures.
#include <windows.h>

#include <cstdio>
#include <string>

#include "codepage_1252.h"
#include "plain_checks.h"

namespace {

std::string hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

void check_wide_to_ansi() {
  int differing = 0;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    WCHAR wide = static_cast<WCHAR>(unit);
    char out[4] = {};
    BOOL used_default = FALSE;
    int n = WideCharToMultiByte(1252, 0, &wide, 1, out, sizeof out, nullptr, &used_default);
    uint8_t expected = qvsim::ansi_of_1252(static_cast<uint16_t>(unit));
    bool defaulted = expected == '?' && unit != '?';
    bool same =
        n == 1 && static_cast<uint8_t>(out[0]) == expected && (used_default != FALSE) == defaulted;
    // The first few differences in full; then only their number.
    if (!same && ++differing <= 20) {
      check(false, "U+" + hex(unit, 4) + ": " + std::to_string(n) + " byte(s), 0x" +
                       hex(static_cast<uint8_t>(out[0]), 2) + ", default used " +
                       std::to_string(used_default) + "; the table gives 0x" + hex(expected, 2));
    }
  }
  check(differing == 0, std::to_string(differing) + " units convert otherwise than the table");
}

void check_ansi_to_wide() {
  for (unsigned byte = 0; byte <= 0xFF; ++byte) {
    char in = static_cast<char>(byte);
    WCHAR out[2] = {};
    int n = MultiByteToWideChar(1252, 0, &in, 1, out, 2);
    uint16_t expected = qvsim::wide_of_1252(static_cast<uint8_t>(byte));
    check(n == 1 && out[0] == expected, "byte 0x" + hex(byte, 2) + ": U+" + hex(out[0], 4) +
                                            ", the table gives U+" + hex(expected, 4));
  }
}

}  // namespace

int main() {
  check_wide_to_ansi();
  check_ansi_to_wide();
  if (failures == 0) std::printf("all code page checks passed\n");
  return failures;
}
