#include "codepage.h"

#include "codepage_1252.h"

namespace qvsim::detail {

char ansi_char(char16_t unit) { return static_cast<char>(qvsim::ansi_of_1252(unit)); }

bool is_surrogate_pair(char16_t first, char16_t second) {
  return first >= 0xD800 && first <= 0xDBFF && second >= 0xDC00 && second <= 0xDFFF;
}

std::u16string ansi_to_utf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out.push_back(static_cast<char16_t>(qvsim::wide_of_1252(c)));
  return out;
}

std::string utf16_to_ansi(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // A surrogate pair is one character, which the code page cannot hold.
    if (i + 1 < text.size() && is_surrogate_pair(text[i], text[i + 1])) ++i;
    out.push_back(ansi_char(text[i]));
  }
  return out;
}

}  // namespace qvsim::detail
