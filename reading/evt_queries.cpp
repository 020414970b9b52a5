#include "reading/evt_queries.h"

#include "host/frame.h"
#include "host/kept_last_error.h"

namespace {

// A slot belongs to the query whose handle it holds; a thread claims a free slot by writing
// the handle into it, and publishes the state before the handle.
struct Slot {
  EVT_HANDLE query;
  EVT_HANDLE session;
  DWORD flags;
  EVT_HANDLE bookmark;
  HANDLE signal;
  LONG returned;
};
Slot slots[qv::kQueriesKept];

Slot* slot_of(EVT_HANDLE query) {
  for (Slot& slot : slots)
    if (__atomic_load_n(&slot.query, __ATOMIC_ACQUIRE) == query) return &slot;
  return nullptr;
}

qv::QueryState state_of(const Slot& slot) {
  qv::QueryState state;
  state.session = __atomic_load_n(&slot.session, __ATOMIC_RELAXED);
  state.flags = __atomic_load_n(&slot.flags, __ATOMIC_RELAXED);
  state.bookmark = __atomic_load_n(&slot.bookmark, __ATOMIC_RELAXED);
  state.signal = __atomic_load_n(&slot.signal, __ATOMIC_RELAXED);
  state.returned = __atomic_load_n(&slot.returned, __ATOMIC_ACQUIRE) != 0;
  return state;
}

const qv::QueryState kNone = {nullptr, 0, nullptr, nullptr, false};

}  // namespace

namespace qv {

bool keep_query(EVT_HANDLE query, QueryState state) {
  for (Slot& slot : slots) {
    EVT_HANDLE free_slot = nullptr;
    if (__atomic_load_n(&slot.query, __ATOMIC_RELAXED) != nullptr) continue;
    // Claimed with a mark no query has, then filled, then given the query's handle.
    EVT_HANDLE claimed = reinterpret_cast<EVT_HANDLE>(&slot);
    if (!__atomic_compare_exchange_n(&slot.query, &free_slot, claimed, false, __ATOMIC_ACQUIRE,
                                     __ATOMIC_RELAXED))
      continue;
    __atomic_store_n(&slot.session, state.session, __ATOMIC_RELAXED);
    __atomic_store_n(&slot.flags, state.flags, __ATOMIC_RELAXED);
    __atomic_store_n(&slot.bookmark, state.bookmark, __ATOMIC_RELAXED);
    __atomic_store_n(&slot.signal, state.signal, __ATOMIC_RELAXED);
    __atomic_store_n(&slot.returned, LONG{0}, __ATOMIC_RELAXED);
    __atomic_store_n(&slot.query, query, __ATOMIC_RELEASE);
    return true;
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return false;
}

QueryState query_state(EVT_HANDLE query) {
  Slot* slot = slot_of(query);
  return slot == nullptr ? kNone : state_of(*slot);
}

void mark_returned(EVT_HANDLE query) {
  Slot* slot = slot_of(query);
  if (slot != nullptr) __atomic_store_n(&slot->returned, LONG{1}, __ATOMIC_RELEASE);
}

QueryState forget_query(EVT_HANDLE query) {
  Slot* slot = slot_of(query);
  if (slot == nullptr) return kNone;
  const QueryState state = state_of(*slot);
  EVT_HANDLE expected = query;
  // Of two threads closing the same query, one takes its state.
  if (!__atomic_compare_exchange_n(&slot->query, &expected, nullptr, false, __ATOMIC_ACQ_REL,
                                   __ATOMIC_RELAXED))
    return kNone;
  return state;
}

LONG keep_or_close(const Wevtapi& api, EVT_HANDLE handle, QueryState state) {
  if (handle != nullptr && state.bookmark == nullptr) state.bookmark = api.create_bookmark(nullptr);
  if (handle != nullptr && state.bookmark != nullptr && keep_query(handle, state))
    return number_from_handle(handle);
  close_quietly(&api, handle);
  close_state(api, state);
  return 0;
}

void close_state(const Wevtapi& api, const QueryState& state) {
  close_quietly(&api, state.bookmark);
  close_quietly(&api, state.session);
  if (state.signal != nullptr) {
    KeptLastError kept;
    CloseHandle(state.signal);
  }
}

}  // namespace qv
