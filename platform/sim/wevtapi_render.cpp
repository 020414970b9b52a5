// The simulated wevtapi.dll: events rendered as XML or as values, and their messages.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "codepage.h"
#include "event_xml.h"
#include "eventlog_store.h"
#include "modules.h"
#include "sim_state.h"
#include "wevtapi_handles.h"

namespace qvsim::detail {
namespace {

constexpr size_t kAlign = 8;

size_t aligned(size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }

// Values rendered into a caller's buffer: the EVT_VARIANT array first, then what they point
// to. Measured first, written only when all of it fits.
class ValueWriter {
 public:
  explicit ValueWriter(size_t count)
      : values_(count), extra_(aligned(count * sizeof(EVT_VARIANT))) {
    for (EVT_VARIANT& v : values_) {
      std::memset(&v, 0, sizeof v);
      v.Type = EvtVarTypeNull;
    }
  }
  EVT_VARIANT& operator[](size_t i) { return values_[i]; }
  // Bytes placed after the array; the offset where they go.
  size_t place(const void* bytes, size_t size) {
    const size_t at = extra_;
    pending_.push_back({at, std::string(static_cast<const char*>(bytes), size)});
    extra_ = aligned(extra_ + size);
    return at;
  }
  void string(size_t i, const std::string& text) {
    const std::u16string wide = utf8_to_utf16(text) + u'\0';
    values_[i].Type = EvtVarTypeString;
    pointers_.push_back({i, place(wide.data(), wide.size() * 2)});
  }
  void guid(size_t i, const GUID& g) {
    values_[i].Type = EvtVarTypeGuid;
    pointers_.push_back({i, place(&g, sizeof g)});
  }
  void sid(size_t i, const std::vector<uint8_t>& bytes) {
    values_[i].Type = EvtVarTypeSid;
    pointers_.push_back({i, place(bytes.data(), bytes.size())});
  }
  size_t size() const { return extra_; }
  void write(void* buffer) {
    auto* base = static_cast<uint8_t*>(buffer);
    for (const auto& [at, bytes] : pending_) std::memcpy(base + at, bytes.data(), bytes.size());
    for (const auto& [i, at] : pointers_) values_[i].BinaryVal = base + at;
    std::memcpy(base, values_.data(), values_.size() * sizeof(EVT_VARIANT));
  }

