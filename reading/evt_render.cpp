#include "reading/evt_render.h"

#include "host/kept_last_error.h"
#include "reading/wide_text.h"

namespace {

// What EvtFormatMessage answers with a message whose inserts it could not all fill: the
// message is formatted all the same.
constexpr DWORD kUnresolvedValueInsert = 15029;
constexpr DWORD kUnresolvedParameterInsert = 15030;
constexpr DWORD kMaxInsertsReached = 15031;

// Renders into a heap buffer of the size wevtapi asks for: null with the last error set when
// it failed.
BYTE* render(const qv::Wevtapi& api, EVT_HANDLE context, EVT_HANDLE event, DWORD flags, DWORD* used,
             DWORD* count) {
  *used = 0;
  *count = 0;
  if (api.render(context, event, flags, 0, nullptr, used, count)) return nullptr;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return nullptr;
  const DWORD size = *used;
  BYTE* buffer = static_cast<BYTE*>(qv::heap_alloc_zeroed(static_cast<SIZE_T>(size) + 2));
  if (buffer == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!api.render(context, event, flags, size, buffer, used, count)) {
    qv::KeptLastError kept;
    qv::heap_free(buffer);
    return nullptr;
  }
  return buffer;
}

EVT_VARIANT* render_values(const qv::Wevtapi& api, EVT_HANDLE event, DWORD* count) {
  EVT_HANDLE context = api.create_render_context(0, nullptr, EvtRenderContextSystem);
  if (context == nullptr) return nullptr;
  DWORD used = 0;
  BYTE* values = render(api, context, event, EvtRenderEventValues, &used, count);
  // The values counted lie within what was rendered.
  if (*count > used / sizeof(EVT_VARIANT)) *count = used / sizeof(EVT_VARIANT);
  qv::close_quietly(&api, context);
  return reinterpret_cast<EVT_VARIANT*>(values);
}

char* render_xml(const qv::Wevtapi& api, EVT_HANDLE event, DWORD* bytes) {
  DWORD used = 0;
  DWORD count = 0;
  BYTE* xml = render(api, nullptr, event, EvtRenderEventXml, &used, &count);
  if (xml == nullptr) return nullptr;
  char* text = qv::narrow(reinterpret_cast<LPCWSTR>(xml), -1, bytes);
  qv::KeptLastError kept;
  qv::heap_free(xml);
  return text;
}

bool formatted(BOOL ok) {
  if (ok) return true;
  const DWORD error = GetLastError();
  return error == kUnresolvedValueInsert || error == kUnresolvedParameterInsert ||
         error == kMaxInsertsReached;
}

// The event's message from its provider's metadata (without it, what the event itself
// carries, as a forwarded event does); null when there is none.
char* render_message(const qv::Wevtapi& api, EVT_HANDLE event, EVT_HANDLE session,
                     const EVT_VARIANT& provider, DWORD* bytes) {
  EVT_HANDLE metadata = nullptr;
  if (provider.Type == EvtVarTypeString && provider.StringVal != nullptr)
    metadata = api.open_publisher_metadata(session, provider.StringVal, nullptr, 0, 0);
  DWORD used = 0;
  WCHAR* text = nullptr;
  if (!api.format_message(metadata, event, 0, 0, nullptr, EvtFormatMessageEvent, 0, nullptr,
                          &used) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER && used > 0) {
    const DWORD units = used;
    text = static_cast<WCHAR*>(qv::heap_alloc_zeroed((static_cast<SIZE_T>(units) + 1) * 2));
    if (text != nullptr &&
        !formatted(api.format_message(metadata, event, 0, 0, nullptr, EvtFormatMessageEvent, units,
                                      text, &used))) {
      qv::heap_free(text);
      text = nullptr;
    }
  }
  qv::close_quietly(&api, metadata);
  if (text == nullptr) return nullptr;
  char* message = qv::narrow(text, -1, bytes);
  qv::heap_free(text);
  return message;
}

}  // namespace

namespace qv {

bool render_event(const Wevtapi& api, EVT_HANDLE event, EVT_HANDLE session, bool with_message,
                  RenderedEvent* rendered) {
  *rendered = RenderedEvent{};
  rendered->values = render_values(api, event, &rendered->value_count);
  if (rendered->values != nullptr) rendered->xml = render_xml(api, event, &rendered->xml_bytes);
  bool ok = rendered->xml != nullptr;
  static const DWORD kNameIds[] = {EvtSystemProviderName, EvtSystemChannel, EvtSystemComputer};
  static const WCHAR kNone[1] = {0};
  for (DWORD i = 0; ok && i < 3; ++i) {
    const EVT_VARIANT& name = system_value(*rendered, kNameIds[i]);
    const bool text = name.Type == EvtVarTypeString && name.StringVal != nullptr;
    rendered->names[i] = narrow(text ? name.StringVal : kNone, -1, &rendered->name_bytes[i]);
    ok = rendered->names[i] != nullptr;
  }
  if (ok) {
    rendered->scratch = static_cast<char*>(heap_alloc_zeroed(rendered->xml_bytes + 1));
    ok = rendered->scratch != nullptr;
    if (!ok) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (!ok) {
    qv::KeptLastError kept;
    release_rendered(rendered);
    return false;
  }
  if (with_message) {
    const DWORD error = GetLastError();
    rendered->message =
        render_message(api, event, session, system_value(*rendered, EvtSystemProviderName),
                       &rendered->message_bytes);
    SetLastError(error);
  }
  return true;
}

const EVT_VARIANT& system_value(const RenderedEvent& rendered, DWORD id) {
  static const EVT_VARIANT kAbsent = {};
  return id < rendered.value_count ? rendered.values[id] : kAbsent;
}

void release_rendered(RenderedEvent* rendered) {
  heap_free(rendered->values);
  heap_free(rendered->xml);
  heap_free(rendered->message);
  for (char* name : rendered->names) heap_free(name);
  heap_free(rendered->scratch);
  *rendered = RenderedEvent{};
}

}  // namespace qv
