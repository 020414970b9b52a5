// Timestamp formatting: QVFORMATDATETIME through the stand-in run-time against the C
// library's localtime_r and strftime, both in the same zone with daylight rules.
//
// The library takes TZ when it is loaded, so the zone must be in the environment when
// qvbench starts. When TZ is not set, qvbench starts itself again with
//   TZ=CET-1CEST,M3.5.0,M10.5.0/3
// Run: build/native/bin/qvbench --benchmark_filter=format/
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "time/expansion.h"
#include "time/zone.h"
#include "shipped_module.h"
#include "xpprt/host.h"

namespace {

constexpr char kBenchZone[] = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr size_t kTimes = 4096;  // a power of two

// Starts the program again with TZ set, before anything of it runs.
bool restart_with_zone() {
  const char* tz = getenv("TZ");
  if (tz != nullptr && *tz != '\0') return true;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  for (size_t start = 0; start < line.size();) {
    size_t end = line.find('\0', start);
    if (end == std::string::npos) end = line.size();
    args.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  setenv("TZ", kBenchZone, 1);
  execv("/proc/self/exe", argv.data());
  return false;  // exec failed: the benchmarks report it
}

const bool zone_in_environment = restart_with_zone();

const std::vector<uint32_t>& random_times() {
  static const std::vector<uint32_t> times = [] {
    std::mt19937 rng(1100043200);
    std::vector<uint32_t> t(kTimes);
    for (uint32_t& v : t) v = 1 + rng() % 0xFFFFFFFEu;
    return t;
  }();
  return times;
}

bool zone_set(benchmark::State& state) {
  const char* tz = getenv("TZ");
  if (zone_in_environment && tz != nullptr && *tz != '\0') return true;
  state.SkipWithError("TZ was not set when qvbench started");
  return false;
}

void quorvel(benchmark::State& state, const char* format) {
  if (!zone_set(state)) return;
  const xpp::ExportFn format_datetime = qvbench::shipped_export("QVFORMATDATETIME");
  if (format_datetime == nullptr) {
    state.SkipWithError("libquorvel.so beside qvbench could not be loaded");
    return;
  }
  const std::vector<uint32_t>& times = random_times();
  // One parameter list for every call, as the Xbase++ virtual machine keeps its frame;
  // the time is changed in place.
  xpp::Frame frame(format != nullptr ? 2 : 1);
  frame.set(1, xpp::Value::num(0));
  if (format != nullptr) frame.set(2, xpp::Value::str(format));
  size_t i = 0;
  for (auto _ : state) {
    frame.value(1).number = static_cast<int32_t>(times[i++ & (kTimes - 1)]);
    benchmark::DoNotOptimize(frame.invoke(format_datetime).value.text.data());
  }
}

// The library's own work without the run-time's calls: local time and expansion, as the
// export has them done.
void core(benchmark::State& state, const char* format) {
  if (!zone_set(state)) return;
  const qv::TimeZone& zone = qv::process_zone();
  const std::vector<uint32_t>& times = random_times();
  size_t i = 0;
  char text[qv::kFormatResultBytes];
  for (auto _ : state) {
    benchmark::DoNotOptimize(qv::format_local_time(format, times[i++ & (kTimes - 1)], zone, text));
    benchmark::ClobberMemory();
  }
}

void glibc(benchmark::State& state, const char* format) {
  if (!zone_set(state)) return;
  tzset();
  const std::vector<uint32_t>& times = random_times();
  size_t i = 0;
  char text[128];
  for (auto _ : state) {
    const time_t t = times[i++ & (kTimes - 1)];
    struct tm local;
    localtime_r(&t, &local);
    benchmark::DoNotOptimize(strftime(text, sizeof text, format, &local));
    benchmark::ClobberMemory();
  }
}

}  // namespace

// The default format (none given) and %c; the C library's equivalents (its %c in the C
// locale pads the day with a blank, so the composite is written out).
BENCHMARK_CAPTURE(quorvel, default, nullptr)->Name("format/quorvel/default");
BENCHMARK_CAPTURE(quorvel, c, "%c")->Name("format/quorvel/c");
BENCHMARK_CAPTURE(core, default, "%Y%m%d")->Name("format/quorvel_core/default");
BENCHMARK_CAPTURE(core, c, "%c")->Name("format/quorvel_core/c");
BENCHMARK_CAPTURE(glibc, default, "%Y%m%d")->Name("format/glibc/default");
BENCHMARK_CAPTURE(glibc, c, "%a %b %d %H:%M:%S %Y")->Name("format/glibc/c");
