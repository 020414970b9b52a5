// The registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER as trees of keys holding typed
// values. Names are compared case-insensitively and kept as written. The functions return
// their Windows error code and leave the thread's last error alone, as the registry does.
#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "eventlog_store.h"
#include "qvsim/registry_control.h"

namespace qvsim::detail {
namespace {

constexpr size_t kMaxKeyNameChars = 255;
constexpr const char* kEventLogPath[] = {"SYSTEM", "CurrentControlSet", "Services", "EventLog"};
constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE |
                                WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
};

struct Key {
  std::string name;
  bool is_volatile = false;
  bool deleted = false;
  uint32_t written = 0;                       // when it last changed, seconds since 1970
  Key* parent = nullptr;                      // valid while the key is not deleted
  std::vector<std::shared_ptr<Key>> subkeys;  // in enumeration order: by name, ignoring case
  std::vector<Value> values;                  // in the order they were first set

  std::shared_ptr<Key> find_subkey(const std::string& wanted) const {
    for (const auto& key : subkeys) {
      if (names_equal(key->name, wanted)) return key;
    }
    return nullptr;
  }

  Value* find_value(const std::string& wanted) {
    for (Value& value : values) {
      if (names_equal(value.name, wanted)) return &value;
    }
    return nullptr;
  }

