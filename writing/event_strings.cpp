#include "writing/event_strings.h"

namespace qv {
namespace {

// One more byte than a string may have shows that it was longer; one more than the
// run-time is told of, so that nothing is read or written past the block whether it
// terminates a string that fills it or not.
constexpr DWORD kScratchBytes = kMaxEventStringChars + 2;

// The array's elements, when there are at most kMaxEventStrings and every one is a
// character value; *count is their number.
bool array_acceptable(ContainerHandle array, ContainerHandle work, ULONG* count) {
  if (_conSizeA(array, count, 0) != 0 || *count > kMaxEventStrings) return false;
  for (ULONG i = 0; i < *count; ++i) {
    char probe[1];
    ULONG copied = 0;
    if (_conArrayGet(array, work, i + 1, 0) == NULLCONTAINER ||
        _conGetCL(work, &copied, probe, sizeof probe) != 0)
      return false;
  }
  return true;
}

// A zero-filled heap block for the next string of `*length` characters, cut to
// kMaxEventStringChars, with room for its terminator; null when it cannot be had.
char* add_string(EventStrings* strings, ULONG* length) {
  if (*length > kMaxEventStringChars) {
    *length = kMaxEventStringChars;
    strings->cut = true;
  }
  char* block = static_cast<char*>(heap_alloc_zeroed(*length + 1));
  if (block == nullptr) return nullptr;
  strings->text[strings->count] = block;
  strings->length[strings->count] = *length;
  ++strings->count;
  return block;
}

bool fetch_array(ContainerHandle array, ContainerHandle work, ULONG count, EventStrings* strings) {
  char* scratch = static_cast<char*>(heap_alloc_zeroed(kScratchBytes));
  bool fetched = scratch != nullptr;
  for (ULONG i = 0; fetched && i < count; ++i) {
    ULONG length = 0;
    char* block = nullptr;
    fetched = _conArrayGet(array, work, i + 1, 0) != NULLCONTAINER &&
              _conGetCL(work, &length, scratch, kScratchBytes - 1) == 0 &&
              (block = add_string(strings, &length)) != nullptr;
    if (fetched) memcpy(block, scratch, length);
  }
  heap_free(scratch);
  return fetched;
}

// The character value of parameter `index`, fetched straight into its block.
bool fetch_text(XppParamList pl, ULONG index, EventStrings* strings) {
  ULONG length = _parclen(pl, index);
  char* block = add_string(strings, &length);
  if (block != nullptr) _parc(block, length + 1, pl, index);
  return block != nullptr;
}

}  // namespace

StringsFetch fetch_event_strings(XppParamList pl, ULONG index, EventStrings** strings) {
  *strings = nullptr;
  const ULONG type = _partype(pl, index);
  const bool text = is_character(type);
  if (!text && !is_array(type)) return StringsFetch::kRefused;

  ContainerHandle array = NULLCONTAINER;
  ContainerHandle work = NULLCONTAINER;
  BOOL by_ref = FALSE;
  ULONG count = 1;
  StringsFetch outcome = StringsFetch::kFetched;
  if (!text) {
    array = _conParam(pl, index, &by_ref);
    work = array != NULLCONTAINER ? _conNew(NULLCONTAINER) : NULLCONTAINER;
    if (work == NULLCONTAINER)
      outcome = StringsFetch::kNoMemory;
    else if (!array_acceptable(array, work, &count))
      outcome = StringsFetch::kRefused;
  }
  if (outcome == StringsFetch::kFetched) {
    *strings = static_cast<EventStrings*>(heap_alloc_zeroed(sizeof(EventStrings)));
    bool fetched = *strings != nullptr && (text ? fetch_text(pl, index, *strings)
                                                : fetch_array(array, work, count, *strings));
    if (!fetched) {
      free_event_strings(*strings);
      *strings = nullptr;
      outcome = StringsFetch::kNoMemory;
    }
    for (WORD i = 0; fetched && i < (*strings)->count; ++i) {
      if (text_to_windows(const_cast<char*>((*strings)->text[i]), (*strings)->length[i])) continue;
      free_event_strings(*strings);
      *strings = nullptr;
      outcome = StringsFetch::kNotConverted;
      break;
    }
  }
  if (work != NULLCONTAINER) _conRelease(work);
  if (array != NULLCONTAINER && !by_ref) _conRelease(array);
  return outcome;
}

void free_event_strings(EventStrings* strings) {
  if (strings == nullptr) return;
  for (WORD i = 0; i < strings->count; ++i) heap_free(const_cast<char*>(strings->text[i]));
  heap_free(strings);
}

bool cut_event_strings(EventStrings* strings, DWORD limit) {
  bool cut = false;
  for (WORD i = 0; i < strings->count; ++i) {
    if (strings->length[i] <= limit) continue;
    const_cast<char*>(strings->text[i])[limit] = '\0';
    strings->length[i] = limit;
    cut = true;
  }
  strings->cut = strings->cut || cut;
  return cut;
}

}  // namespace qv
