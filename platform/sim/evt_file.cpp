#include "evt_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "codepage.h"
#include "host_files.h"

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
    char16_t unit = get16(p);
    if (unit == 0) {
      closed = true;
      break;
    }
    if (p + 4 <= stop && is_surrogate_pair(unit, get16(p + 2))) p += 2;
    *to++ = static_cast<uint8_t>(ansi_char(unit));
  }
  *to++ = 0;
  pos = closed ? static_cast<size_t>(p - evt) + 2 : end;
  return to;
}

// The characters of the zero-terminated UTF-16LE string at `pos`, read no further than
// `end`; `pos` moves as take_string moves it.
size_t measure_string(const uint8_t* evt, size_t& pos, size_t end) {
  size_t stop = pos + (end - pos) / 2 * 2;
  for (size_t p = pos; p < stop; p += 2) {
    if ((evt[p] | evt[p + 1]) == 0) {
      size_t units = (p - pos) / 2;
      pos = p + 2;
      return units;
    }
  }
  size_t units = (stop - pos) / 2;
  pos = end;
  return units;
}

// The bytes `offset .. offset + length` lie inside `0 .. end` and after the fixed part.
bool inside(uint64_t offset, uint64_t length, uint64_t end) {
  return offset >= kEvtFixedPart && offset + length <= end;
}

// A file in memory seen as its header and the ring of record space behind it.
class Ring {
 public:
  Ring(const uint8_t* file, size_t size) : file_(file), size_(size) {}

  // The record at `pos`, `length` bytes around the end of the file, copied to `to`.
  void copy(size_t pos, size_t length, uint8_t* to) const {
    size_t first = size_ - pos < length ? size_ - pos : length;
    std::memcpy(to, file_ + pos, first);
    if (first < length) std::memcpy(to + first, file_ + kEvtHeaderSize, length - first);
  }

 private:
  const uint8_t* file_;
  size_t size_;
};

bool is_eof_record(const uint8_t* p) {
  if (get32(p) != kEvtEofSize || get32(p + 36) != kEvtEofSize) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (get32(p + 4 + 4 * i) != kEofMagic[i]) return false;
  }
  return true;
}

// The file seen through a window of at most kWindow bytes at a time, read as it moves,
// with the ring of record space behind the header: what a search of the file needs,
// without holding the file.
class FileRing {
 public:
  static constexpr size_t kWindow = size_t{1} << 20;

  FileRing(int fd, uint64_t size)
      : fd_(fd), size_(size), window_(size < kWindow ? size : kWindow) {}

  uint64_t span() const { return size_ - kEvtHeaderSize; }
  bool holds(uint64_t offset) const { return offset >= kEvtHeaderSize && offset < size_; }
  uint64_t advance(uint64_t pos, uint64_t distance) const {
    return kEvtHeaderSize + (pos - kEvtHeaderSize + distance) % span();
  }

  // The file's bytes `pos .. pos + length` (length at most kWindow), or null when they
  // are not all in the file or cannot be read.
  const uint8_t* at(uint64_t pos, size_t length) {
    if (held_ != nullptr) return pos + length <= size_ ? held_ + pos : nullptr;
    if (pos >= start_ && pos + length <= end_) return window_.data() + (pos - start_);
    if (pos + length > size_) return nullptr;
    size_t take = size_ - pos < window_.size() ? static_cast<size_t>(size_ - pos) : window_.size();
    start_ = end_ = 0;
    if (!read_exactly(fd_, pos, window_.data(), take)) return nullptr;
    start_ = pos;
    end_ = pos + take;
    return window_.data();
  }
  // From now on the bytes come from the whole file, held in memory at `bytes`.
  void hold(const uint8_t* bytes) { held_ = bytes; }
  // The first place at or after `pos` that may hold other bytes than zeros: the next data
  // where the file system keeps the file's holes, else `pos` itself.
  uint64_t data_from(uint64_t pos) const {
    off_t data = ::lseek(fd_, static_cast<off_t>(pos), SEEK_DATA);
    if (data >= 0) return static_cast<uint64_t>(data);
    return errno == ENXIO ? size_ : pos;
  }
  // How many bytes from `pos` on the window holds.
  size_t ahead(uint64_t pos) const {
    return pos >= start_ && pos < end_ ? static_cast<size_t>(end_ - pos) : 0;
  }

