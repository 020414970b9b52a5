#include "event_source.h"

#include <libevtx.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "codepage.h"
#include "event_xml.h"
#include "eventlog_store.h"
#include "host_files.h"
#include "qvsim/wevtapi_control.h"
#include "sim_state.h"
#include "wow64.h"

namespace qvsim::detail {
namespace {

constexpr char kEvtxSignature[] = "ElfFile";  // with its terminator: 8 bytes

// Channels served from .evtx files, by name.
std::map<std::string, std::string>& served() {
  static std::map<std::string, std::string> channels;
  return channels;
}

[[maybe_unused]] const bool registered = on_reset([] { served().clear(); });

// Events of classic records: a live log's as the query found it, or a backup file's.
class ClassicSource : public EventSource {
 public:
  ClassicSource(std::vector<RecordView> records, std::string channel)
      : records_(std::move(records)), channel_(std::move(channel)) {}
  size_t size() const override { return records_.size(); }
  DWORD load(size_t index, pugi::xml_document* doc) override {
    classic_event(records_[index], channel_, doc);
    return ERROR_SUCCESS;
  }

 private:
  std::vector<RecordView> records_;
  std::string channel_;
};

// Events of an .evtx file, read one at a time as they are asked for.
class EvtxSource : public EventSource {
 public:
  ~EvtxSource() override {
    if (file_ != nullptr) {
      libevtx_file_close(file_, nullptr);
      libevtx_file_free(&file_, nullptr);
    }
  }
  DWORD open(const std::string& path) {
    if (libevtx_file_initialize(&file_, nullptr) != 1) return ERROR_NOT_ENOUGH_MEMORY;
    int count = 0;
    if (libevtx_file_open(file_, path.c_str(), LIBEVTX_OPEN_READ, nullptr) != 1) {
      libevtx_file_free(&file_, nullptr);
      return ERROR_EVENTLOG_FILE_CORRUPT;
    }
    if (libevtx_file_get_number_of_records(file_, &count, nullptr) != 1 || count < 0)
      return ERROR_EVENTLOG_FILE_CORRUPT;
    count_ = static_cast<size_t>(count);
    return ERROR_SUCCESS;
  }
  size_t size() const override { return count_; }
  DWORD load(size_t index, pugi::xml_document* doc) override {
    libevtx_record_t* record = nullptr;
    if (libevtx_file_get_record_by_index(file_, static_cast<int>(index), &record, nullptr) != 1)
      return ERROR_EVENTLOG_FILE_CORRUPT;
    // The text is asked for into the room the last one left; only a larger one is measured
    // first, as each ask renders the whole event.
    auto* text = reinterpret_cast<uint8_t*>(xml_.data());
    bool got = !xml_.empty() &&
               libevtx_record_get_utf8_xml_string(record, text, xml_.size(), nullptr) == 1;
    size_t size = 0;
    if (!got && libevtx_record_get_utf8_xml_string_size(record, &size, nullptr) == 1 && size > 0) {
      xml_.resize(std::max(size, xml_.size()));
      got = libevtx_record_get_utf8_xml_string(record, reinterpret_cast<uint8_t*>(xml_.data()),
                                               xml_.size(), nullptr) == 1;
    }
    const DWORD error = got && parse_event(xml_.data(), std::strlen(xml_.data()), doc)
                            ? ERROR_SUCCESS
                            : ERROR_EVENTLOG_FILE_CORRUPT;
    libevtx_record_free(&record, nullptr);
    return error;
  }

