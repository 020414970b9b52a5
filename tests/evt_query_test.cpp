// The exports of the event log of Windows Vista and later: queries on a channel served from a
// real .evtx file and on the file itself, each event's array, the classic logs as channels
// (messages, an OEM program), subscriptions and bookmarks, failures with Windows' codes, and
// wevtapi.dll absent.
#include <algorithm>
#include <cstdlib>
#include <thread>

#include "host/exports.h"
#include "host/status.h"
#include "qvsim/wevtapi_control.h"
#include "reading/evt_event.h"
#include "sim_fixture.h"

namespace {

using xpp::Value;

const std::string kFile = QV_TESTDATA_DIR "/new-user-security.evtx";
const char kChannel[] = "Quorvel-Test/NewUser";

class EvtTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    qvsim::serve_channel(kChannel, kFile);
  }
  // Every event of the query, closing it at the end; fails on anything but an array or NIL.
  std::vector<Value> all(std::vector<xpp::Arg> query) {
    Value handle = run(QVEVTQUERY, query);
    EXPECT_TRUE(handle.is_number() && handle.number != 0) << xpp::to_literal(handle);
    std::vector<Value> events;
    for (;;) {
      Value event = run(QVEVTNEXT, {handle});
      if (!event.is_array()) {
        EXPECT_TRUE(event.is_nil()) << xpp::to_literal(event);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
        break;
      }
      events.push_back(event);
    }
    EXPECT_EQ(run(QVEVTCLOSE, {handle}), L(true));
    return events;
  }
};

std::vector<double> record_ids(const std::vector<Value>& events) {
  std::vector<double> ids;
  for (const Value& e : events) ids.push_back(e.items.at(QVEVT_RECORDID - 1).number);
  return ids;
}

// ---------------------------------------------------------------------------------------
// Queries: the records each gives, in order.

struct Query {
  const char* name;
  std::vector<xpp::Arg> args;
  std::vector<double> records;
};
void PrintTo(const Query& q, std::ostream* os) { *os << q.name; }

class EvtQueries : public EvtTest, public ::testing::WithParamInterface<Query> {};

TEST_P(EvtQueries, RecordsInOrder) {
  EXPECT_EQ(record_ids(all(GetParam().args)), GetParam().records);
}

const std::string kStructured = std::string("<QueryList><Query Id='0' Path='") + kChannel +
                                "'><Select Path='" + kChannel +
                                "'>*[System[EventID=4732]]</Select><Suppress Path='" + kChannel +
                                "'>*[System[EventRecordID=116]]</Suppress></Query></QueryList>";

