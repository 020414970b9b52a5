// The simulated event-log service's state: the live logs and the open handles.
// Call everything here with lock() held.
#ifndef QUORVEL_SIM_EVENTLOG_STORE_H
#define QUORVEL_SIM_EVENTLOG_STORE_H

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include <vector>

#include "evt_file.h"
#include "qvsim/control.h"
#include "sim_state.h"

namespace qvsim::detail {

// The classic event log's default maximum size.
constexpr uint32_t kDefaultMaxLogSize = 512 * 1024;

struct Record : RecordView {
  std::vector<uint8_t> evt;  // the record in the .evt layout; its size is what it costs
};

struct Log {
  std::string name;
  std::deque<Record> records;  // oldest first, numbered without gaps
  uint32_t next_number = 1;
  uint32_t max_size = kDefaultMaxLogSize;
  size_t size = 0;  // of all records in the .evt layout
};

// A backup file as opened: its bytes as read, and its records.
struct BackupLog {
  EvtContents contents;
};

// An open event-log handle. Windows has one kind for OpenEventLogA, OpenBackupEventLogA
// and RegisterEventSourceA alike: each names a log (a live one, or a backup file) and a
// source name under which ReportEventA writes.
struct EventLogHandle {
  std::string log;                    // the live log, unless `backup` is set
  std::string source;                 // the name the handle was opened or registered with
  std::shared_ptr<BackupLog> backup;  // a backup handle's file
  // The sequential read position: next to the record read last, after it when that read
  // went forwards, before it when it went backwards.
  bool positioned = false;
  bool last_forwards = true;
  uint32_t last_read = 0;
  size_t last_index = 0;     // where it was then
  bool log_changed = false;  // the log was cleared since the handle was opened
  // The record last made for ReadEventLogA, kept for the read that follows a 122.
  std::vector<uint8_t> made;
  size_t made_index = SIZE_MAX;
  uint32_t made_number = 0;
};

// The live log of that name (case-insensitive): one of the three the service starts with,
// or a log of its own for a key under the registry's EventLog key, empty when first asked
// for. Null when there is neither.
Log* find_log(const std::string& name);

// The log a name opens or registers: the log of that name, else the log whose key holds a
// source key of that name, else Application.
Log& log_for_name(const std::string& name);

// Appends a record under the log's next number, overwriting the oldest records when the
// log would outgrow its maximum size.
void append_record(Log& log, Record record);

// Sets the event object of every subscription that reads the log's channel.
void signal_subscriptions(const std::string& log);

// Empties the log, whose next record is number 1 again, as in a new log file; its open
// handles learn that it changed.
void clear_log(Log& log);

// A new handle for the entry; its value as Windows returns it.
HANDLE add_handle(EventLogHandle entry);
// The open handle of that value, or null.
EventLogHandle* find_handle(HANDLE handle);
bool remove_handle(HANDLE handle);

// The registry's spelling of the key under EventLog named `name`; false when there is none.
bool event_log_key(const std::string& name, std::string* spelled);
// The names of the keys under EventLog: the logs described in the registry.
std::vector<std::string> event_log_names();
// The name of the log whose key holds the source's key; empty when none does.
std::string log_of_source(const std::string& source);

// Answers a ReadEventLogA call with the bytes queued by deliver_next_read: true, with the
// call's result in *result, when one was queued. given_reads_queued counts them, so that
// a read without any looks no further.
extern size_t given_reads_queued;
bool take_given_read(LPVOID buffer, DWORD size, DWORD* read, DWORD* needed, BOOL* result);

}  // namespace qvsim::detail

#endif
