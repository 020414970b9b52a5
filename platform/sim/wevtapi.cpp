// The simulated wevtapi.dll: queries over channels and log files, their events, rendering.
#include "qvsim/wevtapi_control.h"
#include "sim_state.h"

using namespace qvsim::detail;

extern "C" EVT_HANDLE WINAPI EvtOpenSession(EVT_LOGIN_CLASS, PVOID, DWORD, DWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, EVT_HANDLE{});
}
extern "C" EVT_HANDLE WINAPI EvtQuery(EVT_HANDLE, LPCWSTR, LPCWSTR, DWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, EVT_HANDLE{});
}
extern "C" BOOL WINAPI EvtNext(EVT_HANDLE, DWORD, EVT_HANDLE*, DWORD, DWORD, PDWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
extern "C" BOOL WINAPI EvtSeek(EVT_HANDLE, LONGLONG, EVT_HANDLE, DWORD, DWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
extern "C" BOOL WINAPI EvtClose(EVT_HANDLE) { return fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE); }
extern "C" EVT_HANDLE WINAPI EvtCreateRenderContext(DWORD, LPCWSTR*, DWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, EVT_HANDLE{});
}
extern "C" BOOL WINAPI EvtRender(EVT_HANDLE, EVT_HANDLE, DWORD, DWORD, PVOID, PDWORD, PDWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
extern "C" BOOL WINAPI EvtFormatMessage(EVT_HANDLE, EVT_HANDLE, DWORD, DWORD, PEVT_VARIANT, DWORD,
                                        DWORD, LPWSTR, PDWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
extern "C" EVT_HANDLE WINAPI EvtOpenPublisherMetadata(EVT_HANDLE, LPCWSTR, LPCWSTR, LCID, DWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, EVT_HANDLE{});
}
extern "C" EVT_HANDLE WINAPI EvtOpenChannelEnum(EVT_HANDLE, DWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, EVT_HANDLE{});
}
extern "C" BOOL WINAPI EvtNextChannelPath(EVT_HANDLE, DWORD, LPWSTR, PDWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
extern "C" DWORD WINAPI EvtGetExtendedStatus(DWORD, LPWSTR, PDWORD BufferUsed) {
  if (BufferUsed != nullptr) *BufferUsed = 0;
  return ERROR_SUCCESS;
}
extern "C" EVT_HANDLE WINAPI EvtSubscribe(EVT_HANDLE, HANDLE, LPCWSTR, LPCWSTR, EVT_HANDLE, PVOID,
                                          EVT_SUBSCRIBE_CALLBACK, DWORD) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, EVT_HANDLE{});
}
extern "C" EVT_HANDLE WINAPI EvtCreateBookmark(LPCWSTR) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, EVT_HANDLE{});
}
extern "C" BOOL WINAPI EvtUpdateBookmark(EVT_HANDLE, EVT_HANDLE) {
  return fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}

namespace qvsim {

void serve_channel(const std::string&, const std::string&) {}

}  // namespace qvsim
