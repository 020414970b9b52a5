// What the library keeps about an open query or subscription beside wevtapi's handle: the
// session it was opened in, whether its events come with their rendered messages, the
// bookmark of the last event it returned and, for a subscription, the event object that
// wevtapi sets when new events may be read. The handle is what the program holds; this table
// finds the rest by it, from any thread.
#ifndef QUORVEL_READING_EVT_QUERIES_H
#define QUORVEL_READING_EVT_QUERIES_H

#include "platform/qv_windows.h"
#include "reading/evt_event.h"
#include "reading/wevtapi.h"

namespace qv {

struct QueryState {
  EVT_HANDLE session;   // null: this computer
  DWORD flags;          // QVEVT_...
  EVT_HANDLE bookmark;  // moved to each event returned
  HANDLE signal;        // a subscription's event object; null for a query
  bool returned;        // an event was returned, and the bookmark holds it
};

// How many queries and subscriptions can be open at once in the process.
constexpr DWORD kQueriesKept = 1024;

// Keeps the state of the query. False (last error ERROR_NOT_ENOUGH_MEMORY) when the table is
// full.
bool keep_query(EVT_HANDLE query, QueryState state);

// The state kept for the query; none kept: all null.
QueryState query_state(EVT_HANDLE query);

// Notes that the query's bookmark holds an event returned.
void mark_returned(EVT_HANDLE query);

// The state kept for the query, taken out of the table.
QueryState forget_query(EVT_HANDLE query);

// The number to return for a query or subscription just opened: its handle, kept with its
// state and its bookmark (a new one when the state has none). 0 when the handle is null or
// what it needs cannot be had; all of it is then closed, the thread's last error kept.
LONG keep_or_close(const Wevtapi& api, EVT_HANDLE handle, QueryState state);

// Closes what the state holds, leaving the thread's last error as it was.
void close_state(const Wevtapi& api, const QueryState& state);

}  // namespace qv

#endif
