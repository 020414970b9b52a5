// Reading one event-log record into a heap buffer of just its size: the read shared by the
// exports that deliver records.
#ifndef QUORVEL_READING_READ_RECORD_H
#define QUORVEL_READING_READ_RECORD_H

#include "host/frame.h"

namespace qv {

constexpr DWORD kRecordFixedPart = sizeof(EVENTLOGRECORD);  // 56 bytes

static_assert(sizeof(EVENTLOGRECORD) == 56, "the fixed part of an event record");

// Frees the buffer and leaves the error as the thread's last error, whatever the freeing
// did to it.
inline void release_record_buffer(void* buffer, DWORD error) {
  heap_free(buffer);
  SetLastError(error);
}

// Reads the next record (or the one asked for) into a heap buffer of just its size.
// Returns the buffer, its size and the bytes delivered; null with the last error set when
// the log was not read.
inline BYTE* read_record(HANDLE handle, DWORD flags, DWORD number, DWORD* size, DWORD* delivered) {
  BYTE* buffer = static_cast<BYTE*>(heap_alloc_zeroed(kRecordFixedPart));
  if (buffer == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  *size = kRecordFixedPart;
  DWORD needed = 0;
  *delivered = 0;
  if (ReadEventLogA(handle, flags, number, buffer, *size, delivered, &needed)) return buffer;

  DWORD error = GetLastError();
  if (error != ERROR_INSUFFICIENT_BUFFER) {
    release_record_buffer(buffer, error);
    return nullptr;
  }
  // One enlargement, to the size Windows asks for; never below the fixed part that the
  // fields are read from.
  DWORD grown_size = needed < kRecordFixedPart ? kRecordFixedPart : needed;
  BYTE* grown = static_cast<BYTE*>(heap_grow_zeroed(buffer, grown_size));
  if (grown == nullptr) {
    release_record_buffer(buffer, ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  buffer = grown;
  *size = grown_size;
  needed = 0;
  *delivered = 0;
  if (!ReadEventLogA(handle, flags, number, buffer, *size, delivered, &needed)) {
    release_record_buffer(buffer, GetLastError());
    return nullptr;
  }
  return buffer;
}

// A number of the record into an element of the array, through the work container.
inline void put_number(ContainerHandle array, ContainerHandle work, ULONG element, DWORD value) {
  _conPutNL(work, static_cast<LONG>(value));
  _conArrayPut(array, work, element, 0);
}

// The read that an export's call asks for: the handle in parameter 1 (0 refuses the call with
// ERR_MISSING_FIRST), the flags in parameter 2 (0 or absent: a seek read forwards) and the
// record number in parameter 3. Null, with the call's result set, when nothing was read.
inline BYTE* read_record_of_call(XppParamList pl, DWORD* size, DWORD* delivered) {
  HANDLE handle = handle_or_refuse(pl);
  if (handle == nullptr) return nullptr;
  LONG flags = _parnl(pl, 2);
  if (flags == 0) flags = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;
  LONG number = _parnl(pl, 3);
  BYTE* buffer =
      read_record(handle, static_cast<DWORD>(flags), static_cast<DWORD>(number), size, delivered);
  if (buffer == nullptr) _retnl(pl, ERR_READ_FAILED);
  return buffer;
}

}  // namespace qv

#endif
