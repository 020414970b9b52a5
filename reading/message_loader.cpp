#include "reading/message_loader.h"

#include "host/procedure.h"

namespace qv {
namespace {

typedef BOOL(WINAPI* IsWow64)(HANDLE process, PBOOL wow64);

HMODULE load_as_data_file(const char* path) {
  return LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

}  // namespace

// Found by name: 32-bit Windows XP lacks them, and then files load as before.
MessageLoader find_message_loader() {
  MessageLoader loader;
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  IsWow64 is_wow64 = find_procedure<IsWow64>(kernel, "IsWow64Process");
  BOOL wow64 = FALSE;
  if (is_wow64 == nullptr || !is_wow64(GetCurrentProcess(), &wow64) || !wow64) return loader;
  loader.turn_off = find_procedure<RedirectionOff>(kernel, "Wow64DisableWow64FsRedirection");
  loader.turn_back = find_procedure<RedirectionBack>(kernel, "Wow64RevertWow64FsRedirection");
  if (loader.turn_off == nullptr || loader.turn_back == nullptr) loader = MessageLoader();
  return loader;
}

HMODULE load_message_file(const MessageLoader& loader, const char* path) {
  PVOID old_value = nullptr;
  if (loader.turn_off == nullptr || !loader.turn_off(&old_value)) return load_as_data_file(path);
  HMODULE module = load_as_data_file(path);
  const DWORD error = module == nullptr ? GetLastError() : ERROR_SUCCESS;
  loader.turn_back(old_value);
  if (module != nullptr) return module;
  module = load_as_data_file(path);
  if (module == nullptr) SetLastError(error);
  return module;
}

}  // namespace qv
