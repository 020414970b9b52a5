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
  std::unique_ptr<EventSource> events;
  std::vector<QueryGroup> groups;
};

struct EvtQueryObject {
  std::vector<std::unique_ptr<EventFilter>> filters;  // owned here, used by the sources
  std::vector<QuerySource> sources;                   // in the order they are read
  bool reverse = false;
  size_t source = 0;  // where the next event is looked for
  size_t index = 0;   // in that source, counted from its end when reading in reverse
};

struct EvtEvent {
  std::shared_ptr<pugi::xml_document> doc;
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

using EvtObject = std::variant<EvtSession, EvtQueryObject, EvtEvent, EvtRenderContext,
                               EvtChannelEnum, EvtPublisher>;

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

}  // namespace qvsim::detail

#endif
