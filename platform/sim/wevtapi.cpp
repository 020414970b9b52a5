// The simulated wevtapi.dll: sessions, queries over channels and log files, their events,
// the channel enumeration and the handles of all of them.
#include <algorithm>
#include <map>
#include <new>

#include "event_xml.h"
#include "sim_state.h"
#include "wevtapi_handles.h"

namespace qvsim::detail {
namespace {

constexpr uint64_t kUnixEpochMs = 11644473600000ull;  // 1970 in ms since 1601
constexpr DWORD kPathFlags = EvtQueryChannelPath | EvtQueryFilePath;
constexpr DWORD kDirectionFlags = EvtQueryForwardDirection | EvtQueryReverseDirection;

std::map<uintptr_t, EvtObject>& objects() {
  static std::map<uintptr_t, EvtObject> table;
  return table;
}

[[maybe_unused]] const bool registered = on_reset([] { objects().clear(); });

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A path of a structured query: a channel, or a file as file://PATH.
DWORD open_path(const std::string& path, bool file, std::unique_ptr<EventSource>* source) {
  constexpr std::string_view kFileScheme = "file://";
  if (path.compare(0, kFileScheme.size(), kFileScheme) == 0)
    return open_log_file(path.substr(kFileScheme.size()), source);
  return file ? open_log_file(path, source) : open_channel(path, source);
}

const EventFilter* add_filter(EvtQueryObject* query, const std::string& xpath) {
  auto filter = std::make_unique<EventFilter>();
  if (!filter->parse(trimmed(xpath))) return nullptr;
  query->filters.push_back(std::move(filter));
  return query->filters.back().get();
}

// The source of that path in the query, opened when first named.
DWORD source_for(EvtQueryObject* query, std::map<std::string, size_t>* by_path,
                 const std::string& path, bool file, QuerySource** source) {
  const std::string key = to_upper(path);
  auto found = by_path->find(key);
  if (found == by_path->end()) {
    QuerySource opened;
    opened.path = path;
    if (DWORD error = open_path(path, file, &opened.events)) return error;
    query->sources.push_back(std::move(opened));
    found = by_path->emplace(key, query->sources.size() - 1).first;
  }
  *source = &query->sources[found->second];
  return ERROR_SUCCESS;
}

// A structured query: <QueryList><Query Path=...><Select Path=...>XPATH</Select>
// <Suppress Path=...>XPATH</Suppress></Query></QueryList>. The queries' suppressors apply to
// their own selectors. A Path attribute names a channel, or a file as file://PATH; where none
// is given, the query's path is the one EvtQuery was given, a file when its flags say so.
DWORD structured_query(const std::string& text, const std::string& default_path, bool file,
                       bool tolerate, EvtQueryObject* query) {
  pugi::xml_document doc;
  if (!doc.load_string(text.c_str())) return ERROR_EVT_INVALID_QUERY;
  pugi::xml_node list = doc.document_element();
  if (std::string(list.name()) != "QueryList" || !list.child("Query"))
    return ERROR_EVT_INVALID_QUERY;
  std::map<std::string, size_t> by_path;
  for (pugi::xml_node element : list.children()) {
    if (element.type() != pugi::node_element) continue;
    if (std::string(element.name()) != "Query") return ERROR_EVT_INVALID_QUERY;
    const bool own_path = element.attribute("Path");
    const std::string query_path = element.attribute("Path").as_string(default_path.c_str());
    std::map<QuerySource*, QueryGroup> groups;
    for (pugi::xml_node part : element.children()) {
      if (part.type() != pugi::node_element) continue;
      const std::string kind = part.name();
      if (kind != "Select" && kind != "Suppress") return ERROR_EVT_INVALID_QUERY;
      const EventFilter* filter = add_filter(query, part.text().get());
      const std::string path = part.attribute("Path").as_string(query_path.c_str());
      if (filter == nullptr || path.empty()) return ERROR_EVT_INVALID_QUERY;
      const bool path_is_file = file && !part.attribute("Path") && !own_path;
      QuerySource* source = nullptr;
      if (DWORD error = source_for(query, &by_path, path, path_is_file, &source)) {
        // EvtQueryTolerateQueryErrors: a path that cannot be read is left out.
        if (tolerate && error != ERROR_NOT_ENOUGH_MEMORY) continue;
        return error;
      }
      if (kind == "Select")
        groups[source].select.push_back(filter);
      else
        groups[source].suppress.push_back(filter);
    }
    for (auto& [source, group] : groups) {
      if (!group.select.empty()) source->groups.push_back(std::move(group));
    }
  }
  return ERROR_SUCCESS;
}

bool any_matches(const std::vector<const EventFilter*>& filters, const pugi::xml_document& doc,
                 uint64_t now_ms) {
  for (const EventFilter* filter : filters) {
    if (filter->matches(doc, now_ms)) return true;
  }
  return false;
}

// The query's next event, or the error that ends the reading (259 at the end).
DWORD next_event(EvtQueryObject* query, std::shared_ptr<pugi::xml_document>* event) {
  const uint64_t clock = now_ms();
  while (query->cursor.source < query->sources.size()) {
    const size_t which =
        query->reverse ? query->sources.size() - 1 - query->cursor.source : query->cursor.source;
    QuerySource& source = query->sources[which];
    const size_t count = source.events->size();
    if (query->cursor.index >= count) {
      ++query->cursor.source;
      query->cursor.index = 0;
      continue;
    }
    const size_t at = query->reverse ? count - 1 - query->cursor.index : query->cursor.index;
    ++query->cursor.index;
    auto doc = std::make_shared<pugi::xml_document>();
    if (DWORD error = source.events->load(at, doc.get())) return error;
    if (!selected(source, *doc, clock)) continue;
    *event = std::move(doc);
    ++query->position;
    return ERROR_SUCCESS;
  }
  return ERROR_NO_MORE_ITEMS;
}

// Where each event of the result set lies: the source and index to read on from to get it.
DWORD result_places(EvtQueryObject* query, std::vector<EvtQueryObject::Cursor>* places) {
  query->cursor = {};
  for (;;) {
    const EvtQueryObject::Cursor place = query->cursor;
    std::shared_ptr<pugi::xml_document> doc;
    const DWORD error = next_event(query, &doc);
    if (error == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) return error;
    places->push_back(place);
  }
}

// Server names that are this computer.
bool is_this_computer(const std::string& name) {
  return name.empty() || names_equal(name, "localhost") || name == "." || name == "127.0.0.1" ||
         is_local_server(name.c_str());
}

}  // namespace

bool selected(const QuerySource& source, const pugi::xml_document& doc, uint64_t now_ms) {
  for (const QueryGroup& group : source.groups) {
    if (any_matches(group.select, doc, now_ms) && !any_matches(group.suppress, doc, now_ms))
      return true;
  }
  return false;
}

uint64_t now_ms() { return kUnixEpochMs + uint64_t{qvsim::now()} * 1000; }

DWORD build_query(LPCWSTR Path, LPCWSTR Query, bool file, bool tolerate, EvtQueryObject* query) {
  const std::string path = utf8_of(Path);
  const std::string text = trimmed(Query == nullptr ? "*" : utf8_of(Query));
  if (!text.empty() && text[0] == '<') return structured_query(text, path, file, tolerate, query);
  const EventFilter* filter = add_filter(query, text);
  if (filter == nullptr) return ERROR_EVT_INVALID_QUERY;
  if (Path == nullptr) return ERROR_INVALID_PARAMETER;
  QuerySource source;
  source.path = path;
  if (DWORD error = open_path(path, file, &source.events)) return error;
  source.groups.push_back({{filter}, {}});
  query->sources.push_back(std::move(source));
  return ERROR_SUCCESS;
}

EVT_HANDLE add_evt_object(EvtObject object) {
  const uintptr_t value = new_handle_value();
  objects().emplace(value, std::move(object));
  return reinterpret_cast<EVT_HANDLE>(value);
}

EvtObject* find_evt_handle(EVT_HANDLE handle) {
  auto found = objects().find(reinterpret_cast<uintptr_t>(handle));
  return found == objects().end() ? nullptr : &found->second;
}

bool remove_evt_object(EVT_HANDLE handle) {
  return objects().erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

bool valid_session(EVT_HANDLE session) {
  return session == nullptr || find_evt_object<EvtSession>(session) != nullptr;
}

}  // namespace qvsim::detail

using namespace qvsim::detail;

// A session on this computer; another computer is not reached (1722), as when its event
// log service cannot be reached over RPC.
extern "C" EVT_HANDLE WINAPI EvtOpenSession(EVT_LOGIN_CLASS LoginClass, PVOID Login, DWORD,
                                            DWORD Flags) {
  QVSIM_SERVICE(EVT_HANDLE{});
  if (LoginClass != EvtRpcLogin || Login == nullptr || Flags != 0)
    return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
  const auto* login = static_cast<const EVT_RPC_LOGIN*>(Login);
  if (!is_this_computer(utf8_of(login->Server)))
    return fail(RPC_S_SERVER_UNAVAILABLE, EVT_HANDLE{});
  try {
    return add_evt_object(EvtSession{});
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, EVT_HANDLE{});
  }
}

