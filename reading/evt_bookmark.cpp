// QVEVTBOOKMARK: the bookmark of the last event QVEVTNEXT returned on a query or
// subscription, as the XML text wevtapi renders, to be stored and given to QVEVTSUBSCRIBE.
#include "host/exports.h"
#include "host/frame.h"
#include "reading/evt_queries.h"
#include "reading/wide_text.h"

namespace {

// The bookmark's XML in UTF-16, in a heap block; null with the last error set.
WCHAR* render_bookmark(const qv::Wevtapi& api, EVT_HANDLE bookmark) {
  WCHAR* xml = nullptr;
  DWORD bytes = 0;
  for (;;) {
    DWORD used = 0;
    DWORD count = 0;
    if (api.render(nullptr, bookmark, EvtRenderBookmark, bytes, xml, &used, &count)) return xml;
    const DWORD error = GetLastError();
    qv::heap_free(xml);
    xml = nullptr;
    if (error != ERROR_INSUFFICIENT_BUFFER || used <= bytes) return nullptr;
    xml = static_cast<WCHAR*>(qv::heap_alloc_zeroed(used));
    if (xml == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    bytes = used;
  }
}

}  // namespace

QV_EXPORT QVEVTBOOKMARK(XppParamList pl) {
  HANDLE handle = qv::handle_or_refuse(pl);
  if (handle == nullptr) return;
  qv::Wevtapi api;
  if (!qv::find_wevtapi(&api)) {
    _retnl(pl, ERR_READ_FAILED);
    return;
  }
  const qv::QueryState state = qv::query_state(handle);
  if (state.bookmark == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    _retnl(pl, ERR_READ_FAILED);
    return;
  }
  if (!state.returned) {
    _retc(pl, "");
    return;
  }
  WCHAR* xml = render_bookmark(api, state.bookmark);
  DWORD length = 0;
  char* text = xml == nullptr ? nullptr : qv::narrow(xml, -1, &length);
  const DWORD error = GetLastError();
  qv::heap_free(xml);
  if (text == nullptr) {
    SetLastError(error);
    _retnl(pl, ERR_READ_FAILED);
    return;
  }
  qv::text_to_caller(text, length);
  _retc(pl, text);
  qv::heap_free(text);
  SetLastError(ERROR_SUCCESS);
}
