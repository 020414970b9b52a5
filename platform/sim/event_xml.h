// Events of the Windows Vista+ event log as the simulated service holds them: one XML
// document each, in the event schema, as EvtRender renders it.
#ifndef QUORVEL_SIM_EVENT_XML_H
#define QUORVEL_SIM_EVENT_XML_H

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qvsim/control.h"
#include "windows_sim.h"

namespace qvsim::detail {

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);
// A caller's terminated UTF-16 text in UTF-8; null gives "".
std::string utf8_of(LPCWSTR text);

// A SID as text (S-1-5-18); empty when the bytes are no SID.
std::string sid_text(const uint8_t* sid, size_t size);
// The bytes of a SID written as text; false when the text is none.
bool sid_bytes(std::string_view text, std::vector<uint8_t>* sid);

// An event's XML as a reader of .evtx files gives it, made as Windows renders it: hexadecimal
// numbers without the leading zeros that the reader pads them with. False when it is no
// event.
bool parse_event(const char* xml, size_t size, pugi::xml_document* doc);

// A record of a classic log as Windows Vista and later show it in the log's channel. Its
// names, like the channel's, are in the ANSI code page, as the classic service keeps them.
void classic_event(const RecordView& record, const std::string& channel, pugi::xml_document* doc);

// The event as EvtRender renders it: no declaration, no indentation, attributes in single
// quotes.
std::u16string event_xml_text(const pugi::xml_document& doc);

// The event's element (<Event>), its <System> and a child of that by name; null when absent.
pugi::xml_node event_system(const pugi::xml_document& doc);

// 100-ns intervals since 1601 for a SystemTime text (2013-10-23T16:22:39.973500000Z); false
// when the text is no such time.
bool parse_system_time(std::string_view text, uint64_t* filetime);

}  // namespace qvsim::detail

#endif
