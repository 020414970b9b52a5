// An event's insertion strings as the caller gives them to QVREPORTEVENT: one character
// value, or an array of them. They are fetched onto the heap (an event may carry 256
// strings of 31,839 characters), converted to the ANSI code page, and cut to what Windows
// takes.
#ifndef QUORVEL_WRITING_EVENT_STRINGS_H
#define QUORVEL_WRITING_EVENT_STRINGS_H

#include "host/frame.h"

namespace qv {

// What Windows Vista and later take in one event: at most 256 strings of at most 31,839
// characters each (32K before Vista), and at most 61,440 bytes of raw data.
constexpr ULONG kMaxEventStrings = 256;
constexpr DWORD kMaxEventStringChars = 31839;
constexpr ULONG kMaxEventDataBytes = 61440;

struct EventStrings {
  LPCSTR text[kMaxEventStrings];  // each terminated, in a heap block of its own
  DWORD length[kMaxEventStrings];
  WORD count;
  bool cut;  // a string was longer than Windows takes, and was cut
};

// kNotConverted: a string the run-time could not convert to the ANSI code page.
enum class StringsFetch { kFetched, kRefused, kNoMemory, kNotConverted };

// The strings of parameter `index`, in a heap block the caller frees with
// free_event_strings, each cut to kMaxEventStringChars. Refused, with nothing taken from
// the heap, when the parameter is neither a character value nor an array of at most
// kMaxEventStrings character values. Nothing is left on the heap unless kFetched.
StringsFetch fetch_event_strings(XppParamList pl, ULONG index, EventStrings** strings);

void free_event_strings(EventStrings* strings);

// Cuts each string longer than `limit` characters to `limit`; false when none was that long.
bool cut_event_strings(EventStrings* strings, DWORD limit);

}  // namespace qv

#endif
