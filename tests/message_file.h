// Message files for tests: a message-table resource in a minimal PE file, as a message
// compiler and a linker would make them.
#ifndef QUORVEL_TESTS_MESSAGE_FILE_H
#define QUORVEL_TESTS_MESSAGE_FILE_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qvtest {

struct Message {
  uint32_t id;
  std::string text;  // 8-bit text, or ASCII text stored as UTF-16 when unicode
  bool unicode = false;
};

inline void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

// The message-table resource's bytes: one block for each message, in the order given.
inline std::vector<uint8_t> message_table(const std::vector<Message>& messages) {
  std::vector<uint8_t> t(4 + 12 * messages.size());
  put32(t, 0, static_cast<uint32_t>(messages.size()));
  for (size_t i = 0; i < messages.size(); ++i) {
    const Message& m = messages[i];
    std::vector<uint8_t> text;
    for (char c : m.text) {
      text.push_back(static_cast<uint8_t>(c));
      if (m.unicode) text.push_back(0);
    }
    text.resize(text.size() + (m.unicode ? 2 : 1));
    while ((text.size() + 4) % 4 != 0) text.push_back(0);
    size_t at = t.size();
    put32(t, 4 + 12 * i, m.id);
    put32(t, 8 + 12 * i, m.id);
    put32(t, 12 + 12 * i, static_cast<uint32_t>(at));
    t.resize(at + 4 + text.size());
    put16(t, at, static_cast<uint16_t>(4 + text.size()));
    put16(t, at + 2, m.unicode ? 1 : 0);
    std::memcpy(&t[at + 4], text.data(), text.size());
  }
  return t;
}

// A 32-bit PE file whose only section holds a resource tree with the table as its message
// table (type 11, name 1) in that language.
inline std::vector<uint8_t> pe_with_message_table(const std::vector<uint8_t>& table,
                                                  uint16_t language = 0x0409) {
  constexpr uint32_t kSectionRva = 0x1000, kRaw = 0x200, kTableAt = 0x58;
  uint32_t section_size = kTableAt + static_cast<uint32_t>(table.size());
  uint32_t raw_size = (section_size + 0x1FF) & ~0x1FFu;
  std::vector<uint8_t> f(kRaw + raw_size);
  f[0] = 'M';
  f[1] = 'Z';
  put32(f, 0x3C, 0x40);
  std::memcpy(&f[0x40], "PE\0\0", 4);
  put16(f, 0x44, 0x14C);  // i386
  put16(f, 0x46, 1);      // one section
  put16(f, 0x54, 0xE0);   // optional header size
  put16(f, 0x56, 0x2102);
  const size_t opt = 0x58;
  put16(f, opt, 0x10B);
  put32(f, opt + 92, 16);
  put32(f, opt + 96 + 16, kSectionRva);
  put32(f, opt + 96 + 20, section_size);
  const size_t sec = opt + 0xE0;
  std::memcpy(&f[sec], ".rsrc", 5);
  put32(f, sec + 8, section_size);
  put32(f, sec + 12, kSectionRva);
  put32(f, sec + 16, raw_size);
  put32(f, sec + 20, kRaw);
  // Root, type and name directories with one entry each, then the language's data entry.
  put16(f, kRaw + 14, 1);
  put32(f, kRaw + 16, 11);
  put32(f, kRaw + 20, 0x80000000u | 0x18);
  put16(f, kRaw + 0x18 + 14, 1);
  put32(f, kRaw + 0x18 + 16, 1);
  put32(f, kRaw + 0x18 + 20, 0x80000000u | 0x30);
  put16(f, kRaw + 0x30 + 14, 1);
  put32(f, kRaw + 0x30 + 16, language);
  put32(f, kRaw + 0x30 + 20, 0x48);
  put32(f, kRaw + 0x48, kSectionRva + kTableAt);
  put32(f, kRaw + 0x48 + 4, static_cast<uint32_t>(table.size()));
  std::memcpy(&f[kRaw + kTableAt], table.data(), table.size());
  return f;
}

}  // namespace qvtest

#endif
