// Test controls of the simulated event-log service.
#include "eventlog_store.h"
#include "qvsim/eventlog_control.h"

using namespace qvsim::detail;

namespace qvsim {

bool set_log_max_size(const std::string& name, uint32_t bytes) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  Log* log = find_log(name);
  if (log == nullptr) return false;
  log->max_size = bytes;
  while (!log->records.empty() && log->size > log->max_size) {
    log->size -= log->records.front().evt.size();
    log->records.pop_front();
  }
  return true;
}

uint32_t log_max_size(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  Log* log = find_log(name);
  return log == nullptr ? 0 : log->max_size;
}

uint32_t log_size(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  Log* log = find_log(name);
  return log == nullptr ? 0 : static_cast<uint32_t>(log->size);
}

uint32_t write_record(const std::string& name, RecordView view) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  Log* log = find_log(name);
  if (log == nullptr) return 0;
  if (view.time_generated == 0) view.time_generated = now();
  if (view.time_written == 0) view.time_written = now();
  if (view.source.empty()) view.source = "QvSim";
  if (view.computer.empty()) view.computer = settings().computer;
  Record record;
  static_cast<RecordView&>(record) = std::move(view);
  append_record(*log, std::move(record));
  return log->records.back().number;
}

uint32_t evt_record_size(const RecordView& record) {
  return static_cast<uint32_t>(encode_record(record).size());
}

uint32_t ansi_record_size(const RecordView& record) {
  std::vector<uint8_t> evt = encode_record(record);
  std::vector<uint8_t> ansi;
  ansi_record(evt.data(), evt.size(), ansi);
  return static_cast<uint32_t>(ansi.size());
}

}  // namespace qvsim
