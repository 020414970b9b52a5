// Controls of the simulated registry, for tests.
//
// The registry starts as HKEY_LOCAL_MACHINE holding SOFTWARE and
// SYSTEM\CurrentControlSet\Services\EventLog with the keys of the logs Application, Security
// and System, and HKEY_CURRENT_USER holding Software. qvsim::reset() returns it to that.
#ifndef QUORVEL_SIM_REGISTRY_CONTROL_H
#define QUORVEL_SIM_REGISTRY_CONTROL_H

#include <cstdint>
#include <string>
#include <vector>

#include "qvsim/control.h"

namespace qvsim {

struct RegistryValueView {
  std::string name;  // as written; "" for the key's default value
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct RegistryKeyView {
  bool exists = false;
  std::string name;  // as written when the key was created
  bool is_volatile = false;
  std::vector<std::string> subkeys;  // in the order the registry enumerates them
  std::vector<RegistryValueView> values;
};

// The key at that path under HKEY_LOCAL_MACHINE (names compared case-insensitively),
// without opening a handle; exists is false when there is none.
QVSIM_API RegistryKeyView registry_key(const std::string& path);

// How many registry handles are open (predefined keys not counted).
QVSIM_API int open_registry_keys();

// The system restarts: volatile keys are gone and every registry handle is closed.
QVSIM_API void restart_registry();

}  // namespace qvsim

#endif
