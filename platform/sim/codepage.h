// The code pages of the simulated system: Windows-1252 as its ANSI code page and 850 as its
// OEM code page, each with Windows' best-fit conversion from UTF-16 (codepage_1252.h,
// codepage_850.h).
#ifndef QUORVEL_SIM_CODEPAGE_H
#define QUORVEL_SIM_CODEPAGE_H

#include <string>

namespace qvsim::detail {

std::u16string ansi_to_utf16(const std::string& text);
// Characters that Windows-1252 cannot hold, not even by a near character, become '?'.
std::string utf16_to_ansi(const std::u16string& text);

// The same for the OEM code page, 850.
std::u16string oem_to_utf16(const std::string& text);
std::string utf16_to_oem(const std::u16string& text);

// One UTF-16 unit in the code page, as utf16_to_ansi converts it.
char ansi_char(char16_t unit);
// A high surrogate followed by a low one: one character.
bool is_surrogate_pair(char16_t first, char16_t second);

}  // namespace qvsim::detail

#endif