 private:
  libevtx_file_t* file_ = nullptr;
  size_t count_ = 0;
  std::string xml_;
};

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

// A terminated UTF-16LE text starting at `at`, not read past `end`; `at` moves past it.
std::u16string utf16_at(const uint8_t* bytes, size_t* at, size_t end) {
  std::u16string text;
  while (*at + 1 < end) {
    const char16_t unit = static_cast<char16_t>(bytes[*at] | bytes[*at + 1] << 8);
    *at += 2;
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

// A record of the .evt layout as its fields, names in the ANSI code page as the classic
// service keeps them; what lies outside the record is left out.
RecordView evt_record(const uint8_t* evt, size_t length) {
  RecordView r;
  r.number = le32(evt + 8);
  r.time_generated = le32(evt + 12);
  r.time_written = le32(evt + 16);
  r.event_id = le32(evt + 20);
  r.event_type = static_cast<uint16_t>(evt[24] | evt[25] << 8);
  const uint16_t strings = static_cast<uint16_t>(evt[26] | evt[27] << 8);
  r.category = static_cast<uint16_t>(evt[28] | evt[29] << 8);
  size_t at = kEvtFixedPart;
  r.source = utf16_to_ansi(utf16_at(evt, &at, length));
  r.computer = utf16_to_ansi(utf16_at(evt, &at, length));
  const uint32_t sid_length = le32(evt + 40), sid_offset = le32(evt + 44);
  if (sid_length > 0 && sid_offset <= length && sid_length <= length - sid_offset)
    r.sid.assign(evt + sid_offset, evt + sid_offset + sid_length);
  const uint32_t data_length = le32(evt + 48), data_offset = le32(evt + 52);
  if (data_offset <= length && data_length <= length - data_offset)
    r.data.assign(evt + data_offset, evt + data_offset + data_length);
  at = le32(evt + 36);
  for (uint16_t i = 0; i < strings && at < length; ++i)
    r.strings.push_back(utf16_at(evt, &at, length));
  return r;
}

DWORD open_evt(const OpenFile& file, std::unique_ptr<EventSource>* source) {
  EvtContents contents;
  if (DWORD error = read_evt(file.fd, file.size, &contents)) return error;
  std::vector<RecordView> records;
  for (const EvtContents::Slot& slot : contents.records) {
    if (slot.length >= kEvtMinRecord)
      records.push_back(evt_record(contents.bytes.data() + slot.offset, slot.length));
  }
  *source = std::make_unique<ClassicSource>(std::move(records), "");
  return ERROR_SUCCESS;
}

DWORD open_evtx(const std::string& path, std::unique_ptr<EventSource>* source) {
  auto evtx = std::make_unique<EvtxSource>();
  if (DWORD error = evtx->open(path)) return error;
  *source = std::move(evtx);
  return ERROR_SUCCESS;
}

// The channel's classic log, or (null, no error) a channel served from a file, whose events
// are then opened into `source`.
DWORD find_channel(const std::string& name, Log** log, std::unique_ptr<EventSource>* source) {
  *log = nullptr;
  for (const auto& [channel, path] : served()) {
    if (names_equal(channel, name)) return open_evtx(path, source);
  }
  if (name.empty() || name.find_first_of("\\/") != std::string::npos)
    return ERROR_EVT_CHANNEL_NOT_FOUND;
  *log = find_log(name);
  if (*log == nullptr) return ERROR_EVT_CHANNEL_NOT_FOUND;
  // The Security log is for administrators only.
  if (names_equal((*log)->name, "Security") && !settings().admin) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

}  // namespace

DWORD open_channel(const std::string& name, std::unique_ptr<EventSource>* source) {
  return open_channel_after(name, 0, source);
}

DWORD open_channel_after(const std::string& name, uint64_t after,
                         std::unique_ptr<EventSource>* source) {
  Log* log = nullptr;
  if (DWORD error = find_channel(name, &log, source)) return error;
  if (log == nullptr) return ERROR_SUCCESS;
  // Records are numbered without gaps: the first one after `after` is found by its number.
  size_t first = 0;
  if (!log->records.empty() && after >= log->records.front().number)
    first = static_cast<size_t>(
        std::min<uint64_t>(after - log->records.front().number + 1, log->records.size()));
  *source = std::make_unique<ClassicSource>(
      std::vector<RecordView>(log->records.begin() + static_cast<std::ptrdiff_t>(first),
                              log->records.end()),
      log->name);
  return ERROR_SUCCESS;
}

uint64_t record_id(const pugi::xml_document& doc) {
  return event_system(doc).child("EventRecordID").text().as_ullong();
}

DWORD channel_span(const std::string& name, uint64_t* oldest, uint64_t* newest) {
  Log* log = nullptr;
  std::unique_ptr<EventSource> source;
  if (DWORD error = find_channel(name, &log, &source)) return error;
  if (log != nullptr) {
    *oldest = log->records.empty() ? log->next_number : log->records.front().number;
    *newest = log->next_number - 1;
    return ERROR_SUCCESS;
  }
  *oldest = *newest = 0;
  if (source->size() == 0) return ERROR_SUCCESS;
  pugi::xml_document first;
  pugi::xml_document last;
  if (DWORD error = source->load(0, &first)) return error;
  if (DWORD error = source->load(source->size() - 1, &last)) return error;
  *oldest = record_id(first);
  *newest = record_id(last);
  return ERROR_SUCCESS;
}

DWORD open_log_file(const std::string& path, std::unique_ptr<EventSource>* source) {
  const std::string host_path = process_view(path.c_str());
  OpenFile file;
  if (DWORD error = open_regular_file(host_path.c_str(), &file)) return error;
  uint8_t head[8] = {};
  if (file.size >= sizeof head && read_exactly(file.fd, 0, head, sizeof head)) {
    if (std::memcmp(head, kEvtxSignature, sizeof head) == 0) return open_evtx(host_path, source);
    if (le32(head + 4) == kEvtSignature) return open_evt(file, source);
  }
  return ERROR_EVENTLOG_FILE_CORRUPT;
}

std::vector<std::string> channel_names() {
  std::vector<std::string> names;
  auto add = [&names](const std::string& name) {
    for (const std::string& known : names) {
      if (names_equal(known, name)) return;
    }
    names.push_back(name);
  };
  for (const char* log : {"Application", "Security", "System"}) add(log);
  for (const std::string& log : event_log_names()) add(log);
  for (const auto& served_channel : served()) add(served_channel.first);
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return to_upper(a) < to_upper(b); });
  return names;
}

}  // namespace qvsim::detail

namespace qvsim {

void serve_channel(const std::string& channel, const std::string& evtx_path) {
  std::lock_guard<std::recursive_mutex> guard(detail::lock());
  detail::served()[channel] = evtx_path;
}

}  // namespace qvsim