INSTANTIATE_TEST_SUITE_P(
    Rows, EvtQueries,
    ::testing::Values(
        Query{"channel", {xpp::absent(), S(kChannel)}, {111, 112, 113, 116}},
        Query{"file", {S(""), S(kFile), NIL(), N(QVEVT_FILE)}, {111, 112, 113, 116}},
        Query{"file_newest_first",
              {S(""), S(kFile), S(""), N(QVEVT_FILE + QVEVT_REVERSE)},
              {116, 113, 112, 111}},
        Query{"xpath", {xpp::absent(), S(kChannel), S("*[System[EventID=4732]]")}, {113, 116}},
        Query{"xpath_file_reverse",
              {xpp::absent(), S(kFile), S("*[EventData[Data[@Name='TargetUserName']='IEUser']]"),
               N(QVEVT_FILE + QVEVT_REVERSE)},
              {112}},
        Query{"structured_without_path", {xpp::absent(), xpp::absent(), S(kStructured)}, {113}},
        Query{"own_computer_with_messages",
              {S("\\\\QVHOST"), S(kChannel), S("*"), N(QVEVT_MESSAGES)},
              {111, 112, 113, 116}}),
    [](const ::testing::TestParamInfo<Query>& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------------------
// Each event's array, as the file holds it.

TEST_F(EvtTest, EveryPositionOfTheArray) {
  struct Expected {
    double event_id, task, time;
    size_t pairs;
    size_t pair;  // one of the pairs, 1-based
    const char* name;
    const char* value;
  };
  // The file holds the line breaks of UserAccountControl as CR LF (evtxexport and
  // evtx_dump.py both print LF alone).
  const Expected expected[] = {
      {4728, 13826, 1382545359, 10, 1, "MemberName", "-"},
      {4720, 13824, 1382545359, 26, 23, "UserAccountControl",
       "\r\n\t\t%%2080\r\n\t\t%%2082\r\n\t\t%%2084"},
      {4732, 13826, 1382545359, 10, 2, "MemberSid",
       "S-1-5-21-3463664321-2923530833-3546627382-1000"},
      {4732, 13826, 1382545360, 10, 10, "PrivilegeList", "-"},
  };
  for (bool as_file : {false, true}) {
    std::vector<Value> events = as_file
                                    ? all({xpp::absent(), S(kFile), xpp::absent(), N(QVEVT_FILE)})
                                    : all({NIL(), S(kChannel)});
    ASSERT_EQ(events.size(), std::size(expected));
    for (size_t i = 0; i < events.size(); ++i) {
      const std::vector<Value>& e = events[i].items;
      const Expected& x = expected[i];
      SCOPED_TRACE(std::to_string(i + 1) + (as_file ? " in the file" : " in the channel"));
      ASSERT_EQ(e.size(), static_cast<size_t>(QVEVT_ELEMENTS));
      EXPECT_EQ(e[QVEVT_EVENTID - 1], N(x.event_id));
      EXPECT_EQ(e[QVEVT_TIME - 1], N(x.time));
      EXPECT_EQ(e[QVEVT_LEVEL - 1], N(0));
      EXPECT_EQ(e[QVEVT_TASK - 1], N(x.task));
      EXPECT_EQ(e[QVEVT_OPCODE - 1], N(0));
      EXPECT_EQ(e[QVEVT_KEYWORDS - 1], S("0x8020000000000000"));
      EXPECT_EQ(e[QVEVT_PROVIDER - 1], S("Microsoft-Windows-Security-Auditing"));
      EXPECT_EQ(e[QVEVT_CHANNEL - 1], S("Security"));
      EXPECT_EQ(e[QVEVT_COMPUTER - 1], S("IE8Win7"));
      EXPECT_EQ(e[QVEVT_USERSID - 1], S(""));
      EXPECT_EQ(e[QVEVT_PROCESSID - 1], N(508));
      EXPECT_EQ(e[QVEVT_THREADID - 1], N(1032));
      EXPECT_EQ(e[QVEVT_MESSAGE - 1], S(""));
      // The time as the XML writes it, which holds it.
      const std::string& time = e[QVEVT_SYSTEMTIME - 1].text;
      EXPECT_EQ(
          time.rfind(x.time == 1382545359 ? "2013-10-23T16:22:39." : "2013-10-23T16:22:40.", 0), 0u)
          << time;
      EXPECT_EQ(time.back(), 'Z');
      const std::string& xml = e[QVEVT_XML - 1].text;
      EXPECT_NE(xml.find("SystemTime='" + time + "'"), std::string::npos) << xml;
      EXPECT_NE(xml.find("<EventRecordID>" + xpp::to_literal(e[0]) + "</EventRecordID>"),
                std::string::npos)
          << xml;
      const std::vector<Value>& data = e[QVEVT_DATA - 1].items;
      ASSERT_EQ(data.size(), x.pairs);
      EXPECT_EQ(data[x.pair - 1], Value::array({S(x.name), S(x.value)}));
    }
  }
}

// ---------------------------------------------------------------------------------------
// A classic log as a channel: the event as Windows Vista and later show it, with its message
// from the source's message file, in an ANSI and in an OEM program.

TEST_F(EvtTest, ClassicEventWithItsMessage) {
  ASSERT_EQ(run(QVCREATEEVENTKEY, {S("MyApp"), S(QV_TESTDATA_DIR "/quorvel-messages.dll")}), N(0));
  for (bool oem : {false, true}) {
    SCOPED_TRACE(oem ? "OEM" : "ANSI");
    xpp::set_thread_charset(oem);
    // "Müller" in the caller's character set: 0xFC in ANSI, 0x81 in OEM (850).
    const std::string name = oem ? "M\x81ller" : "M\xFCller";
    Value source = run(QVREGEVENTSOURCE, {S(""), S("MyApp")});
    ASSERT_EQ(run(QVREPORTEVENT, {source, N(2), N(7), S(name)}), L(true));
    run(QVDEREGEVENTSOURCE, {source});
    std::vector<Value> events =
        all({S(""), S("Application"), S("*[System[Level=3]]"), N(QVEVT_REVERSE + QVEVT_MESSAGES)});
    xpp::set_thread_charset(false);
    ASSERT_FALSE(events.empty());
    const std::vector<Value>& e = events.front().items;
    EXPECT_EQ(e[QVEVT_EVENTID - 1], N(7));
    EXPECT_EQ(e[QVEVT_LEVEL - 1], N(3));
    EXPECT_EQ(e[QVEVT_TIME - 1], N(1100043200));
    EXPECT_EQ(e[QVEVT_PROVIDER - 1], S("MyApp"));
    EXPECT_EQ(e[QVEVT_CHANNEL - 1], S("Application"));
    EXPECT_EQ(e[QVEVT_COMPUTER - 1], S("QVHOST"));
    EXPECT_EQ(e[QVEVT_KEYWORDS - 1], S("0x80000000000000"));
    EXPECT_EQ(e[QVEVT_USERSID - 1].text.rfind("S-1-5-21-", 0), 0u);
    EXPECT_EQ(e[QVEVT_DATA - 1], Value::array({Value::array({S(""), S(name)})}));
    EXPECT_EQ(e[QVEVT_MESSAGE - 1], S(name + "\r\n"));
    EXPECT_NE(e[QVEVT_XML - 1].text.find("<Data>" + name + "</Data>"), std::string::npos);
  }
}

TEST_F(EvtTest, ChannelsListedAndQueriesClosedOnce) {
  Value channels = run(QVEVTCHANNELS, {});
  ASSERT_TRUE(channels.is_array());
  for (const char* name : {"Application", "System", "Security", kChannel})
    EXPECT_NE(std::find(channels.items.begin(), channels.items.end(), S(name)),
              channels.items.end())
        << name;
  EXPECT_EQ(run(QVEVTCHANNELS, {S("QVHOST")}), channels);

  Value handle = run(QVEVTQUERY, {NIL(), S(kChannel)});
  EXPECT_EQ(run(QVEVTCLOSE, {handle}), L(true));
  EXPECT_EQ(run(QVEVTCLOSE, {handle}), L(false));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(run(QVEVTNEXT, {handle}), N(ERR_READ_FAILED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// ---------------------------------------------------------------------------------------
// Subscriptions: the events each reads, from a bookmark taken after the second of three, and
// the last error it leaves.

void write_event(double id) {
  Value source = run(QVREGEVENTSOURCE, {S(""), S("Follower")});
  EXPECT_EQ(run(QVREPORTEVENT, {source, N(4), N(id), S("event")}), L(true));
  run(QVDEREGEVENTSOURCE, {source});
}

std::string bookmark_of(double record_id) {
  return "<BookmarkList>\r\n  <Bookmark Channel='Application' RecordId='" +
         xpp::to_literal(N(record_id)) + "' IsCurrent='true'/>\r\n</BookmarkList>";
}

struct Follow {
  const char* name;
  bool from_bookmark;
  double flags;
  bool clear;  // the log cleared before the subscription, and event 4 written after
  std::vector<double> events;
  DWORD error;
};
void PrintTo(const Follow& f, std::ostream* os) { *os << f.name; }

class EvtFollowing : public EvtTest, public ::testing::WithParamInterface<Follow> {};

TEST_P(EvtFollowing, EventsAfterTheStart) {
  const Follow& f = GetParam();
  for (double id : {1, 2, 3}) write_event(id);
  Value query =
      run(QVEVTQUERY, {NIL(), S("Application"), S("*[System[Provider[@Name='Follower']]]")});
  EXPECT_EQ(run(QVEVTBOOKMARK, {query}), S(""));
  run(QVEVTNEXT, {query});
  const double second = run(QVEVTNEXT, {query}).items.at(QVEVT_RECORDID - 1).number;
  const Value bookmark = run(QVEVTBOOKMARK, {query});
  EXPECT_EQ(bookmark, S(bookmark_of(second)));
  run(QVEVTCLOSE, {query});
  if (f.clear) run(QVCLEAREVENTLOG, {run(QVOPENEVENTLOG, {S(""), S("Application")})});
  Value subscription =
      run(QVEVTSUBSCRIBE, {NIL(), S("Application"), S("*[System[Provider[@Name='Follower']]]"),
                           f.from_bookmark ? bookmark : NIL(), N(f.flags)});
  EXPECT_EQ(GetLastError(), f.error);
  ASSERT_NE(subscription, N(0));
  if (f.clear) write_event(4);
  std::vector<double> ids;
  for (Value e; (e = run(QVEVTNEXT, {subscription})).is_array();)
    ids.push_back(e.items.at(QVEVT_EVENTID - 1).number);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(ids, f.events);
  EXPECT_EQ(run(QVEVTCLOSE, {subscription}), L(true));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EvtFollowing,
    ::testing::Values(Follow{"future_only", false, 0, false, {}, 0},
                      Follow{"existing_first", false, QVEVT_EXISTING, false, {1, 2, 3}, 0},
                      Follow{"after_bookmark", true, QVEVT_EXISTING, false, {3}, 0},
                      Follow{"stale_bookmark", true, 0, true, {4}, ERROR_NOT_FOUND}),
    [](const ::testing::TestParamInfo<Follow>& row) { return std::string(row.param.name); });

// A write on another thread ends a waiting QVEVTNEXT; a wait with none written gives NIL.
TEST_F(EvtTest, WaitingSubscriptionSeesAWriteOfAnotherThread) {
  Value subscription = run(QVEVTSUBSCRIBE, {NIL(), S("Application")});
  ASSERT_NE(subscription, N(0));
  EXPECT_TRUE(run(QVEVTNEXT, {subscription, N(30)}).is_nil());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  std::thread writer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    write_event(21);
  });
  Value event = run(QVEVTNEXT, {subscription, N(60000)});
  writer.join();
  ASSERT_TRUE(event.is_array()) << xpp::to_literal(event);
  EXPECT_EQ(event.items.at(QVEVT_EVENTID - 1), N(21));
  EXPECT_EQ(run(QVEVTBOOKMARK, {subscription}),
            S(bookmark_of(event.items.at(QVEVT_RECORDID - 1).number)));
  EXPECT_EQ(run(QVEVTCLOSE, {subscription}), L(true));
  EXPECT_EQ(run(QVEVTBOOKMARK, {subscription}), N(ERR_READ_FAILED));
}

// ---------------------------------------------------------------------------------------
// Failures: 0 from the query or subscription with Windows' reason, an empty list of channels.

struct Failure {
  const char* name;
  std::vector<xpp::Arg> args;
  DWORD error;
  xpp::ExportFn fn = QVEVTQUERY;
};
void PrintTo(const Failure& f, std::ostream* os) { *os << f.name; }

class EvtFailures : public EvtTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(EvtFailures, ZeroWithWindowsReason) {
  EXPECT_EQ(run(GetParam().fn, GetParam().args), N(0));
  EXPECT_EQ(GetLastError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EvtFailures,
    ::testing::Values(
        Failure{"unknown_channel", {NIL(), S("No-Such/Channel")}, ERROR_EVT_CHANNEL_NOT_FOUND},
        Failure{"missing_file",
                {NIL(), S(kFile + ".gone"), NIL(), N(QVEVT_FILE)},
                ERROR_FILE_NOT_FOUND},
        Failure{"query_not_accepted",
                {NIL(), S(kChannel), S("*[System[EventID=")},
                ERROR_EVT_INVALID_QUERY},
        Failure{"function_not_accepted",
                {NIL(), S(kChannel), S("*[System[contains(Channel,'S')]]")},
                ERROR_EVT_INVALID_QUERY},
        Failure{"other_server", {S("\\\\ELSEWHERE"), S(kChannel)}, RPC_S_SERVER_UNAVAILABLE},
        Failure{"subscribe_unknown_channel",
                {NIL(), S("No-Such/Channel")},
                ERROR_EVT_CHANNEL_NOT_FOUND,
                QVEVTSUBSCRIBE},
        Failure{"subscribe_to_file",
                {NIL(), S(kFile), NIL(), NIL(), N(QVEVT_FILE)},
                ERROR_INVALID_PARAMETER,
                QVEVTSUBSCRIBE},
        Failure{"subscribe_from_no_bookmark",
                {NIL(), S("Application"), NIL(), S("<Bookmarks/>")},
                ERROR_INVALID_PARAMETER,
                QVEVTSUBSCRIBE}),
    [](const ::testing::TestParamInfo<Failure>& row) { return std::string(row.param.name); });

TEST_F(EvtTest, ChannelsOfAnotherServer) {
  EXPECT_EQ(run(QVEVTCHANNELS, {S("ELSEWHERE")}), Value::array({}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
}

// A log of forwarded events that the readers in Debian fail on: read, or refused with
// -1100, up to its end, never more.
TEST_F(EvtTest, DamagedFileEndsCleanly) {
  Value handle = run(QVEVTQUERY, {NIL(), S(QV_TESTDATA_DIR "/MSExchange_Management_wec.evtx"),
                                  NIL(), N(QVEVT_FILE + QVEVT_MESSAGES)});
  ASSERT_NE(handle, N(0));
  Value event = run(QVEVTNEXT, {handle});
  for (int call = 1; call < 10 && !event.is_nil(); ++call) {
    EXPECT_TRUE(event.is_array() || event == N(ERR_READ_FAILED)) << xpp::to_literal(event);
    event = run(QVEVTNEXT, {handle});
  }
  EXPECT_TRUE(event.is_nil());
  EXPECT_EQ(run(QVEVTCLOSE, {handle}), L(true));
}

// Without wevtapi.dll, as on Windows XP, every export answers 120. The library looks the
// service up once in a process, so this runs in a process of its own.
TEST(EvtAbsent, EveryExportAnswers120) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        qvsim::hide_module("wevtapi.dll");
        int wrong = 0;
        auto expect = [&](const Value& got, const Value& wanted) {
          wrong += !(got == wanted) || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
        };
        expect(run(QVEVTQUERY, {NIL(), S("Application")}), N(0));
        expect(run(QVEVTNEXT, {N(5)}), N(ERR_READ_FAILED));
        expect(run(QVEVTCLOSE, {N(5)}), L(false));
        expect(run(QVEVTCHANNELS, {}), Value::array({}));
        expect(run(QVEVTSUBSCRIBE, {NIL(), S("Application")}), N(0));
        expect(run(QVEVTBOOKMARK, {N(5)}), N(ERR_READ_FAILED));
        std::exit(wrong);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
