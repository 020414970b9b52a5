#include "evt_file.h"

#include <cstring>
#include <string>

#include "codepage.h"

namespace qvsim::detail {
namespace {

// Field offsets of a record's fixed part.
constexpr size_t kLength = 0;
constexpr size_t kReserved = 4;
constexpr size_t kRecordNumber = 8;
constexpr size_t kNumStrings = 26;
constexpr size_t kStringOffset = 36;
constexpr size_t kSidLength = 40;
constexpr size_t kSidOffset = 44;
constexpr size_t kDataLength = 48;
constexpr size_t kDataOffset = 52;

constexpr uint32_t kEofMagic[4] = {0x11111111, 0x22222222, 0x33333333, 0x44444444};

uint32_t get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void append32(std::vector<uint8_t>& out, uint32_t v) {
  size_t at = out.size();
  out.resize(at + 4);
  put32(out.data() + at, v);
}

void append_utf16(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t unit : text) {
    out.push_back(static_cast<uint8_t>(unit));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  out.push_back(0);
  out.push_back(0);
}

void pad4(std::vector<uint8_t>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

// A zero-terminated UTF-16LE string at `pos`, read no further than `end`; `pos` moves past
// its terminator (or to `end` when it has none). Written at `to` in the ANSI code page with
// its terminator, at most one byte per two read and the terminator; returns the byte after.
uint8_t* take_string(const uint8_t* evt, size_t& pos, size_t end, uint8_t* to) {
  const uint8_t* p = evt + pos;
  const uint8_t* stop = evt + pos + (end - pos) / 2 * 2;
  bool closed = false;
  // Four plain ASCII characters at a time, none of them the terminator.
  while (stop - p >= 8) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if ((v & 0xFF80FF80FF80FF80ull) != 0) break;
    uint64_t low = v & 0x007F007F007F007Full;
    if (((low - 0x0001000100010001ull) & ~low & 0x0080008000800080ull) != 0) break;  // a zero
    to[0] = p[0];
    to[1] = p[2];
    to[2] = p[4];
    to[3] = p[6];
    to += 4;
    p += 8;
  }
  for (; p < stop; p += 2) {
    if (p[1] == 0 && p[0] < 0x80) {
      if (p[0] == 0) {
        closed = true;
        break;
      }
      *to++ = p[0];
      continue;
    }
    // Beyond ASCII: the rest of the string through the code page.
    const uint8_t* q = p;
    while (q < stop && (q[0] | q[1]) != 0) q += 2;
    std::u16string text((q - p) / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(get16(p + 2 * i));
    std::string ansi = utf16_to_ansi(text);
    std::memcpy(to, ansi.data(), ansi.size());
    to += ansi.size();
    p = q;
    closed = p < stop;
    break;
  }
  *to++ = 0;
  pos = closed ? static_cast<size_t>(p - evt) + 2 : end;
  return to;
}

// The bytes `offset .. offset + length` lie inside `0 .. end` and after the fixed part.
bool inside(uint64_t offset, uint64_t length, uint64_t end) {
  return offset >= kEvtFixedPart && offset + length <= end;
}

// A file seen as its header and the ring of record space behind it, which may wrap.
class Ring {
 public:
  Ring(const uint8_t* file, size_t size) : file_(file), size_(size) {}

  size_t span() const { return size_ - kEvtHeaderSize; }
  bool holds(uint64_t offset) const { return offset >= kEvtHeaderSize && offset < size_; }

  // The position `distance` bytes after `pos`, around the end of the file.
  size_t advance(size_t pos, size_t distance) const {
    size_t from_start = (pos - kEvtHeaderSize + distance) % span();
    return kEvtHeaderSize + from_start;
  }
  uint8_t byte(size_t pos, size_t distance) const { return file_[advance(pos, distance)]; }
  uint32_t dword(size_t pos, size_t distance) const {
    uint8_t b[4];
    for (size_t i = 0; i < 4; ++i) b[i] = byte(pos, distance + i);
    return get32(b);
  }
  void copy(size_t pos, size_t length, uint8_t* to) const {
    size_t first = size_ - pos < length ? size_ - pos : length;
    std::memcpy(to, file_ + pos, first);
    if (first < length) std::memcpy(to + first, file_ + kEvtHeaderSize, length - first);
  }

 private:
  const uint8_t* file_;
  size_t size_;
};

bool is_eof_record(const Ring& ring, size_t pos) {
  if (ring.dword(pos, 0) != kEvtEofSize || ring.dword(pos, 36) != kEvtEofSize) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (ring.dword(pos, 4 + 4 * i) != kEofMagic[i]) return false;
  }
  return true;
}

// The end-of-file record: where the header says, else the first one found from there on.
bool find_eof(const Ring& ring, uint32_t header_eof, size_t* found) {
  size_t start = ring.holds(header_eof) ? header_eof : kEvtHeaderSize;
  for (size_t step = 0; step < ring.span(); ++step) {
    size_t pos = ring.advance(start, step);
    if (is_eof_record(ring, pos)) {
      *found = pos;
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<uint8_t> encode_record(const RecordView& record) {
  std::vector<uint8_t> out(kEvtFixedPart, 0);
  append_utf16(out, ansi_to_utf16(record.source));
  append_utf16(out, ansi_to_utf16(record.computer));
  pad4(out);
  uint32_t sid_offset = static_cast<uint32_t>(out.size());
  out.insert(out.end(), record.sid.begin(), record.sid.end());
  uint32_t string_offset = static_cast<uint32_t>(out.size());
  for (const std::u16string& s : record.strings) append_utf16(out, s);
  uint32_t data_offset = static_cast<uint32_t>(out.size());
  out.insert(out.end(), record.data.begin(), record.data.end());
  // Windows pads a record in the file with 1 to 4 zero bytes: a whole zero DWORD when the
  // data already ends on a multiple of 4.
  do {
    out.push_back(0);
  } while (out.size() % 4 != 0);
  uint32_t length = static_cast<uint32_t>(out.size() + 4);
  append32(out, length);

  uint8_t* p = out.data();
  put32(p + kLength, length);
  put32(p + kReserved, kEvtSignature);
  put32(p + kRecordNumber, record.number);
  put32(p + 12, record.time_generated);
  put32(p + 16, record.time_written);
  put32(p + 20, record.event_id);
  put16(p + 24, record.event_type);
  put16(p + kNumStrings, static_cast<uint16_t>(record.strings.size()));
  put16(p + 28, record.category);
  put32(p + kStringOffset, string_offset);
  put32(p + kSidLength, static_cast<uint32_t>(record.sid.size()));
  put32(p + kSidOffset, sid_offset);
  put32(p + kDataLength, static_cast<uint32_t>(record.data.size()));
  put32(p + kDataOffset, data_offset);
  return out;
}

void ansi_record(const uint8_t* evt, size_t length, std::vector<uint8_t>& out) {
  out.clear();
  if (length < kEvtMinRecord) return;
  // Nothing of the record's contents lies in its closing length.
  size_t end = length - 4;
  uint32_t sid_length = get32(evt + kSidLength);
  uint32_t sid_from = get32(evt + kSidOffset);
  if (!inside(sid_from, sid_length, end)) sid_length = 0;
  uint32_t data_length = get32(evt + kDataLength);
  uint32_t data_from = get32(evt + kDataOffset);
  if (!inside(data_from, data_length, end)) data_length = 0;
  size_t string_pos = get32(evt + kStringOffset);
  uint16_t declared = get16(evt + kNumStrings);
  // Room for the most it can take: the names and the strings each give at most a byte
  // for every two they read, and a terminator.
  out.resize(kEvtFixedPart + 2 * end + sid_length + data_length + 16);
  uint8_t* base = out.data();
  std::memcpy(base, evt, kEvtFixedPart);
  uint8_t* w = base + kEvtFixedPart;

  size_t pos = kEvtFixedPart;
  w = take_string(evt, pos, end, w);  // source name
  w = take_string(evt, pos, end, w);  // computer name
  // What follows the names starts on a multiple of 8, as Windows Vista and later lay it out.
  while ((w - base) % 8 != 0) *w++ = 0;

  uint32_t sid_offset = static_cast<uint32_t>(w - base);
  if (sid_length > 0) std::memcpy(w, evt + sid_from, sid_length);
  w += sid_length;

  uint32_t string_offset = static_cast<uint32_t>(w - base);
  if (inside(string_pos, 0, end)) {
    for (uint16_t i = 0; i < declared && string_pos < end; ++i)
      w = take_string(evt, string_pos, end, w);
  }

  uint32_t data_offset = static_cast<uint32_t>(w - base);
  if (data_length > 0) std::memcpy(w, evt + data_from, data_length);
  w += data_length;
  while ((w - base) % 4 != 0) *w++ = 0;
  uint32_t total = static_cast<uint32_t>(w - base) + 4;
  put32(w, total);
  out.resize(total);

  put32(base + kLength, total);
  put32(base + kReserved, kEvtSignature);
  put32(base + kStringOffset, string_offset);
  put32(base + kSidLength, sid_length);
  put32(base + kSidOffset, sid_offset);
  put32(base + kDataLength, data_length);
  put32(base + kDataOffset, data_offset);
}

std::vector<uint8_t> write_evt(const std::vector<const std::vector<uint8_t>*>& records,
                               uint32_t next_number, uint32_t oldest_number) {
  size_t total = kEvtHeaderSize + kEvtEofSize;
  for (const auto* r : records) total += r->size();
  std::vector<uint8_t> out;
  out.reserve(total);
  out.resize(kEvtHeaderSize);
  for (const auto* r : records) out.insert(out.end(), r->begin(), r->end());
  uint32_t eof_offset = static_cast<uint32_t>(out.size());

  append32(out, kEvtEofSize);
  for (uint32_t magic : kEofMagic) append32(out, magic);
  append32(out, kEvtHeaderSize);
  append32(out, eof_offset);
  append32(out, next_number);
  append32(out, oldest_number);
  append32(out, kEvtEofSize);

  uint8_t* h = out.data();
  put32(h + 0, kEvtHeaderSize);
  put32(h + 4, kEvtSignature);
  put32(h + 8, 1);   // major version
  put32(h + 12, 1);  // minor version
  put32(h + 16, kEvtHeaderSize);
  put32(h + 20, eof_offset);
  put32(h + 24, next_number);
  put32(h + 28, oldest_number);
  put32(h + 32, static_cast<uint32_t>(out.size()));  // maximum size: the file as written
  put32(h + 36, 0);                                  // flags: clean, not wrapped
  put32(h + 40, 0);                                  // retention
  put32(h + 44, kEvtHeaderSize);
  return out;
}

bool parse_evt(std::vector<uint8_t> bytes, EvtContents* out) {
  out->records.clear();
  out->bytes = std::move(bytes);
  out->file_size = out->bytes.size();
  const uint8_t* file = out->bytes.data();
  size_t size = out->file_size;
  if (size < kEvtHeaderSize + kEvtEofSize || size > UINT32_MAX) return false;
  if (get32(file) != kEvtHeaderSize || get32(file + 4) != kEvtSignature || get32(file + 8) != 1 ||
      get32(file + 44) != kEvtHeaderSize)
    return false;

  Ring ring(file, size);
  size_t eof = 0;
  if (!find_eof(ring, get32(file + 20), &eof)) return false;
  uint32_t oldest_offset = ring.dword(eof, 20);
  if (!ring.holds(oldest_offset)) return false;

  // From the oldest record to the end-of-file record, each record whole and in the space
  // that is left.
  size_t pos = oldest_offset;
  size_t walked = 0;
  size_t room = ring.span() - kEvtEofSize;
  while (pos != eof) {
    uint32_t length = ring.dword(pos, 0);
    if (length < kEvtMinRecord || length > room - walked) return false;
    if (ring.dword(pos, 4) != kEvtSignature || ring.dword(pos, length - 4) != length) return false;
    EvtContents::Slot slot;
    slot.offset = pos;
    slot.length = length;
    slot.number = ring.dword(pos, kRecordNumber);
    out->records.push_back(slot);
    walked += length;
    pos = ring.advance(pos, length);
  }
  // Records split by the end of the file, copied whole behind it. The file's bytes move
  // when they grow: the ring is not used after this.
  for (EvtContents::Slot& slot : out->records) {
    if (slot.offset + slot.length <= size) continue;
    size_t at = out->bytes.size();
    out->bytes.resize(at + slot.length);
    Ring(out->bytes.data(), size).copy(slot.offset, slot.length, out->bytes.data() + at);
    slot.offset = at;
  }
  return true;
}

}  // namespace qvsim::detail
