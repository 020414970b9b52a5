#include "sim_state.h"

#include <locale.h>
#include <pwd.h>
#include <unistd.h>
#include <wctype.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <map>
#include <vector>

#include "codepage.h"
#include "qvsim/control.h"

namespace qvsim::detail {
namespace {

struct Fault {
  DWORD error = 0;
  int remaining = 0;
  int skip = 0;  // calls that go through first
};

std::vector<std::function<void()>>& reset_hooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

std::map<std::string, Fault>& faults() {
  static std::map<std::string, Fault> table;
  return table;
}

// The number of entries of faults(), written with the lock held.
std::atomic<size_t> armed_faults{0};

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string unix_user() {
  const passwd* entry = getpwuid(getuid());
  if (entry != nullptr && entry->pw_name != nullptr) return entry->pw_name;
  return env_or("USER", "user");
}

Settings settings_from_environment() {
  Settings s;
  s.user = env_or("QVSIM_USER", unix_user());
  s.computer = to_upper(env_or("QVSIM_COMPUTER", "QVSIM"));
  s.admin = env_or("QVSIM_ADMIN", "1") != "0";
  s.clock = static_cast<uint32_t>(std::strtoul(env_or("QVSIM_CLOCK", "0").c_str(), nullptr, 10));
  s.wow64 = env_or("QVSIM_WOW64", "0") == "1";
  return s;
}

}  // namespace

std::recursive_mutex& lock() {
  static std::recursive_mutex mutex;
  return mutex;
}

Settings& settings() {
  static Settings current = settings_from_environment();
  return current;
}

bool on_reset(std::function<void()> hook) {
  reset_hooks().push_back(std::move(hook));
  return true;
}

bool take_fault(const char* service, DWORD* error) {
  // Most calls meet no fault at all: they pass without the lock.
  if (armed_faults.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard<std::recursive_mutex> guard(lock());
  auto found = faults().find(service);
  if (found == faults().end() || found->second.remaining <= 0) return false;
  if (found->second.skip > 0) {
    --found->second.skip;
    return false;
  }
  *error = found->second.error;
  if (--found->second.remaining == 0) {
    faults().erase(found);
    armed_faults = faults().size();
  }
  return true;
}

uint32_t new_handle_value() {
  static uint32_t next = 0;
  std::lock_guard<std::recursive_mutex> guard(lock());
  next += 4;
  return next;
}

// Names in the ANSI code page compared through UTF-16 with Unicode's upper case, as the
// registry folds every letter; ASCII's alone where the system has no Unicode locale.
bool names_equal(const std::string& a, const std::string& b) {
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  const auto upper = [](wint_t unit) -> wint_t {
    if (unicode != nullptr) return towupper_l(unit, unicode);
    return unit < 0x80 ? static_cast<wint_t>(std::toupper(static_cast<int>(unit))) : unit;
  };
  const std::u16string wide_a = ansi_to_utf16(a);
  const std::u16string wide_b = ansi_to_utf16(b);
  if (wide_a.size() != wide_b.size()) return false;
  for (size_t i = 0; i < wide_a.size(); ++i) {
    if (upper(wide_a[i]) != upper(wide_b[i])) return false;
  }
  return true;
}

std::string to_upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool is_local_server(const char* server) {
  if (server == nullptr || *server == '\0') return true;
  std::string name(server);
  size_t start = name.find_first_not_of('\\');
  if (start == std::string::npos) return false;
  std::lock_guard<std::recursive_mutex> guard(lock());
  return names_equal(name.substr(start), settings().computer);
}

}  // namespace qvsim::detail

namespace qvsim {

using namespace detail;

void reset() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  settings() = settings_from_environment();
  faults().clear();
  armed_faults = 0;
  for (auto& hook : reset_hooks()) hook();
}

void set_clock(uint32_t seconds) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  settings().clock = seconds;
}

uint32_t now() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  if (settings().clock != 0) return settings().clock;
  return static_cast<uint32_t>(std::time(nullptr));
}

void set_user_name(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  settings().user = name;
}

std::string user_name() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  return settings().user;
}

void set_computer_name(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  settings().computer = to_upper(name);
}

std::string computer_name() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  return settings().computer;
}

void set_admin(bool admin) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  settings().admin = admin;
}

bool is_admin() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  return settings().admin;
}

void fail_next(const std::string& service, uint32_t error, int count, int skip) {
  std::lock_guard<std::recursive_mutex> guard(lock());
  faults()[service] = Fault{error, count, skip};
  armed_faults = faults().size();
}

void clear_faults() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  faults().clear();
  armed_faults = 0;
}

}  // namespace qvsim
