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
};

// The lock that every service holds while it touches shared state.
std::recursive_mutex& lock();

// The settings, initialised from the environment on first use. Call with lock() held.
Settings& settings();

// Registers a function that returns one service to its starting state; called by reset().
// Services register from a static initialiser.
bool on_reset(std::function<void()> hook);

// True, with the error to report, when a fault was injected for this service.
bool take_fault(const char* service, DWORD* error);

// Sets the thread's last error and returns the value given, for one-line failures.
template <typename T>
T fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// A new handle value, never handed out before in this process: small positive multiples
// of 4, as Windows hands out handles. Shared by every kind of simulated handle.
uint32_t new_handle_value();

// Case-insensitive comparison of ASCII names, as Windows compares names.
bool names_equal(const std::string& a, const std::string& b);
std::string to_upper(std::string s);

// The computer-name forms a server argument may take: null, "", NAME, \\NAME.
bool is_local_server(const char* server);

}  // namespace qvsim::detail

#endif