  std::shared_ptr<Key> add_subkey(const std::string& key_name, bool make_volatile) {
    auto key = std::make_shared<Key>();
    key->name = key_name;
    key->is_volatile = make_volatile;
    key->parent = this;
    key->written = written = qvsim::now();
    std::string upper = to_upper(key_name);
    auto at = std::find_if(subkeys.begin(), subkeys.end(),
                           [&](const auto& other) { return to_upper(other->name) > upper; });
    subkeys.insert(at, key);
    return key;
  }
};

enum class Hive { kLocalMachine, kCurrentUser };

struct OpenKey {
  std::shared_ptr<Key> key;
  Hive hive = Hive::kLocalMachine;
  REGSAM access = 0;
};

struct Registry {
  std::shared_ptr<Key> local_machine;
  std::shared_ptr<Key> current_user;
  std::map<uint32_t, OpenKey> handles;
};

Registry initial_registry() {
  Registry r;
  r.local_machine = std::make_shared<Key>();
  r.local_machine->name = "HKEY_LOCAL_MACHINE";
  r.current_user = std::make_shared<Key>();
  r.current_user->name = "HKEY_CURRENT_USER";
  r.local_machine->add_subkey("SOFTWARE", false);
  r.current_user->add_subkey("Software", false);
  Key* key = r.local_machine.get();
  for (const char* name : kEventLogPath) key = key->add_subkey(name, false).get();
  for (const char* log : {"Application", "System", "Security"}) key->add_subkey(log, false);
  return r;
}

Registry& registry() {
  static Registry r = initial_registry();
  return r;
}

[[maybe_unused]] const bool registered = on_reset([] { registry() = initial_registry(); });

bool is_predefined(HKEY key) { return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER; }

// The key behind a handle: a predefined key, or one that RegCreateKeyExA or RegOpenKeyExA
// handed out and that is still open.
LSTATUS resolve(HKEY handle, OpenKey* out) {
  if (handle == HKEY_LOCAL_MACHINE) {
    *out = {registry().local_machine, Hive::kLocalMachine, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  if (handle == HKEY_CURRENT_USER) {
    *out = {registry().current_user, Hive::kCurrentUser, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (value > UINT32_MAX) return ERROR_INVALID_HANDLE;
  auto found = registry().handles.find(static_cast<uint32_t>(value));
  if (found == registry().handles.end()) return ERROR_INVALID_HANDLE;
  if (found->second.key->deleted) return ERROR_KEY_DELETED;
  *out = found->second;
  return ERROR_SUCCESS;
}

HKEY add_handle(OpenKey entry) {
  uint32_t value = new_handle_value();
  registry().handles[value] = std::move(entry);
  return reinterpret_cast<HKEY>(static_cast<uintptr_t>(value));
}

// Generic rights as the registry maps them to key rights.
REGSAM key_access(REGSAM desired) {
  if (desired & GENERIC_ALL) desired |= KEY_ALL_ACCESS;
  if (desired & GENERIC_WRITE) desired |= KEY_WRITE;
  if (desired & (GENERIC_READ | GENERIC_EXECUTE)) desired |= KEY_READ;
  return desired;
}

// Writes under HKEY_LOCAL_MACHINE take administrator rights.
bool may_write(Hive hive) { return hive != Hive::kLocalMachine || settings().admin; }

// The names of a subkey path; empty names (a closing backslash) are skipped. A path that
// begins with a backslash is refused, and so is a name longer than a key name can be.
LSTATUS split_path(const char* path, std::vector<std::string>* names) {
  if (path == nullptr) return ERROR_SUCCESS;
  if (*path == '\\') return ERROR_BAD_PATHNAME;
  std::string current;
  for (const char* p = path;; ++p) {
    if (*p == '\\' || *p == '\0') {
      if (current.size() > kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
      if (!current.empty()) names->push_back(current);
      current.clear();
      if (*p == '\0') break;
    } else {
      current += *p;
    }
  }
  return ERROR_SUCCESS;
}

// Follows the names from the key; the number of names found is left in *found.
std::shared_ptr<Key> walk(std::shared_ptr<Key> key, const std::vector<std::string>& names,
                          size_t* found) {
  *found = 0;
  for (const std::string& name : names) {
    std::shared_ptr<Key> next = key->find_subkey(name);
    if (next == nullptr) break;
    key = std::move(next);
    ++*found;
  }
  return key;
}

std::shared_ptr<Key> find_key(std::shared_ptr<Key> root, const std::vector<std::string>& names) {
  size_t found = 0;
  std::shared_ptr<Key> key = walk(std::move(root), names, &found);
  return found == names.size() ? key : nullptr;
}

void drop_volatile(Key& key) {
  for (auto& sub : key.subkeys) {
    if (sub->is_volatile) sub->deleted = true;
  }
  std::erase_if(key.subkeys, [](const auto& sub) { return sub->is_volatile; });
  for (auto& sub : key.subkeys) drop_volatile(*sub);
}

}  // namespace

bool event_log_key(const std::string& name, std::string* spelled) {
  std::vector<std::string> path(std::begin(kEventLogPath), std::end(kEventLogPath));
  std::shared_ptr<Key> event_log = find_key(registry().local_machine, path);
  std::shared_ptr<Key> key = event_log == nullptr ? nullptr : event_log->find_subkey(name);
  if (key == nullptr) return false;
  *spelled = key->name;
  return true;
}

std::vector<std::string> event_log_names() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  std::vector<std::string> path(std::begin(kEventLogPath), std::end(kEventLogPath));
  std::shared_ptr<Key> event_log = find_key(registry().local_machine, path);
  std::vector<std::string> names;
  if (event_log != nullptr) {
    for (const auto& log_key : event_log->subkeys) names.push_back(log_key->name);
  }
  return names;
}

std::string log_of_source(const std::string& source) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  std::vector<std::string> path(std::begin(kEventLogPath), std::end(kEventLogPath));
  std::shared_ptr<Key> event_log = find_key(registry().local_machine, path);
  if (event_log != nullptr) {
    for (const auto& log_key : event_log->subkeys) {
      if (log_key->find_subkey(source) != nullptr) return log_key->name;
    }
  }
  return "";
}

// The existing key at a path below an open key, with that open key; 2 when there is none.
// Call with lock() held.
LSTATUS existing_subkey(HKEY hKey, LPCSTR lpSubKey, OpenKey* parent, std::shared_ptr<Key>* key) {
  if (LSTATUS status = resolve(hKey, parent)) return status;
  std::vector<std::string> names;
  if (LSTATUS status = split_path(lpSubKey, &names)) return status;
  *key = find_key(parent->key, names);
  return *key == nullptr ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

}  // namespace qvsim::detail

using namespace qvsim::detail;

extern "C" LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                                          DWORD dwOptions, REGSAM samDesired,
                                          LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                          PHKEY phkResult, LPDWORD lpdwDisposition) {
  QVSIM_REGISTRY_SERVICE();
  if (phkResult == nullptr) return ERROR_BADKEY;
  if ((dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE)) != 0) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  if (LSTATUS status = resolve(hKey, &parent)) return status;
  std::vector<std::string> names;
  if (LSTATUS status = split_path(lpSubKey, &names)) return status;

  REGSAM access = key_access(samDesired);
  size_t found = 0;
  std::shared_ptr<Key> key = walk(parent.key, names, &found);
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  if (found < names.size()) {
    // The missing keys are created with the options given, the intermediate ones too.
    bool make_volatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    if (!may_write(parent.hive)) return ERROR_ACCESS_DENIED;
    if (key->is_volatile && !make_volatile) return ERROR_CHILD_MUST_BE_VOLATILE;
    for (; found < names.size(); ++found) key = key->add_subkey(names[found], make_volatile);
    disposition = REG_CREATED_NEW_KEY;
  } else if ((access & kWriteAccess) != 0 && !may_write(parent.hive)) {
    return ERROR_ACCESS_DENIED;
  }
  *phkResult = add_handle({key, parent.hive, access});
  if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
  return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions,
                                        REGSAM samDesired, PHKEY phkResult) {
  QVSIM_REGISTRY_SERVICE();
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  std::shared_ptr<Key> key;
  if (LSTATUS status = existing_subkey(hKey, lpSubKey, &parent, &key)) return status;
  REGSAM access = key_access(samDesired);
  if ((access & kWriteAccess) != 0 && !may_write(parent.hive)) return ERROR_ACCESS_DENIED;
  *phkResult = add_handle({key, parent.hive, access});
  return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved,
                                         DWORD dwType, const BYTE* lpData, DWORD cbData) {
  QVSIM_REGISTRY_SERVICE();
  OpenKey open;
  if (LSTATUS status = resolve(hKey, &open)) return status;
  if ((open.access & KEY_SET_VALUE) == 0 || !may_write(open.hive)) return ERROR_ACCESS_DENIED;
  if (lpData == nullptr && cbData > 0) return ERROR_NOACCESS;
  std::string name = lpValueName != nullptr ? lpValueName : "";
  Value* value = open.key->find_value(name);
  if (value == nullptr) {
    open.key->values.push_back(Value{name, REG_NONE, {}});
    value = &open.key->values.back();
  }
  value->type = dwType;
  value->data.assign(lpData, lpData + cbData);
  open.key->written = qvsim::now();
  return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                           LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  QVSIM_REGISTRY_SERVICE();
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
    return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LSTATUS status = resolve(hKey, &open)) return status;
  if ((open.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  const Value* value = open.key->find_value(lpValueName != nullptr ? lpValueName : "");
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (lpType != nullptr) *lpType = value->type;
  if (lpcbData == nullptr) return ERROR_SUCCESS;
  DWORD size = static_cast<DWORD>(value->data.size());
  LSTATUS status = ERROR_SUCCESS;
  if (lpData != nullptr) {
    if (*lpcbData < size)
      status = ERROR_MORE_DATA;
    else
      std::copy(value->data.begin(), value->data.end(), lpData);
  }
  *lpcbData = size;
  return status;
}

// Subkeys in the registry's order, by name without regard to case. A name, or the class
// (always empty here), that does not fit its buffer with its terminator gives 234 and
// leaves buffer and count alone.
extern "C" LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                                        LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                                        PFILETIME lpftLastWriteTime) {
  QVSIM_REGISTRY_SERVICE();
  if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr ||
      (lpClass != nullptr && lpcchClass == nullptr))
    return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (LSTATUS status = resolve(hKey, &open)) return status;
  if ((open.access & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  if (dwIndex >= open.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const Key& key = *open.key->subkeys[dwIndex];
  if (key.name.size() >= *lpcchName || (lpClass != nullptr && *lpcchClass == 0))
    return ERROR_MORE_DATA;
  std::copy(key.name.begin(), key.name.end(), lpName);
  lpName[key.name.size()] = '\0';
  *lpcchName = static_cast<DWORD>(key.name.size());
  if (lpClass != nullptr) *lpClass = '\0';
  if (lpcchClass != nullptr) *lpcchClass = 0;
  if (lpftLastWriteTime != nullptr) {
    constexpr uint64_t kSecondsFrom1601To1970 = 11644473600;
    uint64_t ticks = (key.written + kSecondsFrom1601To1970) * 10000000;
    lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(ticks);
    lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  }
  return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  QVSIM_REGISTRY_SERVICE();
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  std::shared_ptr<Key> key;
  if (LSTATUS status = existing_subkey(hKey, lpSubKey, &parent, &key)) return status;
  // A root key, a key with subkeys and, without the right, any key stay.
  if (key->parent == nullptr || !key->subkeys.empty() || !may_write(parent.hive))
    return ERROR_ACCESS_DENIED;
  std::erase(key->parent->subkeys, key);
  key->parent->written = qvsim::now();
  key->parent = nullptr;
  key->deleted = true;  // open handles to it now fail with ERROR_KEY_DELETED
  return ERROR_SUCCESS;
}

extern "C" LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  QVSIM_REGISTRY_SERVICE();
  if (is_predefined(hKey)) return ERROR_SUCCESS;
  uintptr_t value = reinterpret_cast<uintptr_t>(hKey);
  if (value > UINT32_MAX || registry().handles.erase(static_cast<uint32_t>(value)) == 0)
    return ERROR_INVALID_HANDLE;
  return ERROR_SUCCESS;
}

namespace qvsim {

RegistryKeyView registry_key(const std::string& path) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  RegistryKeyView view;
  std::vector<std::string> names;
  if (split_path(path.c_str(), &names) != ERROR_SUCCESS) return view;
  std::shared_ptr<Key> key = find_key(registry().local_machine, names);
  if (key == nullptr) return view;
  view.exists = true;
  view.name = key->name;
  view.is_volatile = key->is_volatile;
  for (const auto& sub : key->subkeys) view.subkeys.push_back(sub->name);
  for (const Value& value : key->values)
    view.values.push_back(RegistryValueView{value.name, value.type, value.data});
  return view;
}

int open_registry_keys() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  return static_cast<int>(registry().handles.size());
}

void restart_registry() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  registry().handles.clear();
  drop_volatile(*registry().local_machine);
  drop_volatile(*registry().current_user);
}

void restart() { restart_registry(); }

}  // namespace qvsim
