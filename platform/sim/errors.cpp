// Thread-local last error and the system's message texts.
#include <cstring>
#include <map>
#include <string>

#include "modules.h"
#include "pe_resources.h"
#include "qvsim/control.h"
#include "sim_state.h"
#include "system_messages.h"

namespace {

thread_local DWORD last_error = 0;

// The texts a fresh simulation starts with (system_messages.h).
std::map<DWORD, std::string> default_messages() {
  std::map<DWORD, std::string> table;
  for (const qvsim::SystemMessage& m : qvsim::kSystemMessages) table[m.code] = m.text;
  return table;
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

// Messages of the system and of modules loaded as data files, with inserts ignored. A text
// that does not fit the buffer fails with 122 after filling the buffer without a
// terminator, the least helpful thing Windows may leave there.
extern "C" DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                                       DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize, va_list*) {
  using namespace qvsim::detail;
  QVSIM_SERVICE(DWORD{0});
  constexpr DWORD kSources = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE;
  if ((dwFlags & kSources) == 0 || lpBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text;
  {
    DWORD error = ERROR_MR_MID_NOT_FOUND;
    if ((dwFlags & FORMAT_MESSAGE_FROM_HMODULE) != 0) {
      if ((dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) == 0) {
        // Inserts would be read from the arguments: the simulation never reads them.
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      error = module_message(static_cast<HMODULE>(const_cast<void*>(lpSource)), dwMessageId,
                             dwLanguageId, &text);
      if (error == ERROR_SUCCESS) text = escapes_applied(text);
    }
    if (error != ERROR_SUCCESS && (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) != 0) {
      auto found = messages().find(dwMessageId);
      if (found != messages().end() && !found->second.empty()) {
        text = found->second + "\r\n";
        error = ERROR_SUCCESS;
      } else {
        error = ERROR_MR_MID_NOT_FOUND;
      }
    }
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return 0;
    }
  }
  if (text.empty()) return 0;
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
