// The process's user and the account lookup of this computer.
#include <cstring>
#include <string>
#include <vector>

#include "qvsim/control.h"
#include "sim_state.h"

namespace {

using namespace qvsim::detail;

uint32_t fnv1a(const std::string& text, uint32_t seed) {
  uint32_t hash = 2166136261u ^ seed;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

void put_le32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// S-1-5-21-a-b-c-rid: the machine part from the computer name, the relative identifier
// from the user name, both stable across runs.
std::vector<uint8_t> account_sid(const std::string& computer, const std::string& user) {
  std::vector<uint8_t> sid(28, 0);
  sid[0] = 1;  // revision
  sid[1] = 5;  // sub-authority count
  sid[7] = 5;  // identifier authority: NT authority
  put_le32(sid, 8, 21);
  put_le32(sid, 12, fnv1a(computer, 1));
  put_le32(sid, 16, fnv1a(computer, 2));
  put_le32(sid, 20, fnv1a(computer, 3));
  put_le32(sid, 24, 1000 + fnv1a(to_upper(user), 4) % 100000);
  return sid;
}

// Accepts "user", "COMPUTER\user" and "\user"; yields the user part when it names the
// process's user on this computer.
bool known_account(const std::string& name, const Settings& s) {
  std::string user = name;
  size_t slash = name.find('\\');
  if (slash != std::string::npos) {
    std::string domain = name.substr(0, slash);
    if (!domain.empty() && !names_equal(domain, s.computer)) return false;
    user = name.substr(slash + 1);
  }
  return !user.empty() && names_equal(user, s.user);
}

}  // namespace

extern "C" BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer) {
  QVSIM_SERVICE(FALSE);
  if (pcbBuffer == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
  std::string user = qvsim::user_name();
  DWORD needed = static_cast<DWORD>(user.size() + 1);
  if (lpBuffer == nullptr || *pcbBuffer < needed) {
    *pcbBuffer = needed;
    return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  }
  std::memcpy(lpBuffer, user.c_str(), needed);
  *pcbBuffer = needed;
  return TRUE;
}

extern "C" BOOL WINAPI LookupAccountNameA(LPCSTR lpSystemName, LPCSTR lpAccountName, PSID Sid,
                                          LPDWORD cbSid, LPSTR ReferencedDomainName,
                                          LPDWORD cchReferencedDomainName, PSID_NAME_USE peUse) {
  QVSIM_SERVICE(FALSE);
  if (lpAccountName == nullptr || cbSid == nullptr || cchReferencedDomainName == nullptr ||
      peUse == nullptr)
    return fail(ERROR_INVALID_PARAMETER, FALSE);
  if (!is_local_server(lpSystemName)) return fail(RPC_S_SERVER_UNAVAILABLE, FALSE);
  const Settings s = settings();
  if (!known_account(lpAccountName, s)) return fail(ERROR_NONE_MAPPED, FALSE);

  std::vector<uint8_t> sid = account_sid(s.computer, s.user);
  DWORD sid_needed = static_cast<DWORD>(sid.size());
  DWORD domain_needed = static_cast<DWORD>(s.computer.size() + 1);
  bool sid_fits = Sid != nullptr && *cbSid >= sid_needed;
  bool domain_fits = ReferencedDomainName != nullptr && *cchReferencedDomainName >= domain_needed;
  if (!sid_fits || !domain_fits) {
    *cbSid = sid_needed;
    *cchReferencedDomainName = domain_needed;
    return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  }
  std::memcpy(Sid, sid.data(), sid.size());
  std::memcpy(ReferencedDomainName, s.computer.c_str(), domain_needed);
  *cbSid = sid_needed;
  *cchReferencedDomainName = domain_needed - 1;
  *peUse = SidTypeUser;
  return TRUE;
}

namespace qvsim {

std::vector<uint8_t> user_sid(const std::string& user) {
  return account_sid(computer_name(), user);
}

}  // namespace qvsim