 private:
  std::vector<EVT_VARIANT> values_;
  size_t extra_;
  std::vector<std::pair<size_t, std::string>> pending_;
  std::vector<std::pair<size_t, size_t>> pointers_;  // value, offset of what it points to
};

bool unsigned_text(const char* text, uint64_t max, uint64_t* value) {
  if (text == nullptr || *text == '\0') return false;
  const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  char* end = nullptr;
  errno = 0;
  const uint64_t n = std::strtoull(hex ? text + 2 : text, &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || n > max || text[0] == '-') return false;
  *value = n;
  return true;
}

// {54849625-5478-4994-A5BA-3E3B0328C30D}
bool guid_text(const char* text, GUID* g) {
  unsigned int d1 = 0, d2 = 0, d3 = 0, d4[8] = {};
  int used = 0;
  if (std::sscanf(text, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%n", &d1, &d2, &d3, &d4[0], &d4[1],
                  &d4[2], &d4[3], &d4[4], &d4[5], &d4[6], &d4[7], &used) != 11 ||
      text[used] != '\0')
    return false;
  g->Data1 = d1;
  g->Data2 = static_cast<uint16_t>(d2);
  g->Data3 = static_cast<uint16_t>(d3);
  for (int i = 0; i < 8; ++i) g->Data4[i] = static_cast<uint8_t>(d4[i]);
  return true;
}

// A number of the System element; Null when absent or not a number of that size.
void number(ValueWriter& w, size_t i, const char* text, EVT_VARIANT_TYPE type) {
  uint64_t n = 0;
  const uint64_t max = type == EvtVarTypeByte     ? 0xFF
                       : type == EvtVarTypeUInt16 ? 0xFFFF
                       : type == EvtVarTypeUInt32 ? 0xFFFFFFFFu
                                                  : ~uint64_t{0};
  if (!unsigned_text(text, max, &n)) return;
  w[i].Type = type;
  w[i].UInt64Val = n;
  if (type == EvtVarTypeByte) w[i].ByteVal = static_cast<UINT8>(n);
  if (type == EvtVarTypeUInt16) w[i].UInt16Val = static_cast<UINT16>(n);
  if (type == EvtVarTypeUInt32) w[i].UInt32Val = static_cast<UINT32>(n);
}

void text_value(ValueWriter& w, size_t i, pugi::xml_node node) {
  if (node) w.string(i, node.text().get());
}

void guid_value(ValueWriter& w, size_t i, pugi::xml_attribute attribute) {
  GUID g{};
  if (attribute && guid_text(attribute.value(), &g)) w.guid(i, g);
}

// The system properties, in the order of EVT_SYSTEM_PROPERTY_ID, with Windows' types.
void system_values(const pugi::xml_document& doc, ValueWriter& w) {
  const pugi::xml_node system = event_system(doc);
  const pugi::xml_node provider = system.child("Provider");
  if (pugi::xml_attribute name = provider.attribute("Name"))
    w.string(EvtSystemProviderName, name.value());
  guid_value(w, EvtSystemProviderGuid, provider.attribute("Guid"));
  const pugi::xml_node id = system.child("EventID");
  if (id) number(w, EvtSystemEventID, id.text().get(), EvtVarTypeUInt16);
  if (pugi::xml_attribute q = id.attribute("Qualifiers"))
    number(w, EvtSystemQualifiers, q.value(), EvtVarTypeUInt16);
  if (system.child("Level"))
    number(w, EvtSystemLevel, system.child("Level").text().get(), EvtVarTypeByte);
  if (system.child("Task"))
    number(w, EvtSystemTask, system.child("Task").text().get(), EvtVarTypeUInt16);
  if (system.child("Opcode"))
    number(w, EvtSystemOpcode, system.child("Opcode").text().get(), EvtVarTypeByte);
  if (system.child("Keywords")) {
    number(w, EvtSystemKeywords, system.child("Keywords").text().get(), EvtVarTypeUInt64);
    if (w[EvtSystemKeywords].Type == EvtVarTypeUInt64)
      w[EvtSystemKeywords].Type = EvtVarTypeHexInt64;
  }
  uint64_t filetime = 0;
  if (parse_system_time(system.child("TimeCreated").attribute("SystemTime").value(), &filetime)) {
    w[EvtSystemTimeCreated].Type = EvtVarTypeFileTime;
    w[EvtSystemTimeCreated].FileTimeVal = filetime;
  }
  if (system.child("EventRecordID"))
    number(w, EvtSystemEventRecordId, system.child("EventRecordID").text().get(), EvtVarTypeUInt64);
  const pugi::xml_node correlation = system.child("Correlation");
  guid_value(w, EvtSystemActivityID, correlation.attribute("ActivityID"));
  guid_value(w, EvtSystemRelatedActivityID, correlation.attribute("RelatedActivityID"));
  const pugi::xml_node execution = system.child("Execution");
  if (pugi::xml_attribute p = execution.attribute("ProcessID"))
    number(w, EvtSystemProcessID, p.value(), EvtVarTypeUInt32);
  if (pugi::xml_attribute t = execution.attribute("ThreadID"))
    number(w, EvtSystemThreadID, t.value(), EvtVarTypeUInt32);
  text_value(w, EvtSystemChannel, system.child("Channel"));
  text_value(w, EvtSystemComputer, system.child("Computer"));
  std::vector<uint8_t> sid;
  if (sid_bytes(system.child("Security").attribute("UserID").value(), &sid))
    w.sid(EvtSystemUserID, sid);
  if (system.child("Version"))
    number(w, EvtSystemVersion, system.child("Version").text().get(), EvtVarTypeByte);
}

// The values of the event's user data: EventData's Data elements, or the children of
// UserData's element, as strings.
std::vector<pugi::xml_node> user_nodes(const pugi::xml_document& doc) {
  std::vector<pugi::xml_node> nodes;
  const pugi::xml_node event = doc.document_element();
  pugi::xml_node holder = event.child("EventData");
  if (!holder) holder = event.child("UserData").first_child();
  for (pugi::xml_node child : holder.children()) {
    if (child.type() == pugi::node_element && std::strcmp(child.name(), "Binary") != 0)
      nodes.push_back(child);
  }
  return nodes;
}

// The first node a path of a render context names (Event/System/Provider/@Name), from the
// event element.
std::string path_value(const pugi::xml_document& doc, const std::string& path, bool* found) {
  pugi::xml_node node = doc;
  size_t at = 0;
  *found = false;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    const std::string step = path.substr(at, slash - at);
    if (!step.empty() && step[0] == '@') {
      pugi::xml_attribute attribute = node.attribute(step.c_str() + 1);
      *found = static_cast<bool>(attribute);
      return attribute.value();
    }
    node = node.child(step.c_str());
    if (!node) return "";
    at = slash + 1;
  }
  *found = true;
  return node.text().get();
}

// The message files of a classic source, from its key under its log's key.
std::vector<std::string> message_files(const std::string& log, const std::string& source) {
  std::vector<std::string> files;
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + log + "\\" + source;
  HKEY handle = nullptr;
  if (log.empty() || RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != 0)
    return files;
  char value[4096] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  if (RegQueryValueExA(handle, "EventMessageFile", nullptr, &type, reinterpret_cast<BYTE*>(value),
                       &size) == 0 &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    char expanded[4096] = {};
    const DWORD length = ExpandEnvironmentStringsA(value, expanded, sizeof expanded);
    const std::string list = length > 0 && length <= sizeof expanded ? expanded : value;
    size_t at = 0;
    while (at <= list.size()) {
      size_t end = list.find(';', at);
      if (end == std::string::npos) end = list.size();
      const std::string file = list.substr(at, end - at);
      if (!file.empty()) files.push_back(file);
      at = end + 1;
    }
  }
  RegCloseKey(handle);
  return files;
}

// The message of that identifier from the first of the files that has it; empty when none.
bool file_message(const std::vector<std::string>& files, DWORD id, std::string* text) {
  for (const std::string& file : files) {
    HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) continue;
    const DWORD error = module_message(module, id, 0, text);
    FreeLibrary(module);
    if (error == ERROR_SUCCESS) return true;
  }
  return false;
}

