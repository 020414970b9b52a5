// Any file read as a PE module for its message table, and every message looked up in what
// it gives: a clear "not found" or text from inside the file, never a crash or a read
// outside it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "pe_resources.h"

using namespace qvsim::detail;

namespace {

void look_up(const uint8_t* table, size_t size, uint32_t id) {
  PeMessage message;
  if (find_message(table, size, id, &message) != PeLookup::kFound) return;
  // The text lies within the table: touch every byte of it.
  volatile uint8_t sum = 0;
  for (uint8_t b : message.text) sum = static_cast<uint8_t>(sum + b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of just the file's size, so that a read past its end is caught.
  uint8_t* file = static_cast<uint8_t*>(malloc(size == 0 ? 1 : size));
  if (file == nullptr) return 0;
  if (size > 0) memcpy(file, data, size);
  for (uint16_t language : {uint16_t{0}, uint16_t{0x0409}, uint16_t{0x0407}}) {
    const uint8_t* table = nullptr;
    size_t table_size = 0;
    if (find_message_table(file, size, language, &table, &table_size) != PeLookup::kFound) continue;
    if (table < file || table_size > size ||
        table - file > static_cast<ptrdiff_t>(size - table_size))
      abort();
    for (uint32_t id : {0u, 1u, 2u, 100u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
      look_up(table, table_size, id);
    // The first block's own identifiers.
    if (table_size >= 8) {
      uint32_t low = 0;
      memcpy(&low, table + 4, 4);
      for (uint32_t i = 0; i < 4; ++i) look_up(table, table_size, low + i);
    }
  }
  free(file);
  return 0;
}
