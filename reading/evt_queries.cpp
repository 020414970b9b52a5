#include "reading/evt_queries.h"

namespace {

// A slot belongs to the query whose handle it holds; a thread claims a free slot by writing
// the handle into it, and publishes the state before the handle.
struct Slot {
  EVT_HANDLE query;
  EVT_HANDLE session;
  DWORD flags;
};
Slot slots[qv::kQueriesKept];

Slot* slot_of(EVT_HANDLE query) {
  for (Slot& slot : slots)
    if (__atomic_load_n(&slot.query, __ATOMIC_ACQUIRE) == query) return &slot;
  return nullptr;
}

}  // namespace

namespace qv {

bool keep_query(EVT_HANDLE query, QueryState state) {
  if (state.session == nullptr && (state.flags & QVEVT_MESSAGES) == 0) return true;
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
    __atomic_store_n(&slot.query, query, __ATOMIC_RELEASE);
    return true;
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return false;
}

QueryState query_state(EVT_HANDLE query) {
  QueryState state = {nullptr, 0};
  Slot* slot = slot_of(query);
  if (slot != nullptr) {
    state.session = __atomic_load_n(&slot->session, __ATOMIC_RELAXED);
    state.flags = __atomic_load_n(&slot->flags, __ATOMIC_RELAXED);
  }
  return state;
}

QueryState forget_query(EVT_HANDLE query) {
  QueryState state = {nullptr, 0};
  Slot* slot = slot_of(query);
  if (slot == nullptr) return state;
  state.session = __atomic_load_n(&slot->session, __ATOMIC_RELAXED);
  state.flags = __atomic_load_n(&slot->flags, __ATOMIC_RELAXED);
  EVT_HANDLE expected = query;
  // Of two threads closing the same query, one takes its state.
  if (!__atomic_compare_exchange_n(&slot->query, &expected, nullptr, false, __ATOMIC_ACQ_REL,
                                   __ATOMIC_RELAXED))
    return QueryState{nullptr, 0};
  return state;
}

}  // namespace qv
