// What the library keeps about an open query beside wevtapi's handle: the session it was
// opened in, and whether its events come with their rendered messages. The query's handle is
// what the program holds; this table finds the rest by it, from any thread.
#ifndef QUORVEL_READING_EVT_QUERIES_H
#define QUORVEL_READING_EVT_QUERIES_H

#include "platform/qv_windows.h"
#include "reading/evt_event.h"

namespace qv {

struct QueryState {
  EVT_HANDLE session;  // null: this computer
  DWORD flags;         // QVEVT_...
};

// How many queries with a session or with messages can be open at once in the process.
constexpr DWORD kQueriesKept = 256;

// Keeps the state of the query; a query on this computer without messages needs nothing
// kept. False (last error ERROR_NOT_ENOUGH_MEMORY) when the table is full.
bool keep_query(EVT_HANDLE query, QueryState state);

// The state kept for the query; none kept: no session and no flags.
QueryState query_state(EVT_HANDLE query);

// The state kept for the query, taken out of the table.
QueryState forget_query(EVT_HANDLE query);

}  // namespace qv

#endif
