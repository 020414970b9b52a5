// The whole event record as an Xbase++ array.
#ifndef QUORVEL_READING_EVENT_RECORD_H
#define QUORVEL_READING_EVENT_RECORD_H

#include "host/xpp_api.h"
#include "platform/qv_windows.h"

// Positions in the array of QVREADEVENTRECORD.
#define QVREC_NUMBER 1
#define QVREC_TIMEGENERATED 2
#define QVREC_TIMEWRITTEN 3
#define QVREC_EVENTID 4
#define QVREC_TYPE 5
#define QVREC_CATEGORY 6
#define QVREC_SOURCE 7
#define QVREC_COMPUTER 8
#define QVREC_USERSID 9
#define QVREC_DATA 10
#define QVREC_STRINGS 11
#define QVREC_ELEMENTS 11

namespace qv {

// A SID has at most 15 sub-authorities; its text ("S-1-" and up to 16 numbers) fits here.
constexpr DWORD kMaxSubAuthorities = 15;
constexpr DWORD kSidTextBytes = 192;

// The SID's text in the form S-1-5-21-..., bounds-checked against its length. Returns the
// characters written; 0 (and "") for bytes that are no SID.
DWORD format_sid(const BYTE* sid, DWORD length, char* text, DWORD size);

// Returns the record in the buffer (its size, and the bytes the read delivered into it) as
// the call's result, and frees the buffer. Every part is taken from inside the record: a
// part whose offset or length points elsewhere is empty.
void return_event_record(XppParamList pl, BYTE* buffer, DWORD size, DWORD delivered);

}  // namespace qv

#endif
