// The ANSI code page of the simulated system: Windows-1252.
#ifndef QUORVEL_SIM_CODEPAGE_H
#define QUORVEL_SIM_CODEPAGE_H

#include <string>

namespace qvsim::detail {

std::u16string ansi_to_utf16(const std::string& text);
// Characters that Windows-1252 cannot hold become '?'.
std::string utf16_to_ansi(const std::u16string& text);

}  // namespace qvsim::detail

#endif
