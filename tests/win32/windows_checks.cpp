// What only a Windows system shows, run under Wine in the win32 build:
// - every export of the module definition found in quorvel.dll by name and by ordinal, and
//   the DLL's export directory holding exactly those;
// - the account lookup of the current user reaching a real SID, in the two steps the
//   library takes (a probe too small, then a buffer of the size reported);
// - FormatMessageA's text for every code of the simulation's message table equal to the
//   simulation's text, apart from the codes listed below where Wine's text is not Windows'.
//
// Plain checks: each failure is printed, and the exit status is the number of failures.
#include <windows.h>

#include "plain_checks.h"

#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "system_messages.h"

namespace {

struct DefExport {
  const char* name;
  WORD ordinal;
};

// The exports of exports/quorvel.def, generated at configure time.
constexpr DefExport kDefExports[] = {
#define QV_MODULE_EXPORT(name, ordinal) {#name, ordinal},
#include "module_exports.inc"
#undef QV_MODULE_EXPORT
};

// Codes whose text Wine gives differently from Windows. The simulation keeps Windows' own
// text; these entries record what Wine says instead, so that a change on either side shows.
// Wine 8.0 (kernelbase's message table) has short texts of its own for all of these, where
// Windows has full sentences. A Wine whose text is Windows' own passes as well, with a note
// that its entry here can go.
struct WineText {
  DWORD code;
  const char* text;  // without the closing CR LF
};
constexpr WineText kWineDifferences[] = {
    {0, "Success."},
    {2, "File not found."},
    {3, "Path not found."},
    {5, "Access denied."},
    {6, "Invalid handle."},
    {8, "Not enough memory."},
    {23, "CRC error."},
    {38, "End of file."},
    {87, "Invalid parameter."},
    {122, "Insufficient buffer."},
    {123, "Invalid name."},
    {183, "File already exists."},
    {206, "File name is too long."},
    {234, "More data available."},
    {1018, "Key deleted."},
    {1113, "No Unicode translation."},
    {1332, "No security ID mapped."},
    {1500, "Event log file corrupt."},
    {1501, "Event log can't start."},
    {1502, "Event log file full."},
    {1503, "Event log file changed."},
    {1722, "RPC server unavailable."},
    {1734, "Invalid array bounds."},
};

// The export directory of a loaded module: name -> ordinal, and the ordinals that have code.
void read_export_directory(HMODULE module, std::map<std::string, WORD>* names,
                           std::set<WORD>* ordinals) {
  auto base = reinterpret_cast<const BYTE*>(module);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (entry.VirtualAddress == 0) return;
  auto dir = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  auto functions = reinterpret_cast<const DWORD*>(base + dir->AddressOfFunctions);
  auto name_rvas = reinterpret_cast<const DWORD*>(base + dir->AddressOfNames);
  auto name_indexes = reinterpret_cast<const WORD*>(base + dir->AddressOfNameOrdinals);
  for (DWORD i = 0; i < dir->NumberOfFunctions; ++i) {
    if (functions[i] != 0) ordinals->insert(static_cast<WORD>(dir->Base + i));
  }
  for (DWORD i = 0; i < dir->NumberOfNames; ++i) {
    const char* name = reinterpret_cast<const char*>(base + name_rvas[i]);
    (*names)[name] = static_cast<WORD>(dir->Base + name_indexes[i]);
  }
}

void check_exports() {
  HMODULE module = LoadLibraryA("quorvel.dll");
  check(module != nullptr, "LoadLibraryA(quorvel.dll), error " + std::to_string(GetLastError()));
  if (module == nullptr) return;

  for (const DefExport& e : kDefExports) {
    FARPROC by_name = GetProcAddress(module, e.name);
    FARPROC by_ordinal = GetProcAddress(module, MAKEINTRESOURCEA(e.ordinal));
    check(by_name != nullptr, std::string(e.name) + " found by name");
    check(by_ordinal != nullptr,
          std::string(e.name) + " found by ordinal " + std::to_string(e.ordinal));
    check(by_name == by_ordinal, std::string(e.name) + ": name and ordinal " +
                                     std::to_string(e.ordinal) + " reach the same function");
  }

  std::map<std::string, WORD> names;
  std::set<WORD> ordinals;
  read_export_directory(module, &names, &ordinals);
  std::map<std::string, WORD> expected;
  std::set<WORD> expected_ordinals;
  for (const DefExport& e : kDefExports) {
    expected[e.name] = e.ordinal;
    expected_ordinals.insert(e.ordinal);
  }
  for (const auto& [name, ordinal] : names) {
    auto found = expected.find(name);
    check(found != expected.end(), "export " + name + " is not in the module definition");
    if (found != expected.end())
      check(found->second == ordinal, "export " + name + " has ordinal " + std::to_string(ordinal) +
                                          ", expected " + std::to_string(found->second));
  }
  check(names.size() == expected.size(), "the DLL exports " + std::to_string(names.size()) +
                                             " names, the module definition lists " +
                                             std::to_string(expected.size()));
  check(ordinals == expected_ordinals, "the DLL has exports without a name or a stray ordinal");
  FreeLibrary(module);
}

void check_account_lookup() {
  char user[257] = {};
  DWORD user_size = sizeof user;
  check(GetUserNameA(user, &user_size) == TRUE, "GetUserNameA");

  // The library's probe: a 12-byte SID buffer is too small for a user's SID.
  BYTE probe[12] = {};
  DWORD sid_size = sizeof probe;
  char domain[260] = {};
  DWORD domain_size = sizeof domain;
  SID_NAME_USE use = SidTypeUnknown;
  BOOL ok = LookupAccountNameA(nullptr, user, probe, &sid_size, domain, &domain_size, &use);
  DWORD error = GetLastError();
  check(ok == FALSE && error == ERROR_INSUFFICIENT_BUFFER,
        "probe lookup of " + std::string(user) + " fails with 122, got " + std::to_string(error));
  check(sid_size == 28, "a user's SID takes 28 bytes, reported " + std::to_string(sid_size));

  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  DWORD size = sid_size <= sizeof sid ? sid_size : sizeof sid;
  domain_size = sizeof domain;
  ok = LookupAccountNameA(nullptr, user, sid, &size, domain, &domain_size, &use);
  check(ok == TRUE,
        "second lookup of " + std::string(user) + ", error " + std::to_string(GetLastError()));
  if (ok != TRUE) return;
  check(IsValidSid(sid) == TRUE, "the SID is valid");
  check(GetLengthSid(sid) == size, "the SID's length is the size reported");
  check(use == SidTypeUser, "the account is a user");
  char* text = nullptr;
  check(ConvertSidToStringSidA(sid, &text) == TRUE, "ConvertSidToStringSidA");
  if (text != nullptr) {
    check(std::strncmp(text, "S-1-5-21-", 9) == 0,
          std::string("a local account's SID S-1-5-21-..., got ") + text);
    LocalFree(text);
  }
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computer_size = sizeof computer;
  GetComputerNameA(computer, &computer_size);
  check(lstrcmpiA(domain, computer) == 0,
        "the domain " + std::string(domain) + " is this computer, " + computer);

  size = sizeof sid;
  domain_size = sizeof domain;
  ok = LookupAccountNameA(nullptr, "qv-no-such-account", sid, &size, domain, &domain_size, &use);
  error = GetLastError();
  check(ok == FALSE && error == ERROR_NONE_MAPPED,
        "an unknown account fails with 1332, got " + std::to_string(error));
}

// FormatMessageA as the library calls it: true with the text, false when it has none.
bool system_text(DWORD code, std::string* text) {
  char buffer[256];
  std::memset(buffer, 0x55, sizeof buffer);
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buffer, sizeof buffer, nullptr);
  if (n == 0) return false;
  text->assign(buffer, n);
  return true;
}