// A query over a channel or a log file, with an XPath selector or a structured query (whose
// own paths name the sources; Path is then not used). The query is checked and its sources
// opened here; events are read as EvtNext asks for them.
extern "C" EVT_HANDLE WINAPI EvtQuery(EVT_HANDLE Session, LPCWSTR Path, LPCWSTR Query,
                                      DWORD Flags) {
  QVSIM_SERVICE(EVT_HANDLE{});
  if (!valid_session(Session)) return fail(ERROR_INVALID_HANDLE, EVT_HANDLE{});
  if ((Flags & ~(kPathFlags | kDirectionFlags | EvtQueryTolerateQueryErrors)) != 0 ||
      (Flags & kPathFlags) == kPathFlags || (Flags & kDirectionFlags) == kDirectionFlags)
    return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
  const bool file = (Flags & EvtQueryFilePath) != 0;
  try {
    EvtQueryObject query;
    query.reverse = (Flags & EvtQueryReverseDirection) != 0;
    if (DWORD error =
            build_query(Path, Query, file, (Flags & EvtQueryTolerateQueryErrors) != 0, &query))
      return fail(error, EVT_HANDLE{});
    return add_evt_object(std::move(query));
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, EVT_HANDLE{});
  }
}

// Up to EventArraySize events of the query as new event handles: TRUE while at least one
// came, FALSE with 259 once none is left. An event that cannot be read fails the call
// (1500); the next call goes on after it.
extern "C" BOOL WINAPI EvtNext(EVT_HANDLE ResultSet, DWORD EventArraySize, EVT_HANDLE* EventArray,
                               DWORD, DWORD Flags, PDWORD Returned) {
  QVSIM_SERVICE(FALSE);
  if (EventArray == nullptr || Returned == nullptr || EventArraySize == 0 || Flags != 0)
    return fail(ERROR_INVALID_PARAMETER, FALSE);
  *Returned = 0;
  EvtSubscription* subscription = find_evt_object<EvtSubscription>(ResultSet);
  if (subscription != nullptr)
    return subscription_next(subscription, EventArraySize, EventArray, Returned);
  EvtQueryObject* query = find_evt_object<EvtQueryObject>(ResultSet);
  if (query == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  try {
    while (*Returned < EventArraySize) {
      std::shared_ptr<pugi::xml_document> doc;
      const DWORD error = next_event(query, &doc);
      if (error != ERROR_SUCCESS) {
        if (*Returned > 0 && error == ERROR_NO_MORE_ITEMS) break;
        return fail(error, FALSE);
      }
      EventArray[(*Returned)++] = add_evt_object(EvtEvent{std::move(doc), {}});
    }
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
  return TRUE;
}

// Moves the query to an event of its result set, counted from the first, the last or the
// next one; beyond either end it stops there, or fails with EvtSeekStrict (1168). Bookmarks
// are not simulated.
extern "C" BOOL WINAPI EvtSeek(EVT_HANDLE ResultSet, LONGLONG Position, EVT_HANDLE, DWORD,
                               DWORD Flags) {
  QVSIM_SERVICE(FALSE);
  EvtQueryObject* query = find_evt_object<EvtQueryObject>(ResultSet);
  if (query == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  const DWORD origin = Flags & EvtSeekOriginMask;
  if ((Flags & ~(EvtSeekOriginMask | EvtSeekStrict)) != 0 || origin < EvtSeekRelativeToFirst ||
      origin > EvtSeekRelativeToBookmark)
    return fail(ERROR_INVALID_PARAMETER, FALSE);
  if (origin == EvtSeekRelativeToBookmark) return fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
  const size_t from = query->position;
  const EvtQueryObject::Cursor cursor = query->cursor;
  try {
    std::vector<EvtQueryObject::Cursor> places;
    if (DWORD error = result_places(query, &places)) {
      query->cursor = cursor;
      query->position = from;
      return fail(error, FALSE);
    }
    const auto total = static_cast<LONGLONG>(places.size());
    LONGLONG target = Position;
    if (origin == EvtSeekRelativeToLast) target += total - 1;
    if (origin == EvtSeekRelativeToCurrent) target += static_cast<LONGLONG>(from);
    const bool outside = target < 0 || target >= total;
    if (outside && (Flags & EvtSeekStrict) != 0) target = static_cast<LONGLONG>(from);
    target = std::clamp<LONGLONG>(target, 0, total);
    query->position = static_cast<size_t>(target);
    query->cursor = target < total ? places[static_cast<size_t>(target)]
                                   : EvtQueryObject::Cursor{query->sources.size(), 0};
    if (outside && (Flags & EvtSeekStrict) != 0) return fail(ERROR_NOT_FOUND, FALSE);
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
  return TRUE;
}

extern "C" BOOL WINAPI EvtClose(EVT_HANDLE Object) {
  QVSIM_SERVICE(FALSE);
  if (!remove_evt_object(Object)) return fail(ERROR_INVALID_HANDLE, FALSE);
  return TRUE;
}

// The channels' names as they were when the enumeration was opened.
extern "C" EVT_HANDLE WINAPI EvtOpenChannelEnum(EVT_HANDLE Session, DWORD Flags) {
  QVSIM_SERVICE(EVT_HANDLE{});
  if (Flags != 0) return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
  if (!valid_session(Session)) return fail(ERROR_INVALID_HANDLE, EVT_HANDLE{});
  try {
    return add_evt_object(EvtChannelEnum{channel_names(), 0});
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, EVT_HANDLE{});
  }
}

// The next channel's name; sizes in characters with the terminator. 122 with the size
// needed when the buffer is too small (the name stays next), 259 after the last.
extern "C" BOOL WINAPI EvtNextChannelPath(EVT_HANDLE ChannelEnum, DWORD ChannelPathBufferSize,
                                          LPWSTR ChannelPathBuffer, PDWORD ChannelPathBufferUsed) {
  QVSIM_SERVICE(FALSE);
  EvtChannelEnum* channels = find_evt_object<EvtChannelEnum>(ChannelEnum);
  if (channels == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  if (ChannelPathBufferUsed == nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
  if (channels->next >= channels->names.size()) return fail(ERROR_NO_MORE_ITEMS, FALSE);
  const std::u16string name = utf8_to_utf16(channels->names[channels->next]);
  *ChannelPathBufferUsed = static_cast<DWORD>(name.size() + 1);
  if (ChannelPathBuffer == nullptr || ChannelPathBufferSize < name.size() + 1)
    return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  name.copy(ChannelPathBuffer, name.size());
  ChannelPathBuffer[name.size()] = 0;
  ++channels->next;
  return TRUE;
}

// No query of this service records extended status.
extern "C" DWORD WINAPI EvtGetExtendedStatus(DWORD BufferSize, LPWSTR Buffer, PDWORD BufferUsed) {
  if (BufferUsed != nullptr) *BufferUsed = 1;
  if (Buffer != nullptr && BufferSize > 0) Buffer[0] = 0;
  return ERROR_SUCCESS;
}