// The message with the event's strings put in for %1 to %99; %n, %r, %t, %%, %. and %! as
// FormatMessage writes them; insert formats (%1!s!) dropped. An insert the event has no
// string for stays as written, and *unresolved says so.
std::u16string insert_strings(const std::u16string& message,
                              const std::vector<std::u16string>& strings, bool* unresolved) {
  std::u16string out;
  auto digit = [&message](size_t at) {
    return at < message.size() && message[at] >= u'0' && message[at] <= u'9';
  };
  for (size_t i = 0; i < message.size(); ++i) {
    const char16_t c = message[i];
    if (c != u'%' || i + 1 >= message.size()) {
      out += c;
      continue;
    }
    const char16_t next = message[++i];
    if (next >= u'1' && next <= u'9') {
      size_t n = static_cast<size_t>(next - u'0');
      if (digit(i + 1)) n = n * 10 + static_cast<size_t>(message[++i] - u'0');
      if (i + 1 < message.size() && message[i + 1] == u'!') {
        const size_t close = message.find(u'!', i + 2);
        if (close != std::u16string::npos) i = close;
      }
      if (n > strings.size()) *unresolved = true;
      out += n <= strings.size() ? strings[n - 1] : u'%' + utf8_to_utf16(std::to_string(n));
    } else if (next == u'n') {
      out += u"\r\n";
    } else if (next == u'r') {
      out += u'\r';
    } else if (next == u't') {
      out += u'\t';
    } else if (next == u'0') {
      break;
    } else {
      out += next;
    }
  }
  return out;
}

