// The run-time's registration services, _conRegisterDll and _conUnRegisterDll: a DLL
// registers its functions as it loads and ends that as it unloads; the run-time keeps them
// by name for DllLoad() and macro calls.
//
// The table outlives the run-time's own static objects: a DLL may unregister while the
// process ends, after them.
#include <cctype>
#include <iterator>
#include <map>
#include <mutex>

#include "host/xpp_registration.h"
#include "xpprt/registered.h"

namespace {

struct Entry {
  xpp::ExportFn function;
  ULONG dll;
};

// A DLL's registration: its record, and whether its destroy function is due at the end.
struct Dll {
  XppDllRegistration* record;
  bool destroy;
};

struct Table {
  std::mutex mutex;
  std::map<std::string, Entry> functions;
  std::map<ULONG, Dll> dlls;
  int refusals = 0;
};

Table& table() {
  static Table* kept = new Table;
  return *kept;
}

std::string upper(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

}  // namespace

// Exported as the run-time exports them (__conRegisterDll, __conUnRegisterDll) by the
// module definition on Windows; with their declared visibility elsewhere.
extern "C" {

XPP_IMPORT BOOL XPP_CDECL _conRegisterDll(ULONG dll_handle, XppDllRegistration* record);
XPP_IMPORT BOOL XPP_CDECL _conUnRegisterDll(ULONG dll_handle);

BOOL XPP_CDECL _conRegisterDll(ULONG dll_handle, XppDllRegistration* record) {
  if (record == nullptr) return FALSE;
  {
    std::lock_guard<std::mutex> guard(table().mutex);
    if (table().refusals > 0) {
      --table().refusals;
      return FALSE;
    }
    for (ULONG i = 0; i < record->numFunc; ++i) {
      const XppRegisterFunction& f = record->xppFuncs[i];
      if (f.functionName != nullptr && f.capiFunc != nullptr)
        table().functions[f.functionName] = Entry{f.capiFunc, dll_handle};
    }
    table().dlls[dll_handle] = Dll{record, false};
  }
  // After the load, outside the table's lock.
  const bool destroy = record->createFunc != nullptr && record->createFunc(record->userData) != 0;
  std::lock_guard<std::mutex> guard(table().mutex);
  table().dlls[dll_handle].destroy = destroy;
  return TRUE;
}

BOOL XPP_CDECL _conUnRegisterDll(ULONG dll_handle) {
  Dll dll{};
  {
    std::lock_guard<std::mutex> guard(table().mutex);
    auto found = table().dlls.find(dll_handle);
    if (found == table().dlls.end()) return FALSE;
    dll = found->second;
    table().dlls.erase(found);
    for (auto f = table().functions.begin(); f != table().functions.end();)
      f = f->second.dll == dll_handle ? table().functions.erase(f) : std::next(f);
  }
  if (dll.destroy && dll.record->destroyFunc != nullptr)
    dll.record->destroyFunc(dll.record->userData);
  return TRUE;
}

}  // extern "C"

namespace xpp {

std::vector<RegisteredFunction> registered_functions() {
  std::lock_guard<std::mutex> guard(table().mutex);
  std::vector<RegisteredFunction> all;
  for (const auto& [name, entry] : table().functions) all.push_back({name, entry.function});
  return all;
}

ExportFn find_registered(const std::string& name) {
  std::lock_guard<std::mutex> guard(table().mutex);
  auto found = table().functions.find(upper(name));
  return found != table().functions.end() ? found->second.function : nullptr;
}

void refuse_registrations(int count) {
  std::lock_guard<std::mutex> guard(table().mutex);
  table().refusals = count;
}

}  // namespace xpp
