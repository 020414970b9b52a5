#include "follow_timing.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace qvbench {
namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double thread_cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

void measure_follow_latency(benchmark::State& state, const std::function<void(int)>& write,
                            const std::function<bool(int)>& wait) {
  std::atomic<int> waiting_for{0};
  std::vector<std::atomic<int64_t>> written(kFollowedWrites + 1);
  std::thread writer([&] {
    unsigned seed = 12345;
    for (int i = 1; i <= kFollowedWrites; ++i) {
      while (waiting_for.load() < i) std::this_thread::yield();
      seed = seed * 1103515245u + 12345u;
      std::this_thread::sleep_for(std::chrono::milliseconds((seed >> 16) % 150));
      written[i] = Clock::now().time_since_epoch().count();
      write(i);
    }
  });
  std::vector<double> latencies;
  for (int i = 1; i <= kFollowedWrites; ++i) {
    waiting_for = i;
    const bool got_it = wait(i);
    Clock::time_point returned = Clock::now();
    if (!got_it) state.SkipWithError("the wait did not return the write");
    latencies.push_back(
        milliseconds(returned - Clock::time_point(Clock::duration(written[i].load()))));
  }
  writer.join();
  std::sort(latencies.begin(), latencies.end());
  const int middle = kFollowedWrites / 2;
  state.counters["median_ms"] = (latencies[middle - 1] + latencies[middle]) / 2;
  state.counters["worst_ms"] = latencies.back();
}

void measure_idle_wait(benchmark::State& state, const std::function<bool()>& wait) {
  double cpu_before = thread_cpu_ms();
  Clock::time_point began = Clock::now();
  const bool saw_nothing = wait();
  double waited = milliseconds(Clock::now() - began);
  double cpu = thread_cpu_ms() - cpu_before;
  if (!saw_nothing) state.SkipWithError("the wait saw a change");
  state.counters["waited_ms"] = waited;
  state.counters["cpu_ms"] = cpu;
  state.counters["cpu_percent_of_core"] = 100 * cpu / waited;
}

}  // namespace qvbench
