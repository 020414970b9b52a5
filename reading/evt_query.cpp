// The event log of Windows Vista and later: QVEVTQUERY opens a query on a channel or a log
// file, QVEVTCLOSE closes it or a subscription, QVEVTCHANNELS lists the channels.
#include "host/exports.h"
#include "host/frame.h"
#include "host/kept_last_error.h"
#include "reading/evt_parameters.h"
#include "reading/evt_queries.h"
#include "reading/wevtapi.h"
#include "reading/wide_text.h"

namespace {

// The names of every channel as zero-terminated ANSI texts one after another in a heap
// buffer; false with the last error set when they could not all be had.
bool channel_names(const qv::Wevtapi& api, EVT_HANDLE channels, char** names, DWORD* bytes,
                   DWORD* count) {
  WCHAR* path = nullptr;
  DWORD units = 0;
  for (;;) {
    DWORD used = 0;
    if (!api.next_channel_path(channels, units, path, &used)) {
      const DWORD error = GetLastError();
      if (error == ERROR_NO_MORE_ITEMS) break;
      WCHAR* larger = nullptr;
      if (error == ERROR_INSUFFICIENT_BUFFER && used > units)
        larger = static_cast<WCHAR*>(qv::heap_alloc_zeroed(static_cast<SIZE_T>(used) * 2));
      if (larger == nullptr) {
        qv::heap_free(path);
        if (error == ERROR_INSUFFICIENT_BUFFER) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
      }
      qv::heap_free(path);
      path = larger;
      units = used;
      continue;
    }
    DWORD length = 0;
    char* name = qv::narrow(path, -1, &length);
    char* grown = name == nullptr ? nullptr
                  : *names == nullptr
                      ? static_cast<char*>(qv::heap_alloc_zeroed(*bytes + length + 1))
                      : static_cast<char*>(qv::heap_grow_zeroed(*names, *bytes + length + 1));
    if (grown == nullptr) {
      qv::heap_free(name);
      qv::heap_free(path);
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    *names = grown;
    memcpy(*names + *bytes, name, length + 1);
    *bytes += length + 1;
    ++*count;
    qv::heap_free(name);
  }
  qv::heap_free(path);
  return true;
}

// The names as an array, in the caller's character set.
void return_names(XppParamList pl, char* names, DWORD count) {
  ContainerHandle array = _conNewArray(1, count);
  ContainerHandle work = _conNew(NULLCONTAINER);
  if (array == NULLCONTAINER || work == NULLCONTAINER) {
    if (array != NULLCONTAINER) _conRelease(array);
    if (work != NULLCONTAINER) _conRelease(work);
    _retnl(pl, ERR_NO_ARRAY);
    return;
  }
  char* name = names;
  for (ULONG i = 1; i <= count; ++i) {
    const ULONG length = static_cast<ULONG>(strlen(name));
    qv::text_to_caller(name, length);
    _conPutCL(work, name, length);
    _conArrayPut(array, work, i, 0);
    name += length + 1;
  }
  _conReturn(pl, array);
  _conRelease(array);
  _conRelease(work);
}

}  // namespace

QV_EXPORT QVEVTQUERY(XppParamList pl) {
  qv::QueryParameters parameters;
  if (!qv::fetch_query_parameters(pl, &parameters)) return;
  const DWORD flags =
      static_cast<DWORD>(_parnl(pl, 4)) & (QVEVT_FILE | QVEVT_REVERSE | QVEVT_MESSAGES);
  qv::Wevtapi api;
  if (!qv::find_wevtapi(&api)) {
    _retnl(pl, 0);
    return;
  }
  WCHAR* query = qv::fetch_wide_text(pl, 3, "*");
  if (query == nullptr) {
    _retnl(pl, 0);
    return;
  }
  WCHAR wide_path[MAX_NAME_BYTES];
  EVT_HANDLE session = nullptr;
  EVT_HANDLE handle = nullptr;
  const bool path_given = parameters.path_count != 0;
  if ((!path_given || qv::widen_into(parameters.path, wide_path)) &&
      qv::open_session(&api, parameters.server, &session)) {
    DWORD evt_flags = (flags & QVEVT_FILE) != 0 ? EvtQueryFilePath : EvtQueryChannelPath;
    evt_flags |= (flags & QVEVT_REVERSE) != 0 ? EvtQueryReverseDirection : EvtQueryForwardDirection;
    handle = api.query(session, path_given ? wide_path : nullptr, query, evt_flags);
  }
  {
    qv::KeptLastError kept;
    qv::heap_free(query);
  }
  _retnl(pl,
         qv::keep_or_close(api, handle, qv::QueryState{session, flags, nullptr, nullptr, false}));
}

QV_EXPORT QVEVTCLOSE(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  qv::Wevtapi api;
  if (!qv::find_wevtapi(&api)) {
    _retl(pl, FALSE);
    return;
  }
  const qv::QueryState state = qv::forget_query(handle);
  const BOOL closed = api.close(handle);
  qv::close_state(api, state);
  _retl(pl, closed);
}

QV_EXPORT QVEVTCHANNELS(XppParamList pl) {
  char server[MAX_NAME_BYTES];
  char* names = nullptr;
  DWORD bytes = 0;
  DWORD count = 0;
  qv::Wevtapi api;
  EVT_HANDLE session = nullptr;
  if (qv::fetch_name(pl, 1, server) != qv::kNameTooLong && qv::find_wevtapi(&api) &&
      qv::open_session(&api, server, &session)) {
    EVT_HANDLE channels = api.open_channel_enum(session, 0);
    if (channels == nullptr || !channel_names(api, channels, &names, &bytes, &count)) {
      qv::heap_free(names);
      names = nullptr;
      count = 0;
    }
    qv::close_quietly(&api, channels);
    qv::close_quietly(&api, session);
  }
  qv::KeptLastError kept;
  return_names(pl, names, count);
  qv::heap_free(names);
}
