#include "shipped_module.h"

#include <string>

#include "library_loader.h"

namespace qvbench {

xpp::ExportFn shipped_export(const char* name) {
  static qvcall::Library* const module = [] {
    auto* library = new qvcall::Library;  // kept until the process ends
    std::string error;
    if (!library->open(qvcall::default_library_path(), &error)) {
      delete library;
      return static_cast<qvcall::Library*>(nullptr);
    }
    return library;
  }();
  return module != nullptr ? module->find(name) : nullptr;
}

}  // namespace qvbench
