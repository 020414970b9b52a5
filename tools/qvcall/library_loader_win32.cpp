#include <windows.h>

#include "library_loader.h"

namespace qvcall {

std::string default_library_path() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "quorvel.dll";
  std::string path(self, n);
  return path.substr(0, path.find_last_of("\\/") + 1) + "quorvel.dll";
}

Library::~Library() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

bool Library::open(const std::string& path, std::string* error) {
  handle_ = LoadLibraryA(path.c_str());
  if (handle_ == nullptr)
    *error = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return handle_ != nullptr;
}

xpp::ExportFn Library::find(const std::string& name) const {
  return reinterpret_cast<xpp::ExportFn>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name.c_str())));
}

}  // namespace qvcall
