// GetEnvironmentVariableA: the process environment as it stands at the call.
#include <cstdlib>
#include <cstring>

#include "sim_state.h"

using namespace qvsim::detail;

// The value and its length; or, when the buffer is too small, the size it needs (the
// terminator counted) with the buffer left alone; or 0 with error 203 for a missing name.
extern "C" DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  QVSIM_SERVICE(0u);
  if (name == nullptr) return fail(ERROR_INVALID_PARAMETER, 0u);
  const char* value = std::getenv(name);
  if (value == nullptr) return fail(ERROR_ENVVAR_NOT_FOUND, 0u);
  const size_t length = std::strlen(value);
  if (buffer == nullptr || length >= size) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, value, length + 1);
  return static_cast<DWORD>(length);
}
