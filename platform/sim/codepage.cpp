#include "codepage.h"

#include "codepage_1252.h"
#include "codepage_850.h"

namespace qvsim::detail {

char ansi_char(char16_t unit) { return static_cast<char>(qvsim::ansi_of_1252(unit)); }

bool is_surrogate_pair(char16_t first, char16_t second) {
  return first >= 0xD800 && first <= 0xDBFF && second >= 0xDC00 && second <= 0xDFFF;
}

namespace {

template <uint16_t (*wide_of)(uint8_t)>
std::u16string to_utf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out.push_back(static_cast<char16_t>(wide_of(c)));
  return out;
}

template <uint8_t (*byte_of)(uint16_t)>
std::string from_utf16(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // A surrogate pair is one character, which the code page cannot hold.
    if (i + 1 < text.size() && is_surrogate_pair(text[i], text[i + 1])) ++i;
    out.push_back(static_cast<char>(byte_of(text[i])));
  }
  return out;
}

}  // namespace

std::u16string ansi_to_utf16(const std::string& text) { return to_utf16<wide_of_1252>(text); }
std::string utf16_to_ansi(const std::u16string& text) { return from_utf16<ansi_of_1252>(text); }
std::u16string oem_to_utf16(const std::string& text) { return to_utf16<wide_of_850>(text); }
std::string utf16_to_oem(const std::u16string& text) { return from_utf16<oem_of_850>(text); }

}  // namespace qvsim::detail
