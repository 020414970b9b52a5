// Event sources: register, report events (their strings, category and raw data) under the
// calling user's SID, deregister.
#include "host/exports.h"
#include "host/frame.h"
#include "writing/event_strings.h"

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

// Whether Windows refused the event for a string's size: RPC_S_INVALID_BOUND on Windows
// Vista and later, RPC_X_BAD_STUB_DATA or ERROR_INVALID_PARAMETER before.
bool refused_for_size(DWORD error) {
  return error == RPC_S_INVALID_BOUND || error == RPC_X_BAD_STUB_DATA ||
         error == ERROR_INVALID_PARAMETER;
}

// Writes the event. The strings are at most 31,839 characters long, as Windows documents;
// Windows 10 and 11 refuse somewhat shorter ones already (from 31,698 to 31,718 characters,
// depending on the rest of the event), and older Windows may count differently. So when
// Windows refuses the event for its size and a string is that long, the longest strings
// are cut by kSizeMargin more and the event written again, at most kSizeRetries times: the
// first retry, at 31,327 characters, lies well below every refusal measured, and the
// further ones leave room for an event whose other parts are larger than those measured.
constexpr int kSizeRetries = 3;
constexpr DWORD kSizeMargin = 512;

BOOL report(HANDLE handle, WORD type, WORD category, DWORD event_id, PSID sid,
            qv::EventStrings* strings, BYTE* data, DWORD data_size) {
  DWORD limit = qv::kMaxEventStringChars;
  for (int retry = 0;; ++retry) {
    if (ReportEventA(handle, type, category, event_id, sid, strings->count, data_size,
                     strings->text, data))
      return TRUE;
    if (retry == kSizeRetries || !refused_for_size(GetLastError())) return FALSE;
    limit -= kSizeMargin;
    // No string is that long: cutting them changes nothing, and the refusal stands.
    if (!qv::cut_event_strings(strings, limit)) return FALSE;
  }
}

}  // namespace

QV_EXPORT QVREGEVENTSOURCE(XppParamList pl) { qv::open_by_name(pl, RegisterEventSourceA); }

QV_EXPORT QVREPORTEVENT(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  WORD type = static_cast<WORD>(_parnl(pl, 2) & 0xFFFF);
  DWORD event_id = static_cast<DWORD>(_parnl(pl, 3)) & 0xFFFFu;
  WORD category = static_cast<WORD>(_parnl(pl, 5) & 0xFFFF);
  // Raw data: a character value's bytes, never converted; none for NIL or left out.
  const ULONG data_type = _partype(pl, 6);
  const bool has_data = qv::is_character(data_type);
  const ULONG data_size = has_data ? _parclen(pl, 6) : 0;
  if ((!has_data && qv::has_value(data_type)) || data_size > qv::kMaxEventDataBytes) {
    _retnl(pl, ERR_MISSING_TEXT);
    return;
  }
  qv::EventStrings* strings = nullptr;
  const qv::StringsFetch fetched = qv::fetch_event_strings(pl, 4, &strings);
  if (fetched == qv::StringsFetch::kRefused) {
    _retnl(pl, ERR_MISSING_TEXT);
    return;
  }
  PSID sid = fetched == qv::StringsFetch::kFetched ? lookup_user_sid() : nullptr;
  BYTE* data = fetched == qv::StringsFetch::kFetched && data_size > 0
                   ? static_cast<BYTE*>(qv::heap_alloc_zeroed(data_size + 1))
                   : nullptr;
  if (fetched != qv::StringsFetch::kFetched || (data_size > 0 && data == nullptr)) {
    qv::free_event_strings(strings);
    qv::heap_free(sid);
    SetLastError(fetched == qv::StringsFetch::kNotConverted ? ERROR_NO_UNICODE_TRANSLATION
                                                            : ERROR_NOT_ENOUGH_MEMORY);
    _retl(pl, FALSE);
    return;
  }
  if (data != nullptr) _parc(reinterpret_cast<char*>(data), data_size + 1, pl, 6);

  BOOL written = report(handle, type, category, event_id, sid, strings, data, data_size);
  DWORD error = written ? (strings->cut ? ERROR_MORE_DATA : ERROR_SUCCESS) : GetLastError();
  qv::heap_free(data);
  qv::free_event_strings(strings);
  qv::heap_free(sid);
  SetLastError(error);
  _retl(pl, written);
}

QV_EXPORT QVDEREGEVENTSOURCE(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  _retl(pl, DeregisterEventSource(handle));
}
