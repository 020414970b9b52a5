// The calling thread and time: giving up the processor for a while, and the milliseconds
// since the system started.
#include <errno.h>
#include <sched.h>
#include <time.h>

#include <atomic>

#include "qvsim/control.h"
#include "sim_state.h"

// A Sleep made to fail returns at once, leaving the fault's error as the thread's last
// error. The fault table is asked without the shared lock, which a sleeping thread must not
// hold: the threads it waits for take it to write.
extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
  DWORD error = 0;
  if (::qvsim::detail::take_fault(__func__, &error)) {
    SetLastError(error);
    return;
  }
  if (dwMilliseconds == 0) {
    sched_yield();
    return;
  }
  timespec delay{static_cast<time_t>(dwMilliseconds / 1000),
                 static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) == -1 && errno == EINTR) {
  }
}

namespace {

// What a test set the tick count to, as a distance from the monotonic clock; 0 after
// reset().
std::atomic<uint32_t> tick_offset{0};

uint32_t monotonic_milliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                               static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

[[maybe_unused]] const bool registered = ::qvsim::detail::on_reset([] { tick_offset = 0; });

}  // namespace

namespace qvsim {

void set_tick_count(uint32_t milliseconds) {
  tick_offset = milliseconds - monotonic_milliseconds();
}

}  // namespace qvsim

// The system's monotonic clock in milliseconds, wrapping at 2^32 as Windows' tick count does
// (after 49.7 days), or counting on from what a test set it to. It never fails and takes no
// lock.
extern "C" DWORD WINAPI GetTickCount(void) { return monotonic_milliseconds() + tick_offset; }
