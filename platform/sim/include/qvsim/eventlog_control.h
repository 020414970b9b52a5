// Controls of the simulated event-log service, for tests and benchmarks.
#ifndef QUORVEL_SIM_EVENTLOG_CONTROL_H
#define QUORVEL_SIM_EVENTLOG_CONTROL_H

#include <cstdint>
#include <string>
#include <vector>

#include "qvsim/control.h"

namespace qvsim {

// A live log's maximum size in bytes, measured as its records take up room in the .evt
// layout (default 512 KiB). A smaller size overwrites the oldest records at once.
// Returns false when the service has no log of that name.
QVSIM_API bool set_log_max_size(const std::string& log, uint32_t bytes);
QVSIM_API uint32_t log_max_size(const std::string& log);
// The bytes that the log's records take up in the .evt layout.
QVSIM_API uint32_t log_size(const std::string& log);

// Appends a record with the given fields to a live log, as a source would write it: the
// number is the log's next; times of 0 become the clock's time; an empty source becomes
// "QvSim" and an empty computer this computer's name. Returns the record's number, or 0
// when the service has no log of that name.
QVSIM_API uint32_t write_record(const std::string& log, RecordView record);

// What a record costs in a log (its size in the .evt layout) and what ReadEventLogA
// delivers for it (its size in the ANSI layout). The record's number does not matter.
QVSIM_API uint32_t evt_record_size(const RecordView& record);
QVSIM_API uint32_t ansi_record_size(const RecordView& record);

// The longest insertion string ReportEventA takes, in characters: 31,839 as on Windows
// Vista and later (the default, and the most), or less, as Windows 10 and 11 refuse
// strings from about 31,700 characters on, depending on the event. A longer string fails
// with RPC_S_INVALID_BOUND.
QVSIM_API void set_report_string_limit(uint32_t chars);

// ReadEventLogA calls since the last reset, and the buffer size the last one was given.
QVSIM_API uint32_t read_calls();
QVSIM_API uint32_t last_read_buffer_size();

// Makes the ReadEventLogA call `skip` calls from now (0: the next) fail with `error`.
// With 122 it reports the size of the next record as a real 122 does.
QVSIM_API void fail_read_call(int skip, uint32_t error);

// Makes the next ReadEventLogA call, whatever its handle and flags, deliver `bytes` as the
// record read when its buffer holds them; a smaller buffer fails with 122 and `needed` as
// the bytes needed. Records that no log could hold (damaged ones) reach a reader this way.
// Each call queues one read's answer, taken in order.
QVSIM_API void deliver_next_read(std::vector<uint8_t> bytes, uint32_t needed);

}  // namespace qvsim

#endif