  // The `length` bytes (at most 40) of the ring from `pos`, around the end of the file;
  // `scratch` holds them when they are split there.
  const uint8_t* ring_at(uint64_t pos, size_t length, uint8_t* scratch) {
    if (pos + length <= size_) return at(pos, length);
    size_t first = static_cast<size_t>(size_ - pos);
    for (size_t done = 0; done < length;) {
      uint64_t from = done < first ? pos + done : advance(pos, done);
      size_t piece = done < first ? first - done : length - done;
      if (from + piece > size_) piece = static_cast<size_t>(size_ - from);
      const uint8_t* p = at(from, piece);
      if (p == nullptr) return nullptr;
      std::memcpy(scratch + done, p, piece);
      done += piece;
    }
    return scratch;
  }

 private:
  int fd_;
  uint64_t size_;
  const uint8_t* held_ = nullptr;
  std::vector<uint8_t> window_;
  uint64_t start_ = 0;
  uint64_t end_ = 0;
};

// Whether any of the `count` dwords at `p` is the size of an end-of-file record or the
// signature of a record: a test without branches, for a block of places at once.
constexpr size_t kBlock = 256;
bool any_mark(const uint8_t* p, size_t count) {
  uint32_t found = 0;
  for (size_t i = 0; i < count; ++i) {
    uint32_t v = get32(p + 4 * i);
    found |= static_cast<uint32_t>(v == kEvtEofSize) | static_cast<uint32_t>(v == kEvtSignature);
  }
  return found != 0;
}

