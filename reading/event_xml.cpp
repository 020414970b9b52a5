#include "reading/event_xml.h"

#include <string.h>

namespace {

using qv::XmlSpan;

enum PieceKind { kDone, kText, kCData, kStartTag, kEmptyTag, kEndTag, kSkipped };

// One piece of the document: text, a CDATA section's contents, a tag (its name and the
// text of its attributes), or something skipped (comment, declaration, instruction).
struct Piece {
  PieceKind kind;
  XmlSpan text;  // text and CDATA
  XmlSpan name;  // tags
  XmlSpan attributes;
};

struct Cursor {
  const char* at;
  const char* end;
};

bool starts_with(const Cursor& c, const char* prefix) {
  const DWORD n = static_cast<DWORD>(strlen(prefix));
  return static_cast<DWORD>(c.end - c.at) >= n && memcmp(c.at, prefix, n) == 0;
}

// Where `what` begins in [from, end); null when it does not.
const char* search(const char* from, const char* end, const char* what) {
  const size_t n = strlen(what);
  for (const char* p = from; static_cast<size_t>(end - p) >= n; ++p)
    if (memcmp(p, what, n) == 0) return p;
  return nullptr;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool same_name(XmlSpan name, const char* wanted) {
  return name.length == strlen(wanted) && memcmp(name.text, wanted, name.length) == 0;
}

XmlSpan span(const char* from, const char* to) {
  return XmlSpan{from, static_cast<DWORD>(to - from)};
}

// A piece closed by `close`; the document ends (kDone) where the closing is missing.
Piece closed_piece(Cursor* c, PieceKind kind, DWORD opening, const char* close) {
  const char* closing = search(c->at + opening, c->end, close);
  if (closing == nullptr) return Piece{kDone, {}, {}, {}};
  Piece piece = {kind, span(c->at + opening, closing), {}, {}};
  c->at = closing + strlen(close);
  return piece;
}

Piece next_piece(Cursor* c) {
  if (c->at >= c->end) return Piece{kDone, {}, {}, {}};
  if (*c->at != '<') {
    const char* from = c->at;
    while (c->at < c->end && *c->at != '<') ++c->at;
    return Piece{kText, span(from, c->at), {}, {}};
  }
  if (starts_with(*c, "<!--")) return closed_piece(c, kSkipped, 4, "-->");
  if (starts_with(*c, "<![CDATA[")) return closed_piece(c, kCData, 9, "]]>");
  if (starts_with(*c, "<?")) return closed_piece(c, kSkipped, 2, "?>");
  if (starts_with(*c, "<!")) return closed_piece(c, kSkipped, 2, ">");
  const bool end_tag = starts_with(*c, "</");
  const char* name = c->at + (end_tag ? 2 : 1);
  const char* p = name;
  while (p < c->end && !is_space(*p) && *p != '>' && *p != '/') ++p;
  Piece piece = {end_tag ? kEndTag : kStartTag, {}, span(name, p), {}};
  // The attributes run to the '>' outside quotes.
  const char* attributes = p;
  char quote = 0;
  for (; p < c->end; ++p) {
    if (quote != 0) {
      if (*p == quote) quote = 0;
    } else if (*p == '"' || *p == '\'') {
      quote = *p;
    } else if (*p == '>') {
      break;
    }
  }
  if (p >= c->end || piece.name.length == 0) return Piece{kDone, {}, {}, {}};
  const char* attributes_end = p;
  if (!end_tag && attributes_end > attributes && attributes_end[-1] == '/') {
    piece.kind = kEmptyTag;
    --attributes_end;
  }
  piece.attributes = span(attributes, attributes_end);
  c->at = p + 1;
  return piece;
}

// The attribute's value as written, or null text when the tag lacks it.
XmlSpan attribute_value(XmlSpan attributes, const char* wanted) {
  const char* p = attributes.text;
  const char* end = p + attributes.length;
  for (;;) {
    while (p < end && is_space(*p)) ++p;
    const char* name = p;
    while (p < end && !is_space(*p) && *p != '=') ++p;
    const XmlSpan found = span(name, p);
    while (p < end && is_space(*p)) ++p;
    if (p >= end || *p != '=') return XmlSpan{nullptr, 0};
    ++p;
    while (p < end && is_space(*p)) ++p;
    if (p >= end || (*p != '"' && *p != '\'')) return XmlSpan{nullptr, 0};
    const char quote = *p++;
    const char* value = p;
    while (p < end && *p != quote) ++p;
    if (p >= end) return XmlSpan{nullptr, 0};
    if (same_name(found, wanted)) return span(value, p);
    ++p;
  }
}

// The code point of a character reference's digits ("#65", "#x41"); 0 when there is none.
DWORD reference_code_point(XmlSpan digits) {
  if (digits.length < 2 || digits.text[0] != '#') return 0;
  const bool hex = digits.text[1] == 'x';
  DWORD value = 0;
  DWORD i = hex ? 2 : 1;
  if (i >= digits.length) return 0;
  for (; i < digits.length; ++i) {
    const char c = digits.text[i];
    DWORD digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<DWORD>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<DWORD>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = static_cast<DWORD>(c - 'A' + 10);
    } else {
      return 0;
    }
    value = value * (hex ? 16 : 10) + digit;
    if (value > 0x10FFFF) return 0;
  }
  return value;
}

// The entity's text ("amp", "#233"), decoded to ANSI at out, writing at most `room` bytes;
// how many were written, or -1 for an entity the reader does not know.
int decode_entity(XmlSpan entity, char* out, DWORD room) {
  static const struct {
    const char* name;
    char value;
  } kNamed[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& named : kNamed) {
    if (same_name(entity, named.name)) {
      out[0] = named.value;
      return 1;
    }
  }
  const DWORD code_point = reference_code_point(entity);
  if (code_point == 0 || (code_point >= 0xD800 && code_point < 0xE000)) return -1;
  WCHAR units[2];
  int count = 1;
  if (code_point >= 0x10000) {
    units[0] = static_cast<WCHAR>(0xD800 + ((code_point - 0x10000) >> 10));
    units[1] = static_cast<WCHAR>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    count = 2;
  } else {
    units[0] = static_cast<WCHAR>(code_point);
  }
  char ansi[8];
  const int bytes =
      WideCharToMultiByte(CP_ACP, 0, units, count, ansi, sizeof ansi, nullptr, nullptr);
  if (bytes <= 0 || static_cast<DWORD>(bytes) > room) return -1;
  memcpy(out, ansi, static_cast<size_t>(bytes));
  return bytes;
}

// Text with its entities decoded, appended at out (room for the text's length); returns the
// bytes written. An entity the reader does not know stays as written.
DWORD decode_text(XmlSpan text, char* out) {
  DWORD written = 0;
  DWORD i = 0;
  while (i < text.length) {
    if (text.text[i] == '&') {
      const char* semicolon = static_cast<const char*>(memchr(text.text + i, ';', text.length - i));
      if (semicolon != nullptr) {
        const XmlSpan entity = span(text.text + i + 1, semicolon);
        const DWORD source = entity.length + 2;
        const int n = decode_entity(entity, out + written, source);
        if (n >= 0) {
          written += static_cast<DWORD>(n);
          i += source;
          continue;
        }
      }
    }
    out[written++] = text.text[i++];
  }
  return written;
}

// The text of the element whose start tag was just read, up to its end tag (the text of
// elements inside it included), decoded at out; the cursor ends after the end tag.
DWORD element_text(Cursor* c, char* out) {
  DWORD written = 0;
  DWORD depth = 0;
  for (;;) {
    const Piece piece = next_piece(c);
    switch (piece.kind) {
      case kDone:
        return written;
      case kText:
        written += decode_text(piece.text, out + written);
        break;
      case kCData:
        memcpy(out + written, piece.text.text, piece.text.length);
        written += piece.text.length;
        break;
      case kStartTag:
        ++depth;
        break;
      case kEndTag:
        if (depth == 0) return written;
        --depth;
        break;
      case kEmptyTag:
      case kSkipped:
        break;
    }
  }
}

struct Pairs {
  qv::EventDataPair found;
  void* context;
  char* scratch;
  DWORD count;
};

// One pair: the name decoded at the start of the scratch, the value after it.
void pair(Pairs* pairs, XmlSpan name, bool decode_name, Cursor* element) {
  DWORD name_length = name.length;
  if (decode_name) {
    name_length = decode_text(name, pairs->scratch);
  } else if (name.length > 0) {
    memcpy(pairs->scratch, name.text, name.length);
  }
  char* value = pairs->scratch + name_length;
  const DWORD value_length = element == nullptr ? 0 : element_text(element, value);
  if (pairs->found != nullptr)
    pairs->found(pairs->context, XmlSpan{pairs->scratch, name_length},
                 XmlSpan{value, value_length});
  ++pairs->count;
}

// The children of the element whose start tag was just read: each passed to `child` as a
// start or empty tag, which reads a start tag's element to its end; the cursor ends after the
// element's end tag.
template <typename Child>
void children(Cursor* c, Child child) {
  for (;;) {
    const Piece piece = next_piece(c);
    if (piece.kind == kDone || piece.kind == kEndTag) return;
    if (piece.kind == kStartTag || piece.kind == kEmptyTag) child(piece);
  }
}

}  // namespace

