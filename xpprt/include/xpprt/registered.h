// The functions that DLLs registered with the stand-in run-time as they loaded
// (_conRegisterDll), as a program's DllLoad() and macro calls find them by name.
#ifndef QUORVEL_XPPRT_REGISTERED_H
#define QUORVEL_XPPRT_REGISTERED_H

#include <string>
#include <vector>

#include "xpprt/host.h"

namespace xpp {

struct RegisteredFunction {
  std::string name;
  ExportFn function;
};

// Every function registered now, in the order of their names.
XPPRT_API std::vector<RegisteredFunction> registered_functions();

// The registered function of that name, in any case; null when none is registered.
XPPRT_API ExportFn find_registered(const std::string& name);

// Makes the next `count` registrations fail, as when the run-time's memory runs out.
XPPRT_API void refuse_registrations(int count);

}  // namespace xpp

#endif
