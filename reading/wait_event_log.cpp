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

// The log's newest record number: oldest + count - 1, 0 for an empty log. False, with the
// query's error as the thread's last error, when the log could not be queried.
//
// The count is asked first: a write that makes the log overwrite its oldest records between
// the two queries then moves the oldest on after the count was taken, and the number comes
// out too high, never lower than the one before. A number lower than the caller's therefore
// means that the log was cleared, never that it was written while it was looked at.
bool newest_record(HANDLE log, DWORD* newest) {
  DWORD count = 0;
  DWORD oldest = 0;
  if (!GetNumberOfEventLogRecords(log, &count) || !GetOldestEventLogRecord(log, &oldest))
    return false;
  *newest = count == 0 ? 0 : oldest + count - 1;
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
  for (;;) {
    DWORD newest = 0;
    if (!newest_record(log, &newest)) {
      _retnl(pl, ERR_READ_FAILED);
      return;
    }
    if (newest != static_cast<DWORD>(after)) {
      _retnl(pl, static_cast<LONG>(newest));
      return;
    }
    DWORD waited = GetTickCount() - start;
    if (waited >= limit) break;
    DWORD left = limit - waited;
    Sleep(left < kLookInterval ? left : kLookInterval);
  }
  _retnl(pl, after);
}
