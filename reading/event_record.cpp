// QVREADEVENTRECORD: one event-log record with everything it holds, as an array of its
// numbers, names, user, raw data and an array of its insertion strings.
#include "host/exports.h"
#include "host/frame.h"
#include "host/kept_last_error.h"
#include "reading/event_record.h"
#include "reading/read_record.h"

namespace {

constexpr DWORD kClosingLength = 4;

// A part of the record: its bytes lie in [from, from + length) of the buffer.
struct Part {
  DWORD from;
  DWORD length;
};

// The part when [from, from + length) lies within [low, high), else none (length 0).
Part part_within(DWORD from, DWORD length, DWORD low, DWORD high) {
  if (from < low || from > high || length > high - from) return Part{low, 0};
  return Part{from, length};
}

// The zero-terminated text that starts at pos and ends before high: its length, or -1 when
// no terminator is found there.
long text_at(const BYTE* buffer, DWORD pos, DWORD high) {
  if (pos >= high) return -1;
  const void* zero = memchr(buffer + pos, 0, high - pos);
  if (zero == nullptr) return -1;
  return static_cast<long>(static_cast<const BYTE*>(zero) - (buffer + pos));
}

// The number's decimal digits at out; returns how many.
DWORD decimal(DWORD value, char* out) {
  char digits[10];
  DWORD count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (DWORD i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
  return count;
}

// Lowers the bound to a part's offset when the record places the part there, past the
// fixed part.
void lower_to(DWORD* bound, DWORD offset, bool placed) {
  if (placed && offset >= qv::kRecordFixedPart && offset < *bound) *bound = offset;
}

void put_bytes(ContainerHandle array, ContainerHandle work, ULONG element, const BYTE* bytes,
               DWORD length) {
  _conPutCL(work, reinterpret_cast<const char*>(bytes), length);
  _conArrayPut(array, work, element, 0);
}

// A text of the record, in the caller's character set; the record's bytes are converted in
// place. False when they cannot be converted.
bool put_text(ContainerHandle array, ContainerHandle work, ULONG element, BYTE* text,
              DWORD length) {
  if (!qv::text_to_caller(reinterpret_cast<char*>(text), length)) return false;
  put_bytes(array, work, element, text, length);
  return true;
}

// Where the record's parts lie in the buffer, each within the record.
struct RecordParts {
  Part source;
  Part computer;
  Part sid;
  Part data;
  DWORD strings_from;  // the first string, or strings_high when the record places none
  DWORD strings_high;  // the strings end before it
};

RecordParts locate_parts(const EVENTLOGRECORD& fields, const BYTE* buffer, DWORD size,
                         DWORD delivered) {
  // The record's contents: from its fixed part up to its closing length, within what was
  // delivered into the buffer.
  DWORD end = fields.Length;
  if (delivered < end) end = delivered;
  if (size < end) end = size;
  const DWORD low = qv::kRecordFixedPart;
  DWORD high = end >= low + kClosingLength ? end - kClosingLength : low;

  // The parts lie in this order, each after the one before: the two names, the user's SID,
  // the strings, the raw data. The names end before the first part that the record places.
  bool has_strings = fields.NumStrings > 0;
  DWORD names_high = high;
  lower_to(&names_high, fields.UserSidOffset, fields.UserSidLength > 0);
  lower_to(&names_high, fields.StringOffset, has_strings);
  lower_to(&names_high, fields.DataOffset, fields.DataLength > 0);

  // An unterminated name leaves both empty.
  RecordParts parts;
  parts.source = Part{low, 0};
  parts.computer = Part{low, 0};
  DWORD names_end = low;
  long source_length = text_at(buffer, low, names_high);
  if (source_length >= 0) {
    DWORD computer_from = low + static_cast<DWORD>(source_length) + 1;
    long computer_length = text_at(buffer, computer_from, names_high);
    if (computer_length >= 0) {
      parts.source.length = static_cast<DWORD>(source_length);
      parts.computer = Part{computer_from, static_cast<DWORD>(computer_length)};
      names_end = computer_from + parts.computer.length + 1;
    }
  }
  bool strings_placed =
      has_strings && fields.StringOffset >= names_end && fields.StringOffset <= high;
  parts.sid = part_within(fields.UserSidOffset, fields.UserSidLength, names_end,
                          strings_placed ? fields.StringOffset : high);
  // The raw data begins past the first string's first byte, at the least.
  DWORD data_low = strings_placed ? fields.StringOffset + 1 : parts.sid.from + parts.sid.length;
  parts.data = part_within(fields.DataOffset, fields.DataLength, data_low, high);
  parts.strings_high = parts.data.length > 0 ? parts.data.from : high;
  parts.strings_from = strings_placed ? fields.StringOffset : parts.strings_high;
  return parts;
}

// The record's numbers, names, SID and raw data into their elements of the array.
bool put_fields(ContainerHandle array, ContainerHandle work, const EVENTLOGRECORD& fields,
                BYTE* buffer, const RecordParts& parts) {
  qv::put_number(array, work, QVREC_NUMBER, fields.RecordNumber);
  qv::put_number(array, work, QVREC_TIMEGENERATED, fields.TimeGenerated);
  qv::put_number(array, work, QVREC_TIMEWRITTEN, fields.TimeWritten);
  qv::put_number(array, work, QVREC_EVENTID, fields.EventID);
  qv::put_number(array, work, QVREC_TYPE, fields.EventType);
  qv::put_number(array, work, QVREC_CATEGORY, fields.EventCategory);
  if (!put_text(array, work, QVREC_SOURCE, buffer + parts.source.from, parts.source.length) ||
      !put_text(array, work, QVREC_COMPUTER, buffer + parts.computer.from, parts.computer.length))
    return false;
  char sid_text[qv::kSidTextBytes];
  DWORD sid_chars =
      qv::format_sid(buffer + parts.sid.from, parts.sid.length, sid_text, sizeof sid_text);
  put_bytes(array, work, QVREC_USERSID, reinterpret_cast<const BYTE*>(sid_text), sid_chars);
  put_bytes(array, work, QVREC_DATA, buffer + parts.data.from, parts.data.length);
  return true;
}

// The strings one after another, each closed by a zero byte before the raw data; the first
// without its terminator there, and every one after it, is empty.
bool put_strings(ContainerHandle strings, ContainerHandle work, DWORD count, BYTE* buffer,
                 const RecordParts& parts) {
  DWORD pos = parts.strings_from;
  for (ULONG i = 1; i <= count; ++i) {
    long length = text_at(buffer, pos, parts.strings_high);
    if (length < 0) {
      pos = parts.strings_high;
      put_bytes(strings, work, i, buffer, 0);
      continue;
    }
    if (!put_text(strings, work, i, buffer + pos, static_cast<DWORD>(length))) return false;
    pos += static_cast<DWORD>(length) + 1;
  }
  return true;
}

void release(ContainerHandle container) {
  if (container != NULLCONTAINER) _conRelease(container);
}

}  // namespace

namespace qv {

DWORD format_sid(const BYTE* sid, DWORD length, char* text, DWORD size) {
  if (size == 0) return 0;
  text[0] = 0;
  // Revision 1, its sub-authority count, the 48-bit authority, then the sub-authorities.
  if (length < 8 || sid[0] != 1) return 0;
  DWORD count = sid[1];
  if (count > kMaxSubAuthorities || length < 8 + 4 * count) return 0;
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = (authority << 8) | sid[i];
  // The longest text: "S-1-0x" and 12 hex digits, then 15 times "-" and 10 digits.
  char out[6 + 12 + 15 * 11 + 1];
  DWORD n = 0;
  memcpy(out, "S-1-", 4);
  n = 4;
  if (authority < 0x100000000ull) {
    n += decimal(static_cast<DWORD>(authority), out + n);
  } else {
    out[n++] = '0';
    out[n++] = 'x';
    for (int shift = 44; shift >= 0; shift -= 4)
      out[n++] = "0123456789ABCDEF"[(authority >> shift) & 15];
  }
  for (DWORD i = 0; i < count; ++i) {
    const BYTE* p = sid + 8 + 4 * i;
    out[n++] = '-';
    n += decimal(p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24, out + n);
  }
  if (n >= size) return 0;
  memcpy(text, out, n);
  text[n] = 0;
  return n;
}

void return_event_record(XppParamList pl, BYTE* buffer, DWORD size, DWORD delivered) {
  EVENTLOGRECORD fields;
  memcpy(&fields, buffer, sizeof fields);
  const RecordParts parts = locate_parts(fields, buffer, size, delivered);

  ContainerHandle array = _conNewArray(1, QVREC_ELEMENTS);
  ContainerHandle strings = _conNewArray(1, fields.NumStrings);
  ContainerHandle work = _conNew(NULLCONTAINER);
  if (array == NULLCONTAINER || strings == NULLCONTAINER || work == NULLCONTAINER) {
    _retnl(pl, ERR_NO_ARRAY);
  } else if (!put_fields(array, work, fields, buffer, parts) ||
             !put_strings(strings, work, fields.NumStrings, buffer, parts)) {
    // A text that cannot be given in the caller's character set fails the read.
    _retnl(pl, ERR_READ_FAILED);
  } else {
    _conArrayPut(array, strings, QVREC_STRINGS, 0);
    _conReturn(pl, array);
  }
  release(array);
  release(strings);
  release(work);
  KeptLastError kept;
  heap_free(buffer);
}

}  // namespace qv

QV_EXPORT QVREADEVENTRECORD(XppParamList pl) {
  DWORD size = 0;
  DWORD delivered = 0;
  BYTE* buffer = qv::read_record_of_call(pl, &size, &delivered);
  if (buffer == nullptr) return;
  qv::return_event_record(pl, buffer, size, delivered);
}
