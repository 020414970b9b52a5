// A small reader of the XML that wevtapi renders for an event: the named values of its
// EventData or UserData, and an attribute of one of its elements. It reads the ANSI text of
// the XML, whose markup is ASCII, and never reads or writes outside the bounds it is given.
#ifndef QUORVEL_READING_EVENT_XML_H
#define QUORVEL_READING_EVENT_XML_H

#include "platform/qv_windows.h"

namespace qv {

struct XmlSpan {
  const char* text;
  DWORD length;
};

// Receives a pair of the event's data: its name ("" when unnamed) and value, both decoded.
typedef void (*EventDataPair)(void* context, XmlSpan name, XmlSpan value);

// The pairs of the event's data, in order, handed to `found` (which may be null: the pairs
// are only counted); returns their count.
// - EventData: one pair per Data element, its Name attribute and its text; any other element
//   (Binary, ComplexData) is no pair.
// - UserData: one pair per child of its one element, the child's name and its text.
// Entities and character references are decoded into `scratch`, which holds `length` bytes
// (a decoded text is never longer than its source); CDATA sections are taken as written.
DWORD scan_event_data(const char* xml, DWORD length, char* scratch, EventDataPair found,
                      void* context);

// The value of the attribute of the first element of that name, as written; empty when
// there is none.
XmlSpan find_attribute(const char* xml, DWORD length, const char* element, const char* attribute);

}  // namespace qv

#endif
