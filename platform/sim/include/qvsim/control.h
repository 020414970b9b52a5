// Controls of the simulated Windows services, for tests and test hosts.
//
// The simulation reads its starting settings from the environment on first use:
//   QVSIM_USER      the process's user name (default: the Unix user)
//   QVSIM_COMPUTER  this computer's name (default: "QVSIM")
//   QVSIM_ADMIN     1 or 0: whether the process has administrator rights (default 1)
//   QVSIM_CLOCK     a fixed clock in seconds since 1970 (default: the real clock)
//   QVSIM_WOW64     1: the process runs under WOW64 (default 0)
// reset() returns every service to that starting state.
#ifndef QUORVEL_SIM_CONTROL_H
#define QUORVEL_SIM_CONTROL_H

#include <cstdint>
#include <string>
#include <vector>

#define QVSIM_API __attribute__((visibility("default")))

namespace qvsim {

// Every service back to its starting state: logs empty, handles closed, the registry as
// at start, settings from the environment, no injected faults.
QVSIM_API void reset();

// The simulated machine restarts: the registry's volatile keys are gone and its handles
// closed; everything else stays.
QVSIM_API void restart();

// A fixed clock (seconds since 1970-01-01 UTC); 0 returns to the real clock.
QVSIM_API void set_clock(uint32_t seconds);
QVSIM_API uint32_t now();

// GetTickCount counts on from this number of milliseconds, wrapping at 2^32, until reset().
QVSIM_API void set_tick_count(uint32_t milliseconds);

QVSIM_API void set_user_name(const std::string& name);
QVSIM_API std::string user_name();
QVSIM_API void set_computer_name(const std::string& name);
QVSIM_API std::string computer_name();
QVSIM_API void set_admin(bool admin);
QVSIM_API bool is_admin();

// The SID that LookupAccountNameA gives for a user of this computer.
QVSIM_API std::vector<uint8_t> user_sid(const std::string& user);

// Makes the next `count` calls of the named service (e.g. "HeapAlloc", "ReportEventA",
// "RegCreateKeyExA") fail with `error`, as Windows reports that error for it, after `skip`
// calls that go through. A failing HeapFree still frees the block.
QVSIM_API void fail_next(const std::string& service, uint32_t error, int count = 1, int skip = 0);
QVSIM_API void clear_faults();

// Modules loaded as data files and not yet freed.
QVSIM_API int loaded_modules();

// A WOW64 process: a 32-bit program on 64-bit Windows. Its paths under the system folder,
// $SystemRoot/System32 (SystemRoot from the process environment), then lead to the 32-bit
// folder $SystemRoot/SysWOW64, as Windows redirects them, unless the calling thread has
// turned the redirection off (Wow64DisableWow64FsRedirection).
QVSIM_API void set_wow64(bool wow64);
// Whether the calling thread has turned the redirection off.
QVSIM_API bool redirection_disabled();

// GetProcAddress finds no function of that name in that module (e.g. "kernel32.dll",
// "XPPRT1.dll"), as an older Windows or run-time lacks it, until reset().
QVSIM_API void hide_procedure(const std::string& module, const std::string& name);

// LoadLibraryA finds no module of that name (e.g. "wevtapi.dll", which Windows XP lacks):
// it fails with 126 (ERROR_MOD_NOT_FOUND), until reset().
QVSIM_API void hide_module(const std::string& module);

// Replaces the system's message text for an error code (empty text: the code has none).
QVSIM_API void set_system_message(uint32_t code, const std::string& text);

// What a live event log holds, for inspection by tests.
struct RecordView {
  uint32_t number = 0;
  uint32_t time_generated = 0;
  uint32_t time_written = 0;
  uint32_t event_id = 0;
  uint16_t event_type = 0;
  uint16_t category = 0;
  std::string source;
  std::string computer;
  std::vector<uint8_t> sid;
  std::vector<std::u16string> strings;
  std::vector<uint8_t> data;
};
QVSIM_API std::vector<RecordView> log_records(const std::string& log);

}  // namespace qvsim

#endif
