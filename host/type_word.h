// Tests of a type word from _partype, the same for every generation of the run-time.
//
// Like the run-time's own tests, a base type is looked for among the base bits, whatever
// flags a generation adds above them. The flags differ: Xbase++ 1.9 and later mark a
// parameter passed by reference with 0x10000000 and a memo as character data with
// 0x40000000; the run-times before mark them with 0x100 and 0x200 among the base bits.
#ifndef QUORVEL_HOST_TYPE_WORD_H
#define QUORVEL_HOST_TYPE_WORD_H

#include "host/xpp_api.h"

namespace qv {

constexpr ULONG kBaseTypeMask = 0x000FFFFF;
constexpr ULONG kReference = 0x10000000;
constexpr ULONG kReferenceBefore19 = 0x00000100;
constexpr ULONG kMemoFlag = 0x40000000;
constexpr ULONG kMemoBefore19 = 0x00000200;
constexpr ULONG kDoubleFlag = 0x01000000;
constexpr ULONG kDoubleBefore19 = 0x00000400;
// Any bit of this mask marks character data: a string, or a memo of either generation.
constexpr ULONG kCharacterMask = XPP_CHARACTER | kMemoBefore19;

inline bool has_base_type(ULONG type, ULONG base) { return (type & kBaseTypeMask & base) != 0; }

inline bool is_character(ULONG type) { return has_base_type(type, kCharacterMask); }
inline bool is_logical(ULONG type) { return has_base_type(type, XPP_LOGICAL); }
inline bool is_array(ULONG type) { return has_base_type(type, XPP_ARRAY); }

inline bool is_by_reference(ULONG type) { return (type & (kReference | kReferenceBefore19)) != 0; }

// Any value but NIL. A parameter left out, or past the count (typed XPP_UNDEF or 0), has none.
inline bool has_value(ULONG type) { return has_base_type(type, ~(XPP_UNDEF | kReferenceBefore19)); }

}  // namespace qv

#endif
