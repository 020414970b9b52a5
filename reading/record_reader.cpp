// QVREADEVENTLOG: one event-log record as an array of its numbers and insertion strings.
#include "host/exports.h"
#include "host/frame.h"
#include "host/kept_last_error.h"
#include "reading/read_record.h"

namespace {

constexpr DWORD kFixedPart = qv::kRecordFixedPart;
constexpr ULONG kNumberElements = 7;

// Where the part at `offset` (of `length` bytes) cuts strings that start at `start` and
// run up to `end`: its offset when it begins among them, else `end`.
DWORD part_cut(DWORD offset, DWORD length, DWORD start, DWORD end) {
  return length > 0 && offset >= start && offset < end ? offset : end;
}

// The insertion strings, walked inside the record as delivered: from the string offset up to
// where the next part begins (the user SID or the data when they follow the strings, else
// the closing length). A damaged record whose strings run past that is cut there: a string
// without its terminator ends at the cut, and the strings beyond it are empty; a string
// offset outside the record, or inside its fixed part, gives empty strings.
bool put_strings(ContainerHandle array, ContainerHandle work, const EVENTLOGRECORD& fields,
                 BYTE* buffer, DWORD size, DWORD delivered) {
  DWORD end = fields.Length;
  if (delivered < end) end = delivered;
  if (size < end) end = size;
  // The closing length is no part of the strings; the byte where it starts can take the
  // terminator of a cut string.
  end = end >= kFixedPart + 4 ? end - 4 : kFixedPart;
  DWORD pos = fields.StringOffset >= kFixedPart ? fields.StringOffset : end;
  end = part_cut(fields.UserSidOffset, fields.UserSidLength, pos, end);
  end = part_cut(fields.DataOffset, fields.DataLength, pos, end);
  for (ULONG i = 1; i <= fields.NumStrings; ++i) {
    if (pos >= end) {
      _conPutC(work, "");
    } else {
      const void* zero = memchr(buffer + pos, 0, end - pos);
      DWORD length = zero != nullptr
                         ? static_cast<DWORD>(static_cast<const BYTE*>(zero) - (buffer + pos))
                         : end - pos;
      if (zero == nullptr) buffer[end] = 0;
      if (!qv::text_to_caller(reinterpret_cast<char*>(buffer + pos), length)) return false;
      _conPutC(work, reinterpret_cast<const char*>(buffer + pos));
      pos += length + 1;
    }
    _conArrayPut(array, work, kNumberElements + i, 0);
  }
  return true;
}

}  // namespace

QV_EXPORT QVREADEVENTLOG(XppParamList pl) {
  DWORD size = 0;
  DWORD delivered = 0;
  BYTE* buffer = qv::read_record_of_call(pl, &size, &delivered);
  if (buffer == nullptr) return;
  EVENTLOGRECORD fields;
  memcpy(&fields, buffer, sizeof fields);

  ContainerHandle array = _conNewArray(1, kNumberElements + fields.NumStrings);
  ContainerHandle work = _conNew(NULLCONTAINER);
  if (array == NULLCONTAINER || work == NULLCONTAINER) {
    if (array != NULLCONTAINER) _conRelease(array);
    if (work != NULLCONTAINER) _conRelease(work);
    qv::heap_free(buffer);
    _retnl(pl, ERR_NO_ARRAY);
    return;
  }
  qv::put_number(array, work, 1, fields.RecordNumber);
  qv::put_number(array, work, 2, fields.TimeGenerated);
  qv::put_number(array, work, 3, fields.TimeWritten);
  qv::put_number(array, work, 4, fields.EventID);
  qv::put_number(array, work, 5, fields.EventType);
  qv::put_number(array, work, 6, fields.NumStrings);
  qv::put_number(array, work, 7, fields.EventCategory);
  // A string that cannot be given in the caller's character set fails the read.
  if (put_strings(array, work, fields, buffer, size, delivered))
    _conReturn(pl, array);
  else
    _retnl(pl, ERR_READ_FAILED);
  _conRelease(array);
  _conRelease(work);
  qv::KeptLastError kept;
  qv::heap_free(buffer);
}
