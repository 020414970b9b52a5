// Following a channel with QVEVTSUBSCRIBE and a waiting QVEVTNEXT: how soon the waiting call
// returns after another thread writes, and what waiting costs the processor while nothing is
// written. Measured as bench_follow.cpp measures QVWAITEVENTLOG, for comparison.
#include <benchmark/benchmark.h>

#include "follow_timing.h"
#include "qvsim/control.h"
#include "shipped_module.h"
#include "xpprt/host.h"

namespace {

using xpp::Value;

struct Exports {
  xpp::ExportFn subscribe = qvbench::shipped_export("QVEVTSUBSCRIBE");
  xpp::ExportFn next = qvbench::shipped_export("QVEVTNEXT");
  xpp::ExportFn close = qvbench::shipped_export("QVEVTCLOSE");
  xpp::ExportFn source = qvbench::shipped_export("QVREGEVENTSOURCE");
  xpp::ExportFn report = qvbench::shipped_export("QVREPORTEVENT");
  xpp::ExportFn unsource = qvbench::shipped_export("QVDEREGEVENTSOURCE");
  bool found() const { return subscribe && next && close && source && report && unsource; }
};

// The time from a write on one thread, through a source handle of its own, to the return of
// QVEVTNEXT waiting on another. Each write carries its number as the event identifier.
void BM_follow_channel_latency(benchmark::State& state) {
  const Exports x;
  if (!x.found()) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  for (auto _ : state) {
    qvsim::reset();
    Value subscription = xpp::call(x.subscribe, {Value::nil(), Value::str("Application")}).value;
    Value source = xpp::call(x.source, {Value::str(""), Value::str("BenchWriter")}).value;
    qvbench::measure_follow_latency(
        state,
        [&](int i) {
          xpp::call(x.report, {source, Value::num(4), Value::num(i), Value::str("followed")});
        },
        [&](int i) {
          Value event = xpp::call(x.next, {subscription, Value::num(10000)}).value;
          return event.is_array() && event.items.at(3).number == i;
        });
    xpp::call(x.unsource, {source});
    xpp::call(x.close, {subscription});
  }
}
BENCHMARK(BM_follow_channel_latency)
    ->Name("follow_channel/latency")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
    qvbench::measure_idle_wait(state, [&] {
      return xpp::call(x.next, {subscription, Value::num(qvbench::kIdleWaitMs)}).value.is_nil();
    });
    xpp::call(x.close, {subscription});
  }
}
BENCHMARK(BM_follow_channel_idle)
    ->Name("follow_channel/idle_10s")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
