// The objects behind the handles of the simulated wevtapi.dll. Call everything here with
// lock() held.
#ifndef QUORVEL_SIM_WEVTAPI_HANDLES_H
#define QUORVEL_SIM_WEVTAPI_HANDLES_H

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "event_filter.h"
#include "event_source.h"
#include "windows_sim.h"

namespace qvsim::detail {

struct EvtSession {};

// The selectors and suppressors of one query of a structured query (one selector for an
// XPath query) for one source: an event is selected when a selector selects it and no
// suppressor of the same query suppresses it.
struct QueryGroup {
  std::vector<const EventFilter*> select;
  std::vector<const EventFilter*> suppress;
};

// A source of a query with the groups that apply to it.
struct QuerySource {
  std::string path;  // the channel or file as the query names it
  std::unique_ptr<EventSource> events;
  std::vector<QueryGroup> groups;
};

struct EvtQueryObject {
  std::vector<std::unique_ptr<EventFilter>> filters;  // owned here, used by the sources
  std::vector<QuerySource> sources;                   // in the order they are read
  bool reverse = false;
  // Where the next event is looked for: a source, and an index in it counted from its end
  // when reading in reverse.
  struct Cursor {
    size_t source = 0;
    size_t index = 0;
  } cursor;
  size_t position = 0;  // of the next event in the result set
};

struct EvtEvent {
  std::shared_ptr<pugi::xml_document> doc;
  std::string channel;  // the channel a subscription read it from; "": the one its XML names
};

struct EvtRenderContext {
  DWORD flags = 0;
  std::vector<std::string> paths;  // EvtRenderContextValues: what to render
};

struct EvtChannelEnum {
  std::vector<std::string> names;
  size_t next = 0;
};

struct EvtPublisher {
  std::string name;
  std::vector<std::string> message_files;
};

// A subscription in the pull model: its query's sources are channels, read again from the
// record after the one last looked at whenever EvtNext asks; its event object is set when a
// channel it reads is written.
struct EvtSubscription {
  EvtQueryObject query;
  std::vector<uint64_t> after;  // for each source: the record id last looked at
  HANDLE signal = nullptr;
};

// A position in each channel named: the record id of an event there, one of them the current.
struct EvtBookmark {
  struct Mark {
    std::string channel;
    uint64_t record_id = 0;
  };
  std::vector<Mark> marks;
  size_t current = 0;  // marks.size(): none
};

using EvtObject = std::variant<EvtSession, EvtQueryObject, EvtEvent, EvtRenderContext,
                               EvtChannelEnum, EvtPublisher, EvtSubscription, EvtBookmark>;

// A new handle for the object; the object of a handle (null when none); closing one.
EVT_HANDLE add_evt_object(EvtObject object);
EvtObject* find_evt_handle(EVT_HANDLE handle);
bool remove_evt_object(EVT_HANDLE handle);

// The object of a handle when it is of that kind; null otherwise.
template <typename T>
T* find_evt_object(EVT_HANDLE handle) {
  EvtObject* object = find_evt_handle(handle);
  return object == nullptr ? nullptr : std::get_if<T>(object);
}

// A session handle: null (this computer) or one EvtOpenSession gave.
bool valid_session(EVT_HANDLE session);

// The query's sources and filters for a path and a query text (XPath, or a structured query
// whose paths name the sources); the Windows error when they cannot be had.
DWORD build_query(LPCWSTR path, LPCWSTR query_text, bool file, bool tolerate,
                  EvtQueryObject* query);

// Whether the query selects the event from that source.
bool selected(const QuerySource& source, const pugi::xml_document& doc, uint64_t now_ms);
uint64_t now_ms();

// EvtNext on a subscription: its next events as new event handles, 259 when none came.
BOOL subscription_next(EvtSubscription* subscription, DWORD size, EVT_HANDLE* events,
                       PDWORD returned);

// EvtRender of a bookmark: its XML.
BOOL render_bookmark(const EvtBookmark& bookmark, DWORD size, PVOID buffer, PDWORD used);

}  // namespace qvsim::detail

#endif
