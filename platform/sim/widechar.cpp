// WideCharToMultiByte for the simulated system's ANSI code page, Windows-1252.
#include <string>

#include "codepage.h"
#include "sim_state.h"

using namespace qvsim::detail;

extern "C" int WINAPI WideCharToMultiByte(UINT code_page, DWORD flags, LPCWCH wide, int wide_count,
                                          LPSTR out, int out_size, LPCCH default_char,
                                          LPBOOL used_default) {
  if (code_page != CP_ACP || wide == nullptr || wide_count == 0 || out_size < 0 ||
      (out_size > 0 && out == nullptr))
    return fail(ERROR_INVALID_PARAMETER, 0);
  std::u16string text;
  if (wide_count < 0) {
    text = wide;
    text.push_back(u'\0');  // -1: the terminator is converted too
  } else {
    text.assign(wide, static_cast<size_t>(wide_count));
  }
  std::string ansi = utf16_to_ansi(text);
  if (used_default != nullptr) {
    // '?' stands in for every character that the code page cannot hold.
    size_t marks = 0;
    for (char16_t unit : text) marks += unit == u'?';
    size_t produced = 0;
    for (char c : ansi) produced += c == '?';
    *used_default = produced > marks ? TRUE : FALSE;
  }
  if (out_size == 0) return static_cast<int>(ansi.size());
  if (ansi.size() > static_cast<size_t>(out_size)) return fail(ERROR_INSUFFICIENT_BUFFER, 0);
  ansi.copy(out, ansi.size());
  return static_cast<int>(ansi.size());
}
