// QVWAITEVENTLOG: the newest record number once it differs from the caller's, the caller's
// own number when the time passed without a change, and a writer seen from another thread.
#include <atomic>
#include <thread>

#include "eventlog_fixture.h"

namespace {

using namespace qvtest;

enum class Handle { kLive, kByServerName, kBackup, kClosed, kZero };

struct Wait {
  const char* name;
  int records;       // written to Application first
  void (*change)();  // then done to the log, before the handle waits
  Handle handle;
  std::vector<xpp::Arg> args;  // nAfterRecord, nMilliseconds
  double expected;
  double last_error;  // examined for ERR_READ_FAILED and ERR_MISSING_FIRST
};
void PrintTo(const Wait& w, std::ostream* os) { *os << w.name; }

void nothing() {}
void clear() {
  HANDLE h = OpenEventLogA(nullptr, "Application");
  ClearEventLogA(h, nullptr);
  CloseEventLog(h);
}
// Only the newest two records stay.
void wrap() { qvsim::set_log_max_size("Application", 2 * qvsim::evt_record_size(event(1))); }
void count_fails() { qvsim::fail_next("GetNumberOfEventLogRecords", RPC_S_SERVER_UNAVAILABLE); }
void oldest_fails() { qvsim::fail_next("GetOldestEventLogRecord", RPC_S_SERVER_UNAVAILABLE); }
void fails_later() { qvsim::fail_next("GetNumberOfEventLogRecords", ERROR_INVALID_HANDLE, 1, 1); }
// Every sleep returns at once: the tick count still ends the wait.
void sleeps_cut_short() { qvsim::fail_next("Sleep", ERROR_INVALID_PARAMETER, 1000000); }

// What happens to the log while the call waits, from another thread.
std::thread while_waiting;
void after_a_look(void (*change)()) {
  while_waiting = std::thread([change] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    change();
  });
}
// Records 4 and 5, then cleared and written up to 5 again: records 1 to 5.
void cleared_and_refilled() {
  wrap();
  after_a_look([] {
    clear();
    qvsim::set_log_max_size("Application", 1 << 20);
    for (int i = 0; i < 5; ++i) qvsim::write_record("Application", event(1));
  });
}
// The tick count passes 2^32 and starts again at 0 while the call waits for a write.
void ticks_wrap() {
  qvsim::set_tick_count(0xFFFFFFFFu - 20);
  after_a_look([] { qvsim::write_record("Application", event(1)); });
}

std::vector<xpp::Arg> args(double after, double ms) { return {Value::num(after), Value::num(ms)}; }
constexpr double kFailed = ERR_READ_FAILED;

class WaitEventLog : public EventLogTest, public ::testing::WithParamInterface<Wait> {
 protected:
  double handle_for(Handle which) {
    if (which == Handle::kZero) return 0;
    if (which == Handle::kByServerName)
      return number(run(QVOPENEVENTLOG,
                        {Value::str("\\\\" + qvsim::computer_name()), Value::str("Application")}));
    double h = open("Application");
    if (which == Handle::kClosed) run(QVCLOSEEVENTLOG, {Value::num(h)});
    if (which != Handle::kBackup) return h;
    run(QVBACKUPEVENTLOG, {Value::num(h), Value::str(path("wait.evt"))});
    qvsim::write_record("Application", event(8));  // not in the file
    return open_backup(path("wait.evt"));
  }
};

TEST_P(WaitEventLog, NewestRecordOrTheCallersOwn) {
  const Wait& w = GetParam();
  for (int i = 0; i < w.records; ++i) qvsim::write_record("Application", event(1));
  std::vector<xpp::Arg> call = {Value::num(handle_for(w.handle))};
  w.change();
  call.insert(call.end(), w.args.begin(), w.args.end());
  SetLastError(4242);
  EXPECT_EQ(run(QVWAITEVENTLOG, call), Value::num(w.expected));
  if (while_waiting.joinable()) while_waiting.join();
  // A failed query leaves its reason; a refusal calls nothing that could change it.
  if (w.expected == kFailed || w.expected == ERR_MISSING_FIRST) {
    EXPECT_EQ(w.expected == kFailed ? last_error() : GetLastError(), w.last_error);
  }
  qvsim::clear_faults();
}

