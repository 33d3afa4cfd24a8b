// Why a value is refused, said where and by which rule. The library's
// converters answer yes or no; once one has said no, these walks follow the
// same rules over the same descriptor and hand back the first part that
// fails: its place inside the value, the rule that refused it, and what the
// type allows there. dstool prints them; the library itself never asks.
//
// A place is written as a path from the value itself: ".name" enters the
// member name of a sequence or choice, "[i]" the element i of an array, so
// ".ports[2].kind" is member "kind" of element 2 of member "ports". The value
// itself has the empty path.
#ifndef DSTYPES_CORE_REFUSAL_H
#define DSTYPES_CORE_REFUSAL_H

#include "dstypes.h"

#include <json-c/json.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace core
{

enum class Rule : uint8_t {
    none,           // accepted
    no_type,        // a field or element without a type record
    too_deep,       // nested deeper than kMaxDepth
    unknown_kind,   // a kind number no walk knows
    json_kind,      // the JSON value is of the wrong kind
    int_width,      // an int type whose size is no int width
    int_range,      // outside the int type's range
    enum_empty,     // an enumeration without values
    enum_base,      // an enumeration without an int base
    enum_value,     // not a name or value of the enumeration
    bool_only,      // a JSON boolean for an enum other than "bool"
    pattern,        // the text does not match the string type's pattern
    room,           // the text does not fit the string type's bytes
    no_nul,         // a packed text without its NUL
    array_size,     // more elements than the array holds
    no_count_room,  // a packed array too small for its count
    unknown_member, // a member the type does not have
    missing_member, // a member the type needs is absent
    null_member,    // a member is JSON null
    no_fields,      // a choice without a field table
    discriminator,  // a choice whose field 0 is no integer
    bit_text,       // a bitmap text that does not read
    address,        // a text that is no address of the converter's kind
    converter,      // a converted type that cannot convert
    short_value,    // the packed value ends before the type does
    no_name,        // a field without a name, which no member can carry
    long_value,     // the packed value goes on after the type ends
};

struct Refusal {
    Rule rule = Rule::none;
    std::string path;              // where inside the value, as above
    int64_t byte = -1;             // for a packed value: the offset of the part refused
    std::string message;           // why, with what the type allows there
    std::string allowed;           // what the type allows there (range, names, pattern
                                   // and room, array size, members); empty when the
                                   // type itself is broken
    std::vector<std::string> arms; // the choice arms the path passed, innermost
                                   // first, as "discriminator value-name"

    explicit operator bool() const { return rule != Rule::none; }
};

// The first refused part of a JSON value, or a Refusal whose rule is none
// when the walk finds nothing (a value the library refused for another
// reason, such as a failed allocation).
Refusal why_json(const DsType *type, json_object *jo);
// The same for a packed value of size bytes, by the rules of ds_c_to_jo.
Refusal why_packed(const DsType *type, const uint8_t *bytes, size_t size);

// The text with control bytes escaped (\n, \t, \xNN), cut after max bytes
// with "...": how a refused text is shown.
std::string shown(std::string_view text, size_t max = SIZE_MAX);

} // namespace core

#endif
