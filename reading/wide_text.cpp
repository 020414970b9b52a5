#include "reading/wide_text.h"

namespace qv {

bool widen_into(const char* name, WCHAR (&wide)[MAX_NAME_BYTES]) {
  return MultiByteToWideChar(CP_ACP, 0, name, -1, wide, MAX_NAME_BYTES) > 0;
}

WCHAR* widen(const char* text, ULONG length) {
  const int units =
      length == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  if (length > 0 && units <= 0) return nullptr;
  WCHAR* wide = static_cast<WCHAR*>(heap_alloc_zeroed((static_cast<SIZE_T>(units) + 1) * 2));
  if (wide == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (length > 0 &&
      MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide, units) <= 0) {
    heap_free(wide);
    return nullptr;
  }
  return wide;
}

char* narrow(LPCWSTR text, int length, DWORD* bytes) {
  *bytes = 0;
  int count = 0;
  if (length != 0) {
    count = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (count <= 0) return nullptr;
  }
  char* ansi = static_cast<char*>(heap_alloc_zeroed(static_cast<SIZE_T>(count) + 1));
  if (ansi == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (count > 0 &&
      WideCharToMultiByte(CP_ACP, 0, text, length, ansi, count, nullptr, nullptr) != count) {
    heap_free(ansi);
    return nullptr;
  }
  // A text up to its zero counts the zero among its bytes.
  if (length < 0 && count > 0 && ansi[count - 1] == 0) --count;
  *bytes = static_cast<DWORD>(count);
  return ansi;
}

}  // namespace qv