// The end-of-file record: where the header says, else the first one found from there on
// around the ring. Records lie 4 bytes apart at least: the search looks at every fourth
// byte only, and steps over a whole record where one starts (its signature, and its
// length repeated at its end).
bool find_eof(FileRing& ring, uint32_t header_eof, uint64_t* found) {
  uint64_t pos = ring.holds(header_eof) ? header_eof : kEvtHeaderSize;
  uint8_t scratch[kEvtEofSize];
  for (uint64_t walked = 0; walked < ring.span();) {
    // Neither an end-of-file record nor a record starts with zeros: a hole in the file,
    // where the window would move on, is passed over up to the place before its end.
    if (ring.ahead(pos) < 8) {
      uint64_t data = ring.data_from(pos);
      if (data >= pos + 8) {
        uint64_t skip = (data - pos) / 4 * 4 - 4;
        if (skip > ring.span() - walked) skip = ring.span() - walked;
        pos = ring.advance(pos, skip);
        walked += skip;
        continue;
      }
    }
    const uint8_t* p = ring.ring_at(pos, 8, scratch);
    if (p == nullptr) return false;
    uint32_t first = get32(p);
    uint32_t second = get32(p + 4);
    uint64_t step = 4;
    if (first == kEvtEofSize && second == kEofMagic[0]) {
      const uint8_t* eof = ring.ring_at(pos, kEvtEofSize, scratch);
      if (eof == nullptr) return false;
      if (is_eof_record(eof)) {
        *found = pos;
        return true;
      }
    } else if (second == kEvtSignature && first >= kEvtMinRecord && first % 4 == 0 &&
               first <= ring.span() - walked) {
      const uint8_t* closing = ring.ring_at(ring.advance(pos, first - 4), 4, scratch);
      if (closing == nullptr) return false;
      if (get32(closing) == first) step = first;
    } else {
      // Past every place in the window that starts neither.
      uint64_t left = ring.span() - walked;
      size_t ahead = ring.ahead(pos);
      if (ahead > left) ahead = static_cast<size_t>(left);
      if (ahead >= 12) {
        const uint8_t* q = ring.at(pos, ahead);
        size_t k = 4;
        while (k + kBlock + 4 <= ahead && !any_mark(q + k, kBlock / 4 + 1)) k += kBlock;
        while (k + 8 <= ahead && get32(q + k) != kEvtEofSize && get32(q + k + 4) != kEvtSignature)
          k += 4;
        step = k;
      }
    }
    pos = ring.advance(pos, step);
    walked += step;
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
  // The strings end where a part behind them begins: the SID, or the data, whose offset
  // marks the end of the strings even when the record holds no data.
  size_t strings_end = end;
  auto part_behind = [&](uint64_t from, uint64_t part_length) {
    if (string_pos >= from && string_pos < from + part_length) {
      strings_end = string_pos;
    } else if (from >= string_pos && from < strings_end) {
      strings_end = static_cast<size_t>(from);
    }
  };
  if (sid_length > 0) part_behind(sid_from, sid_length);
  if (inside(data_from, 0, end)) part_behind(data_from, data_length);
  if (!inside(string_pos, 0, end)) string_pos = strings_end;
  // Room for the most it can take: each name a byte for each of its characters and a
  // terminator; the strings at most a byte for every two of theirs, and a terminator each.
  size_t pos = kEvtFixedPart;
  size_t names = measure_string(evt, pos, end) + 1;
  names += measure_string(evt, pos, end) + 1;
  size_t strings = (string_pos < strings_end ? (strings_end - string_pos) / 2 : 0) + declared;
  try {
    // Padding: up to 7 bytes after the names, 3 after the data.
    out.resize(kEvtFixedPart + names + 7 + sid_length + strings + data_length + 3 + 4);
  } catch (const std::bad_alloc&) {
    out = {};
    return;
  }
  uint8_t* base = out.data();
  std::memcpy(base, evt, kEvtFixedPart);
  uint8_t* w = base + kEvtFixedPart;

  pos = kEvtFixedPart;
  w = take_string(evt, pos, end, w);  // source name
  w = take_string(evt, pos, end, w);  // computer name
  // What follows the names starts on a multiple of 8, as Windows Vista and later lay it out.
  while ((w - base) % 8 != 0) *w++ = 0;

  uint32_t sid_offset = static_cast<uint32_t>(w - base);
  if (sid_length > 0) std::memcpy(w, evt + sid_from, sid_length);
  w += sid_length;

  uint32_t string_offset = static_cast<uint32_t>(w - base);
  for (uint16_t i = 0; i < declared; ++i) {
    if (string_pos < strings_end) {
      w = take_string(evt, string_pos, strings_end, w);
    } else {
      *w++ = 0;
    }
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

DWORD read_evt(int fd, uint64_t size, EvtContents* out) {
  out->records.clear();
  out->bytes.clear();
  out->file_size = 0;
  if (size < kEvtHeaderSize + kEvtEofSize || size > kEvtMaxFile) return ERROR_EVENTLOG_FILE_CORRUPT;
  try {
    FileRing ring(fd, size);
    const uint8_t* header = ring.at(0, kEvtHeaderSize);
    if (header == nullptr || get32(header) != kEvtHeaderSize ||
        get32(header + 4) != kEvtSignature || get32(header + 8) != 1 ||
        get32(header + 44) != kEvtHeaderSize)
      return ERROR_EVENTLOG_FILE_CORRUPT;
    uint32_t header_eof = get32(header + 20);
    uint64_t eof = 0;
    if (!find_eof(ring, header_eof, &eof)) return ERROR_EVENTLOG_FILE_CORRUPT;
    uint8_t scratch[kEvtEofSize];
    const uint8_t* eof_record = ring.ring_at(eof, kEvtEofSize, scratch);
    if (eof_record == nullptr) return ERROR_EVENTLOG_FILE_CORRUPT;
    uint32_t oldest_offset = get32(eof_record + 20);
    if (!ring.holds(oldest_offset)) return ERROR_EVENTLOG_FILE_CORRUPT;

    // An event log after all: the file whole, read once, and its records walked there.
    out->bytes.resize(static_cast<size_t>(size));
    if (!read_exactly(fd, 0, out->bytes.data(), static_cast<size_t>(size))) {
      out->bytes.clear();
      return ERROR_EVENTLOG_FILE_CORRUPT;
    }
    ring.hold(out->bytes.data());

    // From the oldest record to the end-of-file record, each record whole and in the
    // space that is left.
    uint64_t pos = oldest_offset;
    uint64_t walked = 0;
    uint64_t room = ring.span() - kEvtEofSize;
    uint32_t split = 0;  // the length of the record that the end of the file splits, if any
    while (pos != eof) {
      const uint8_t* p = ring.ring_at(pos, 12, scratch);
      if (p == nullptr) return ERROR_EVENTLOG_FILE_CORRUPT;
      uint32_t length = get32(p);
      if (length < kEvtMinRecord || length > room - walked || get32(p + 4) != kEvtSignature)
        return ERROR_EVENTLOG_FILE_CORRUPT;
      EvtContents::Slot slot;
      slot.offset = static_cast<size_t>(pos);
      slot.length = length;
      slot.number = get32(p + kRecordNumber);
      const uint8_t* closing = ring.ring_at(ring.advance(pos, length - 4), 4, scratch);
      if (closing == nullptr || get32(closing) != length) return ERROR_EVENTLOG_FILE_CORRUPT;
      if (pos + length > size) split = length;
      out->records.push_back(slot);
      walked += length;
      pos = ring.advance(pos, length);
    }

    // The record split by the file's end copied whole behind it.
    out->bytes.resize(static_cast<size_t>(size) + split);
    out->file_size = static_cast<size_t>(size);
    for (EvtContents::Slot& slot : out->records) {
      if (slot.offset + slot.length <= size) continue;
      Ring(out->bytes.data(), static_cast<size_t>(size))
          .copy(slot.offset, slot.length, out->bytes.data() + size);
      slot.offset = static_cast<size_t>(size);
    }
    return ERROR_SUCCESS;
  } catch (const std::bad_alloc&) {
    out->records = {};
    out->bytes = {};
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

}  // namespace qvsim::detail
