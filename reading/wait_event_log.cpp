// QVWAITEVENTLOG: waits until a log's newest record number differs from the one the caller
// knows, looking at the log at a short interval.
//
// The log is looked at, not watched: NotifyChangeEventLog fails on a log of another
// computer, misses a write made while its thread does not wait, and each registration lasts
// as long as its handle, so one per call would pile up in the event-log service. Looking
// costs two queries and keeps nothing between calls.
#include "host/exports.h"
#include "host/frame.h"

namespace {

// How often a waiting call looks at the log: a write is seen at most this long after it
// was made, and a call returns at most this long after the time it was given.
constexpr DWORD kLookInterval = 100;

// The log's oldest and newest record numbers; the newest is oldest + count - 1, 0 for an
// empty log.
struct LogNumbers {
  DWORD oldest;
  DWORD newest;
};

// The log's numbers; false, with the query's error as the thread's last error, when the log
// could not be queried.
//
// The count is asked first. A write between the two queries that overwrites nothing is not
// counted yet: the number comes out stale, and the write is seen at the next look. One that
// makes the log overwrite its oldest records moves the oldest on after the count was taken:
// the number then comes out as the newest after the write, or above it by the records
// overwritten beyond those added (a large record taking the room of several small ones).
// Either way it is never lower than a number seen before, so a number lower than the
// caller's means that the log was cleared, never that it was written while it was looked at.
bool log_numbers(HANDLE log, LogNumbers* numbers) {
  DWORD count = 0;
  DWORD oldest = 0;
  if (!GetNumberOfEventLogRecords(log, &count) || !GetOldestEventLogRecord(log, &oldest))
    return false;
  numbers->oldest = oldest;
  numbers->newest = count == 0 ? 0 : oldest + count - 1;
  return true;
}

// The milliseconds to wait: 0 for a time that is absent, 0 or negative.
DWORD wait_time(XppParamList pl) {
  LONG milliseconds = _parnl(pl, 3);
  return milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
}

}  // namespace

QV_EXPORT QVWAITEVENTLOG(XppParamList pl) {
  HANDLE log = qv::handle_or_refuse(pl);
  if (log == nullptr) return;
  LONG after = _parnl(pl, 2);
  DWORD limit = wait_time(pl);
  // The tick count, not the sum of the sleeps, measures the wait: a sleep lasts up to a
  // timer tick longer than asked, which over many looks would add up.
  DWORD start = GetTickCount();
  LogNumbers first = {0, 0};
  for (bool first_look = true;; first_look = false) {
    LogNumbers now = {0, 0};
    if (!log_numbers(log, &now)) {
      _retnl(pl, ERR_READ_FAILED);
      return;
    }
    if (now.newest != static_cast<DWORD>(after)) {
      _retnl(pl, static_cast<LONG>(now.newest));
      return;
    }
    // The same newest number over another oldest one: the log was cleared and written up to
    // the caller's number again since the first look. The call answers as it would have
    // answered a look at the log while it was empty.
    if (first_look) {
      first = now;
    } else if (now.oldest != first.oldest) {
      _retnl(pl, 0);
      return;
    }
    DWORD waited = GetTickCount() - start;
    if (waited >= limit) break;
    DWORD left = limit - waited;
    Sleep(left < kLookInterval ? left : kLookInterval);
  }
  _retnl(pl, after);
}
