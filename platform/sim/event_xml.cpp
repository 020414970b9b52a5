#include "event_xml.h"

#include "codepage.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace qvsim::detail {
namespace {

constexpr const char* kEventNamespace = "http://schemas.microsoft.com/win/2004/08/events/event";
constexpr uint64_t kUnixEpochAsFiletime = 116444736000000000ull;

// Windows keywords: the classic event's, and those of audit success and failure.
constexpr const char* kClassicKeywords = "0x80000000000000";
constexpr const char* kAuditSuccessKeywords = "0x8020000000000000";
constexpr const char* kAuditFailureKeywords = "0x8010000000000000";

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// 0x0000000000000c40 as Windows writes a 32- or 64-bit hexadecimal number: 0xc40.
void unpad_hex(pugi::xml_node text) {
  const char* value = text.value();
  const size_t length = std::strlen(value);
  if ((length != 10 && length != 18) || value[0] != '0' || value[1] != 'x' || value[2] != '0')
    return;
  for (size_t i = 2; i < length; ++i) {
    if (!is_hex_digit(value[i])) return;
  }
  size_t first = 2;
  while (first + 1 < length && value[first] == '0') ++first;
  text.set_value(("0x" + std::string(value + first)).c_str());
}

void unpad_all(pugi::xml_node node) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata)
      unpad_hex(child);
    else if (child.type() == pugi::node_element)
      unpad_all(child);
  }
}

std::string system_time_text(uint32_t seconds) {
  const time_t t = seconds;
  tm parts{};
  gmtime_r(&t, &parts);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000000000Z", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

void add_text(pugi::xml_node parent, const char* name, const std::string& text) {
  parent.append_child(name).text().set(text.c_str());
}

struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
};

}  // namespace

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    uint32_t code = 0xFFFD;
    size_t length = 1;
    if (c < 0x80) {
      code = c;
    } else if (c >= 0xC2 && c < 0xF5) {
      length = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      if (i + length <= text.size()) {
        code = c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
          const auto next = static_cast<unsigned char>(text[i + k]);
          if ((next & 0xC0) != 0x80) {
            code = 0xFFFD;
            length = k;
            break;
          }
          code = code << 6 | (next & 0x3F);
        }
      } else {
        length = 1;
      }
    }
    if (code >= 0x10000 && code != 0xFFFD) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | code >> 10));
      out.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | code >> 6));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | code >> 12));
      out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | code >> 18));
      out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

std::string utf8_of(LPCWSTR text) {
  return text == nullptr ? std::string() : utf16_to_utf8(std::u16string_view(text));
}

std::string sid_text(const uint8_t* sid, size_t size) {
  if (size < 8 || sid[0] != 1 || size != 8 + 4 * size_t{sid[1]}) return "";
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
  std::string text = "S-1-" + std::to_string(authority);
  for (size_t i = 8; i < size; i += 4) {
    const uint32_t sub = sid[i] | sid[i + 1] << 8 | sid[i + 2] << 16 | uint32_t{sid[i + 3]} << 24;
    text += "-" + std::to_string(sub);
  }
  return text;
}

bool sid_bytes(std::string_view text, std::vector<uint8_t>* sid) {
  if (text.substr(0, 4) != "S-1-") return false;
  std::vector<uint64_t> parts;
  uint64_t value = 0;
  bool digits = false;
  for (size_t i = 4; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '-') {
      if (!digits) return false;
      parts.push_back(value);
      value = 0;
      digits = false;
    } else if (text[i] >= '0' && text[i] <= '9' && value < (uint64_t{1} << 48)) {
      value = value * 10 + static_cast<uint64_t>(text[i] - '0');
      digits = true;
    } else {
      return false;
    }
  }
  if (parts.empty() || parts.size() > 16 || parts[0] >= (uint64_t{1} << 48)) return false;
  sid->assign(8, 0);
  (*sid)[0] = 1;
  (*sid)[1] = static_cast<uint8_t>(parts.size() - 1);
  for (int i = 0; i < 6; ++i) (*sid)[2 + i] = static_cast<uint8_t>(parts[0] >> (8 * (5 - i)));
  for (size_t p = 1; p < parts.size(); ++p) {
    if (parts[p] > 0xFFFFFFFFu) return false;
    for (int i = 0; i < 4; ++i) sid->push_back(static_cast<uint8_t>(parts[p] >> (8 * i)));
  }
  return true;
}

