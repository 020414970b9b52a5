// Modules loaded as data files, their message tables, and the process environment's
// expansion into strings.
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "codepage.h"
#include "host_files.h"
#include "qvsim/control.h"
#include "modules.h"
#include "pe_resources.h"
#include "sim_state.h"
#include "wow64.h"

namespace qvsim::detail {
namespace {

// A data-file module's handle carries the low bit 2, as Windows marks such mappings.
constexpr uintptr_t kDataFileMark = 2;

std::map<uintptr_t, std::vector<uint8_t>>& modules() {
  static std::map<uintptr_t, std::vector<uint8_t>> loaded;
  return loaded;
}

[[maybe_unused]] const bool registered = on_reset([] { modules().clear(); });

// The most of a file that is loaded as a module; Windows maps a module whole, the simulation
// reads it whole.
constexpr uint64_t kMaxModuleBytes = uint64_t{256} << 20;

// The whole of a regular file, never one larger than kMaxModuleBytes (8: no memory for it).
DWORD read_whole_file(const char* path, std::vector<uint8_t>* bytes) {
  OpenFile file;
  if (DWORD error = open_regular_file(path, &file)) return error;
  if (file.size > kMaxModuleBytes) return ERROR_NOT_ENOUGH_MEMORY;
  try {
    bytes->resize(static_cast<size_t>(file.size));
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (!read_exactly(file.fd, 0, bytes->data(), bytes->size())) return ERROR_BAD_EXE_FORMAT;
  return ERROR_SUCCESS;
}

}  // namespace

DWORD module_message(HMODULE module, DWORD id, DWORD language, std::string* text) {
  auto found = modules().find(reinterpret_cast<uintptr_t>(module));
  if (found == modules().end()) return ERROR_RESOURCE_DATA_NOT_FOUND;
  const std::vector<uint8_t>& file = found->second;
  const uint8_t* table = nullptr;
  size_t table_size = 0;
  PeLookup lookup = find_message_table(file.data(), file.size(), static_cast<uint16_t>(language),
                                       &table, &table_size);
  PeMessage message;
  if (lookup == PeLookup::kFound) lookup = find_message(table, table_size, id, &message);
  switch (lookup) {
    case PeLookup::kFound:
      break;
    case PeLookup::kNoLanguage:
      return ERROR_RESOURCE_LANG_NOT_FOUND;
    case PeLookup::kMessageNotFound:
      return ERROR_MR_MID_NOT_FOUND;
    default:
      return ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  if (message.unicode) {
    std::u16string wide;
    for (size_t i = 0; i + 1 < message.text.size(); i += 2)
      wide.push_back(static_cast<char16_t>(message.text[i] | message.text[i + 1] << 8));
    *text = utf16_to_ansi(wide);
  } else {
    text->assign(message.text.begin(), message.text.end());
  }
  return ERROR_SUCCESS;
}

}  // namespace qvsim::detail

using namespace qvsim::detail;

extern "C" HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
  QVSIM_SERVICE(HMODULE{});
  if (lpLibFileName == nullptr || hFile != nullptr) return fail(ERROR_INVALID_PARAMETER, HMODULE{});
  // Only data files: the simulation runs no Windows code.
  if ((dwFlags & LOAD_LIBRARY_AS_DATAFILE) == 0) return fail(ERROR_BAD_EXE_FORMAT, HMODULE{});
  std::vector<uint8_t> bytes;
  const std::string path = process_view(lpLibFileName);
  if (DWORD error = read_whole_file(path.c_str(), &bytes)) return fail(error, HMODULE{});
  const uint8_t* table = nullptr;
  size_t table_size = 0;
  if (find_message_table(bytes.data(), bytes.size(), 0, &table, &table_size) == PeLookup::kNotPe)
    return fail(ERROR_BAD_EXE_FORMAT, HMODULE{});
  uintptr_t handle = static_cast<uintptr_t>(new_handle_value()) | kDataFileMark;
  modules()[handle] = std::move(bytes);
  return reinterpret_cast<HMODULE>(handle);
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  QVSIM_SERVICE(FALSE);
  if (is_system_module(hLibModule)) return TRUE;  // stays loaded, as the process needs it
  if (modules().erase(reinterpret_cast<uintptr_t>(hLibModule)) == 0)
    return fail(ERROR_INVALID_HANDLE, FALSE);
  return TRUE;
}

// %NAME% becomes the variable's value; a name without a variable stays as written.
extern "C" DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
  QVSIM_SERVICE(DWORD{0});
  if (lpSrc == nullptr) return fail(ERROR_INVALID_PARAMETER, DWORD{0});
  std::string out;
  for (const char* p = lpSrc; *p != '\0'; ++p) {
    const char* close = *p == '%' ? std::strchr(p + 1, '%') : nullptr;
    if (close == nullptr || close == p + 1) {
      out += *p;
      continue;
    }
    std::string name(p + 1, close);
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) value = std::getenv(to_upper(name).c_str());
    if (value == nullptr) {
      out.append(p, close);  // the closing % may open the next name
      p = close - 1;
      continue;
    }
    out += value;
    p = close;
  }
  DWORD needed = static_cast<DWORD>(out.size() + 1);
  if (lpDst != nullptr && nSize >= needed) std::memcpy(lpDst, out.c_str(), needed);
  return needed;
}

namespace qvsim {

int loaded_modules() {
  std::lock_guard<std::recursive_mutex> guard(detail::lock());
  return static_cast<int>(detail::modules().size());
}

}  // namespace qvsim
