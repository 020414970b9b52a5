// Registering event sources and reporting events.
#include "host/exports.h"
#include "host/status.h"
#include "platform/qv_windows.h"
#include "qvsim/eventlog_control.h"
#include "sim_fixture.h"

namespace {

using xpp::Value;

class EventSourceTest : public SimTest {
 protected:
  Value register_source() {
    Value h = run(QVREGEVENTSOURCE, {S(""), S("MyApp")});
    EXPECT_TRUE(h.is_number() && h.number > 0);
    return h;
  }
  std::vector<qvsim::RecordView> records() { return qvsim::log_records("Application"); }
};

TEST_F(EventSourceTest, RegisterNeedsASourceName) {
  for (const Value& name : {S(""), N(1), NIL()}) {
    EXPECT_EQ(run(QVREGEVENTSOURCE, {S(""), name}), N(ERR_MISSING_SECOND));
  }
  EXPECT_EQ(run(QVREGEVENTSOURCE, {S("MyApp")}), N(ERR_MISSING_SECOND));
}

TEST_F(EventSourceTest, ServerNamesOfThisComputerAreLocal) {
  for (const char* server : {"QVHOST", "\\\\QVHOST", "qvhost"}) {
    Value h = run(QVREGEVENTSOURCE, {S(server), S("MyApp")});
    EXPECT_GT(h.number, 0) << server;
  }
  EXPECT_GT(run(QVREGEVENTSOURCE, {xpp::absent(), S("MyApp")}).number, 0);
  EXPECT_EQ(run(QVREGEVENTSOURCE, {S("\\\\ELSEWHERE"), S("MyApp")}), N(0));
  EXPECT_EQ(run(QVEVENTGETLASTERROR, {}), N(RPC_S_SERVER_UNAVAILABLE));
}

TEST_F(EventSourceTest, TypeAndIdentifierKeepTheirLow16Bits) {
  Value h = register_source();
  struct Case {
    xpp::Arg type, id;
    uint16_t written_type;
    uint32_t written_id;
  } cases[] = {
      {N(4), N(1), 4, 1},
      {N(1), N(65537), 1, 1},
      {N(2), N(70000), 2, 4464},
      {N(0), N(1000), 0, 1000},
      {N(65540), N(5), 4, 5},
      {N(8), N(-1), 8, 65535},
      {N(16), N(4294967295.0), 16, 65535},
      {N(4), NIL(), 4, 0},
      {N(4), S("12"), 4, 0},
      {N(4), xpp::absent(), 4, 0},
  };
  for (const Case& c : cases) {
    // The identifier's value as the category too, which keeps its low 16 bits as well.
    EXPECT_EQ(run(QVREPORTEVENT, {h, c.type, c.id, S("text"), c.id}), L(true));
    qvsim::RecordView r = records().back();
    EXPECT_EQ(r.event_type, c.written_type) << xpp::to_literal(c.type.value);
    EXPECT_EQ(r.event_id, c.written_id) << xpp::to_literal(c.id.value);
    EXPECT_EQ(r.category, c.written_id);
    EXPECT_TRUE(r.data.empty());
  }
}

// Nothing is written for more strings or data than Windows takes (the type matrix holds
// the values of other types).
TEST_F(EventSourceTest, StringsAndDataMustBeWhatWindowsTakes) {
  Value h = register_source();
  const Value many = Value::array(std::vector<Value>(257, S("s")));
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), many}), N(ERR_MISSING_TEXT));
  const Value too_much = S(std::string(61441, 'd'));
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x"), N(0), too_much}), N(ERR_MISSING_TEXT));
  EXPECT_TRUE(records().empty());
}

