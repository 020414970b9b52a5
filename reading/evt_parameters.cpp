#include "reading/evt_parameters.h"

#include "host/exports.h"
#include "reading/wide_text.h"

namespace {

// Whether the character parameter is a structured query: its first character that is no
// blank, among the first ones, opens an element (<QueryList>), and the query names its own
// paths.
bool is_structured(XppParamList pl, ULONG index) {
  char head[64];
  memset(head, 0, sizeof head);
  _parc(head, sizeof head - 1, pl, index);
  const char* first = head;
  while (*first == ' ' || *first == '\t' || *first == '\r' || *first == '\n') ++first;
  return *first == '<';
}

}  // namespace

namespace qv {

bool fetch_query_parameters(XppParamList pl, QueryParameters* parameters) {
  if (fetch_name(pl, 1, parameters->server) == kNameTooLong) {
    _retnl(pl, 0);
    return false;
  }
  parameters->path_count = fetch_name(pl, 2, parameters->path);
  const ULONG query_type = _partype(pl, 3);
  const bool structured = is_character(query_type) && is_structured(pl, 3);
  // Only a structured query may leave the path out: it names its own.
  if (parameters->path_count == 0 && !structured) {
    _retnl(pl, ERR_MISSING_SECOND);
    return false;
  }
  if (parameters->path_count == kNameTooLong) {
    _retnl(pl, 0);
    return false;
  }
  if (has_value(query_type) && !is_character(query_type)) {
    _retnl(pl, ERR_MISSING_TEXT);
    return false;
  }
  return true;
}

WCHAR* fetch_wide_text(XppParamList pl, ULONG index, const char* absent) {
  const ULONG length = is_character(_partype(pl, index)) ? _parclen(pl, index) : 0;
  if (length == 0) return widen(absent, static_cast<ULONG>(strlen(absent)));
  char* text = static_cast<char*>(heap_alloc_zeroed(static_cast<SIZE_T>(length) + 1));
  if (text == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const ULONG count = _parc(text, length + 1, pl, index);
  text_to_windows(text, count);
  WCHAR* wide = widen(text, count);
  heap_free(text);
  return wide;
}

}  // namespace qv
