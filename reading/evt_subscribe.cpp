// QVEVTSUBSCRIBE: a subscription to a channel in wevtapi's pull model. wevtapi sets an event
// object when new events may be read and QVEVTNEXT reads them on the caller's thread: no
// callback ever runs on a thread the Xbase++ run-time does not know.
#include "host/exports.h"
#include "reading/evt_parameters.h"
#include "reading/evt_queries.h"
#include "reading/wide_text.h"

namespace {

// The subscription, from the stored bookmark when one is given. A bookmarked event that is
// no longer in the log is first refused (EvtSubscribeStrict); the subscription is then made
// after the event closest to it, as Windows makes it without that flag, and the thread's last
// error stays 1168 so that the caller learns that events may be missing.
EVT_HANDLE subscribe(const qv::Wevtapi& api, EVT_HANDLE session, HANDLE signal, LPCWSTR channel,
                     LPCWSTR query, EVT_HANDLE bookmark, bool existing) {
  if (bookmark == nullptr) {
    const DWORD origin = existing ? EvtSubscribeStartAtOldestRecord : EvtSubscribeToFutureEvents;
    EVT_HANDLE handle =
        api.subscribe(session, signal, channel, query, nullptr, nullptr, nullptr, origin);
    if (handle != nullptr) SetLastError(ERROR_SUCCESS);
    return handle;
  }
  EVT_HANDLE handle = api.subscribe(session, signal, channel, query, bookmark, nullptr, nullptr,
                                    EvtSubscribeStartAfterBookmark | EvtSubscribeStrict);
  if (handle != nullptr) {
    SetLastError(ERROR_SUCCESS);
    return handle;
  }
  if (GetLastError() != ERROR_NOT_FOUND) return nullptr;
  handle = api.subscribe(session, signal, channel, query, bookmark, nullptr, nullptr,
                         EvtSubscribeStartAfterBookmark);
  if (handle != nullptr) SetLastError(ERROR_NOT_FOUND);
  return handle;
}

// Whether the service subscribes to the channel with the query at all, asked before a stored
// bookmark is read: a channel or query it refuses is reported as such rather than as a fault
// of the bookmark, and a wevtapi.dll that subscribes to nothing (Wine's) is never asked to
// read a bookmark, which would end the process there.
bool channel_accepted(const qv::Wevtapi& api, EVT_HANDLE session, HANDLE signal, LPCWSTR channel,
                      LPCWSTR query) {
  EVT_HANDLE trial = api.subscribe(session, signal, channel, query, nullptr, nullptr, nullptr,
                                   EvtSubscribeToFutureEvents);
  if (trial == nullptr) return false;
  qv::close_quietly(&api, trial);
  return true;
}

}  // namespace

QV_EXPORT QVEVTSUBSCRIBE(XppParamList pl) {
  qv::QueryParameters parameters;
  if (!qv::fetch_query_parameters(pl, &parameters)) return;
  const ULONG bookmark_type = _partype(pl, 4);
  if (qv::has_value(bookmark_type) && !qv::is_character(bookmark_type)) {
    _retnl(pl, ERR_MISSING_TEXT);
    return;
  }
  const bool from_bookmark = qv::is_character(bookmark_type) && _parclen(pl, 4) > 0;
  const DWORD flags = static_cast<DWORD>(_parnl(pl, 5));
  qv::Wevtapi api;
  if (!qv::find_wevtapi(&api)) {
    _retnl(pl, 0);
    return;
  }
  // A log file has no new events, and a subscription reads forwards.
  if ((flags & (QVEVT_FILE | QVEVT_REVERSE)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    _retnl(pl, 0);
    return;
  }
  WCHAR* query = qv::fetch_wide_text(pl, 3, "*");
  WCHAR* bookmark_xml =
      from_bookmark && query != nullptr ? qv::fetch_wide_text(pl, 4, "") : nullptr;
  qv::QueryState state = {nullptr, flags & QVEVT_MESSAGES, nullptr, nullptr, false};
  EVT_HANDLE handle = nullptr;
  WCHAR wide_path[MAX_NAME_BYTES];
  const bool path_given = parameters.path_count != 0;
  LPCWSTR channel = path_given ? wide_path : nullptr;
  if (query != nullptr && (!from_bookmark || bookmark_xml != nullptr) &&
      (!path_given || qv::widen_into(parameters.path, wide_path)) &&
      qv::open_session(&api, parameters.server, &state.session) &&
      (state.signal = CreateEventA(nullptr, TRUE, FALSE, nullptr)) != nullptr &&
      (!from_bookmark || channel_accepted(api, state.session, state.signal, channel, query)) &&
      (!from_bookmark || (state.bookmark = api.create_bookmark(bookmark_xml)) != nullptr)) {
    handle = subscribe(api, state.session, state.signal, channel, query, state.bookmark,
                       (flags & QVEVT_EXISTING) != 0);
  }
  const DWORD error = GetLastError();
  qv::heap_free(query);
  qv::heap_free(bookmark_xml);
  SetLastError(error);
  const LONG number = qv::keep_or_close(api, handle, state);
  if (number != 0) SetLastError(error);
  _retnl(pl, number);
}
