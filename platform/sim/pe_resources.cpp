// The PE file's resource tree, walked from its data directory down to the message table.
#include "pe_resources.h"

namespace qvsim::detail {
namespace {

constexpr uint16_t kMessageTableType = 11;
constexpr uint16_t kUsEnglish = 0x0409;
constexpr uint32_t kResourceDirectory = 2;  // index in the optional header's directories
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kDirectoryEntrySize = 8;

// A bounded view of the file's bytes: every read is checked, a read outside gives false.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool has(size_t at, size_t length) const { return at <= size_ && length <= size_ - at; }
  bool u16(size_t at, uint16_t* v) const {
    if (!has(at, 2)) return false;
    *v = static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
    return true;
  }
  bool u32(size_t at, uint32_t* v) const {
    if (!has(at, 4)) return false;
    *v = data_[at] | data_[at + 1] << 8 | data_[at + 2] << 16 |
         static_cast<uint32_t>(data_[at + 3]) << 24;
    return true;
  }
  const uint8_t* at(size_t offset) const { return data_ + offset; }
  size_t size() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

struct Section {
  uint32_t address = 0;  // relative virtual address
  uint32_t span = 0;     // bytes of the file it maps
  uint32_t raw = 0;      // file offset of its bytes
};

// The file offset of `length` bytes at the relative virtual address, when one section holds
// them all within its bytes in the file.
bool file_offset(const Bytes& file, const std::vector<Section>& sections, uint32_t rva,
                 uint32_t length, size_t* offset) {
  for (const Section& s : sections) {
    if (rva < s.address || rva - s.address >= s.span) continue;
    uint32_t into = rva - s.address;
    if (length > s.span - into) return false;
    size_t at = static_cast<size_t>(s.raw) + into;
    if (!file.has(at, length)) return false;
    *offset = at;
    return true;
  }
  return false;
}

// The resource section: its file offset and how many of its bytes the file holds.
bool resource_section(const Bytes& file, size_t* root, size_t* root_size, uint32_t* root_rva,
                      std::vector<Section>* sections) {
  uint32_t pe = 0;
  uint32_t signature = 0;
  uint16_t dos = 0;
  if (!file.u16(0, &dos) || dos != 0x5A4D || !file.u32(0x3C, &pe)) return false;
  if (!file.u32(pe, &signature) || signature != 0x00004550) return false;
  size_t coff = static_cast<size_t>(pe) + 4;
  uint16_t section_count = 0;
  uint16_t optional_size = 0;
  uint16_t magic = 0;
  if (!file.u16(coff + 2, &section_count) || !file.u16(coff + 16, &optional_size)) return false;
  size_t optional = coff + 20;
  if (!file.u16(optional, &magic)) return false;
  size_t directories = 0;
  size_t count_at = 0;
  if (magic == 0x10B) {
    count_at = optional + 92;
    directories = optional + 96;
  } else if (magic == 0x20B) {
    count_at = optional + 108;
    directories = optional + 112;
  } else {
    return false;
  }
  uint32_t directory_count = 0;
  if (!file.u32(count_at, &directory_count) || directory_count <= kResourceDirectory) return false;
  size_t entry = directories + 8 * kResourceDirectory;
  if (entry + 8 > optional + optional_size) return false;
  uint32_t rva = 0;
  uint32_t size = 0;
  if (!file.u32(entry, &rva) || !file.u32(entry + 4, &size) || rva == 0) return false;

  size_t table = optional + optional_size;
  for (uint16_t i = 0; i < section_count; ++i) {
    size_t header = table + kSectionHeaderSize * i;
    uint32_t virtual_size = 0;
    Section s;
    uint32_t raw_size = 0;
    if (!file.u32(header + 8, &virtual_size) || !file.u32(header + 12, &s.address) ||
        !file.u32(header + 16, &raw_size) || !file.u32(header + 20, &s.raw))
      return false;
    // Only the bytes the file holds: what lies past them in memory is zeros, of no use here.
    s.span = virtual_size != 0 && virtual_size < raw_size ? virtual_size : raw_size;
    sections->push_back(s);
  }
  // The tree may be larger than the directory says; its offsets are checked one by one
  // against the section that holds its root.
  for (const Section& s : *sections) {
    if (rva < s.address || rva - s.address >= s.span) continue;
    size_t at = static_cast<size_t>(s.raw) + (rva - s.address);
    if (!file.has(at, 0)) return false;
    *root = at;
    size_t available = s.span - (rva - s.address);
    *root_size = file.size() - at < available ? file.size() - at : available;
    *root_rva = rva;
    return true;
  }
  return false;
}

// One level of the tree: a directory's entries.
class Directory {
 public:
  Directory(const Bytes& tree, size_t offset) : tree_(tree), offset_(offset) {
    uint16_t named = 0;
    uint16_t ids = 0;
    if (tree.u16(offset + 12, &named) && tree.u16(offset + 14, &ids)) count_ = named + ids;
  }
  size_t count() const { return count_; }
  // Entry i: its name (an identifier, or none for a string name) and where it leads.
  bool entry(size_t i, bool* by_id, uint16_t* id, bool* subdirectory, size_t* target) const {
    size_t at = offset_ + kDirectoryHeaderSize + kDirectoryEntrySize * i;
    uint32_t name = 0;
    uint32_t data = 0;
    if (!tree_.u32(at, &name) || !tree_.u32(at + 4, &data)) return false;
    *by_id = (name & 0x80000000u) == 0;
    *id = static_cast<uint16_t>(name);
    *subdirectory = (data & 0x80000000u) != 0;
    *target = data & 0x7FFFFFFFu;
    return tree_.has(*target, *subdirectory ? kDirectoryHeaderSize : 16);
  }

