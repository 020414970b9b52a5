// The message-table resource of a PE file (a Windows DLL or EXE), read from the file's
// bytes as Windows reads it when it loads the file as a data file. Every offset and length
// the file gives is checked against the file: a damaged or hostile file yields nothing.
#ifndef QUORVEL_SIM_PE_RESOURCES_H
#define QUORVEL_SIM_PE_RESOURCES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvsim::detail {

enum class PeLookup {
  kFound,
  kNotPe,            // no PE image: ERROR_BAD_EXE_FORMAT
  kNoMessageTable,   // ERROR_RESOURCE_TYPE_NOT_FOUND
  kNoLanguage,       // ERROR_RESOURCE_LANG_NOT_FOUND
  kMessageNotFound,  // ERROR_MR_MID_NOT_FOUND
};

struct PeMessage {
  bool unicode = false;       // UTF-16LE text; else 8-bit text of the system code page
  std::vector<uint8_t> text;  // up to its first terminator, without it
};

// The bytes of the message-table resource in the language asked for. Language 0 searches
// as FormatMessage does for it: neutral, the user's (US English), then any the file has.
PeLookup find_message_table(const uint8_t* file, size_t size, uint16_t language,
                            const uint8_t** table, size_t* table_size);

// Message `id` of a message-table resource's bytes.
PeLookup find_message(const uint8_t* table, size_t size, uint32_t id, PeMessage* message);

// The identifier ranges [low, high] of a message-table resource's blocks, as it lists them.
std::vector<std::pair<uint32_t, uint32_t>> message_blocks(const uint8_t* table, size_t size);

// A message's text with the escapes that FormatMessage applies while it ignores inserts:
// %0 ends it, %n %r %t are CR LF, CR and tab, every line end becomes CR LF, and every other
// %-pair, inserts too, stays as written.
std::string escapes_applied(const std::string& raw);

}  // namespace qvsim::detail

#endif