namespace qv {

DWORD scan_event_data(const char* xml, DWORD length, char* scratch, EventDataPair found,
                      void* context) {
  Cursor c = {xml, xml + length};
  Pairs pairs = {found, context, scratch, 0};
  for (;;) {
    const Piece piece = next_piece(&c);
    if (piece.kind == kDone) return 0;
    if (piece.kind != kStartTag && piece.kind != kEmptyTag) continue;
    const bool event_data = same_name(piece.name, "EventData");
    if (!event_data && !same_name(piece.name, "UserData")) continue;
    if (piece.kind == kEmptyTag) return 0;
    if (event_data) {
      children(&c, [&](const Piece& child) {
        const bool data = same_name(child.name, "Data");
        if (data) {
          XmlSpan name = attribute_value(child.attributes, "Name");
          pair(&pairs, name, true, child.kind == kStartTag ? &c : nullptr);
        } else if (child.kind == kStartTag) {
          element_text(&c, scratch);
        }
      });
    } else {
      // UserData holds one element, whose children are the values.
      bool read = false;
      children(&c, [&](const Piece& element) {
        if (element.kind != kStartTag || read) {
          if (element.kind == kStartTag) element_text(&c, scratch);
          return;
        }
        read = true;
        children(&c, [&](const Piece& child) {
          pair(&pairs, child.name, false, child.kind == kStartTag ? &c : nullptr);
        });
      });
    }
    return pairs.count;
  }
}

XmlSpan find_attribute(const char* xml, DWORD length, const char* element, const char* attribute) {
  Cursor c = {xml, xml + length};
  for (;;) {
    const Piece piece = next_piece(&c);
    if (piece.kind == kDone) return XmlSpan{"", 0};
    if ((piece.kind == kStartTag || piece.kind == kEmptyTag) && same_name(piece.name, element)) {
      const XmlSpan value = attribute_value(piece.attributes, attribute);
      return value.text == nullptr ? XmlSpan{"", 0} : value;
    }
  }
}

}  // namespace qv