 private:
  const Bytes& tree_;
  size_t offset_;
  size_t count_ = 0;
};

// The subdirectory (or data entry) under the entry with that identifier.
bool find_id(const Bytes& tree, size_t directory, uint16_t wanted, bool want_subdirectory,
             size_t* target) {
  Directory d(tree, directory);
  for (size_t i = 0; i < d.count(); ++i) {
    bool by_id = false;
    bool subdirectory = false;
    uint16_t id = 0;
    size_t next = 0;
    if (!d.entry(i, &by_id, &id, &subdirectory, &next)) return false;
    if (by_id && id == wanted && subdirectory == want_subdirectory) {
      *target = next;
      return true;
    }
  }
  return false;
}

}  // namespace

PeLookup find_message_table(const uint8_t* data, size_t size, uint16_t language,
                            const uint8_t** table, size_t* table_size) {
  Bytes file(data, size);
  size_t root = 0;
  size_t root_size = 0;
  uint32_t root_rva = 0;
  std::vector<Section> sections;
  if (!resource_section(file, &root, &root_size, &root_rva, &sections)) return PeLookup::kNotPe;
  Bytes tree(data + root, root_size);

  size_t names = 0;
  if (!find_id(tree, 0, kMessageTableType, true, &names)) return PeLookup::kNoMessageTable;
  // The first name under the type, as a module has one message table.
  Directory name_directory(tree, names);
  bool by_id = false;
  bool subdirectory = false;
  uint16_t id = 0;
  size_t languages = 0;
  if (name_directory.count() == 0 ||
      !name_directory.entry(0, &by_id, &id, &subdirectory, &languages) || !subdirectory)
    return PeLookup::kNoMessageTable;

  size_t leaf = 0;
  bool found = false;
  if (language != 0) {
    found = find_id(tree, languages, language, false, &leaf);
  } else {
    for (uint16_t candidate : {uint16_t{0}, kUsEnglish, uint16_t{0x0400}, uint16_t{0x0800}}) {
      if ((found = find_id(tree, languages, candidate, false, &leaf))) break;
    }
    Directory language_directory(tree, languages);
    if (!found && language_directory.count() > 0)
      found = language_directory.entry(0, &by_id, &id, &subdirectory, &leaf) && !subdirectory;
  }
  if (!found) return PeLookup::kNoLanguage;

  uint32_t rva = 0;
  uint32_t length = 0;
  size_t offset = 0;
  if (!tree.u32(leaf, &rva) || !tree.u32(leaf + 4, &length) ||
      !file_offset(file, sections, rva, length, &offset))
    return PeLookup::kNoMessageTable;
  *table = data + offset;
  *table_size = length;
  return PeLookup::kFound;
}

PeLookup find_message(const uint8_t* data, size_t size, uint32_t id, PeMessage* message) {
  Bytes table(data, size);
  uint32_t blocks = 0;
  if (!table.u32(0, &blocks)) return PeLookup::kMessageNotFound;
  for (uint32_t b = 0; b < blocks; ++b) {
    size_t block = 4 + static_cast<size_t>(b) * 12;
    uint32_t low = 0;
    uint32_t high = 0;
    uint32_t entries = 0;
    if (!table.u32(block, &low) || !table.u32(block + 4, &high) || !table.u32(block + 8, &entries))
      return PeLookup::kMessageNotFound;
    if (id < low || id > high) continue;
    // Entries have their own lengths: walk from the block's first to the one asked for.
    size_t at = entries;
    for (uint32_t n = low; n < id; ++n) {
      uint16_t length = 0;
      if (!table.u16(at, &length) || length < 4) return PeLookup::kMessageNotFound;
      at += length;
    }
    uint16_t length = 0;
    uint16_t flags = 0;
    if (!table.u16(at, &length) || !table.u16(at + 2, &flags) || length < 4 ||
        !table.has(at, length))
      return PeLookup::kMessageNotFound;
    message->unicode = (flags & 1) != 0;
    const uint8_t* text = table.at(at + 4);
    size_t text_bytes = length - 4u;
    size_t end = 0;
    if (message->unicode) {
      while (end + 1 < text_bytes && (text[end] != 0 || text[end + 1] != 0)) end += 2;
    } else {
      while (end < text_bytes && text[end] != 0) ++end;
    }
    message->text.assign(text, text + end);
    return PeLookup::kFound;
  }
  return PeLookup::kMessageNotFound;
}

std::vector<std::pair<uint32_t, uint32_t>> message_blocks(const uint8_t* data, size_t size) {
  Bytes table(data, size);
  std::vector<std::pair<uint32_t, uint32_t>> blocks;
  uint32_t count = 0;
  if (!table.u32(0, &count)) return blocks;
  for (uint32_t b = 0; b < count; ++b) {
    uint32_t low = 0;
    uint32_t high = 0;
    if (!table.u32(4 + static_cast<size_t>(b) * 12, &low) ||
        !table.u32(8 + static_cast<size_t>(b) * 12, &high))
      break;
    blocks.emplace_back(low, high);
  }
  return blocks;
}

std::string escapes_applied(const std::string& raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\r' || c == '\n') {
      // Every line end, CR, LF or CR LF, becomes CR LF.
      out += "\r\n";
      if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      continue;
    }
    if (c != '%' || i + 1 == raw.size()) {
      out += c;
      continue;
    }
    char next = raw[++i];
    if (next == '0') break;
    if (next == 'n') {
      out += "\r\n";
    } else if (next == 'r') {
      out += '\r';
    } else if (next == 't') {
      out += '\t';
    } else {
      // Inserts and the other escapes pass through as written, the pair taken together.
      out += c;
      out += next;
    }
  }
  return out;
}

}  // namespace qvsim::detail
