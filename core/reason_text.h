// The pieces of a refusal's message shared by the JSON and packed walks:
// how a type, a text, an enumeration and a range are named.
#ifndef DSTYPES_CORE_REASON_TEXT_H
#define DSTYPES_CORE_REASON_TEXT_H

#include "core/refusal.h"

#include <string>

namespace core
{

// Texts refused are shown up to this many bytes.
constexpr size_t kShown = 40;

// "NAME" for a named type, "the type" for an anonymous one.
std::string holder(const DsType *type);
// " of NAME" for a named type; anonymous types are known by where they are.
std::string of_type(const DsType *type);
std::string quoted(const char *text);
// "a = 1, b = 2", at most 16 rows, then ", ...".
std::string enum_names(const DsType *type);
// "MIN..MAX"
std::string int_range(const DsType *type);
// "member name" for the discriminator and its value's name (or number).
std::string arm_label(const DsType *choice, int64_t value);

// The pattern check of the library: extended syntax, unanchored; a pattern
// that does not compile lets every text through.
bool pattern_accepts(const DsType *type, const char *text);

// "[i]", the place of element i of an array.
std::string element_place(uint64_t i);

// Fills r with rule and message and returns true: the walks return
// refuse(...) where a part fails.
bool refuse(Refusal &r, Rule rule, std::string message, std::string allowed = {});
// Prepends a place to the path of a refusal found inside it; passes on
// whether one was found.
bool inside(Refusal &r, const std::string &place, bool refused);
// Refusals of the rules that both walks apply alike.
bool refuse_range(Refusal &r, const DsType *type, int64_t value);
bool refuse_not_in_enum(Refusal &r, const DsType *type, const std::string &what);
bool refuse_pattern(Refusal &r, const DsType *type, const char *text);
bool refuse_nesting(Refusal &r, const DsType *type, unsigned depth);

} // namespace core

#endif
