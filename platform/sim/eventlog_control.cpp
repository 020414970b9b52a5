// Test controls of the simulated event-log service.
#include "eventlog_store.h"
#include "qvsim/eventlog_control.h"

#include <cstring>
#include <deque>

using namespace qvsim::detail;

namespace qvsim::detail {
namespace {

struct GivenRead {
  std::vector<uint8_t> bytes;
  uint32_t needed = 0;
};

std::deque<GivenRead>& given_reads() {
  static std::deque<GivenRead> queue;
  return queue;
}

[[maybe_unused]] const bool registered = on_reset([] {
  given_reads().clear();
  given_reads_queued = 0;
});

}  // namespace

size_t given_reads_queued = 0;

bool take_given_read(LPVOID buffer, DWORD size, DWORD* read, DWORD* needed, BOOL* result) {
  if (given_reads().empty()) return false;
  GivenRead given = std::move(given_reads().front());
  given_reads().pop_front();
  given_reads_queued = given_reads().size();
  *read = 0;
  *needed = 0;
  if (buffer == nullptr || size < given.bytes.size()) {
    *needed = given.needed;
    *result = fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    return true;
  }
  std::memcpy(buffer, given.bytes.data(), given.bytes.size());
  *read = static_cast<DWORD>(given.bytes.size());
  *result = TRUE;
  return true;
}

}  // namespace qvsim::detail

namespace qvsim {

void deliver_next_read(std::vector<uint8_t> bytes, uint32_t needed) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  given_reads().push_back(GivenRead{std::move(bytes), needed});
  given_reads_queued = given_reads().size();
}

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
