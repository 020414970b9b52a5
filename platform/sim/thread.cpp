// The calling thread: giving up the processor.
#include <errno.h>
#include <sched.h>
#include <time.h>

#include "windows_sim.h"

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    sched_yield();
    return;
  }
  timespec delay{static_cast<time_t>(dwMilliseconds / 1000),
                 static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) == -1 && errno == EINTR) {
  }
}