// The event's message from the metadata of its provider, a classic source: its message
// files give the text, the event's data the inserts (15029 with the text when an insert
// stays unresolved). Without metadata, what a forwarded event carries in its RenderingInfo.
DWORD event_message(const pugi::xml_document& doc, const EvtPublisher* publisher,
                    std::u16string* text) {
  const pugi::xml_node system = event_system(doc);
  if (publisher == nullptr) {
    const pugi::xml_node rendered = doc.document_element().child("RenderingInfo").child("Message");
    if (!rendered) return ERROR_EVT_MESSAGE_NOT_FOUND;
    *text = utf8_to_utf16(rendered.text().get());
    return ERROR_SUCCESS;
  }
  const std::vector<std::string>& files = publisher->message_files;
  const DWORD id = static_cast<DWORD>(system.child("EventID").text().as_uint()) |
                   system.child("EventID").attribute("Qualifiers").as_uint() << 16;
  std::string message;
  if (files.empty() || !file_message(files, id, &message)) return ERROR_EVT_MESSAGE_NOT_FOUND;
  std::vector<std::u16string> strings;
  for (pugi::xml_node node : user_nodes(doc)) strings.push_back(utf8_to_utf16(node.text().get()));
  bool unresolved = false;
  *text = insert_strings(ansi_to_utf16(message), strings, &unresolved);
  return unresolved ? ERROR_EVT_UNRESOLVED_VALUE_INSERT : ERROR_SUCCESS;
}

}  // namespace
}  // namespace qvsim::detail

using namespace qvsim::detail;

// A context of the system properties, of the user data, or of the values that paths name.
extern "C" EVT_HANDLE WINAPI EvtCreateRenderContext(DWORD ValuePathsCount, LPCWSTR* ValuePaths,
                                                    DWORD Flags) {
  QVSIM_SERVICE(EVT_HANDLE{});
  if (Flags > EvtRenderContextUser || (Flags == EvtRenderContextValues) != (ValuePathsCount > 0) ||
      (ValuePathsCount > 0 && ValuePaths == nullptr))
    return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
  try {
    EvtRenderContext context;
    context.flags = Flags;
    for (DWORD i = 0; i < ValuePathsCount; ++i) {
      context.paths.push_back(utf8_of(ValuePaths[i]));
    }
    return add_evt_object(std::move(context));
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, EVT_HANDLE{});
  }
}