// The strings reach Windows in order, each cut to the 31,839 characters it takes: the
// event is written all the same, and the last error tells whether a string was cut.
TEST_F(EventSourceTest, StringsAreWrittenInOrderCutToWhatWindowsTakes) {
  Value h = register_source();
  const std::string most(31839, 'm');
  const std::string over = most + "overflow";
  struct Case {
    Value strings;
    std::vector<std::string> written;
    double error;
  } cases[] = {
      {S(""), {""}, 0},
      {Value::array({}), {}, 0},
      {Value::array({S("a.txt"), S("b"), Value::memo("denied")}), {"a.txt", "b", "denied"}, 0},
      {Value::array(std::vector<Value>(256, S(""))), std::vector<std::string>(256, ""), 0},
      {S(most), {most}, 0},
      {S(over), {most}, ERROR_MORE_DATA},
      {Value::array({S("first"), S(over), S(most)}), {"first", most, most}, ERROR_MORE_DATA},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), c.strings}), L(true));
    EXPECT_EQ(run(QVEVENTGETLASTERROR, {}), N(c.error));
    std::vector<std::u16string> written;
    for (const std::string& text : c.written) written.emplace_back(text.begin(), text.end());
    EXPECT_TRUE(records().back().strings == written) << xpp::to_literal(c.strings).substr(0, 40);
  }
}

TEST_F(EventSourceTest, TextByReferenceIsAcceptedAndLeftAlone) {
  Value h = register_source();
  Value text = S("by ref");
  Value strings = Value::array({S("one")});
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), xpp::by_ref(text)}), L(true));
  EXPECT_EQ(text, S("by ref"));
  EXPECT_EQ(records().back().strings[0], u"by ref");
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), xpp::by_ref(strings)}), L(true));
  EXPECT_EQ(strings, Value::array({S("one")}));
}

TEST_F(EventSourceTest, CarriesTheUsersSid) {
  Value h = register_source();
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x")}), L(true));
  std::vector<uint8_t> sid = records().back().sid;
  EXPECT_EQ(sid.size(), 28u);
  EXPECT_EQ(sid, qvsim::user_sid("xbuser"));
  EXPECT_NE(sid, qvsim::user_sid("someone"));
}

TEST_F(EventSourceTest, WithoutAUserOrSidTheEventHasNoSid) {
  Value h = register_source();
  struct Failing {
    const char* service;
    int skip;  // calls that go through first
  };
  // The user, the probe of the SID's size, the SID itself.
  for (Failing f : {Failing{"GetUserNameA", 0}, Failing{"LookupAccountNameA", 0},
                    Failing{"LookupAccountNameA", 1}}) {
    SCOPED_TRACE(std::string(f.service) + " after " + std::to_string(f.skip));
    qvsim::fail_next(f.service, ERROR_ACCESS_DENIED, 1, f.skip);
    EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x")}), L(true));
    EXPECT_TRUE(records().back().sid.empty());
  }
  // No SID buffer (after the strings' block and text): no second lookup, the event written.
  qvsim::fail_next("HeapAlloc", 0, 1, 2);
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x")}), L(true));
  EXPECT_TRUE(records().back().sid.empty());
  EXPECT_EQ(records().size(), 4u);
}

TEST_F(EventSourceTest, NoMemoryForStringsOrDataMeansNoEventAndNotEnoughMemory) {
  Value h = register_source();
  // The strings' block, a string's copy, the SID, then the data; for an array the block,
  // the block each element is fetched into, then the copies.
  for (int skip : {0, 1, 3, 11, 12}) {
    qvsim::fail_next("HeapAlloc", 0, 1, skip % 10);
    Value strings = skip < 10 ? S("x") : Value::array({S("x")});
    EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), strings, N(0), S("data")}), L(false)) << skip;
    EXPECT_EQ(run(QVEVENTGETLASTERROR, {}), N(ERROR_NOT_ENOUGH_MEMORY));
  }
  EXPECT_TRUE(records().empty());
}

// Raw data is written byte for byte, zeros and all.
TEST_F(EventSourceTest, DataIsWrittenAsGiven) {
  Value h = register_source();
  for (const std::string& data : {std::string("\x00\x81\xff\x00z", 5), std::string(61440, 'd')}) {
    EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x"), N(0), S(data)}), L(true));
    EXPECT_EQ(records().back().data, std::vector<uint8_t>(data.begin(), data.end()));
  }
}

