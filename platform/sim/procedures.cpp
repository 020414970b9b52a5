// Modules of the process found by name, and their functions: GetModuleHandleA and
// GetProcAddress.
//
// kernel32.dll is the simulation itself, and so is wevtapi.dll, the event-log service of
// Windows Vista and later, which LoadLibraryA loads unless a test made it absent, as on
// Windows XP. Any other module NAME.dll is the shared object
// libname.so when the process has it loaded (XPPRT1.dll: the stand-in run-time,
// libxpprt1.so). An exported name with a leading underscore is the decorated name of a C
// function on 32-bit Windows, whose symbol here carries one underscore less
// (__conRegisterDll: _conRegisterDll); any other name is found as it is.
#include <dlfcn.h>

#include <cctype>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "qvsim/control.h"
#include "modules.h"
#include "sim_state.h"

namespace qvsim::detail {
namespace {

// Module handles are where a module is mapped, on 64 KiB boundaries, never a data file's.
constexpr uintptr_t kProgram = 0x00400000;
constexpr uintptr_t kKernel32 = 0x7C800000;
constexpr uintptr_t kWevtapi = 0x6F5C0000;
constexpr uintptr_t kFirstSharedObject = 0x10000000;
constexpr uintptr_t kModuleSpacing = 0x10000;

template <typename Function>
FARPROC procedure(Function* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

struct Procedure {
  const char* name;
  FARPROC address;
};

// The simulated kernel32 functions, by their exported names.
const Procedure kKernel32Procedures[] = {
    {"ExpandEnvironmentStringsA", procedure(ExpandEnvironmentStringsA)},
    {"FormatMessageA", procedure(FormatMessageA)},
    {"FreeLibrary", procedure(FreeLibrary)},
    {"GetCurrentProcess", procedure(GetCurrentProcess)},
    {"GetEnvironmentVariableA", procedure(GetEnvironmentVariableA)},
    {"GetLastError", procedure(GetLastError)},
    {"GetModuleHandleA", procedure(GetModuleHandleA)},
    {"GetProcAddress", procedure(GetProcAddress)},
    {"GetProcessHeap", procedure(GetProcessHeap)},
    {"GetTickCount", procedure(GetTickCount)},
    {"GetTimeZoneInformation", procedure(GetTimeZoneInformation)},
    {"HeapAlloc", procedure(HeapAlloc)},
    {"HeapFree", procedure(HeapFree)},
    {"HeapReAlloc", procedure(HeapReAlloc)},
    {"IsWow64Process", procedure(IsWow64Process)},
    {"LoadLibraryA", procedure(LoadLibraryA)},
    {"LoadLibraryExA", procedure(LoadLibraryExA)},
    {"SetLastError", procedure(SetLastError)},
    {"Sleep", procedure(Sleep)},
    {"WideCharToMultiByte", procedure(WideCharToMultiByte)},
    {"Wow64DisableWow64FsRedirection", procedure(Wow64DisableWow64FsRedirection)},
    {"Wow64RevertWow64FsRedirection", procedure(Wow64RevertWow64FsRedirection)},
};

// The simulated wevtapi functions, by their exported names.
const Procedure kWevtapiProcedures[] = {
    {"EvtClose", procedure(EvtClose)},
    {"EvtCreateBookmark", procedure(EvtCreateBookmark)},
    {"EvtCreateRenderContext", procedure(EvtCreateRenderContext)},
    {"EvtFormatMessage", procedure(EvtFormatMessage)},
    {"EvtGetExtendedStatus", procedure(EvtGetExtendedStatus)},
    {"EvtNext", procedure(EvtNext)},
    {"EvtNextChannelPath", procedure(EvtNextChannelPath)},
    {"EvtOpenChannelEnum", procedure(EvtOpenChannelEnum)},
    {"EvtOpenPublisherMetadata", procedure(EvtOpenPublisherMetadata)},
    {"EvtOpenSession", procedure(EvtOpenSession)},
    {"EvtQuery", procedure(EvtQuery)},
    {"EvtRender", procedure(EvtRender)},
    {"EvtSeek", procedure(EvtSeek)},
    {"EvtSubscribe", procedure(EvtSubscribe)},
    {"EvtUpdateBookmark", procedure(EvtUpdateBookmark)},
};

// A module's name as Windows compares it: without its folder, in upper case, ".DLL" added
// when it has no extension.
std::string module_name(const char* name) {
  const char* base = name;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') base = p + 1;
  }
  std::string upper = to_upper(base);
  if (upper.find('.') == std::string::npos) upper += ".DLL";
  return upper;
}

// The shared object that stands for the module: NAME.DLL is libname.so.
std::string shared_object(const std::string& module) {
  std::string stem = module.substr(0, module.rfind('.'));
  for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return "lib" + stem + ".so";
}

// The handles given to shared objects, by module name and back. A module keeps its handle
// for the process's life, as a loaded module keeps its place.
std::map<std::string, uintptr_t>& handles() {
  static std::map<std::string, uintptr_t> by_name;
  return by_name;
}
std::map<uintptr_t, std::string>& modules_by_handle() {
  static std::map<uintptr_t, std::string> by_handle;
  return by_handle;
}

// Functions GetProcAddress does not find: module name and function name.
std::set<std::pair<std::string, std::string>>& hidden() {
  static std::set<std::pair<std::string, std::string>> names;
  return names;
}

// Modules that LoadLibraryA does not find, by name as Windows compares them.
std::set<std::string>& hidden_modules() {
  static std::set<std::string> names;
  return names;
}

// Whether the program has loaded wevtapi.dll since the last reset.
bool wevtapi_loaded = false;

[[maybe_unused]] const bool registered = on_reset([] {
  hidden().clear();
  hidden_modules().clear();
  wevtapi_loaded = false;
});

FARPROC table_procedure(const Procedure* begin, const Procedure* end, const char* name) {
  for (const Procedure* p = begin; p != end; ++p) {
    if (std::strcmp(p->name, name) == 0) return p->address;
  }
  return nullptr;
}

// The shared object's symbol for the exported name, when the process has it loaded.
FARPROC shared_object_procedure(const std::string& module, const char* name) {
  void* object = dlopen(shared_object(module).c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (object == nullptr) return nullptr;
  void* symbol = dlsym(object, name[0] == '_' ? name + 1 : name);
  dlclose(object);
  return reinterpret_cast<FARPROC>(symbol);
}

}  // namespace
}  // namespace qvsim::detail

using namespace qvsim::detail;

// Both services enter as every service does, through their fault check, but hold the lock
// only over the tables: never while the dynamic loader is asked, since a shared object's
// load constructor, which runs under the loader's own lock, may call them.

// The module of that name that the process has loaded; null (the program itself) gives
// the program. 126 for a module the process has not loaded.
extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  DWORD error = 0;
  if (take_fault(__func__, &error)) return fail(error, HMODULE{});
  if (lpModuleName == nullptr) return reinterpret_cast<HMODULE>(kProgram);
  const std::string module = module_name(lpModuleName);
  if (module == "KERNEL32.DLL") return reinterpret_cast<HMODULE>(kKernel32);
  if (module == "WEVTAPI.DLL") {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (!wevtapi_loaded) return fail(ERROR_MOD_NOT_FOUND, HMODULE{});
    return reinterpret_cast<HMODULE>(kWevtapi);
  }
  void* object = dlopen(shared_object(module).c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (object == nullptr) return fail(ERROR_MOD_NOT_FOUND, HMODULE{});
  dlclose(object);
  std::lock_guard<std::recursive_mutex> guard(lock());
  auto found = handles().find(module);
  if (found == handles().end()) {
    const uintptr_t handle = kFirstSharedObject + handles().size() * kModuleSpacing;
    found = handles().emplace(module, handle).first;
    modules_by_handle()[handle] = module;
  }
  return reinterpret_cast<HMODULE>(found->second);
}

// The function of that name in the module: 126 for a handle of no module, 127 for a name
// the module does not export (functions by ordinal are not simulated). The program exports
// nothing.
extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  DWORD error = 0;
  if (take_fault(__func__, &error)) return fail(error, FARPROC{});
  const uintptr_t handle = reinterpret_cast<uintptr_t>(hModule);
  std::string module;
  {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (handle == kKernel32) {
      module = "KERNEL32.DLL";
    } else if (handle == kWevtapi) {
      module = "WEVTAPI.DLL";
    } else if (handle != 0 && handle != kProgram) {
      auto found = modules_by_handle().find(handle);
      if (found == modules_by_handle().end()) return fail(ERROR_MOD_NOT_FOUND, FARPROC{});
      module = found->second;
    }
    if (module.empty() || reinterpret_cast<uintptr_t>(lpProcName) < 0x10000 ||
        hidden().count({module, lpProcName}) != 0)
      return fail(ERROR_PROC_NOT_FOUND, FARPROC{});
  }
  FARPROC address = nullptr;
  if (handle == kKernel32) {
    address =
        table_procedure(std::begin(kKernel32Procedures), std::end(kKernel32Procedures), lpProcName);
  } else if (handle == kWevtapi) {
    address =
        table_procedure(std::begin(kWevtapiProcedures), std::end(kWevtapiProcedures), lpProcName);
  } else {
    address = shared_object_procedure(module, lpProcName);
  }
  return address != nullptr ? address : fail(ERROR_PROC_NOT_FOUND, FARPROC{});
}

