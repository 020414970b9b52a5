// The generated message-table resource data, read back as the Event Viewer reads it.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr size_t kTableBytes = 12016;

std::vector<uint8_t> read_table() {
  std::ifstream in(QV_MESSAGE_TABLE_FILE, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t u32(const std::vector<uint8_t>& d, size_t at) {
  return static_cast<uint32_t>(d.at(at)) | static_cast<uint32_t>(d.at(at + 1)) << 8 |
         static_cast<uint32_t>(d.at(at + 2)) << 16 | static_cast<uint32_t>(d.at(at + 3)) << 24;
}

uint16_t u16(const std::vector<uint8_t>& d, size_t at) {
  return static_cast<uint16_t>(d.at(at) | d.at(at + 1) << 8);
}

// Finds a message as a reader of the resource does: the block whose range holds the id,
// then the entries from the block's first one, each as long as its length field says.
std::optional<std::string> find_message(const std::vector<uint8_t>& d, uint32_t id) {
  uint32_t blocks = u32(d, 0);
  for (uint32_t b = 0; b < blocks; ++b) {
    size_t block = 4 + 12 * static_cast<size_t>(b);
    uint32_t low = u32(d, block), high = u32(d, block + 4);
    if (id < low || id > high) continue;
    size_t at = u32(d, block + 8);
    for (uint32_t n = low; n < id; ++n) at += u16(d, at);
    uint16_t length = u16(d, at);
    std::string text(d.begin() + static_cast<std::ptrdiff_t>(at + 4),
                     d.begin() + static_cast<std::ptrdiff_t>(at + length));
    return text.substr(0, text.find('\0'));
  }
  return std::nullopt;
}

TEST(MessageTable, IsOneBlockOfIdentifiersOneToThousand) {
  std::vector<uint8_t> d = read_table();
  ASSERT_EQ(d.size(), kTableBytes);
  EXPECT_EQ(u32(d, 0), 1u);     // blocks
  EXPECT_EQ(u32(d, 4), 1u);     // lowest id
  EXPECT_EQ(u32(d, 8), 1000u);  // highest id
  EXPECT_EQ(u32(d, 12), 16u);   // first entry
}

TEST(MessageTable, EveryEntryIsTheFirstInsertAndALineBreak) {
  std::vector<uint8_t> d = read_table();
  ASSERT_EQ(d.size(), kTableBytes);
  const uint8_t text[8] = {'%', '1', '\r', '\n', 0, 0, 0, 0};
  for (size_t n = 1; n <= 1000; ++n) {
    size_t at = 16 + 12 * (n - 1);
    SCOPED_TRACE("entry " + std::to_string(n));
    EXPECT_EQ(u16(d, at), 12u);     // length
    EXPECT_EQ(u16(d, at + 2), 0u);  // flags: 8-bit text
    for (size_t i = 0; i < sizeof text; ++i) EXPECT_EQ(d[at + 4 + i], text[i]);
  }
}

TEST(MessageTable, ReaderFindsIdentifiersInTheTableOnly) {
  std::vector<uint8_t> d = read_table();
  ASSERT_EQ(d.size(), kTableBytes);
  struct Case {
    uint32_t id;
    bool found;
  };
  for (Case c : {Case{1, true}, Case{500, true}, Case{1000, true}, Case{0, false},
                 Case{1001, false}, Case{65535, false}}) {
    SCOPED_TRACE(c.id);
    std::optional<std::string> text = find_message(d, c.id);
    EXPECT_EQ(text.has_value(), c.found);
    if (text) {
      EXPECT_EQ(*text, "%1\r\n");
    }
  }
}

}  // namespace
