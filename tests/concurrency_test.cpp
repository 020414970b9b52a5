// Several threads writing to and reading from one log at once.
#include <atomic>
#include <set>
#include <thread>

#include "host/exports.h"
#include "host/status.h"
#include "platform/qv_windows.h"
#include "sim_fixture.h"

namespace {

using xpp::Value;

constexpr int kWriters = 4;
constexpr int kReaders = 2;
constexpr int kEvents = 150;  // per writer

class ConcurrencyTest : public SimTest {};

TEST_F(ConcurrencyTest, WritersAndReadersShareOneLog) {
  std::atomic<int> writers_done{0};
  std::vector<DWORD> writer_errors(kWriters), reader_errors(kReaders);
  std::vector<std::vector<Value>> seen(kReaders);

  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      Value h = run(QVREGEVENTSOURCE, {S(""), S("Writer" + std::to_string(w))});
      for (int i = 0; i < kEvents; ++i)
        EXPECT_EQ(
            run(QVREPORTEVENT, {h, N(4), N(w), S(std::to_string(w) + "/" + std::to_string(i))}),
            L(true));
      run(QVDEREGEVENTSOURCE, {h});
      run(QVDEREGEVENTSOURCE, {h});  // fails with 6, for this thread only
      ++writers_done;
      writer_errors[w] = static_cast<DWORD>(run(QVEVENTGETLASTERROR, {}).number);
    });
  }
  for (int r = 0; r < kReaders; ++r) {
    threads.emplace_back([&, r] {
      Value h = run(QVOPENEVENTLOG, {S(""), S("Application")});
      // Read forwards until every writer has finished and the end is reached once more.
      for (;;) {
        bool finished = writers_done.load() == kWriters;
        Value record =
            run(QVREADEVENTLOG, {h, N(EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ)});
        if (record.is_array()) {
          seen[r].push_back(record);
          continue;
        }
        EXPECT_EQ(record, N(ERR_READ_FAILED));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HANDLE_EOF));
        if (finished) break;
        std::this_thread::yield();
      }
      reader_errors[r] = static_cast<DWORD>(run(QVEVENTGETLASTERROR, {}).number);
      run(QVCLOSEEVENTLOG, {h});
    });
  }
  for (std::thread& t : threads) t.join();

  for (DWORD e : writer_errors) EXPECT_EQ(e, static_cast<DWORD>(ERROR_INVALID_HANDLE));
  for (DWORD e : reader_errors) EXPECT_EQ(e, static_cast<DWORD>(ERROR_HANDLE_EOF));

  for (const std::vector<Value>& records : seen) {
    ASSERT_EQ(records.size(), static_cast<size_t>(kWriters * kEvents));
    std::set<std::string> texts;
    for (size_t i = 0; i < records.size(); ++i) {
      // Record numbers run 1, 2, 3, ... with nothing lost or read twice.
      EXPECT_EQ(records[i].items[0], N(static_cast<double>(i + 1)));
      texts.insert(records[i].items[7].text);
    }
    EXPECT_EQ(texts.size(), records.size());
  }
  // Each writer's events are in the log in the order it wrote them.
  std::vector<int> next(kWriters, 0);
  for (const Value& record : seen[0]) {
    int writer = static_cast<int>(record.items[3].number);
    EXPECT_EQ(record.items[7].text, std::to_string(writer) + "/" + std::to_string(next[writer]));
    ++next[writer];
  }
}

}  // namespace

// Threads querying at once, each query kept with its flags in the library's table until it
// is closed; and, in a process of its own, threads that meet at the first lookup of
// wevtapi.dll.
constexpr int kQueryThreads = 4;
constexpr int kQueriesEach = 40;

void query_repeatedly(std::vector<int>* events_read) {
  for (int q = 0; q < kQueriesEach; ++q) {
    Value h = run(QVEVTQUERY, {S(""), S(QV_TESTDATA_DIR "/new-user-security.evtx"), S("*"),
                               N(1 + 4 * (q % 2))});
    int events = 0;
    while (run(QVEVTNEXT, {h}).is_array()) ++events;
    events_read->push_back(events);
    EXPECT_EQ(run(QVEVTCLOSE, {h}), L(true));
  }
}

TEST_F(ConcurrencyTest, QueriesOnManyThreads) {
  std::vector<std::vector<int>> events(kQueryThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kQueryThreads; ++t) threads.emplace_back(query_repeatedly, &events[t]);
  for (std::thread& t : threads) t.join();
  for (const std::vector<int>& each : events) EXPECT_EQ(each, std::vector<int>(kQueriesEach, 4));
}

TEST(ConcurrencyFirstLookup, ThreadsMeetingAtTheFirstLookupFindTheSameService) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::vector<std::vector<int>> events(kQueryThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kQueryThreads; ++t) threads.emplace_back(query_repeatedly, &events[t]);
        for (std::thread& t : threads) t.join();
        int wrong = 0;
        for (const std::vector<int>& each : events)
          wrong += each != std::vector<int>(kQueriesEach, 4);
        std::exit(wrong);
      },
      ::testing::ExitedWithCode(0), "");
}