// A module of the system for its code: kernel32.dll, and wevtapi.dll unless a test made it
// absent; any other module the process has loaded, as GetModuleHandleA finds it. 126 for
// the rest: the simulation runs no Windows code.
extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  DWORD error = 0;
  if (take_fault(__func__, &error)) return fail(error, HMODULE{});
  if (lpLibFileName == nullptr) return fail(ERROR_INVALID_PARAMETER, HMODULE{});
  const std::string module = module_name(lpLibFileName);
  if (module == "WEVTAPI.DLL") {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (hidden_modules().count(module) != 0) return fail(ERROR_MOD_NOT_FOUND, HMODULE{});
    wevtapi_loaded = true;
    return reinterpret_cast<HMODULE>(kWevtapi);
  }
  return GetModuleHandleA(lpLibFileName);
}

namespace qvsim::detail {

bool is_system_module(HMODULE module) {
  const uintptr_t handle = reinterpret_cast<uintptr_t>(module);
  return handle == kKernel32 || handle == kWevtapi;
}

}  // namespace qvsim::detail

namespace qvsim {

void hide_module(const std::string& module) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  hidden_modules().insert(module_name(module.c_str()));
}

void hide_procedure(const std::string& module, const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  hidden().insert({module_name(module.c_str()), name});
}

}  // namespace qvsim
