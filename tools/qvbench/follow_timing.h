// Measuring a follower: a call that waits on one thread for what another thread writes.
// Shared by the benchmarks of QVWAITEVENTLOG and of a waiting QVEVTNEXT, so that their
// figures are taken the same way and can be compared.
#ifndef QUORVEL_QVBENCH_FOLLOW_TIMING_H
#define QUORVEL_QVBENCH_FOLLOW_TIMING_H

#include <benchmark/benchmark.h>

#include <functional>

namespace qvbench {

constexpr int kFollowedWrites = 100;
constexpr double kIdleWaitMs = 10000;

// Writes kFollowedWrites times on a thread of its own, each at a varying moment (0 to
// 149 ms) after the waiting call began, as another program's thread would: `write(i)` writes
// the i-th (from 1), `wait(i)` is the waiting call, true when it returned that write. The
// median and worst time from a write to the return of its wait become the state's counters
// `median_ms` and `worst_ms`.
void measure_follow_latency(benchmark::State& state, const std::function<void(int)>& write,
                            const std::function<bool(int)>& wait);

// Runs `wait`, a call waiting kIdleWaitMs on something nobody writes (true when it saw
// nothing), and reports how long it waited and the processor time it took on its thread:
// counters `waited_ms`, `cpu_ms` and `cpu_percent_of_core`.
void measure_idle_wait(benchmark::State& state, const std::function<bool()>& wait);

}  // namespace qvbench

#endif
