// Many threads formatting at once, their first calls included: the system's zone is
// queried once and every thread sees the same zone.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/exports.h"
#include "qvsim/timezone_control.h"
#include "time/zone.h"
#include "xpprt/host.h"

namespace {

constexpr int kThreads = 8;
constexpr int kCalls = 200;

std::string format(uint32_t seconds, const char* fmt) {
  return xpp::call(QVFORMATDATETIME,
                   {xpp::Value::num(static_cast<int32_t>(seconds)), xpp::Value::str(fmt)})
      .value.text;
}

uint32_t time_of(int thread, int call) {
  return 1u + static_cast<uint32_t>(thread * 7919 + call) * 21474799u;
}

TEST(FormatThreads, FirstCallsMeetAndAllAgree) {
  const int queries_before = qvsim::time_zone_queries();
  std::atomic<int> ready{0};
  std::vector<std::vector<std::string>> results(kThreads);
  std::vector<const qv::TimeZone*> zones(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      zones[i] = &qv::system_zone();
      for (int n = 0; n < kCalls; ++n)
        results[i].push_back(format(time_of(i, n), "%c %Z|%j %U %W %r"));
    });
  }
  for (std::thread& t : threads) t.join();

  // One query at most; exactly one when this process had not queried yet.
  const int queries = qvsim::time_zone_queries() - queries_before;
  EXPECT_EQ(queries, queries_before == 0 ? 1 : 0);
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(zones[i], zones[0]);
    for (int n = 0; n < kCalls; ++n)
      ASSERT_EQ(results[i][n], format(time_of(i, n), "%c %Z|%j %U %W %r"));
  }
}

TEST(FormatThreads, FailedFirstQueryFallsBackOnce) {
  if (qvsim::time_zone_queries() != 0) GTEST_SKIP() << "the system zone was taken already";
  qvsim::fail_next("GetTimeZoneInformation", ERROR_ACCESS_DENIED, 100);
  std::vector<std::thread> threads;
  std::vector<const qv::TimeZone*> zones(kThreads);
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] { zones[i] = &qv::system_zone(); });
  for (std::thread& t : threads) t.join();
  qvsim::clear_faults();
  EXPECT_EQ(qvsim::time_zone_queries(), 1);
  EXPECT_STREQ(zones[0]->std_name, "EST");
  EXPECT_STREQ(zones[0]->dst_name, "EDT");
  EXPECT_EQ(zones[0]->std_offset, -18000);
  for (const qv::TimeZone* z : zones) EXPECT_EQ(z, zones[0]);
}

}  // namespace
