// Shared state of the simulated Windows services: settings, the lock, injected faults,
// the thread's last error and the reset hooks of each service.
#ifndef QUORVEL_SIM_SIM_STATE_H
#define QUORVEL_SIM_SIM_STATE_H

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "windows_sim.h"

namespace qvsim::detail {

struct Settings {
  std::string user;
  std::string computer;
  bool admin = true;
  uint32_t clock = 0;  // 0: the real clock
  bool wow64 = false;  // a 32-bit program on 64-bit Windows
};

// The lock that every service holds while it touches shared state.
std::recursive_mutex& lock();

// The settings, initialised from the environment on first use. Call with lock() held.
Settings& settings();

// Registers a function that returns one service to its starting state; called by reset().
// Services register from a static initialiser.
bool on_reset(std::function<void()> hook);

// True, with the error to report, when a fault was injected for this service. While no
// fault is injected at all it answers without the lock.
bool take_fault(const char* service, DWORD* error);

// The way into every simulated service: a fault injected for the service, named by the
// function itself, answers first; otherwise the shared lock is held for the rest of the call.
class ServiceEntry {
 public:
  explicit ServiceEntry(const char* service) {
    if (!take_fault(service, &error_)) guard_ = std::unique_lock<std::recursive_mutex>(lock());
  }
  bool faulted() const { return !guard_.owns_lock(); }
  DWORD error() const { return error_; }

 private:
  DWORD error_ = 0;
  std::unique_lock<std::recursive_mutex> guard_;
};

// Sets the thread's last error and returns the value given, for one-line failures.
template <typename T>
T fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// A new handle value, never handed out before in this process: small positive multiples
// of 4, as Windows hands out handles. Shared by every kind of simulated handle.
uint32_t new_handle_value();

// Case-insensitive comparison of names in the ANSI code page, as Windows compares names.
bool names_equal(const std::string& a, const std::string& b);
std::string to_upper(std::string s);

// The computer-name forms a server argument may take: null, "", NAME, \\NAME.
bool is_local_server(const char* server);

}  // namespace qvsim::detail

// Enters the service of the enclosing function. On an injected fault the service returns
// `result` with the fault's error as the thread's last error (QVSIM_SERVICE), or returns
// the fault's error itself, as the registry reports its failures (QVSIM_REGISTRY_SERVICE),
// or returns `result` alone, as the heap does (QVSIM_SILENT_SERVICE).
#define QVSIM_SERVICE(result)                                  \
  ::qvsim::detail::ServiceEntry qvsim_service_entry(__func__); \
  if (qvsim_service_entry.faulted())                           \
  return ::qvsim::detail::fail(qvsim_service_entry.error(), result)
#define QVSIM_REGISTRY_SERVICE()                               \
  ::qvsim::detail::ServiceEntry qvsim_service_entry(__func__); \
  if (qvsim_service_entry.faulted()) return static_cast<LSTATUS>(qvsim_service_entry.error())
#define QVSIM_SILENT_SERVICE(result)                           \
  ::qvsim::detail::ServiceEntry qvsim_service_entry(__func__); \
  if (qvsim_service_entry.faulted()) return result

#endif
