// WOW64: a 32-bit program on 64-bit Windows, and its file-system redirection.
//
// The simulation's paths are the host's, so the system folder is $SystemRoot/System32, with
// SystemRoot from the process environment, and its 32-bit twin $SystemRoot/SysWOW64.
// Only the process's own file access is redirected (a module loaded as a data file): the
// event-log service, which opens backup files, is a 64-bit process of its own.
#include "wow64.h"

#include <cstdlib>
#include <cstring>

#include "qvsim/control.h"
#include "sim_state.h"

namespace qvsim::detail {
namespace {

// Whether the calling thread turned the redirection off.
thread_local bool redirection_off = false;

[[maybe_unused]] const bool registered = on_reset([] { redirection_off = false; });

// Folders of System32 that WOW64 leaves where they are (Windows 7 and later).
constexpr const char* kExemptFolders[] = {"catroot",     "catroot2", "driverstore",
                                          "drivers/etc", "logfiles", "spool"};

// Whether `path` holds `folder` at `at`, compared as Windows compares names, followed by
// the end or a separator.
bool folder_at(const std::string& path, size_t at, const std::string& folder) {
  if (path.size() < at + folder.size()) return false;
  if (!names_equal(path.substr(at, folder.size()), folder)) return false;
  return path.size() == at + folder.size() || path[at + folder.size()] == '/';
}

}  // namespace

std::string process_view(const char* path) {
  const char* root = std::getenv("SystemRoot");
  if (!settings().wow64 || redirection_off || root == nullptr || *root == '\0') return path;
  std::string windows(root);
  while (windows.size() > 1 && windows.back() == '/') windows.pop_back();
  const std::string system = windows + "/System32";
  const std::string file(path);
  if (!folder_at(file, 0, system)) return file;
  for (const char* exempt : kExemptFolders) {
    if (folder_at(file, system.size() + 1, exempt)) return file;
  }
  return windows + "/SysWOW64" + file.substr(system.size());
}

}  // namespace qvsim::detail

using namespace qvsim::detail;

extern "C" HANDLE WINAPI GetCurrentProcess(void) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

extern "C" BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
  QVSIM_SERVICE(FALSE);
  if (hProcess != GetCurrentProcess()) return fail(ERROR_INVALID_HANDLE, FALSE);
  if (Wow64Process == nullptr) return fail(ERROR_NOACCESS, FALSE);
  *Wow64Process = settings().wow64 ? TRUE : FALSE;
  return TRUE;
}

// The old value is the thread's setting before the call, for the revert that follows. A
// process that is not WOW64 has no redirection to turn off: 1.
extern "C" BOOL WINAPI Wow64DisableWow64FsRedirection(PVOID* OldValue) {
  QVSIM_SERVICE(FALSE);
  if (!settings().wow64) return fail(ERROR_INVALID_FUNCTION, FALSE);
  if (OldValue == nullptr) return fail(ERROR_NOACCESS, FALSE);
  *OldValue = reinterpret_cast<PVOID>(static_cast<uintptr_t>(redirection_off ? 1 : 0));
  redirection_off = true;
  return TRUE;
}

extern "C" BOOL WINAPI Wow64RevertWow64FsRedirection(PVOID OlValue) {
  QVSIM_SERVICE(FALSE);
  if (!settings().wow64) return fail(ERROR_INVALID_FUNCTION, FALSE);
  redirection_off = OlValue != nullptr;
  return TRUE;
}

namespace qvsim {

void set_wow64(bool wow64) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  settings().wow64 = wow64;
}

bool redirection_disabled() { return redirection_off; }

}  // namespace qvsim
