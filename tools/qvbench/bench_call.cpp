// The cost of one export call through the stand-in run-time, as a baseline.
#include <benchmark/benchmark.h>

#include "shipped_module.h"
#include "xpprt/host.h"

static void BM_call_last_error(benchmark::State& state) {
  const xpp::ExportFn last_error = qvbench::shipped_export("QVEVENTGETLASTERROR");
  if (last_error == nullptr) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(xpp::call(last_error, {}));
}
BENCHMARK(BM_call_last_error)->Name("call/last_error");
