// MultiByteToWideChar and WideCharToMultiByte for the simulated system's code pages: the ANSI
// code page, Windows-1252, and the OEM code page, 850.
#include <string>

#include "codepage.h"
#include "sim_state.h"

using namespace qvsim::detail;

namespace {

enum class Page { kAnsi, kOem, kOther };

Page page_of(UINT code_page) {
  if (code_page == CP_ACP || code_page == 1252) return Page::kAnsi;
  if (code_page == CP_OEMCP || code_page == 850) return Page::kOem;
  return Page::kOther;
}

// The count given, or the text up to its terminator and the terminator too for -1.
template <typename Char>
std::basic_string<Char> input(const Char* text, int count) {
  if (count >= 0) return std::basic_string<Char>(text, static_cast<size_t>(count));
  std::basic_string<Char> whole(text);
  whole.push_back(Char{0});
  return whole;
}

// The converted text into the caller's buffer: its length, or with no buffer the length it
// needs; 0 with ERROR_INSUFFICIENT_BUFFER when it does not fit.
template <typename Char>
int output(const std::basic_string<Char>& text, Char* out, int out_size) {
  if (out_size == 0) return static_cast<int>(text.size());
  if (text.size() > static_cast<size_t>(out_size)) return fail(ERROR_INSUFFICIENT_BUFFER, 0);
  text.copy(out, text.size());
  return static_cast<int>(text.size());
}

}  // namespace

extern "C" int WINAPI MultiByteToWideChar(UINT code_page, DWORD flags, LPCCH bytes, int byte_count,
                                          LPWSTR out, int out_size) {
  QVSIM_SERVICE(0);
  const Page page = page_of(code_page);
  if (page == Page::kOther || bytes == nullptr || byte_count == 0 || out_size < 0 ||
      (out_size > 0 && out == nullptr))
    return fail(ERROR_INVALID_PARAMETER, 0);
  const std::string text = input(bytes, byte_count);
  const std::u16string wide = page == Page::kAnsi ? ansi_to_utf16(text) : oem_to_utf16(text);
  return output(wide, reinterpret_cast<char16_t*>(out), out_size);
}

extern "C" int WINAPI WideCharToMultiByte(UINT code_page, DWORD flags, LPCWCH wide, int wide_count,
                                          LPSTR out, int out_size, LPCCH default_char,
                                          LPBOOL used_default) {
  QVSIM_SERVICE(0);
  const Page page = page_of(code_page);
  if (page == Page::kOther || wide == nullptr || wide_count == 0 || out_size < 0 ||
      (out_size > 0 && out == nullptr))
    return fail(ERROR_INVALID_PARAMETER, 0);
  const std::u16string text = input(wide, wide_count);
  const std::string bytes = page == Page::kAnsi ? utf16_to_ansi(text) : utf16_to_oem(text);
  if (used_default != nullptr) {
    // '?' stands in for every character that the code page cannot hold.
    size_t marks = 0;
    for (char16_t unit : text) marks += unit == u'?';
    size_t produced = 0;
    for (char c : bytes) produced += c == '?';
    *used_default = produced > marks ? TRUE : FALSE;
  }
  return output(bytes, out, out_size);
}
