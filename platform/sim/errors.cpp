// Thread-local last error and the system's message texts.
#include <cstring>
#include <map>
#include <string>

#include "qvsim/control.h"
#include "sim_state.h"

namespace {

thread_local DWORD last_error = 0;

// Windows' own English texts (US English system messages).
std::map<DWORD, std::string> default_messages() {
  return {
      {0, "The operation completed successfully."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough memory resources are available to process this command."},
      {38, "Reached the end of the file."},
      {87, "The parameter is incorrect."},
      {122, "The data area passed to a system call is too small."},
      {123, "The filename, directory name, or volume label syntax is incorrect."},
      {183, "Cannot create a file when that file already exists."},
      {234, "More data is available."},
      {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
      {1332, "No mapping between account names and security IDs was done."},
      {1500, "The event log file is corrupted."},
      {1501, "No event log file could be opened, so the event logging service did not start."},
      {1502, "The event log file is full."},
      {1503, "The event log file has changed between read operations."},
      {1722, "The RPC server is unavailable."},
  };
}

std::map<DWORD, std::string>& messages() {
  static std::map<DWORD, std::string> table = default_messages();
  return table;
}

[[maybe_unused]] const bool registered =
    qvsim::detail::on_reset([] { messages() = default_messages(); });

}  // namespace

extern "C" DWORD WINAPI GetLastError(void) { return last_error; }

extern "C" void WINAPI SetLastError(DWORD dwErrCode) { last_error = dwErrCode; }

// Only system messages with inserts ignored are simulated. A text that does not fit the
// buffer fails with 122 after filling the buffer without a terminator, the least helpful
// thing Windows may leave there.
extern "C" DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD,
                                       LPSTR lpBuffer, DWORD nSize, va_list*) {
  using namespace qvsim::detail;
  if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || lpBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text;
  {
    std::lock_guard<std::recursive_mutex> guard(lock());
    auto found = messages().find(dwMessageId);
    if (found == messages().end() || found->second.empty()) {
      SetLastError(ERROR_MR_MID_NOT_FOUND);
      return 0;
    }
    text = found->second + "\r\n";
  }
  if (text.size() + 1 > nSize) {
    std::memcpy(lpBuffer, text.data(), nSize);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpBuffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

namespace qvsim {

void set_system_message(uint32_t code, const std::string& text) {
  std::lock_guard<std::recursive_mutex> guard(detail::lock());
  messages()[code] = text;
}

}  // namespace qvsim
