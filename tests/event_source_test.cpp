// Registering event sources and reporting events.
#include "host/exports.h"
#include "host/status.h"
#include "platform/qv_windows.h"
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
    EXPECT_EQ(run(QVREPORTEVENT, {h, c.type, c.id, S("text")}), L(true));
    qvsim::RecordView r = records().back();
    EXPECT_EQ(r.event_type, c.written_type) << xpp::to_literal(c.type.value);
    EXPECT_EQ(r.event_id, c.written_id) << xpp::to_literal(c.id.value);
    EXPECT_EQ(r.category, 0);
    EXPECT_TRUE(r.data.empty());
  }
}

TEST_F(EventSourceTest, TextMustBeACharacterValue) {
  Value h = register_source();
  for (const Value& text : {N(5), L(true), NIL(), Value::array({S("x")})}) {
    EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), text}), N(ERR_MISSING_TEXT));
  }
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1)}), N(ERR_MISSING_TEXT));
  EXPECT_TRUE(records().empty());
}

TEST_F(EventSourceTest, TextIsWrittenWhole) {
  Value h = register_source();
  std::string long_text(5000, 'x');
  long_text += "\xe9\x80";  // e-acute and the euro sign in Windows-1252
  for (const std::string& text : {std::string(""), std::string("hello"), long_text}) {
    EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S(text)}), L(true));
    qvsim::RecordView r = records().back();
    ASSERT_EQ(r.strings.size(), 1u);
    ASSERT_EQ(r.strings[0].size(), text.size());
    if (text == long_text) {
      EXPECT_EQ(r.strings[0][text.size() - 2], u'\u00e9');
      EXPECT_EQ(r.strings[0][text.size() - 1], u'\u20ac');
    }
    EXPECT_EQ(r.source, "MyApp");
    EXPECT_EQ(r.computer, "QVHOST");
    EXPECT_EQ(r.time_generated, 1100043200u);
  }
}

TEST_F(EventSourceTest, TextByReferenceIsAcceptedAndLeftAlone) {
  Value h = register_source();
  Value text = S("by ref");
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), xpp::by_ref(text)}), L(true));
  EXPECT_EQ(text, S("by ref"));
  EXPECT_EQ(records().back().strings[0], u"by ref");
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
  // The SID buffer cannot be had: no second lookup, the event is still written.
  qvsim::fail_next("HeapAlloc", 0);
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x")}), L(true));
  EXPECT_TRUE(records().back().sid.empty());
  EXPECT_EQ(records().size(), 4u);
}

TEST_F(EventSourceTest, NoTextBufferMeansNoEventAndNotEnoughMemory) {
  Value h = register_source();
  // The first allocation is the SID's, the second the text's.
  qvsim::fail_next("HeapAlloc", 0, 2);
  EXPECT_EQ(run(QVREPORTEVENT, {h, N(4), N(1), S("x")}), L(false));
  EXPECT_EQ(run(QVEVENTGETLASTERROR, {}), N(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(records().empty());
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
