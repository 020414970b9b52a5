// The simulated wevtapi.dll's subscriptions in the pull model (an event object set when new
// events may be read, EvtNext to read them) and its bookmarks.
#include <algorithm>
#include <new>
#include <set>

#include "event_objects.h"
#include "event_xml.h"
#include "eventlog_store.h"
#include "sim_state.h"
#include "wevtapi_handles.h"

namespace qvsim::detail {
namespace {

constexpr DWORD kSubscribeFlags =
    EvtSubscribeOriginMask | EvtSubscribeTolerateQueryErrors | EvtSubscribeStrict;

// The handles of the subscriptions, for the writes that signal them; a closed one is dropped
// when next met.
std::set<EVT_HANDLE>& subscriptions() {
  static std::set<EVT_HANDLE> handles;
  return handles;
}

[[maybe_unused]] const bool registered = on_reset([] { subscriptions().clear(); });

const EvtBookmark::Mark* mark_of(const EvtBookmark& bookmark, const std::string& channel) {
  for (const EvtBookmark::Mark& mark : bookmark.marks) {
    if (names_equal(mark.channel, channel)) return &mark;
  }
  return nullptr;
}

// Whether the channel holds an event of that record id.
bool holds(const std::string& channel, uint64_t id) {
  std::unique_ptr<EventSource> source;
  if (id == 0 || open_channel_after(channel, id - 1, &source) != ERROR_SUCCESS) return false;
  for (size_t i = 0; i < source->size(); ++i) {
    pugi::xml_document doc;
    if (source->load(i, &doc) != ERROR_SUCCESS) return false;
    const uint64_t found = record_id(doc);
    if (found >= id) return found == id;
  }
  return false;
}

// Where a subscription starts reading a channel: the record id after which its events come.
// A bookmarked event that is no longer there (the log cleared, or overwritten) fails a strict
// subscription with 1168; otherwise the events after the one closest to it come.
DWORD start_after(const std::string& channel, DWORD flags, const EvtBookmark* bookmark,
                  uint64_t* after, bool* pending) {
  uint64_t oldest = 0;  // not used: a channel may have gaps between its record ids
  uint64_t newest = 0;
  if (DWORD error = channel_span(channel, &oldest, &newest)) return error;
  switch (flags & EvtSubscribeOriginMask) {
    case EvtSubscribeToFutureEvents:
      *after = newest;
      break;
    case EvtSubscribeStartAtOldestRecord:
      *after = 0;
      break;
    default: {
      const EvtBookmark::Mark* mark = mark_of(*bookmark, channel);
      const bool present = mark != nullptr && holds(channel, mark->record_id);
      if (!present && (flags & EvtSubscribeStrict) != 0) return ERROR_NOT_FOUND;
      *after = mark == nullptr ? 0 : std::min(mark->record_id, newest);
    }
  }
  *pending = *pending || newest > *after;
  return ERROR_SUCCESS;
}

void append_attribute_text(std::string* xml, const std::string& text) {
  for (char c : text) {
    if (c == '&')
      *xml += "&amp;";
    else if (c == '<')
      *xml += "&lt;";
    else if (c == '\'')
      *xml += "&apos;";
    else
      *xml += c;
  }
}

}  // namespace

void signal_subscriptions(const std::string& log) {
  for (auto it = subscriptions().begin(); it != subscriptions().end();) {
    const EvtSubscription* subscription = find_evt_object<EvtSubscription>(*it);
    if (subscription == nullptr) {
      it = subscriptions().erase(it);
      continue;
    }
    for (const QuerySource& source : subscription->query.sources) {
      if (names_equal(source.path, log)) signal_event(subscription->signal);
    }
    ++it;
  }
}

// Each channel is read again after the record id last looked at: events written since come,
// in the order of the query's sources, each once.
BOOL subscription_next(EvtSubscription* subscription, DWORD size, EVT_HANDLE* events,
                       PDWORD returned) {
  try {
    const uint64_t clock = now_ms();
    for (size_t i = 0; i < subscription->query.sources.size() && *returned < size; ++i) {
      QuerySource& source = subscription->query.sources[i];
      DWORD error = open_channel_after(source.path, subscription->after[i], &source.events);
      for (size_t at = 0; error == ERROR_SUCCESS && at < source.events->size() && *returned < size;
           ++at) {
        auto doc = std::make_shared<pugi::xml_document>();
        error = source.events->load(at, doc.get());
        if (error != ERROR_SUCCESS) break;
        const uint64_t id = record_id(*doc);
        if (id <= subscription->after[i]) continue;
        subscription->after[i] = id;
        if (selected(source, *doc, clock))
          events[(*returned)++] = add_evt_object(EvtEvent{std::move(doc), source.path});
      }
      if (error != ERROR_SUCCESS && *returned == 0) return fail(error, FALSE);
    }
  } catch (const std::bad_alloc&) {
    if (*returned == 0) return fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
  return *returned > 0 ? TRUE : fail(ERROR_NO_MORE_ITEMS, FALSE);
}

// <BookmarkList>, each channel's <Bookmark> on a line of its own, as Windows renders it.
BOOL render_bookmark(const EvtBookmark& bookmark, DWORD size, PVOID buffer, PDWORD used) {
  try {
    std::string xml = "<BookmarkList>\r\n";
    for (size_t i = 0; i < bookmark.marks.size(); ++i) {
      xml += "  <Bookmark Channel='";
      append_attribute_text(&xml, bookmark.marks[i].channel);
      xml += "' RecordId='" + std::to_string(bookmark.marks[i].record_id) + "'";
      if (i == bookmark.current) xml += " IsCurrent='true'";
      xml += "/>\r\n";
    }
    xml += "</BookmarkList>";
    const std::u16string text = utf8_to_utf16(xml);
    *used = static_cast<DWORD>((text.size() + 1) * 2);
    if (size < *used) return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<char16_t*>(buffer));
    return TRUE;
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
}

}  // namespace qvsim::detail

using namespace qvsim::detail;

// A subscription in the pull model: SignalEvent given, no callback (the callback model is not
// simulated: 120). Its channels are read from now on, from their oldest event, or after the
// bookmark's event in each.
extern "C" EVT_HANDLE WINAPI EvtSubscribe(EVT_HANDLE Session, HANDLE SignalEvent,
                                          LPCWSTR ChannelPath, LPCWSTR Query, EVT_HANDLE Bookmark,
                                          PVOID, EVT_SUBSCRIBE_CALLBACK Callback, DWORD Flags) {
  QVSIM_SERVICE(EVT_HANDLE{});
  if (!valid_session(Session)) return fail(ERROR_INVALID_HANDLE, EVT_HANDLE{});
  if (Callback != nullptr && SignalEvent == nullptr)
    return fail(ERROR_CALL_NOT_IMPLEMENTED, EVT_HANDLE{});
  const DWORD origin = Flags & EvtSubscribeOriginMask;
  if (SignalEvent == nullptr || Callback != nullptr || (Flags & ~kSubscribeFlags) != 0 ||
      origin == 0 || (origin == EvtSubscribeStartAfterBookmark) != (Bookmark != nullptr))
    return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
  const EvtBookmark* bookmark = nullptr;
  if (Bookmark != nullptr && (bookmark = find_evt_object<EvtBookmark>(Bookmark)) == nullptr)
    return fail(ERROR_INVALID_HANDLE, EVT_HANDLE{});
  try {
    EvtSubscription subscription;
    if (DWORD error =
            build_query(ChannelPath, Query, false, (Flags & EvtSubscribeTolerateQueryErrors) != 0,
                        &subscription.query))
      return fail(error, EVT_HANDLE{});
    bool pending = false;
    for (const QuerySource& source : subscription.query.sources) {
      // Only channels are followed; a log file has no new events.
      if (source.path.compare(0, 7, "file://") == 0)
        return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
      uint64_t after = 0;
      if (DWORD error = start_after(source.path, Flags, bookmark, &after, &pending))
        return fail(error, EVT_HANDLE{});
      subscription.after.push_back(after);
    }
    subscription.signal = SignalEvent;
    const EVT_HANDLE handle = add_evt_object(std::move(subscription));
    subscriptions().insert(handle);
    if (pending) signal_event(SignalEvent);
    return handle;
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, EVT_HANDLE{});
  }
}

