// Following a channel with QVEVTSUBSCRIBE and a waiting QVEVTNEXT: how soon the waiting call
// returns after another thread writes, and what waiting costs the processor while nothing is
// written. Measured as bench_follow.cpp measures QVWAITEVENTLOG, for comparison.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "shipped_module.h"
#include "qvsim/control.h"
#include "xpprt/host.h"

namespace {

using Clock = std::chrono::steady_clock;
using xpp::Value;

constexpr int kWrites = 100;
constexpr double kIdleWaitMs = 10000;

struct Exports {
  xpp::ExportFn subscribe = qvbench::shipped_export("QVEVTSUBSCRIBE");
  xpp::ExportFn next = qvbench::shipped_export("QVEVTNEXT");
  xpp::ExportFn close = qvbench::shipped_export("QVEVTCLOSE");
  xpp::ExportFn source = qvbench::shipped_export("QVREGEVENTSOURCE");
  xpp::ExportFn report = qvbench::shipped_export("QVREPORTEVENT");
  xpp::ExportFn unsource = qvbench::shipped_export("QVDEREGEVENTSOURCE");
  bool found() const { return subscribe && next && close && source && report && unsource; }
};

double milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The time from a write on one thread to the return of QVEVTNEXT waiting on another. The
// writer writes at a varying moment (0 to 149 ms after the call began), through a handle of
// its own, as another program's thread would.
void BM_follow_channel_latency(benchmark::State& state) {
  const Exports x;
  if (!x.found()) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  for (auto _ : state) {
    qvsim::reset();
    std::atomic<int> waiting_for{0};
    std::vector<std::atomic<int64_t>> written(kWrites + 1);
    Value subscription = xpp::call(x.subscribe, {Value::nil(), Value::str("Application")}).value;
    std::thread writer([&] {
      Value source = xpp::call(x.source, {Value::str(""), Value::str("BenchWriter")}).value;
      unsigned seed = 12345;
      for (int i = 1; i <= kWrites; ++i) {
        while (waiting_for.load() < i) std::this_thread::yield();
        seed = seed * 1103515245u + 12345u;
        std::this_thread::sleep_for(std::chrono::milliseconds((seed >> 16) % 150));
        written[i] = Clock::now().time_since_epoch().count();
        xpp::call(x.report, {source, Value::num(4), Value::num(i), Value::str("followed")});
      }
      xpp::call(x.unsource, {source});
    });
    std::vector<double> latencies;
    for (int i = 1; i <= kWrites; ++i) {
      waiting_for = i;
      Value event = xpp::call(x.next, {subscription, Value::num(10000)}).value;
      Clock::time_point returned = Clock::now();
      if (!event.is_array() || event.items.at(3).number != i)
        state.SkipWithError("the wait did not return the write");
      latencies.push_back(
          milliseconds(returned - Clock::time_point(Clock::duration(written[i].load()))));
    }
    writer.join();
    xpp::call(x.close, {subscription});
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_ms"] = (latencies[kWrites / 2 - 1] + latencies[kWrites / 2]) / 2;
    state.counters["worst_ms"] = latencies.back();
  }
}
BENCHMARK(BM_follow_channel_latency)
    ->Name("follow_channel/latency")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

double thread_cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// One QVEVTNEXT waiting 10 s on a channel that nobody writes: the processor time it takes,
// as a share of one core over the time it waited.
void BM_follow_channel_idle(benchmark::State& state) {
  const Exports x;
  if (!x.found()) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  for (auto _ : state) {
    qvsim::reset();
    Value subscription = xpp::call(x.subscribe, {Value::nil(), Value::str("Application")}).value;
    double cpu_before = thread_cpu_ms();
    Clock::time_point began = Clock::now();
    Value result = xpp::call(x.next, {subscription, Value::num(kIdleWaitMs)}).value;
    double waited = milliseconds(Clock::now() - began);
    double cpu = thread_cpu_ms() - cpu_before;
    if (!result.is_nil()) state.SkipWithError("the wait returned an event");
    xpp::call(x.close, {subscription});
    state.counters["waited_ms"] = waited;
    state.counters["cpu_ms"] = cpu;
    state.counters["cpu_percent_of_core"] = 100 * cpu / waited;
  }
}
BENCHMARK(BM_follow_channel_idle)
    ->Name("follow_channel/idle_10s")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
