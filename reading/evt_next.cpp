// QVEVTNEXT: the next event of a query or subscription of the event log of Windows Vista and
// later, as an array of its system values, its data, its message and its whole XML; on a
// subscription it waits for one as long as the caller allows. The handle's bookmark follows
// each event returned.
#include "host/exports.h"
#include "host/frame.h"
#include "reading/event_record.h"
#include "reading/event_xml.h"
#include "reading/evt_queries.h"
#include "reading/evt_render.h"
#include "reading/read_record.h"

namespace {

// EvtNext waits for a query's next event as long as it takes (INFINITE); on a subscription
// it never waits.
constexpr DWORD kWaitAsLongAsItTakes = 0xFFFFFFFFu;

// 100 ns intervals from 1601-01-01 to 1970-01-01.
constexpr ULONGLONG kUnixEpochAsFileTime = 116444736000000000ull;

// The value as a number; 0 for one of another type, or absent.
DWORD number(const EVT_VARIANT& value) {
  switch (value.Type) {
    case EvtVarTypeByte:
      return value.ByteVal;
    case EvtVarTypeSByte:
      return static_cast<DWORD>(static_cast<LONG>(value.SByteVal));
    case EvtVarTypeUInt16:
      return value.UInt16Val;
    case EvtVarTypeInt16:
      return static_cast<DWORD>(static_cast<LONG>(value.Int16Val));
    case EvtVarTypeUInt32:
    case EvtVarTypeInt32:
    case EvtVarTypeHexInt32:
      return value.UInt32Val;
    case EvtVarTypeUInt64:
    case EvtVarTypeInt64:
    case EvtVarTypeHexInt64:
      return static_cast<DWORD>(value.UInt64Val);
    default:
      return 0;
  }
}

// Seconds since 1970 of a FILETIME value; 0 for an earlier time or none.
DWORD seconds_since_1970(const EVT_VARIANT& value) {
  if (value.Type != EvtVarTypeFileTime || value.FileTimeVal < kUnixEpochAsFileTime) return 0;
  return static_cast<DWORD>((value.FileTimeVal - kUnixEpochAsFileTime) / 10000000ull);
}

// A 64-bit value as the event's XML writes keywords: "0x" and its hex digits, without
// leading zeros. Returns the characters written; "" for none.
DWORD hex_text(const EVT_VARIANT& value, char (&text)[19]) {
  text[0] = 0;
  if (value.Type != EvtVarTypeHexInt64 && value.Type != EvtVarTypeUInt64) return 0;
  const ULONGLONG bits = value.UInt64Val;
  DWORD n = 0;
  text[n++] = '0';
  text[n++] = 'x';
  int shift = 60;
  while (shift > 0 && ((bits >> shift) & 15) == 0) shift -= 4;
  for (; shift >= 0; shift -= 4) text[n++] = "0123456789abcdef"[(bits >> shift) & 15];
  text[n] = 0;
  return n;
}

void put_text(ContainerHandle array, ContainerHandle work, ULONG element, char* text,
              DWORD length) {
  qv::text_to_caller(text, length);
  _conPutCL(work, text, length);
  _conArrayPut(array, work, element, 0);
}

void put_sid(ContainerHandle array, ContainerHandle work, ULONG element, const EVT_VARIANT& value) {
  char text[qv::kSidTextBytes];
  DWORD length = 0;
  if (value.Type == EvtVarTypeSid && value.SidVal != nullptr) {
    const BYTE* sid = static_cast<const BYTE*>(value.SidVal);
    const DWORD count = sid[1] <= qv::kMaxSubAuthorities ? sid[1] : 0;
    length = qv::format_sid(sid, 8 + 4 * count, text, sizeof text);
  }
  _conPutCL(work, text, length);
  _conArrayPut(array, work, element, 0);
}

// The pairs of the event's data, each an array {cName, cValue}, into the data array.
struct DataPairs {
  ContainerHandle data;
  ContainerHandle work;
  ULONG next;
  bool failed;
};

void put_pair(void* context, qv::XmlSpan name, qv::XmlSpan value) {
  DataPairs* pairs = static_cast<DataPairs*>(context);
  ContainerHandle pair = _conNewArray(1, 2);
  if (pair == NULLCONTAINER) {
    pairs->failed = true;
    return;
  }
  put_text(pair, pairs->work, 1, const_cast<char*>(name.text), name.length);
  put_text(pair, pairs->work, 2, const_cast<char*>(value.text), value.length);
  _conArrayPut(pairs->data, pair, ++pairs->next, 0);
  _conRelease(pair);
}

void release_all(ContainerHandle a, ContainerHandle b, ContainerHandle c) {
  if (a != NULLCONTAINER) _conRelease(a);
  if (b != NULLCONTAINER) _conRelease(b);
  if (c != NULLCONTAINER) _conRelease(c);
}

// The event as the call's result: the array, or ERR_NO_ARRAY when it could not be made
// (false).
bool return_event(XppParamList pl, qv::RenderedEvent* event) {
  using qv::system_value;
  const DWORD pair_count =
      qv::scan_event_data(event->xml, event->xml_bytes, event->scratch, nullptr, nullptr);
  ContainerHandle array = _conNewArray(1, QVEVT_ELEMENTS);
  ContainerHandle data = _conNewArray(1, pair_count);
  ContainerHandle work = _conNew(NULLCONTAINER);
  DataPairs pairs = {data, work, 0, false};
  if (array != NULLCONTAINER && data != NULLCONTAINER && work != NULLCONTAINER)
    qv::scan_event_data(event->xml, event->xml_bytes, event->scratch, put_pair, &pairs);
  if (array == NULLCONTAINER || data == NULLCONTAINER || work == NULLCONTAINER || pairs.failed) {
    release_all(array, data, work);
    _retnl(pl, ERR_NO_ARRAY);
    return false;
  }
  const EVT_VARIANT& record_id = system_value(*event, EvtSystemEventRecordId);
  const EVT_VARIANT& created = system_value(*event, EvtSystemTimeCreated);
  qv::put_number(array, work, QVEVT_RECORDID, number(record_id));
  qv::put_number(array, work, QVEVT_TIME, seconds_since_1970(created));
  const qv::XmlSpan system_time =
      qv::find_attribute(event->xml, event->xml_bytes, "TimeCreated", "SystemTime");
  _conPutCL(work, system_time.text, system_time.length);
  _conArrayPut(array, work, QVEVT_SYSTEMTIME, 0);
  qv::put_number(array, work, QVEVT_EVENTID, number(system_value(*event, EvtSystemEventID)));
  qv::put_number(array, work, QVEVT_LEVEL, number(system_value(*event, EvtSystemLevel)));
  qv::put_number(array, work, QVEVT_TASK, number(system_value(*event, EvtSystemTask)));
  qv::put_number(array, work, QVEVT_OPCODE, number(system_value(*event, EvtSystemOpcode)));
  char keywords[19];
  const DWORD keywords_length = hex_text(system_value(*event, EvtSystemKeywords), keywords);
  _conPutCL(work, keywords, keywords_length);
  _conArrayPut(array, work, QVEVT_KEYWORDS, 0);
  for (ULONG i = 0; i < 3; ++i)
    put_text(array, work, QVEVT_PROVIDER + i, event->names[i], event->name_bytes[i]);
  put_sid(array, work, QVEVT_USERSID, system_value(*event, EvtSystemUserID));
  qv::put_number(array, work, QVEVT_PROCESSID, number(system_value(*event, EvtSystemProcessID)));
  qv::put_number(array, work, QVEVT_THREADID, number(system_value(*event, EvtSystemThreadID)));
  _conArrayPut(array, data, QVEVT_DATA, 0);
  put_text(array, work, QVEVT_MESSAGE,
           event->message == nullptr ? const_cast<char*>("") : event->message,
           event->message_bytes);
  put_text(array, work, QVEVT_XML, event->xml, event->xml_bytes);
  _conReturn(pl, array);
  release_all(array, data, work);
  return true;
}

void return_nil(XppParamList pl) {
  ContainerHandle nil = _conNew(NULLCONTAINER);
  if (nil == NULLCONTAINER) {
    _retnl(pl, ERR_NO_ARRAY);
    return;
  }
  _conReturn(pl, nil);
  _conRelease(nil);
}

// The milliseconds to wait: 0 for a time that is absent, 0 or negative.
DWORD wait_time(XppParamList pl) {
  const LONG milliseconds = _parnl(pl, 2);
  return milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
}

// The next event: of a query, as EvtNext gives it; of a subscription, the one that comes
// within `wait` milliseconds. The event object is reset before the last look that precedes
// each wait, so that an event written between that look and the wait still ends the wait.
// False with the thread's last error set (259 when none came).
bool next_event(const qv::Wevtapi& api, EVT_HANDLE query, HANDLE signal, DWORD wait,
                EVT_HANDLE* event) {
  const DWORD start = GetTickCount();
  bool reset = false;
  for (;;) {
    DWORD returned = 0;
    if (api.next(query, 1, event, signal == nullptr ? kWaitAsLongAsItTakes : 0, 0, &returned) &&
        returned != 0)
      return true;
    // A subscription whose service has not handed its events over yet answers 1460 to a read
    // that does not wait: none there yet, as 259 says.
    const DWORD error = GetLastError();
    if (returned == 0 && (error == ERROR_SUCCESS || (signal != nullptr && error == ERROR_TIMEOUT)))
      SetLastError(ERROR_NO_MORE_ITEMS);
    if (signal == nullptr || GetLastError() != ERROR_NO_MORE_ITEMS) return false;
    const DWORD waited = GetTickCount() - start;
    if (waited >= wait) return false;
    if (!reset) {
      reset = ResetEvent(signal) != FALSE;
      if (!reset) return false;
      continue;
    }
    reset = false;
    if (WaitForSingleObject(signal, wait - waited) == WAIT_FAILED) return false;
  }
}

}  // namespace

