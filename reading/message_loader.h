// Message files loaded as the Event Viewer loads them.
//
// quorvel.dll is a 32-bit module, so on 64-bit Windows it runs under WOW64, where a path
// under %SystemRoot%\System32 leads to %SystemRoot%\SysWOW64. The Event Viewer is a 64-bit
// program and is not redirected: the message files of drivers and 64-bit components exist
// only in the 64-bit folder. A WOW64 process therefore loads each file first with the
// redirection turned off for the calling thread, then, should that fail, as the 32-bit
// process sees the path, for a file a 32-bit installer put into SysWOW64.
#ifndef QUORVEL_READING_MESSAGE_LOADER_H
#define QUORVEL_READING_MESSAGE_LOADER_H

#include "platform/qv_windows.h"

namespace qv {

typedef BOOL(WINAPI* RedirectionOff)(PVOID* old_value);
typedef BOOL(WINAPI* RedirectionBack)(PVOID old_value);

// How this process loads message files: both functions are set in a WOW64 process whose
// Windows has them, else neither, and files are loaded as the path gives them.
struct MessageLoader {
  RedirectionOff turn_off = nullptr;
  RedirectionBack turn_back = nullptr;
};

MessageLoader find_message_loader();

// The file loaded as a data file; null with the first load's error as the thread's last
// error. The redirection is back on when it returns.
HMODULE load_message_file(const MessageLoader& loader, const char* path);

}  // namespace qv

#endif
