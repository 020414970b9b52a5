// The cost of one export call through the stand-in run-time, as a baseline.
#include <benchmark/benchmark.h>

#include "host/exports.h"
#include "xpprt/host.h"

static void BM_call_last_error(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(xpp::call(QVEVENTGETLASTERROR, {}));
}
BENCHMARK(BM_call_last_error)->Name("call/last_error");
