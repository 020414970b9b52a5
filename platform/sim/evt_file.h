// The classic event-log file (.evt) and the record layouts derived from it: the one place
// that knows how records and files are laid out, used by the live logs, by backups and by
// the opening of backup files.
#ifndef QUORVEL_SIM_EVT_FILE_H
#define QUORVEL_SIM_EVT_FILE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "qvsim/control.h"
#include "windows_sim.h"

namespace qvsim::detail {

constexpr uint32_t kEvtSignature = 0x654c664c;  // "LfLe"
constexpr uint32_t kEvtHeaderSize = 48;
constexpr uint32_t kEvtEofSize = 40;
constexpr uint32_t kEvtFixedPart = 56;
// The smallest record: the fixed part and the closing length.
constexpr uint32_t kEvtMinRecord = kEvtFixedPart + 4;
// The largest file taken for an event log. Windows maps a log file into its event-log
// service's memory whole, and so does the simulation; a file beyond this is refused
// from its size alone.
constexpr uint64_t kEvtMaxFile = uint64_t{1} << 30;

// The record in the file's layout: UTF-16LE names and strings, padded with 1 to 4 zero
// bytes to a multiple of 4, the length repeated at the end. Its size is what a record costs in a
// log.
std::vector<uint8_t> encode_record(const RecordView& record);

// The same record as ReadEventLogA delivers it: names and strings in the ANSI code page,
// offsets and lengths recomputed. `evt` is one record in the file layout, `length` its
// size; every offset in it is checked against that size. A damaged record keeps its
// numbers; what lies outside it (a SID, raw data, strings running past its end) is left
// out. The strings end where the SID or the data begin when either lies behind them, and
// a string offset inside either gives no strings; each string declared but not found
// is delivered empty, so that the record holds as many strings as its NumStrings says.
// The record replaces what `out` held; its room is reused. `out` is left empty when
// there is no memory for the record.
void ansi_record(const uint8_t* evt, size_t length, std::vector<uint8_t>& out);

// The whole file for these records (each in the file layout), oldest first.
std::vector<uint8_t> write_evt(const std::vector<const std::vector<uint8_t>*>& records,
                               uint32_t next_number, uint32_t oldest_number);

// A file and where its records are.
struct EvtContents {
  struct Slot {
    size_t offset = 0;  // in `bytes`
    uint32_t length = 0;
    uint32_t number = 0;
  };
  // The file as read, followed by a whole copy of each record that the end of the file
  // splits in two.
  std::vector<uint8_t> bytes;
  size_t file_size = 0;
  std::vector<Slot> records;  // oldest first
};

// Reads the regular file open as `fd`, `size` bytes long, and finds its records. Dirty
// files (stale header) are read from their end-of-file record, found by a search that
// holds a bounded part of the file at a time; wrapped files are followed around the end
// of the file. The file is read whole only once it is known to be an event log.
// Returns ERROR_SUCCESS, ERROR_EVENTLOG_FILE_CORRUPT for anything that is not a readable
// event log (a file larger than kEvtMaxFile too), or ERROR_NOT_ENOUGH_MEMORY.
DWORD read_evt(int fd, uint64_t size, EvtContents* out);

}  // namespace qvsim::detail

#endif
