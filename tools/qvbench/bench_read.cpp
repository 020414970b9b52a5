// Reading a whole backup file: the library's QVREADEVENTLOG through the stand-in run-time
// against libevt, an independent reader of the same files.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "shipped_module.h"
#include "platform/qv_windows.h"
#include "qvsim/control.h"
#include "qvsim/eventlog_control.h"
#include "xpprt/host.h"

#ifdef QV_HAVE_LIBEVT
#include <libevt.h>
#endif

namespace {

constexpr int kRecords = 10000;

std::u16string words(unsigned seed, size_t length) {
  static const char16_t* const kWords[] = {u"service", u"started",  u"connection", u"to",
                                           u"server",  u"failed",   u"retrying",   u"in",
                                           u"seconds", u"database", u"backup",     u"complete",
                                           u"user",    u"logged",   u"on",         u"from"};
  std::u16string text;
  while (text.size() < length) {
    if (!text.empty()) text += u' ';
    text += kWords[(seed = seed * 1103515245u + 12345u) >> 16 & 15];
  }
  return text;
}

// A backup file of realistic records, written once per run through the simulation.
const std::string& backup_file() {
  static const std::string path = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "qvbench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) std::abort();
    std::string file = dir + "/bench.evt";
    qvsim::reset();
    qvsim::set_log_max_size("Application", 64u << 20);
    std::vector<uint8_t> sid = qvsim::user_sid(qvsim::user_name());
    for (unsigned i = 0; i < kRecords; ++i) {
      qvsim::RecordView r;
      r.time_generated = r.time_written = 1100000000 + i * 7;
      r.event_id = i % 5 == 0 ? 0xC0000000u + i % 300 : 1000 + i % 50;
      r.event_type = static_cast<uint16_t>(1u << (i % 3));
      r.category = static_cast<uint16_t>(i % 7);
      r.source = i % 2 ? "MyXbaseApp" : "OrderService";
      r.sid = sid;
      for (unsigned s = 0; s <= i % 3; ++s)
        r.strings.push_back(words(i * 3 + s, 20 + (i * 37 + s * 11) % 100));
      r.data.assign(i % 4 == 0 ? 0 : 8 + i % 56, static_cast<uint8_t>(i));
      qvsim::write_record("Application", r);
    }
    HANDLE h = OpenEventLogA(nullptr, "Application");
    if (h == nullptr || !BackupEventLogA(h, file.c_str())) std::abort();
    CloseEventLog(h);
    qvsim::reset();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(std::filesystem::path(path).parent_path(), ignored);
    });
    return file;
  }();
  return path;
}

// Every record of the backup through one of the reading exports.
void read_backup(benchmark::State& state, const char* reader) {
  const xpp::ExportFn open_backup = qvbench::shipped_export("QVOPENBACKUPEVENTLOG");
  const xpp::ExportFn read_log = qvbench::shipped_export(reader);
  const xpp::ExportFn close_log = qvbench::shipped_export("QVCLOSEEVENTLOG");
  if (open_backup == nullptr || read_log == nullptr || close_log == nullptr) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  const std::string& file = backup_file();
  size_t elements = 0;
  for (auto _ : state) {
    xpp::CallResult opened = xpp::call(open_backup, {xpp::absent(), xpp::Value::str(file)});
    xpp::Value handle = opened.value;
    int records = 0;
    // One parameter list for every read, as the Xbase++ virtual machine keeps its frame.
    xpp::Frame read(2);
    read.set(1, handle);
    read.set(2, xpp::Value::num(5));
    for (;;) {
      const xpp::CallResult& r = read.invoke(read_log);
      if (!r.value.is_array()) break;
      elements += r.value.items.size();
      ++records;
    }
    xpp::call(close_log, {handle});
    if (records != kRecords) state.SkipWithError("not every record was read");
  }
  benchmark::DoNotOptimize(elements);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_read_quorvel(benchmark::State& state) { read_backup(state, "QVREADEVENTLOG"); }
BENCHMARK(BM_read_quorvel)->Name("read/quorvel")->Unit(benchmark::kMillisecond);

// The whole record: names, SID text, raw data and the strings as a nested array.
void BM_read_quorvel_record(benchmark::State& state) { read_backup(state, "QVREADEVENTRECORD"); }
BENCHMARK(BM_read_quorvel_record)->Name("read/quorvel_record")->Unit(benchmark::kMillisecond);

#ifdef QV_HAVE_LIBEVT
void BM_read_libevt(benchmark::State& state) {
  const std::string& file = backup_file();
  size_t strings = 0;
  std::vector<uint8_t> text;
  for (auto _ : state) {
    libevt_file_t* evt = nullptr;
    libevt_error_t* error = nullptr;
    int records = 0;
    if (libevt_file_initialize(&evt, &error) != 1 ||
        libevt_file_open(evt, file.c_str(), LIBEVT_OPEN_READ, &error) != 1 ||
        libevt_file_get_number_of_records(evt, &records, &error) != 1) {
      state.SkipWithError("libevt cannot open the file");
      break;
    }
    for (int i = 0; i < records; ++i) {
      libevt_record_t* record = nullptr;
      if (libevt_file_get_record_by_index(evt, i, &record, &error) != 1) break;
      uint32_t number = 0, generated = 0, written = 0, id = 0;
      uint16_t type = 0, category = 0;
      libevt_record_get_identifier(record, &number, &error);
      libevt_record_get_creation_time(record, &generated, &error);
      libevt_record_get_written_time(record, &written, &error);
      libevt_record_get_event_identifier(record, &id, &error);
      libevt_record_get_event_type(record, &type, &error);
      libevt_record_get_event_category(record, &category, &error);
      benchmark::DoNotOptimize(number + generated + written + id + type + category);
      int count = 0;
      libevt_record_get_number_of_strings(record, &count, &error);
      for (int s = 0; s < count; ++s) {
        size_t size = 0;
        if (libevt_record_get_utf8_string_size(record, s, &size, &error) != 1) continue;
        text.resize(size);
        libevt_record_get_utf8_string(record, s, text.data(), size, &error);
        ++strings;
      }
      libevt_record_free(&record, &error);
    }
    libevt_file_close(evt, &error);
    libevt_file_free(&evt, &error);
    if (error != nullptr) libevt_error_free(&error);
  }
  benchmark::DoNotOptimize(strings);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_read_libevt)->Name("read/libevt")->Unit(benchmark::kMillisecond);
#endif

}  // namespace