QV_EXPORT QVEVTNEXT(XppParamList pl) {
  HANDLE query = qv::handle_or_refuse(pl);
  if (query == nullptr) return;
  qv::Wevtapi api;
  if (!qv::find_wevtapi(&api)) {
    _retnl(pl, ERR_READ_FAILED);
    return;
  }
  const qv::QueryState state = qv::query_state(query);
  EVT_HANDLE event = nullptr;
  if (!next_event(api, query, state.signal, wait_time(pl), &event)) {
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_ITEMS) {
      return_nil(pl);
    } else {
      _retnl(pl, ERR_READ_FAILED);
    }
    SetLastError(error);
    return;
  }
  qv::RenderedEvent rendered;
  const bool ok =
      qv::render_event(api, event, state.session, (state.flags & QVEVT_MESSAGES) != 0, &rendered);
  if (!ok) {
    qv::close_quietly(&api, event);
    _retnl(pl, ERR_READ_FAILED);
    return;
  }
  const DWORD error = GetLastError();
  // The bookmark follows only an event the caller got. Should it fail to follow, the event is
  // still returned: after a restart from the stored bookmark it comes again rather than never.
  if (return_event(pl, &rendered) && state.bookmark != nullptr &&
      api.update_bookmark(state.bookmark, event))
    qv::mark_returned(query);
  qv::release_rendered(&rendered);
  qv::close_quietly(&api, event);
  SetLastError(error);
}