// The event as XML (UTF-16, terminated; Context null) or as the values of a render context;
// a bookmark as XML.
// BufferSize and *BufferUsed in bytes; 122 with the size needed when the buffer is too small.
extern "C" BOOL WINAPI EvtRender(EVT_HANDLE Context, EVT_HANDLE Fragment, DWORD Flags,
                                 DWORD BufferSize, PVOID Buffer, PDWORD BufferUsed,
                                 PDWORD PropertyCount) {
  QVSIM_SERVICE(FALSE);
  if (BufferUsed == nullptr || PropertyCount == nullptr || (Buffer == nullptr && BufferSize > 0))
    return fail(ERROR_INVALID_PARAMETER, FALSE);
  if (Flags == EvtRenderBookmark) {
    const EvtBookmark* bookmark = find_evt_object<EvtBookmark>(Fragment);
    if (bookmark == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
    if (Context != nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
    *PropertyCount = 0;
    return render_bookmark(*bookmark, BufferSize, Buffer, BufferUsed);
  }
  const EvtEvent* event = find_evt_object<EvtEvent>(Fragment);
  if (event == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  try {
    if (Flags == EvtRenderEventXml) {
      if (Context != nullptr) return fail(ERROR_INVALID_PARAMETER, FALSE);
      const std::u16string xml = event_xml_text(*event->doc);
      *BufferUsed = static_cast<DWORD>((xml.size() + 1) * 2);
      *PropertyCount = 0;
      if (BufferSize < *BufferUsed) return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
      std::memcpy(Buffer, xml.c_str(), *BufferUsed);
      return TRUE;
    }
    if (Flags != EvtRenderEventValues) return fail(ERROR_INVALID_PARAMETER, FALSE);
    const EvtRenderContext* context = find_evt_object<EvtRenderContext>(Context);
    if (context == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
    const pugi::xml_document& doc = *event->doc;
    std::vector<pugi::xml_node> user;
    size_t count = context->paths.size();
    if (context->flags == EvtRenderContextSystem) count = EvtSystemPropertyIdEND;
    if (context->flags == EvtRenderContextUser) count = (user = user_nodes(doc)).size();
    ValueWriter writer(count);
    if (context->flags == EvtRenderContextSystem) system_values(doc, writer);
    for (size_t i = 0; i < user.size(); ++i) writer.string(i, user[i].text().get());
    for (size_t i = 0; i < context->paths.size(); ++i) {
      bool found = false;
      const std::string value = path_value(doc, context->paths[i], &found);
      if (found) writer.string(i, value);
    }
    *BufferUsed = static_cast<DWORD>(writer.size());
    *PropertyCount = static_cast<DWORD>(count);
    if (BufferSize < *BufferUsed) return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    writer.write(Buffer);
    return TRUE;
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
}

// The metadata of a provider: here the classic sources, whose message files the registry
// names under their log's key. 2 for a provider the service does not know.
extern "C" EVT_HANDLE WINAPI EvtOpenPublisherMetadata(EVT_HANDLE Session, LPCWSTR PublisherIdentity,
                                                      LPCWSTR LogFilePath, LCID, DWORD Flags) {
  QVSIM_SERVICE(EVT_HANDLE{});
  if (PublisherIdentity == nullptr || Flags != 0)
    return fail(ERROR_INVALID_PARAMETER, EVT_HANDLE{});
  if (!valid_session(Session)) return fail(ERROR_INVALID_HANDLE, EVT_HANDLE{});
  if (LogFilePath != nullptr) return fail(ERROR_FILE_NOT_FOUND, EVT_HANDLE{});
  try {
    EvtPublisher publisher;
    publisher.name = utf16_to_ansi(PublisherIdentity);
    const std::string log = log_of_source(publisher.name);
    if (log.empty()) return fail(ERROR_FILE_NOT_FOUND, EVT_HANDLE{});
    publisher.message_files = message_files(log, publisher.name);
    return add_evt_object(std::move(publisher));
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, EVT_HANDLE{});
  }
}

// The event's message (EvtFormatMessageEvent) from its provider's metadata, or with none
// given, a forwarded event's own. Sizes in characters with the terminator; 122 with the size
// needed; 15027 when there is no such message; 15029, the text written all the same, when
// the event lacks a string the message inserts.
extern "C" BOOL WINAPI EvtFormatMessage(EVT_HANDLE PublisherMetadata, EVT_HANDLE Event, DWORD,
                                        DWORD, PEVT_VARIANT, DWORD Flags, DWORD BufferSize,
                                        LPWSTR Buffer, PDWORD BufferUsed) {
  QVSIM_SERVICE(FALSE);
  if (BufferUsed == nullptr || (Buffer == nullptr && BufferSize > 0))
    return fail(ERROR_INVALID_PARAMETER, FALSE);
  const EvtPublisher* publisher = nullptr;
  if (PublisherMetadata != nullptr) {
    publisher = find_evt_object<EvtPublisher>(PublisherMetadata);
    if (publisher == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  }
  if (Flags != EvtFormatMessageEvent) return fail(ERROR_EVT_MESSAGE_NOT_FOUND, FALSE);
  const EvtEvent* event = find_evt_object<EvtEvent>(Event);
  if (event == nullptr) return fail(ERROR_INVALID_HANDLE, FALSE);
  try {
    std::u16string text;
    const DWORD error = event_message(*event->doc, publisher, &text);
    if (error != ERROR_SUCCESS && error != ERROR_EVT_UNRESOLVED_VALUE_INSERT)
      return fail(error, FALSE);
    *BufferUsed = static_cast<DWORD>(text.size() + 1);
    if (BufferSize < *BufferUsed) return fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    text.copy(Buffer, text.size());
    Buffer[text.size()] = 0;
    return error == ERROR_SUCCESS ? TRUE : fail(error, FALSE);
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
}
