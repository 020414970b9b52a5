#include "eventlog_store.h"

#include <deque>

namespace qvsim::detail {
namespace {

// A deque: a log stays where it is while custom logs are added behind it.
std::deque<Log> initial_logs() {
  std::deque<Log> all(3);
  all[0].name = "Application";
  all[1].name = "System";
  all[2].name = "Security";
  return all;
}

std::deque<Log>& logs() {
  static std::deque<Log> all = initial_logs();
  return all;
}

std::map<uint32_t, EventLogHandle>& handles() {
  static std::map<uint32_t, EventLogHandle> table;
  return table;
}

uint32_t value_of(HANDLE handle) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

[[maybe_unused]] const bool registered = on_reset([] {
  logs() = initial_logs();
  handles().clear();
});

}  // namespace

Log* find_log(const std::string& name) {
  for (Log& log : logs()) {
    if (names_equal(log.name, name)) return &log;
  }
  std::string spelled;
  if (!event_log_key(name, &spelled)) return nullptr;
  logs().emplace_back();
  logs().back().name = spelled;
  return &logs().back();
}

Log& log_for_name(const std::string& name) {
  if (Log* log = find_log(name)) return *log;
  std::string holder = log_of_source(name);
  if (Log* log = holder.empty() ? nullptr : find_log(holder)) return *log;
  return *find_log("Application");
}

void append_record(Log& log, Record record) {
  record.number = log.next_number++;
  record.evt = encode_record(record);
  while (!log.records.empty() && log.size + record.evt.size() > log.max_size) {
    log.size -= log.records.front().evt.size();
    log.records.pop_front();
  }
  log.size += record.evt.size();
  log.records.push_back(std::move(record));
  signal_subscriptions(log.name);
}

void clear_log(Log& log) {
  log.records.clear();
  log.size = 0;
  log.next_number = 1;
  for (auto& [value, entry] : handles()) {
    if (entry.backup == nullptr && names_equal(entry.log, log.name)) entry.log_changed = true;
  }
}

HANDLE add_handle(EventLogHandle entry) {
  uint32_t value = new_handle_value();
  handles()[value] = std::move(entry);
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

EventLogHandle* find_handle(HANDLE handle) {
  auto found = handles().find(value_of(handle));
  return found == handles().end() ? nullptr : &found->second;
}

bool remove_handle(HANDLE handle) { return handles().erase(value_of(handle)) != 0; }

}  // namespace qvsim::detail

namespace qvsim {

std::vector<RecordView> log_records(const std::string& log) {
  std::lock_guard<std::recursive_mutex> guard(detail::lock());
  detail::Log* found = detail::find_log(log);
  if (found == nullptr) return {};
  return {found->records.begin(), found->records.end()};
}

}  // namespace qvsim
