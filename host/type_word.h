// Tests of a type word from _partype, the same for every generation of the run-time.
//
// Like the run-time's own tests, a base type is looked for among the base bits, whatever
// flags a generation adds above them. A parameter passed by reference carries the flag of its
// generation: 0x10000000 from Xbase++ 1.9 on, 0x100 before.
#ifndef QUORVEL_HOST_TYPE_WORD_H
#define QUORVEL_HOST_TYPE_WORD_H

#include "host/xpp_api.h"

namespace qv {

inline bool has_base_type(ULONG type, ULONG base) {
  return (type & XPP_BASE_TYPE_MASK & base) != 0;
}

// Character data: a string or a memo, of either generation.
inline bool is_character(ULONG type) { return has_base_type(type, XPP_CHARACTER_MASK); }
inline bool is_logical(ULONG type) { return has_base_type(type, XPP_LOGICAL); }
inline bool is_array(ULONG type) { return has_base_type(type, XPP_ARRAY); }

inline bool is_by_reference(ULONG type) {
  return (type & (XPP_REFERENCE | XPP_REFERENCE_BEFORE_19)) != 0;
}

// Any value but NIL. A parameter left out, or past the count (typed XPP_UNDEF or 0), has none.
inline bool has_value(ULONG type) {
  return has_base_type(type, ~(XPP_UNDEF | XPP_REFERENCE_BEFORE_19));
}

}  // namespace qv

#endif
