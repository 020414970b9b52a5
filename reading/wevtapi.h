// The event log of Windows Vista and later (wevtapi.dll), found while the program runs: the
// DLL loads on Windows XP and Server 2003, which lack it.
#ifndef QUORVEL_READING_WEVTAPI_H
#define QUORVEL_READING_WEVTAPI_H

#include "platform/qv_windows.h"

namespace qv {

// The functions of wevtapi.dll the library calls.
struct Wevtapi {
  decltype(&EvtOpenSession) open_session;
  decltype(&EvtQuery) query;
  decltype(&EvtNext) next;
  decltype(&EvtClose) close;
  decltype(&EvtCreateRenderContext) create_render_context;
  decltype(&EvtRender) render;
  decltype(&EvtFormatMessage) format_message;
  decltype(&EvtOpenPublisherMetadata) open_publisher_metadata;
  decltype(&EvtOpenChannelEnum) open_channel_enum;
  decltype(&EvtNextChannelPath) next_channel_path;
  decltype(&EvtSubscribe) subscribe;
  decltype(&EvtCreateBookmark) create_bookmark;
  decltype(&EvtUpdateBookmark) update_bookmark;
};

// The functions, looked up once in the process, copied into `api`. False, with
// ERROR_CALL_NOT_IMPLEMENTED as the thread's last error, when Windows has no wevtapi.dll or it
// lacks one of them.
bool find_wevtapi(Wevtapi* api);

// A session on the server named (leading backslashes dropped), with the caller's
// credentials; null for this computer when the name is empty. False, with the thread's last
// error set, when the server cannot be reached.
bool open_session(const Wevtapi* api, const char* server, EVT_HANDLE* session);

// Closes the handle when there is one, leaving the thread's last error as it was.
void close_quietly(const Wevtapi* api, EVT_HANDLE handle);

}  // namespace qv

#endif
