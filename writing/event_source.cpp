// Event sources: register, report events under the calling user's SID, deregister.
#include "host/exports.h"
#include "host/frame.h"
#include "host/kept_last_error.h"

namespace {

constexpr DWORD kSidProbeBytes = 12;

// The calling user's SID in a zero-filled heap block, or null when it cannot be had.
// Only a SID that did not fit the probe buffer is looked up a second time, and attached
// only when that lookup filled it: an empty block is no SID, and Windows would refuse the
// event for it.
PSID lookup_user_sid() {
  char user[MAX_NAME_BYTES];
  memset(user, 0, sizeof user);
  DWORD user_size = MAX_NAME_BYTES;
  if (GetUserNameA(user, &user_size) != 1) return nullptr;

  BYTE probe[kSidProbeBytes];
  memset(probe, 0, sizeof probe);
  DWORD sid_size = kSidProbeBytes;
  char domain[MAX_NAME_BYTES];
  memset(domain, 0, sizeof domain);
  DWORD domain_size = MAX_NAME_BYTES;
  SID_NAME_USE use = SidTypeUnknown;
  LookupAccountNameA(nullptr, user, probe, &sid_size, domain, &domain_size, &use);
  if (sid_size == kSidProbeBytes) return nullptr;

  PSID sid = qv::heap_alloc_zeroed(sid_size);
  if (sid == nullptr) return nullptr;
  if (!LookupAccountNameA(nullptr, user, sid, &sid_size, domain, &domain_size, &use)) {
    qv::heap_free(sid);
    return nullptr;
  }
  return sid;
}

}  // namespace

QV_EXPORT QVREGEVENTSOURCE(XppParamList pl) { qv::open_by_name(pl, RegisterEventSourceA); }

QV_EXPORT QVREPORTEVENT(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  WORD type = static_cast<WORD>(_parnl(pl, 2) & 0xFFFF);
  DWORD event_id = static_cast<DWORD>(_parnl(pl, 3)) & 0xFFFFu;
  if (!qv::is_character(_partype(pl, 4))) {
    _retnl(pl, ERR_MISSING_TEXT);
    return;
  }
  DWORD text_size = _parclen(pl, 4) + 1;

  PSID sid = lookup_user_sid();
  char* text = static_cast<char*>(qv::heap_alloc_zeroed(text_size));
  if (text == nullptr) {
    qv::heap_free(sid);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    _retl(pl, FALSE);
    return;
  }
  ULONG text_chars = _parc(text, text_size, pl, 4);
  if (text_chars >= text_size) text_chars = text_size - 1;
  if (!qv::text_to_windows(text, text_chars)) {
    qv::heap_free(text);
    qv::heap_free(sid);
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    _retl(pl, FALSE);
    return;
  }

  LPCSTR strings[1] = {text};
  BOOL written = ReportEventA(handle, type, 0, event_id, sid, 1, 0, strings, nullptr);
  {
    qv::KeptLastError kept;
    qv::heap_free(text);
    qv::heap_free(sid);
  }
  _retl(pl, written);
}

QV_EXPORT QVDEREGEVENTSOURCE(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  _retl(pl, DeregisterEventSource(handle));
}
