// The simulated event-log service's state: the live logs and the open handles.
// Call everything here with lock() held.
#ifndef QUORVEL_SIM_EVENTLOG_STORE_H
#define QUORVEL_SIM_EVENTLOG_STORE_H

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "qvsim/control.h"
#include "sim_state.h"

namespace qvsim::detail {

using Record = RecordView;

struct Log {
  std::string name;
  std::deque<Record> records;  // oldest first
  uint32_t next_number = 1;
};

enum class HandleKind { kSource, kLiveLog, kBackupLog };

struct EventLogHandle {
  HandleKind kind = HandleKind::kSource;
  std::string log;     // the live log a source writes to or a live handle reads
  std::string source;  // the source name of an event source
};

// The live log of that name (case-insensitive), or null when the service has none.
Log* find_log(const std::string& name);

// Appends a record under the log's next number.
void append_record(Log& log, Record record);

// A new handle for the entry; its value as Windows returns it.
HANDLE add_handle(EventLogHandle entry);
// The open handle of that value and one of the kinds given, or null.
EventLogHandle* find_handle(HANDLE handle, HandleKind kind);
bool remove_handle(HANDLE handle, HandleKind kind);

// The log whose key holds the source's key in the registry; "Application" when none does.
std::string log_of_source(const std::string& source);

}  // namespace qvsim::detail

#endif