INSTANTIATE_TEST_SUITE_P(
    Exports, WaitEventLog,
    ::testing::Values(
        // Nothing new: the caller's number, after the time given or at once.
        Wait{"NothingNew", 3, nothing, Handle::kLive, args(3, 30), 3, 0},
        Wait{"NothingNewLookOnce", 3, nothing, Handle::kLive, {Value::num(3)}, 3, 0},
        Wait{"NegativeTimeLooksOnce", 3, nothing, Handle::kLive, args(3, -1), 3, 0},
        Wait{"EmptyLog", 0, nothing, Handle::kLive, {xpp::absent(), Value::num(30)}, 0, 0},
        Wait{"SleepsCutShort", 3, sleeps_cut_short, Handle::kLive, args(3, 30), 3, 0},
        // New events, seen at once, whatever the time given.
        Wait{"NewEvents", 3, nothing, Handle::kLive, args(1, 60000), 3, 0},
        Wait{"ByServerName", 3, nothing, Handle::kByServerName, args(2, 60000), 3, 0},
        // The number went down: the log was cleared.
        Wait{"Cleared", 3, clear, Handle::kLive, args(3, 60000), 0, 0},
        Wait{"ClearedAndRefilled", 5, cleared_and_refilled, Handle::kLive, args(5, 2000), 0, 0},
        Wait{"TickCountWraps", 3, ticks_wrap, Handle::kLive, args(3, 2000), 4, 0},
        // Wrapped: the oldest records overwritten, the newest still oldest + count - 1.
        Wait{"Wrapped", 5, wrap, Handle::kLive, args(5, 30), 5, 0},
        Wait{"WrappedPastTheCaller", 5, wrap, Handle::kLive, args(2, 60000), 5, 0},
        // A backup file never changes: the wait runs out.
        Wait{"BackupFile", 3, nothing, Handle::kBackup, args(3, 30), 3, 0},
        // Refusals and failed queries.
        Wait{"HandleZero", 3, nothing, Handle::kZero, args(3, 60000), ERR_MISSING_FIRST, 4242},
        Wait{"ClosedHandle", 3, nothing, Handle::kClosed, args(3, 60000), kFailed, 6},
        Wait{"CountFails", 3, count_fails, Handle::kLive, args(3, 0), kFailed, 1722},
        Wait{"OldestFails", 3, oldest_fails, Handle::kLive, args(3, 0), kFailed, 1722},
        Wait{"FailsWhileWaiting", 3, fails_later, Handle::kLive, args(3, 60000), kFailed, 6}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// A thread that follows the log sees each write made through another handle on another
// thread, each call returning as soon as it sees one: never the number it was given.
class WaitForWriter : public EventLogTest {};

TEST_F(WaitForWriter, SeesEachWriteOfAnotherThread) {
  constexpr int kWrites = 5;
  std::atomic<int> waiting_for{0};
  std::thread writer([&] {
    double source = number(run(QVREGEVENTSOURCE, {xpp::absent(), Value::str("Writer")}));
    for (int i = 1; i <= kWrites; ++i) {
      while (waiting_for.load() < i) std::this_thread::yield();
      // Gives the waiting call time to look at the log once before the write.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      run(QVREPORTEVENT, {Value::num(source), Value::num(4), Value::num(i), Value::str("new")});
    }
    run(QVDEREGEVENTSOURCE, {Value::num(source)});
  });
  double log = open("Application");
  double last = 0;
  for (int i = 1; i <= kWrites; ++i) {
    waiting_for = i;
    last = number(run(QVWAITEVENTLOG, {Value::num(log), Value::num(last), Value::num(60000)}));
    EXPECT_EQ(last, i);
  }
  writer.join();
}

}  // namespace
