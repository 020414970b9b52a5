// QVOPENEVENTLOG, QVOPENBACKUPEVENTLOG, QVCLOSEEVENTLOG, QVBACKUPEVENTLOG, QVCLEAREVENTLOG,
// QVQUERYLOGENTRYNUM, QVQUERYOLDESTLOGENTRY.
#include "eventlog_fixture.h"

namespace {

using namespace qvtest;
using xpp::absent;
using xpp::by_ref;

class LogHandles : public EventLogTest {};

TEST_F(LogHandles, OpenerRefusesAMissingName) {
  struct Case {
    xpp::ExportFn fn;
    std::vector<xpp::Arg> args;
  };
  const Case cases[] = {
      {QVOPENEVENTLOG, {Value::str("QVHOST")}},
      {QVOPENEVENTLOG, {absent(), Value::str("")}},
      {QVOPENEVENTLOG, {absent(), Value::num(1)}},
      {QVOPENBACKUPEVENTLOG, {absent(), absent()}},
      {QVOPENBACKUPEVENTLOG, {Value::str(""), Value::str("")}},
  };
  for (const Case& c : cases) EXPECT_EQ(number(run(c.fn, c.args)), ERR_MISSING_SECOND);
}

TEST_F(LogHandles, ServerNameSelectsTheComputer) {
  qvsim::set_computer_name("QVHOST");
  struct Case {
    const char* server;
    bool opens;
  };
  const Case cases[] = {{"", true},           {"QVHOST", true}, {"\\\\QVHOST", true},
                        {"\\\\qvhost", true}, {"OTHER", false}, {"\\\\OTHER", false},
                        {"\\\\", false}};
  for (const Case& c : cases) {
    double h = number(run(QVOPENEVENTLOG, {Value::str(c.server), Value::str("System")}));
    EXPECT_EQ(h > 0, c.opens) << c.server;
    if (!c.opens) {
      EXPECT_EQ(h, 0) << c.server;
      EXPECT_EQ(last_error(), 1722) << c.server;
    }
  }
}

TEST_F(LogHandles, UnknownLogNameOpensApplication) {
  qvsim::write_record("Application", event(1));
  qvsim::write_record("Application", event(2));
  double h = open("NoSuchLog");
  ASSERT_GT(h, 0);
  Value count = Value::nil();
  EXPECT_EQ(run(QVQUERYLOGENTRYNUM, {Value::num(h), by_ref(count)}), Value::boolean(true));
  EXPECT_EQ(count, Value::num(2));
}

// Every export that takes a handle refuses 0 without asking Windows, which would have
// reported an invalid handle.
TEST_F(LogHandles, HandleZeroIsRefusedWithoutAWindowsCall) {
  const xpp::ExportFn fns[] = {QVCLOSEEVENTLOG,    QVBACKUPEVENTLOG,      QVCLEAREVENTLOG,
                               QVQUERYLOGENTRYNUM, QVQUERYOLDESTLOGENTRY, QVREADEVENTLOG};
  for (xpp::ExportFn fn : fns) {
    SetLastError(4242);
    uint32_t reads = qvsim::read_calls();
    EXPECT_EQ(number(run(fn, {Value::num(0), Value::str(path("x.evt"))})), ERR_MISSING_FIRST);
    EXPECT_EQ(GetLastError(), 4242u);
    EXPECT_EQ(qvsim::read_calls(), reads);
  }
  EXPECT_FALSE(std::filesystem::exists(path("x.evt")));
}

TEST_F(LogHandles, BackupRefusesAMissingPath) {
  double h = open("Application");
  EXPECT_EQ(number(run(QVBACKUPEVENTLOG, {Value::num(h)})), ERR_MISSING_SECOND);
  EXPECT_EQ(number(run(QVBACKUPEVENTLOG, {Value::num(h), Value::str("")})), ERR_MISSING_SECOND);
}

TEST_F(LogHandles, CountAndOldestOfAnEmptyLogAreZero) {
  double h = open("System");
  Value count = Value::num(99), oldest = Value::num(99);
  EXPECT_EQ(run(QVQUERYLOGENTRYNUM, {Value::num(h), by_ref(count)}), Value::boolean(true));
  EXPECT_EQ(run(QVQUERYOLDESTLOGENTRY, {Value::num(h), by_ref(oldest)}), Value::boolean(true));
  EXPECT_EQ(count, Value::num(0));
  EXPECT_EQ(oldest, Value::num(0));
}

// Parameter 2 of both queries: written only when passed by reference, a number even when
// it held a string, 0 on failure.
TEST_F(LogHandles, QueriesStoreOnlyIntoAReference) {
  for (int i = 0; i < 3; ++i) qvsim::write_record("Application", event(1));
  qvsim::set_log_max_size("Application", qvsim::log_size("Application") * 2 / 3);
  double h = open("Application");
  struct Case {
    xpp::ExportFn fn;
    double expected;
  };
  const Case cases[] = {{QVQUERYLOGENTRYNUM, 2}, {QVQUERYOLDESTLOGENTRY, 2}};
  for (const Case& c : cases) {
    Value var = Value::str("before");
    EXPECT_EQ(run(c.fn, {Value::num(h), by_ref(var)}), Value::boolean(true));
    EXPECT_EQ(var, Value::num(c.expected));

    Value kept = Value::num(7);
    EXPECT_EQ(run(c.fn, {Value::num(h), kept}), Value::boolean(true));
    EXPECT_EQ(run(c.fn, {Value::num(h)}), Value::boolean(true));

    Value failed = Value::str("before");
    EXPECT_EQ(run(c.fn, {Value::num(123456), by_ref(failed)}), Value::boolean(false));
    EXPECT_EQ(failed, Value::num(0));
    EXPECT_EQ(last_error(), 6);
  }
}

TEST_F(LogHandles, CloseEndsTheHandle) {
  double h = open("Application");
  EXPECT_EQ(run(QVCLOSEEVENTLOG, {Value::num(h)}), Value::boolean(true));
  EXPECT_EQ(run(QVCLOSEEVENTLOG, {Value::num(h)}), Value::boolean(false));
  EXPECT_EQ(last_error(), 6);
  Value count = Value::nil();
  EXPECT_EQ(run(QVQUERYLOGENTRYNUM, {Value::num(h), by_ref(count)}), Value::boolean(false));
}

// A second parameter that is no name clears without a backup.
TEST_F(LogHandles, ClearWithoutABackupName) {
  const std::vector<xpp::Arg> seconds[] = {{}, {absent()}, {Value::str("")}, {Value::num(5)}};
  for (const auto& second : seconds) {
    qvsim::write_record("Application", event(1));
    double h = open("Application");
    std::vector<xpp::Arg> args = {Value::num(h)};
    args.insert(args.end(), second.begin(), second.end());
    EXPECT_EQ(run(QVCLEAREVENTLOG, args), Value::boolean(true));
    EXPECT_TRUE(qvsim::log_records("Application").empty());
    run(QVCLOSEEVENTLOG, {Value::num(h)});
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(LogHandles, ClearWithABackupWritesItFirst) {
  qvsim::write_record("Application", event(1));
  qvsim::write_record("Application", event(2));
  double h = open("Application");
  EXPECT_EQ(run(QVCLEAREVENTLOG, {Value::num(h), Value::str(path("a.evt"))}), Value::boolean(true));
  EXPECT_TRUE(qvsim::log_records("Application").empty());

  double b = open_backup(path("a.evt"));
  ASSERT_GT(b, 0);
  Value count = Value::nil(), oldest = Value::nil();
  run(QVQUERYLOGENTRYNUM, {Value::num(b), by_ref(count)});
  run(QVQUERYOLDESTLOGENTRY, {Value::num(b), by_ref(oldest)});
  EXPECT_EQ(count, Value::num(2));
  EXPECT_EQ(oldest, Value::num(1));
}

// An existing file is never overwritten, and then the log is not cleared either.
TEST_F(LogHandles, ExistingBackupFileFailsAndNothingIsCleared) {
  qvsim::write_record("Application", event(1));
  write_bytes(path("there.evt"), {1, 2, 3});
  double h = open("Application");
  EXPECT_EQ(run(QVBACKUPEVENTLOG, {Value::num(h), Value::str(path("there.evt"))}),
            Value::boolean(false));
  EXPECT_EQ(last_error(), 183);
  EXPECT_EQ(run(QVCLEAREVENTLOG, {Value::num(h), Value::str(path("there.evt"))}),
            Value::boolean(false));
  EXPECT_EQ(last_error(), 183);
  EXPECT_EQ(qvsim::log_records("Application").size(), 1u);
  EXPECT_EQ(read_bytes(path("there.evt")), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(LogHandles, BackupFileOpenFailures) {
  write_bytes(path("text.evt"), std::vector<uint8_t>(200, 'x'));
  std::vector<uint8_t> cut = read_bytes(testdata("TestLog.evt"));
  cut.resize(600);
  write_bytes(path("cut.evt"), cut);
  struct Case {
    std::string file;
    double error;
  };
  const Case cases[] = {{path("missing.evt"), 2},
                        {path("nodir/missing.evt"), 3},
                        {path("text.evt"), 1500},
                        {path("cut.evt"), 1500},
                        {dir_.string(), 5}};
  for (const Case& c : cases) {
    EXPECT_EQ(open_backup(c.file), 0) << c.file;
    EXPECT_EQ(last_error(), c.error) << c.file;
  }
}

TEST_F(LogHandles, BackupHandleCannotBeClearedAndBacksUpAsACopy) {
  double b = open_backup(testdata("TestLog-dirty.evt"));
  ASSERT_GT(b, 0);
  EXPECT_EQ(run(QVCLEAREVENTLOG, {Value::num(b)}), Value::boolean(false));
  EXPECT_EQ(last_error(), 6);
  EXPECT_EQ(run(QVBACKUPEVENTLOG, {Value::num(b), Value::str(path("copy.evt"))}),
            Value::boolean(true));
  EXPECT_EQ(read_bytes(path("copy.evt")), read_bytes(testdata("TestLog-dirty.evt")));
}

TEST_F(LogHandles, ClearNeedsAdministratorRights) {
  qvsim::write_record("Application", event(1));
  qvsim::set_admin(false);
  double h = open("Application");
  EXPECT_EQ(run(QVCLEAREVENTLOG, {Value::num(h)}), Value::boolean(false));
  EXPECT_EQ(last_error(), 5);
  EXPECT_EQ(qvsim::log_records("Application").size(), 1u);
}

}  // namespace
