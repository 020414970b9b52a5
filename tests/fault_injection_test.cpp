// Each Windows service failing with each error it can return: the export passes the
// outcome on (a failed opener gives 0, a failed operation .F., a failed read -1100, the
// key creation its code, the key deletion and test -1102), the error stays the thread's
// last error where the service sets one, and nothing is left allocated or open.
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "host/exports.h"
#include "host/status.h"
#include "platform/qv_windows.h"
#include "qvsim/eventlog_control.h"
#include "sim_fixture.h"

namespace {

using xpp::Value;

constexpr DWORD kNoLastError = 0xFFFFFFFF;  // the registry sets none

struct Fault {
  const char* service;
  DWORD error;
  std::function<Value()> call;
  Value result;
  DWORD last_error;  // kNoLastError: not examined
};

class FaultInjectionTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    path_ =
        (std::filesystem::temp_directory_path() / ("qv-fault-" + std::to_string(getpid()) + ".evt"))
            .string();
    std::filesystem::remove(path_);
    Value h = run(QVREGEVENTSOURCE, {S(""), S("FaultApp")});
    run(QVREPORTEVENT, {h, N(4), N(1), S("an event with a longer text than 56 bytes of header")});
    run(QVDEREGEVENTSOURCE, {h});
  }
  void TearDown() override {
    std::filesystem::remove(path_);
    SimTest::TearDown();
  }
  static Value log() { return run(QVOPENEVENTLOG, {S(""), S("Application")}); }
  static Value source() { return run(QVREGEVENTSOURCE, {S(""), S("FaultApp")}); }

  std::string path_;
};

TEST_F(FaultInjectionTest, EachServiceFailureReachesTheCaller) {
  const std::string path = path_;
  std::vector<Fault> faults;
  for (DWORD e : {RPC_S_SERVER_UNAVAILABLE, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER,
                  ERROR_NOT_ENOUGH_MEMORY}) {
    faults.push_back({"RegisterEventSourceA", e,
                      [] {
                        return run(QVREGEVENTSOURCE, {S(""), S("FaultApp")});
                      },
                      N(0), e});
    faults.push_back({"OpenEventLogA", e, [] { return log(); }, N(0), e});
  }
  for (DWORD e : {ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER, ERROR_LOG_FILE_FULL,
                  ERROR_NOT_ENOUGH_MEMORY})
    faults.push_back({"ReportEventA", e,
                      [] {
                        return run(QVREPORTEVENT, {source(), N(4), N(1), S("x")});
                      },
                      L(false), e});
  faults.push_back({"DeregisterEventSource", ERROR_INVALID_HANDLE,
                    [] { return run(QVDEREGEVENTSOURCE, {source()}); }, L(false),
                    ERROR_INVALID_HANDLE});
  for (DWORD e : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED,
                  ERROR_EVENTLOG_FILE_CORRUPT})
    faults.push_back({"OpenBackupEventLogA", e,
                      [path] {
                        return run(QVOPENBACKUPEVENTLOG, {S(""), S(path)});
                      },
                      N(0), e});
  faults.push_back({"CloseEventLog", ERROR_INVALID_HANDLE,
                    [] { return run(QVCLOSEEVENTLOG, {log()}); }, L(false), ERROR_INVALID_HANDLE});
  for (DWORD e :
       {ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}) {
    faults.push_back({"BackupEventLogA", e,
                      [path] {
                        return run(QVBACKUPEVENTLOG, {log(), S(path)});
                      },
                      L(false), e});
    faults.push_back({"ClearEventLogA", e,
                      [path] {
                        return run(QVCLEAREVENTLOG, {log(), S(path)});
                      },
                      L(false), e});
  }
  for (DWORD e : {ERROR_INVALID_HANDLE, ERROR_EVENTLOG_FILE_CHANGED, ERROR_HANDLE_EOF,
                  ERROR_INVALID_PARAMETER, ERROR_EVENTLOG_FILE_CORRUPT})
    faults.push_back({"ReadEventLogA", e,
                      [] {
                        return run(QVREADEVENTLOG, {log(), N(5)});
                      },
                      N(ERR_READ_FAILED), e});
  for (DWORD e : {ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER, ERROR_NOT_ENOUGH_MEMORY})
    faults.push_back({"RegCreateKeyExA", e,
                      [] {
                        return run(QVCREATEEVENTKEY, {S("FaultApp"), S("C:\\q.dll")});
                      },
                      N(e), kNoLastError});
  for (DWORD e : {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}) {
    faults.push_back({"RegDeleteKeyA", e, [] { return run(QVDELEVENTKEY, {S("FaultApp")}); },
                      N(ERR_KEY_FAILED), kNoLastError});
    faults.push_back({"RegOpenKeyExA", e, [] { return run(QVCHECKEVENTKEY, {S("FaultApp")}); },
                      N(ERR_KEY_FAILED), kNoLastError});
  }
  // A failed value write is reported with its code, and the key this call made is removed.
  faults.push_back({"RegSetValueExA", ERROR_ACCESS_DENIED,
                    [] {
                      Value r = run(QVCREATEEVENTKEY, {S("FaultApp"), S("C:\\q.dll")});
                      EXPECT_EQ(run(QVCHECKEVENTKEY, {S("FaultApp")}), N(ERR_KEY_FAILED));
                      return r;
                    },
                    N(ERROR_ACCESS_DENIED), kNoLastError});

  for (const Fault& f : faults) {
    SCOPED_TRACE(std::string(f.service) + " failing with " + std::to_string(f.error));
    qvsim::reset();
    qvsim::set_computer_name("QVHOST");
    qvsim::set_user_name("xbuser");
    std::filesystem::remove(path_);
    Value h = source();
    run(QVREPORTEVENT, {h, N(4), N(1), S("an event with a longer text than 56 bytes of header")});
    run(QVDEREGEVENTSOURCE, {h});
    if (std::string(f.service) == "RegDeleteKeyA" || std::string(f.service) == "RegOpenKeyExA")
      run(QVCREATEEVENTKEY, {S("FaultApp"), S("C:\\q.dll")});

    qvsim::fail_next(f.service, f.error);
    EXPECT_EQ(f.call(), f.result);
    if (f.last_error != kNoLastError) {
      EXPECT_EQ(GetLastError(), f.last_error);
    }
    EXPECT_EQ(xpp::live_containers(), 0);
  }
}

