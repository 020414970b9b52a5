// One event of the event log of Windows Vista and later rendered by wevtapi: its system
// values, its XML and, when asked for, its message.
#ifndef QUORVEL_READING_EVT_RENDER_H
#define QUORVEL_READING_EVT_RENDER_H

#include "reading/wevtapi.h"

namespace qv {

struct RenderedEvent {
  EVT_VARIANT* values;  // the system's values, in the order of their ids
  DWORD value_count;
  char* xml;  // ANSI, closed by a zero
  DWORD xml_bytes;
  char* message;  // ANSI, closed by a zero; null when none was found
  DWORD message_bytes;
  char* names[3];  // provider, channel, computer: ANSI, closed by a zero ("" when absent)
  DWORD name_bytes[3];
  char* scratch;  // room to decode the XML's data into: as many bytes as the XML has
};

// The positions in RenderedEvent::names.
enum RenderedName { kProviderName, kChannelName, kComputerName };

// Renders the event, with the room its data is decoded into; with `session` (null: this computer)
// the message is looked up in the provider's metadata there when `with_message` asks for it. False,
// with the last error set, when the values, the XML or the names could not be had: nothing is then
// held.
bool render_event(const Wevtapi& api, EVT_HANDLE event, EVT_HANDLE session, bool with_message,
                  RenderedEvent* rendered);

// The system value of that id (EVT_SYSTEM_PROPERTY_ID); EvtVarTypeNull when the rendering
// lacks it.
const EVT_VARIANT& system_value(const RenderedEvent& rendered, DWORD id);

// Frees what the rendering holds.
void release_rendered(RenderedEvent* rendered);

}  // namespace qv

#endif
