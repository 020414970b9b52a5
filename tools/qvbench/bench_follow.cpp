// Following a log with QVWAITEVENTLOG: how soon a waiting call returns after another thread
// writes, and what waiting costs the processor while nothing is written.
#include <benchmark/benchmark.h>

#include "follow_timing.h"
#include "qvsim/control.h"
#include "shipped_module.h"
#include "xpprt/host.h"

namespace {

using xpp::Value;

struct Exports {
  xpp::ExportFn open = qvbench::shipped_export("QVOPENEVENTLOG");
  xpp::ExportFn close = qvbench::shipped_export("QVCLOSEEVENTLOG");
  xpp::ExportFn source = qvbench::shipped_export("QVREGEVENTSOURCE");
  xpp::ExportFn report = qvbench::shipped_export("QVREPORTEVENT");
  xpp::ExportFn unsource = qvbench::shipped_export("QVDEREGEVENTSOURCE");
  xpp::ExportFn wait = qvbench::shipped_export("QVWAITEVENTLOG");
  bool found() const { return open && close && source && report && unsource && wait; }
};

// The time from a write on one thread, through a source handle of its own, to the return of
// the call waiting on another.
void BM_follow_latency(benchmark::State& state) {
  const Exports x;
  if (!x.found()) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  for (auto _ : state) {
    qvsim::reset();
    Value source = xpp::call(x.source, {Value::str(""), Value::str("BenchWriter")}).value;
    Value log = xpp::call(x.open, {Value::str(""), Value::str("Application")}).value;
    double last = 0;
    qvbench::measure_follow_latency(
        state,
        [&](int) {
          xpp::call(x.report, {source, Value::num(4), Value::num(1), Value::str("followed")});
        },
        [&](int i) {
          Value newest = xpp::call(x.wait, {log, Value::num(last), Value::num(10000)}).value;
          last = newest.number;
          return newest.number == i;
        });
    xpp::call(x.close, {log});
    xpp::call(x.unsource, {source});
  }
}
BENCHMARK(BM_follow_latency)
    ->Name("follow/latency")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One call waiting 10 s on a log that nobody writes: the processor time it takes, as a
// share of one core over the time it waited.
void BM_follow_idle(benchmark::State& state) {
  const Exports x;
  if (!x.found()) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  for (auto _ : state) {
    qvsim::reset();
    Value log = xpp::call(x.open, {Value::str(""), Value::str("Application")}).value;
    qvbench::measure_idle_wait(state, [&] {
      return xpp::call(x.wait, {log, Value::num(0), Value::num(qvbench::kIdleWaitMs)})
                 .value.number == 0;
    });
    xpp::call(x.close, {log});
  }
}
BENCHMARK(BM_follow_idle)
    ->Name("follow/idle_10s")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