// Windows 10 and 11 refuse strings somewhat shorter than 31,839 characters; other refusals
// for the size: the long strings are cut further and the event written again, a bounded
// number of times. Refusals for anything else, or without a string that long, stand.
TEST_F(EventSourceTest, ARefusalForTheSizeIsTriedAgainWithShorterStrings) {
  Value h = register_source();
  struct Case {
    uint32_t limit;  // the longest string this Windows takes
    uint32_t error;  // a refusal for the next `refusals` calls
    int refusals;
    std::vector<size_t> given, written;  // written empty: the event is not
    double last_error;
  } cases[] = {
      {31700, 0, 0, {40000, 100}, {31327, 100}, ERROR_MORE_DATA},
      {31698, 0, 0, {31839}, {31327}, ERROR_MORE_DATA},
      {31839, RPC_X_BAD_STUB_DATA, 3, {40000}, {30303}, ERROR_MORE_DATA},
      {31839, RPC_S_INVALID_BOUND, 4, {40000}, {}, 1734},
      {31839, ERROR_INVALID_PARAMETER, 1, {100}, {}, 87},
      {31839, ERROR_ACCESS_DENIED, 1, {40000}, {}, 5},
      {100, 0, 0, {40000}, {}, 1734},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.limit) + " " + std::to_string(c.error));
    qvsim::set_report_string_limit(c.limit);
    if (c.refusals > 0) qvsim::fail_next("ReportEventA", c.error, c.refusals);
    std::vector<Value> strings;
    for (size_t n : c.given) strings.push_back(S(std::string(n, 's')));
    const size_t before = records().size();
    EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), Value::array(strings)}), L(!c.written.empty()));
    EXPECT_EQ(run(QVEVENTGETLASTERROR, {}), N(c.last_error));
    qvsim::clear_faults();
    ASSERT_EQ(records().size(), before + (c.written.empty() ? 0 : 1));
    if (c.written.empty()) continue;
    std::vector<size_t> written;
    const qvsim::RecordView last = records().back();
    for (const std::u16string& s : last.strings) written.push_back(s.size());
    EXPECT_EQ(written, c.written);
  }
}

TEST_F(EventSourceTest, FailedReportLeavesItsError) {
  Value h = register_source();
  qvsim::fail_next("ReportEventA", ERROR_LOG_FILE_FULL);
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x")}), L(false));
  EXPECT_EQ(run(QVEVENTGETLASTERROR, {}), N(ERROR_LOG_FILE_FULL));
}

TEST_F(EventSourceTest, HandleZeroIsRefusedWithoutAWindowsCall) {
  SetLastError(1234);
  for (const Value& handle : {N(0), NIL(), S("1"), N(4294967296.0)}) {
    EXPECT_EQ(run(QVREPORTEVENT, {handle, N(4), N(1), S("x")}), N(ERR_MISSING_FIRST));
    EXPECT_EQ(run(QVDEREGEVENTSOURCE, {handle}), N(ERR_MISSING_FIRST));
  }
  EXPECT_EQ(run(QVDEREGEVENTSOURCE, {}), N(ERR_MISSING_FIRST));
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_TRUE(records().empty());
}

TEST_F(EventSourceTest, DeregisteredHandleIsInvalid) {
  Value h = register_source();
  EXPECT_EQ(run(QVDEREGEVENTSOURCE, {h}), L(true));
  EXPECT_EQ(run(QVDEREGEVENTSOURCE, {h}), L(false));
  EXPECT_EQ(run(QVEVENTGETLASTERROR, {}), N(ERROR_INVALID_HANDLE));
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x")}), L(false));
  EXPECT_EQ(run(QVEVENTGETLASTERROR, {}), N(ERROR_INVALID_HANDLE));
}

}  // namespace