bool parse_event(const char* xml, size_t size, pugi::xml_document* doc) {
  const pugi::xml_parse_result parsed = doc->load_buffer(
      xml, size, pugi::parse_default & ~(pugi::parse_wconv_attribute | pugi::parse_eol),
      pugi::encoding_utf8);
  if (!parsed || std::strcmp(doc->document_element().name(), "Event") != 0) return false;
  unpad_all(doc->document_element());
  return true;
}

void classic_event(const RecordView& record, const std::string& channel, pugi::xml_document* doc) {
  doc->reset();
  pugi::xml_node event = doc->append_child("Event");
  event.append_attribute("xmlns") = kEventNamespace;
  pugi::xml_node system = event.append_child("System");
  auto utf8 = [](const std::string& ansi) { return utf16_to_utf8(ansi_to_utf16(ansi)); };
  system.append_child("Provider").append_attribute("Name") = utf8(record.source).c_str();
  pugi::xml_node id = system.append_child("EventID");
  id.append_attribute("Qualifiers") = record.event_id >> 16;
  id.text().set(record.event_id & 0xFFFF);
  const bool success = record.event_type == EVENTLOG_AUDIT_SUCCESS;
  const bool failure = record.event_type == EVENTLOG_AUDIT_FAILURE;
  int level = 4;
  if (record.event_type == EVENTLOG_ERROR_TYPE) level = 2;
  if (record.event_type == EVENTLOG_WARNING_TYPE) level = 3;
  if (success || failure) level = 0;
  add_text(system, "Level", std::to_string(level));
  add_text(system, "Task", std::to_string(record.category));
  add_text(system, "Keywords",
           success   ? kAuditSuccessKeywords
           : failure ? kAuditFailureKeywords
                     : kClassicKeywords);
  system.append_child("TimeCreated").append_attribute("SystemTime") =
      system_time_text(record.time_generated).c_str();
  add_text(system, "EventRecordID", std::to_string(record.number));
  add_text(system, "Channel", utf8(channel));
  add_text(system, "Computer", utf8(record.computer));
  pugi::xml_node security = system.append_child("Security");
  const std::string user = sid_text(record.sid.data(), record.sid.size());
  if (!user.empty()) security.append_attribute("UserID") = user.c_str();
  pugi::xml_node data = event.append_child("EventData");
  for (const std::u16string& text : record.strings)
    data.append_child("Data").text().set(utf16_to_utf8(text).c_str());
  if (!record.data.empty()) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    for (uint8_t b : record.data) {
      hex += kHex[b >> 4];
      hex += kHex[b & 15];
    }
    add_text(data, "Binary", hex);
  }
}

std::u16string event_xml_text(const pugi::xml_document& doc) {
  StringWriter writer;
  doc.document_element().print(writer, "", pugi::format_raw | pugi::format_attribute_single_quote,
                               pugi::encoding_utf8);
  return utf8_to_utf16(writer.text);
}

pugi::xml_node event_system(const pugi::xml_document& doc) {
  return doc.document_element().child("System");
}

bool parse_system_time(std::string_view text, uint64_t* filetime) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int used = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                  &second, &used) != 6)
    return false;
  uint64_t fraction = 0;  // in 100 ns
  size_t at = static_cast<size_t>(used);
  if (at < copy.size() && copy[at] == '.') {
    int digits = 0;
    for (++at; at < copy.size() && copy[at] >= '0' && copy[at] <= '9'; ++at, ++digits) {
      if (digits < 7) fraction = fraction * 10 + static_cast<uint64_t>(copy[at] - '0');
    }
    for (; digits < 7; ++digits) fraction *= 10;
  }
  if (at >= copy.size() || copy[at] != 'Z' || month < 1 || month > 12 || day < 1 || day > 31)
    return false;
  tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  const int64_t seconds = timegm(&parts);
  if (seconds < -11644473600) return false;
  *filetime = kUnixEpochAsFiletime + static_cast<uint64_t>(seconds * 10000000) + fraction;
  return true;
}

}  // namespace qvsim::detail
