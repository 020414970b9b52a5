// The simulation's message files against Windows' own (run under Wine): for every file given
// as an argument, every identifier that its message table lists renders the same text
// through FormatMessageA (the file loaded as a data file, inserts ignored) as through the
// simulation's PE reader and its escapes, and an identifier beside the listed ones is
// missing from both.
//
// Plain checks: each failure is printed, and the exit status is the number of failures.
#include <windows.h>

#include "plain_checks.h"

#include <cstdio>
#include <string>
#include <vector>

#include "codepage.h"
#include "pe_resources.h"

namespace {

using namespace qvsim::detail;

constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr size_t kMaxPerFile = 4000;  // identifiers compared in one file

std::vector<uint8_t> read_file(const char* path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return bytes;
  char chunk[65536];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  return bytes;
}

// Windows' text: "" when it has none.
std::string windows_text(HMODULE module, DWORD id) {
  static char buffer[32767];  // Wine refuses a buffer of 32 KiB or more with 87
  DWORD n = FormatMessageA(kFlags, module, id, 0, buffer, sizeof buffer, nullptr);
  return std::string(buffer, n);
}

// The simulation's text for the same identifier: "" when it has none.
std::string simulated_text(const uint8_t* table, size_t size, DWORD id) {
  PeMessage message;
  if (find_message(table, size, id, &message) != PeLookup::kFound) return "";
  std::string text;
  if (message.unicode) {
    std::u16string wide;
    for (size_t i = 0; i + 1 < message.text.size(); i += 2)
      wide.push_back(static_cast<char16_t>(message.text[i] | message.text[i + 1] << 8));
    text = utf16_to_ansi(wide);
  } else {
    text.assign(message.text.begin(), message.text.end());
  }
  return escapes_applied(text);
}

void compare_file(const char* path) {
  std::vector<uint8_t> file = read_file(path);
  check(!file.empty(), std::string("cannot read ") + path);
  if (file.empty()) return;
  const uint8_t* table = nullptr;
  size_t size = 0;
  check(find_message_table(file.data(), file.size(), 0, &table, &size) == PeLookup::kFound,
        std::string("the simulation finds no message table in ") + path);
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  check(module != nullptr, std::string("LoadLibraryExA failed for ") + path);
  if (table == nullptr || module == nullptr) return;

  size_t compared = 0;
  size_t with_text = 0;
  for (const auto& block : message_blocks(table, size)) {
    // Each block's identifiers, and the identifier just before it.
    for (uint64_t id = block.first == 0 ? 0 : block.first - 1;
         id <= block.second && compared < kMaxPerFile; ++id, ++compared) {
      std::string expected = windows_text(module, static_cast<DWORD>(id));
      std::string got = simulated_text(table, size, static_cast<DWORD>(id));
      if (!expected.empty()) ++with_text;
      check(got == expected, std::string(path) + " message " + std::to_string(id) + ": Windows " +
                                 quoted(expected) + ", simulation " + quoted(got));
    }
  }
  check(with_text > 0, std::string("no message of ") + path + " has a text");
  std::printf("%s: %zu identifiers compared, %zu with a text\n", path, compared, with_text);
  FreeLibrary(module);
}

}  // namespace

int main(int argc, char** argv) {
  check(argc > 1, "no message files given");
  for (int i = 1; i < argc; ++i) compare_file(argv[i]);
  return failures;
}
