// Fuzzes the reader of an event's XML. Input: any bytes as the XML, in a block of exactly its
// size (no terminator), so that any read past it is caught; the room for decoding has exactly
// the size the reader asks for, and every pair it hands out lies within it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "reading/event_xml.h"

namespace {

struct Room {
  const char* begin;
  const char* end;
};

void check_pair(void* context, qv::XmlSpan name, qv::XmlSpan value) {
  const Room* room = static_cast<const Room*>(context);
  for (const qv::XmlSpan& span : {name, value}) {
    if (span.length == 0) continue;
    if (span.text < room->begin || span.text + span.length > room->end) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char* xml = static_cast<char*>(malloc(size == 0 ? 1 : size));
  char* scratch = static_cast<char*>(malloc(size == 0 ? 1 : size));
  memcpy(xml, data, size);
  const DWORD length = static_cast<DWORD>(size);
  Room room = {scratch, scratch + size};
  const DWORD counted = qv::scan_event_data(xml, length, scratch, nullptr, nullptr);
  if (qv::scan_event_data(xml, length, scratch, check_pair, &room) != counted) abort();
  const qv::XmlSpan time = qv::find_attribute(xml, length, "TimeCreated", "SystemTime");
  if (time.length > 0 && (time.text < xml || time.text + time.length > xml + size)) abort();
  free(scratch);
  free(xml);
  return 0;
}