// An empty bookmark, or one from the XML that EvtRender gave (87 for any other text).
extern "C" EVT_HANDLE WINAPI EvtCreateBookmark(LPCWSTR BookmarkXml) {
  QVSIM_SERVICE(EVT_HANDLE{});
  try {
    EvtBookmark bookmark;
    if (BookmarkXml != nullptr) {
      pugi::xml_document doc;
      const std::string text = utf8_of(BookmarkXml);
      if (!doc.load_string(text.c_str()) ||
          std::string(doc.document_element().name()) != "BookmarkList")
        return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
      bool current_named = false;
      for (pugi::xml_node node : doc.document_element().children()) {
        if (node.type() != pugi::node_element) continue;
        const std::string channel = node.attribute("Channel").as_string();
        const std::string id = node.attribute("RecordId").as_string();
        if (std::string(node.name()) != "Bookmark" || channel.empty() || id.empty() ||
            id.find_first_not_of("0123456789") != std::string::npos)
          return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
        if (std::string(node.attribute("IsCurrent").as_string()) == "true") {
          bookmark.current = bookmark.marks.size();
          current_named = true;
        }
        bookmark.marks.push_back({channel, std::stoull(id)});
      }
      if (!current_named) bookmark.current = bookmark.marks.size();
    }
    return add_evt_object(std::move(bookmark));
  } catch (const std::exception&) {
    return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
  }
}

// Moves the bookmark's mark in the event's channel to the event, which becomes the current.
extern "C" BOOL WINAPI EvtUpdateBookmark(EVT_HANDLE Bookmark, EVT_HANDLE Event) {
  QVSIM_SERVICE(FALSE);
  EvtBookmark* bookmark = find_evt_object<EvtBookmark>(Bookmark);
  const EvtEvent* event = find_evt_object<EvtEvent>(Event);
  if (bookmark == nullptr || event == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  try {
    const std::string channel = !event->channel.empty()
                                    ? event->channel
                                    : std::string(event_system(*event->doc).child_value("Channel"));
    if (channel.empty()) return fail(ERROR_INVALID_PARAMETER, FALSE);
    const uint64_t id = record_id(*event->doc);
    size_t at = 0;
    while (at < bookmark->marks.size() && !names_equal(bookmark->marks[at].channel, channel)) ++at;
    if (at == bookmark->marks.size()) bookmark->marks.push_back({channel, 0});
    bookmark->marks[at].record_id = id;
    bookmark->current = at;
    return TRUE;
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
}
