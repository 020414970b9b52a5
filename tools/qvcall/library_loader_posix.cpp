#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "library_loader.h"

namespace qvcall {

std::string default_library_path() {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "libquorvel.so";
  std::string path(self, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + "libquorvel.so";
}

Library::~Library() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool Library::open(const std::string& path, std::string* error) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) *error = dlerror();
  return handle_ != nullptr;
}

xpp::ExportFn Library::find(const std::string& name) const {
  return reinterpret_cast<xpp::ExportFn>(dlsym(handle_, name.c_str()));
}

}  // namespace qvcall
