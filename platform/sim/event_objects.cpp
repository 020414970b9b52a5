// kernel32's event objects: created unnamed, set and reset by any thread, waited for with a
// time limit. They keep a lock of their own, which a waiting thread holds only while it looks:
// the threads that set them may hold the services' shared lock meanwhile.
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "event_objects.h"
#include "sim_state.h"

namespace qvsim::detail {
namespace {

struct EventObject {
  bool manual_reset = false;
  bool signalled = false;
};

std::mutex& events_lock() {
  static std::mutex mutex;
  return mutex;
}

std::condition_variable& events_changed() {
  static std::condition_variable changed;
  return changed;
}

std::map<uintptr_t, EventObject>& events() {
  static std::map<uintptr_t, EventObject> table;
  return table;
}

[[maybe_unused]] const bool registered = on_reset([] {
  std::lock_guard<std::mutex> guard(events_lock());
  events().clear();
});

uintptr_t key(HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

bool signal_event(HANDLE event) {
  std::lock_guard<std::mutex> guard(events_lock());
  auto found = events().find(key(event));
  if (found == events().end()) return false;
  found->second.signalled = true;
  events_changed().notify_all();
  return true;
}

}  // namespace qvsim::detail

using namespace qvsim::detail;

// Named events are not simulated (ERROR_INVALID_PARAMETER).
extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                                      LPCSTR lpName) {
  DWORD error = 0;
  if (take_fault(__func__, &error)) return fail(error, HANDLE{});
  if (lpName != nullptr) return fail(ERROR_INVALID_PARAMETER, HANDLE{});
  const uintptr_t value = new_handle_value();
  std::lock_guard<std::mutex> guard(events_lock());
  events()[value] = EventObject{bManualReset != FALSE, bInitialState != FALSE};
  return reinterpret_cast<HANDLE>(value);
}

extern "C" BOOL WINAPI SetEvent(HANDLE hEvent) {
  DWORD error = 0;
  if (take_fault(__func__, &error)) return fail(error, FALSE);
  return signal_event(hEvent) ? TRUE : fail(ERROR_INVALID_HANDLE, FALSE);
}

extern "C" BOOL WINAPI ResetEvent(HANDLE hEvent) {
  DWORD error = 0;
  if (take_fault(__func__, &error)) return fail(error, FALSE);
  std::lock_guard<std::mutex> guard(events_lock());
  auto found = events().find(key(hEvent));
  if (found == events().end()) return fail(ERROR_INVALID_HANDLE, FALSE);
  found->second.signalled = false;
  return TRUE;
}

// WAIT_OBJECT_0 once the event is signalled (an auto-reset event is reset by the wait that
// ends), WAIT_TIMEOUT after the time given, WAIT_FAILED for a handle that is no event.
extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  DWORD error = 0;
  if (take_fault(__func__, &error)) return fail(error, static_cast<DWORD>(WAIT_FAILED));
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
  std::unique_lock<std::mutex> guard(events_lock());
  for (;;) {
    auto found = events().find(key(hHandle));
    if (found == events().end()) return fail(ERROR_INVALID_HANDLE, static_cast<DWORD>(WAIT_FAILED));
    if (found->second.signalled) {
      if (!found->second.manual_reset) found->second.signalled = false;
      return WAIT_OBJECT_0;
    }
    if (dwMilliseconds == INFINITE) {
      events_changed().wait(guard);
    } else if (events_changed().wait_until(guard, deadline) == std::cv_status::timeout) {
      found = events().find(key(hHandle));
      if (found != events().end() && found->second.signalled) continue;
      return WAIT_TIMEOUT;
    }
  }
}

// Closes an event object; the simulation's other handles have functions of their own.
extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  DWORD error = 0;
  if (take_fault(__func__, &error)) return fail(error, FALSE);
  std::lock_guard<std::mutex> guard(events_lock());
  if (events().erase(key(hObject)) == 0) return fail(ERROR_INVALID_HANDLE, FALSE);
  events_changed().notify_all();
  return TRUE;
}
