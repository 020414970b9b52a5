// The simulation's code pages, Windows-1252 (platform/sim/codepage_1252.h) and 850
// (codepage_850.h), against the system's own, run under Wine in the win32 build:
// - WideCharToMultiByte(page, 0, ...) gives, for every UTF-16 unit U+0000..U+FFFF alone,
//   the byte the table gives, best-fit characters included, and says it used the default
//   character exactly where the table gives '?' for a unit that is not '?' itself;
// - MultiByteToWideChar(page, 0, ...) gives, for every byte, the table's character.
//
// Plain checks: each failure is printed, and the exit status is the number of failures.
#include <windows.h>

#include <cstdio>
#include <string>

#include "codepage_1252.h"
#include "codepage_850.h"
#include "plain_checks.h"

namespace {

std::string hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

struct CodePage {
  UINT number;
  uint8_t (*byte_of)(uint16_t unit);
  uint16_t (*wide_of)(uint8_t byte);
};

void check_wide_to_bytes(const CodePage& page) {
  int differing = 0;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    WCHAR wide = static_cast<WCHAR>(unit);
    char out[4] = {};
    BOOL used_default = FALSE;
    int n = WideCharToMultiByte(page.number, 0, &wide, 1, out, sizeof out, nullptr, &used_default);
    uint8_t expected = page.byte_of(static_cast<uint16_t>(unit));
    bool defaulted = expected == '?' && unit != '?';
    bool same =
        n == 1 && static_cast<uint8_t>(out[0]) == expected && (used_default != FALSE) == defaulted;
    // The first few differences in full; then only their number.
    if (!same && ++differing <= 20) {
      check(false, std::to_string(page.number) + " U+" + hex(unit, 4) + ": " + std::to_string(n) +
                       " byte(s), 0x" + hex(static_cast<uint8_t>(out[0]), 2) + ", default used " +
                       std::to_string(used_default) + "; the table gives 0x" + hex(expected, 2));
    }
  }
  check(differing == 0, std::to_string(differing) + " units convert otherwise than the table");
}

void check_bytes_to_wide(const CodePage& page) {
  for (unsigned byte = 0; byte <= 0xFF; ++byte) {
    char in = static_cast<char>(byte);
    WCHAR out[2] = {};
    int n = MultiByteToWideChar(page.number, 0, &in, 1, out, 2);
    uint16_t expected = page.wide_of(static_cast<uint8_t>(byte));
    check(n == 1 && out[0] == expected, std::to_string(page.number) + " byte 0x" + hex(byte, 2) +
                                            ": U+" + hex(out[0], 4) + ", the table gives U+" +
                                            hex(expected, 4));
  }
}

}  // namespace

int main() {
  for (const CodePage& page : {CodePage{1252, qvsim::ansi_of_1252, qvsim::wide_of_1252},
                               CodePage{850, qvsim::oem_of_850, qvsim::wide_of_850}}) {
    check_wide_to_bytes(page);
    check_bytes_to_wide(page);
  }
  if (failures == 0) std::printf("all code page checks passed\n");
  return failures;
}
