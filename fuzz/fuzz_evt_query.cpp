// Any text given to the simulated wevtapi's EvtQuery as an XPath filter or a structured
// query, over a channel of classic records, and every event it selects rendered: a clear
// failure with its reason (15001 for what Windows does not accept) or events, never a crash.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/qv_windows.h"
#include "qvsim/eventlog_control.h"

namespace {

void write_records() {
  qvsim::RecordView record;
  record.source = "App";
  record.event_id = 0x40000064;
  record.event_type = EVENTLOG_ERROR_TYPE;
  record.category = 2;
  record.strings = {u"one", u"2004-11-10T00:00:00.000Z", u"0x10"};
  record.data = {1, 2, 3};
  record.sid = qvsim::user_sid("xbuser");
  qvsim::write_record("Application", record);
  record.event_type = EVENTLOG_AUDIT_SUCCESS;
  record.strings.clear();
  qvsim::write_record("Application", record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvsim::reset();
  qvsim::set_clock(1100043200);
  write_records();
  std::u16string query(data, data + size);
  for (char16_t& c : query) {
    if (c == 0) c = ' ';
  }
  const DWORD directions[] = {EvtQueryChannelPath, EvtQueryChannelPath | EvtQueryReverseDirection};
  for (DWORD flags : directions) {
    EVT_HANDLE handle = EvtQuery(nullptr, u"Application", query.c_str(), flags);
    if (handle == nullptr) {
      if (GetLastError() == ERROR_SUCCESS) abort();  // a failure gives its reason
      continue;
    }
    EVT_HANDLE event = nullptr;
    DWORD got = 0;
    size_t count = 0;
    std::vector<uint8_t> buffer(1 << 16);
    while (EvtNext(handle, 1, &event, 0, 0, &got)) {
      DWORD used = 0, properties = 0;
      if (!EvtRender(nullptr, event, EvtRenderEventXml, static_cast<DWORD>(buffer.size()),
                     buffer.data(), &used, &properties))
        abort();
      EvtClose(event);
      if (++count > 2) abort();  // the channel holds two events
    }
    if (GetLastError() == ERROR_SUCCESS) abort();
    EvtClose(handle);
  }
  return 0;
}