TEST_F(FaultInjectionTest, ReadBuffersThatCannotBeHadGiveReadFailed) {
  // The first buffer, then its enlargement.
  for (const char* service : {"HeapAlloc", "HeapReAlloc"}) {
    SCOPED_TRACE(service);
    Value h = log();
    qvsim::fail_next(service, 0);
    EXPECT_EQ(run(QVREADEVENTLOG, {h, N(5)}), N(ERR_READ_FAILED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    // Nothing was consumed: the next read delivers the record.
    EXPECT_TRUE(run(QVREADEVENTLOG, {h, N(5)}).is_array());
    run(QVCLOSEEVENTLOG, {h});
  }
}

// Each buffer of an event that cannot be had (its values, its XML as UTF-16 and as ANSI,
// the names of its provider, channel and computer, the room its data is decoded into) fails
// the read with 8, leaving nothing allocated.
TEST_F(FaultInjectionTest, EventBuffersThatCannotBeHadGiveReadFailed) {
  for (uint32_t skip = 0; skip < 20; ++skip) {
    SCOPED_TRACE("allocation " + std::to_string(skip + 1));
    Value query = run(QVEVTQUERY, {S(""), S("Application")});
    qvsim::fail_next("HeapAlloc", 0, 1, skip);
    Value event = run(QVEVTNEXT, {query});
    if (event.is_array()) {
      EXPECT_EQ(skip, 7u) << "allocations that failed the read";
      run(QVEVTCLOSE, {query});
      return;
    }
    EXPECT_EQ(event, N(ERR_READ_FAILED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(xpp::live_containers(), 0);
    run(QVEVTCLOSE, {query});
  }
  ADD_FAILURE() << "no read succeeded";
}

// Freeing the read's buffer may change the thread's last error; the caller still learns
// why the read failed.
TEST_F(FaultInjectionTest, FreeingTheBufferKeepsTheReadsError) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    DWORD error;
  };
  const Case cases[] = {
      {"first read", [] { qvsim::fail_read_call(0, ERROR_EVENTLOG_FILE_CORRUPT); },
       ERROR_EVENTLOG_FILE_CORRUPT},
      {"second read", [] { qvsim::fail_read_call(1, ERROR_EVENTLOG_FILE_CHANGED); },
       ERROR_EVENTLOG_FILE_CHANGED},
      {"enlargement", [] { qvsim::fail_next("HeapReAlloc", 0); }, ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Value h = log();
    c.arrange();
    qvsim::fail_next("HeapFree", ERROR_INVALID_PARAMETER);
    EXPECT_EQ(run(QVREADEVENTLOG, {h, N(5)}), N(ERR_READ_FAILED));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, nullptr)) << "the read freed nothing";
    run(QVCLOSEEVENTLOG, {h});
  }
}

TEST_F(FaultInjectionTest, SecondReadFailingIsNotRetried) {
  Value h = log();
  // The second read reports 122 again: the buffer is never grown a second time.
  qvsim::fail_read_call(1, ERROR_INSUFFICIENT_BUFFER);
  uint32_t before = qvsim::read_calls();
  EXPECT_EQ(run(QVREADEVENTLOG, {h, N(5)}), N(ERR_READ_FAILED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(qvsim::read_calls() - before, 2u);
}

TEST_F(FaultInjectionTest, ContainersThatCannotBeMadeGiveNoArray) {
  Value h = log();
  for (int which = 0; which < 2; ++which) {
    if (which == 0) xpp::fail_con_new(1);
    if (which == 1) xpp::fail_con_new_array(1);
    EXPECT_EQ(run(QVREADEVENTLOG, {h, N(6), N(1)}), N(ERR_NO_ARRAY));
    EXPECT_EQ(xpp::live_containers(), 0);
  }
  EXPECT_TRUE(run(QVREADEVENTLOG, {h, N(6), N(1)}).is_array());
}

}  // namespace
