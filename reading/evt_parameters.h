// The parameters QVEVTQUERY and QVEVTSUBSCRIBE share: a server, a channel or path, a query.
#ifndef QUORVEL_READING_EVT_PARAMETERS_H
#define QUORVEL_READING_EVT_PARAMETERS_H

#include "host/frame.h"

namespace qv {

struct QueryParameters {
  char server[MAX_NAME_BYTES];
  char path[MAX_NAME_BYTES];
  ULONG path_count;  // 0: left out, which only a structured query may
};

// Parameters 1 to 3. False when the call ends here, its result set: a path missing without a
// structured query (ERR_MISSING_SECOND), a query that is no text (ERR_MISSING_TEXT), a name
// too long (0, with the last error 206).
bool fetch_query_parameters(XppParamList pl, QueryParameters* parameters);

// A character parameter of any length in UTF-16, after the caller's conversion to ANSI, in a
// heap block; `absent` when it is absent or empty. Null with the last error set when it could
// not be had.
WCHAR* fetch_wide_text(XppParamList pl, ULONG index, const char* absent);

}  // namespace qv

#endif