void check_message_texts() {
  std::map<DWORD, std::string> wine_texts;
  for (const WineText& w : kWineDifferences) wine_texts[w.code] = w.text;

  for (const qvsim::SystemMessage& m : qvsim::kSystemMessages) {
    std::string text;
    bool found = system_text(m.code, &text);
    check(found, "FormatMessageA has a text for " + std::to_string(m.code));
    if (!found) continue;
    std::string windows = m.text + std::string("\r\n");
    auto wine = wine_texts.find(m.code);
    if (wine == wine_texts.end()) {
      check(text == windows, "text of " + std::to_string(m.code) + ": " + quoted(text) +
                                 ", expected " + quoted(windows));
      continue;
    }
    std::string wine_text = wine->second + "\r\n";
    check(text == windows || text == wine_text, "text of " + std::to_string(m.code) + ": " +
                                                    quoted(text) + ", expected " + quoted(windows) +
                                                    " or Wine's known " + quoted(wine_text));
    if (text == windows)
      std::printf("note: %u now has Windows' own text; its Wine difference entry can go\n",
                  static_cast<unsigned>(m.code));
  }

  // A code without a system message: 0, and the buffer untouched.
  char buffer[256];
  std::memset(buffer, 0x55, sizeof buffer);
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           0x2000FFFFu, 0, buffer, sizeof buffer, nullptr);
  bool untouched = true;
  for (char c : buffer) untouched = untouched && c == 0x55;
  check(n == 0 && untouched, "a code without a message gives 0 and leaves the buffer untouched");
}

}  // namespace

int main() {
  check_exports();
  check_account_lookup();
  check_message_texts();
  if (failures == 0) std::printf("all Windows checks passed\n");
  return failures;
}
