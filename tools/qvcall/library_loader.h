// Loading the library at run time and finding its exports by name.
#ifndef QUORVEL_QVCALL_LIBRARY_LOADER_H
#define QUORVEL_QVCALL_LIBRARY_LOADER_H

#include <string>

#include "xpprt/host.h"

namespace qvcall {

// The library's file beside the running program (libquorvel.so or quorvel.dll).
std::string default_library_path();

class Library {
 public:
  Library() = default;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library();

  // False with a reason when the file cannot be loaded.
  bool open(const std::string& path, std::string* error);
  xpp::ExportFn find(const std::string& name) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace qvcall

#endif
