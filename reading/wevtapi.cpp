#include "reading/wevtapi.h"

#include "host/kept_last_error.h"
#include "host/procedure.h"
#include "reading/wide_text.h"

namespace {

// The functions as the process found them, published field by field before the state that
// tells whether they were found. Threads that meet at the first lookup each find the same
// functions (a second LoadLibraryA of a loaded module gives the same module) and publish them.
qv::Wevtapi functions;
enum : int { kNotLookedUp, kFound, kAbsent };
int state = kNotLookedUp;

#define QV_WEVTAPI_FIELDS(apply)                                                                  \
  apply(open_session) apply(query) apply(next) apply(close) apply(create_render_context)          \
      apply(render) apply(format_message) apply(open_publisher_metadata) apply(open_channel_enum) \
          apply(next_channel_path) apply(subscribe) apply(create_bookmark) apply(update_bookmark)

template <typename Function>
bool find(HMODULE module, const char* name, Function* function) {
  *function = qv::find_procedure<Function>(module, name);
  return *function != nullptr;
}

bool look_up(qv::Wevtapi* found) {
  HMODULE module = LoadLibraryA("wevtapi.dll");
  if (module == nullptr) return false;
  return find(module, "EvtOpenSession", &found->open_session) &&
         find(module, "EvtQuery", &found->query) && find(module, "EvtNext", &found->next) &&
         find(module, "EvtClose", &found->close) &&
         find(module, "EvtCreateRenderContext", &found->create_render_context) &&
         find(module, "EvtRender", &found->render) &&
         find(module, "EvtFormatMessage", &found->format_message) &&
         find(module, "EvtOpenPublisherMetadata", &found->open_publisher_metadata) &&
         find(module, "EvtOpenChannelEnum", &found->open_channel_enum) &&
         find(module, "EvtNextChannelPath", &found->next_channel_path) &&
         find(module, "EvtSubscribe", &found->subscribe) &&
         find(module, "EvtCreateBookmark", &found->create_bookmark) &&
         find(module, "EvtUpdateBookmark", &found->update_bookmark);
}

}  // namespace

namespace qv {

bool find_wevtapi(Wevtapi* api) {
#define QV_PUBLISH(field) __atomic_store_n(&functions.field, api->field, __ATOMIC_RELAXED);
#define QV_COPY(field) api->field = __atomic_load_n(&functions.field, __ATOMIC_RELAXED);
  int seen = __atomic_load_n(&state, __ATOMIC_ACQUIRE);
  if (seen == kNotLookedUp) {
    const DWORD error = GetLastError();
    *api = Wevtapi{};
    seen = look_up(api) ? kFound : kAbsent;
    if (seen == kFound) {
      QV_WEVTAPI_FIELDS(QV_PUBLISH)
    }
    SetLastError(error);
    __atomic_store_n(&state, seen, __ATOMIC_RELEASE);
  } else if (seen == kFound) {
    QV_WEVTAPI_FIELDS(QV_COPY)
  }
#undef QV_PUBLISH
#undef QV_COPY
  if (seen == kFound) return true;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return false;
}

bool open_session(const Wevtapi* api, const char* server, EVT_HANDLE* session) {
  *session = nullptr;
  while (*server == '\\') ++server;
  if (*server == 0) return true;
  WCHAR name[MAX_NAME_BYTES];
  if (!widen_into(server, name)) return false;
  EVT_RPC_LOGIN login = {};
  login.Server = name;
  login.Flags = EvtRpcLoginAuthDefault;
  *session = api->open_session(EvtRpcLogin, &login, 0, 0);
  return *session != nullptr;
}

void close_quietly(const Wevtapi* api, EVT_HANDLE handle) {
  if (handle == nullptr) return;
  KeptLastError kept;
  api->close(handle);
}

}  // namespace qv
