// The rules of the type grammar, each written once: which int widths exist
// and how an int's range reads, how an enum table is searched and which enum
// is the boolean, how a choice picks its arms, how wide a packed address is,
// and how deep a descriptor graph may nest. The library's walks, dstool's
// reasons, its description of a type and its descriptor checks all call
// these; nothing here allocates, logs or reads past a table's count.
#ifndef DSTYPES_CORE_GRAMMAR_H
#define DSTYPES_CORE_GRAMMAR_H

#include "dstypes.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace core
{

// How deep the walks follow descriptors: deeper than any real schema, so only
// a descriptor graph that loops gets there, and it must fail rather than
// exhaust the stack.
constexpr unsigned kMaxDepth = 64;

// An enum's value is read through its base; a base that is itself an enum
// adds its own table. Real schemas nest a level or two, so a longer chain
// can only be a broken descriptor whose bases loop.
constexpr unsigned kMaxEnumChain = 16;

// Hands a type to the walk's handler for its kind: on_int, on_double,
// on_string, on_enum, on_array, on_sequence, on_choice, on_bitmap,
// on_converted, or on_unknown_kind(kind, ...) for a kind the grammar does not
// have, each called with args. Every walk over descriptors (the packed walk,
// the JSON reading walk, dstool's checks and comparisons) dispatches here, so
// a kind is added in one switch and a walk without its handler does not
// compile. A walk whose handlers are private names KindVisit its friend.
struct KindVisit {
    // Always inlined, so that the switch costs what a switch in the walk
    // itself would.
    template <class Walk, class... Args>
    [[gnu::always_inline]] static decltype(auto)
    visit(Walk &walk, uint32_t kind, Args &&...args)
    {
        switch (kind) {
        case DS_KIND_INT:
            return walk.on_int(std::forward<Args>(args)...);
        case DS_KIND_DOUBLE:
            return walk.on_double(std::forward<Args>(args)...);
        case DS_KIND_STRING:
            return walk.on_string(std::forward<Args>(args)...);
        case DS_KIND_ENUM:
            return walk.on_enum(std::forward<Args>(args)...);
        case DS_KIND_ARRAY:
            return walk.on_array(std::forward<Args>(args)...);
        case DS_KIND_SEQUENCE:
            return walk.on_sequence(std::forward<Args>(args)...);
        case DS_KIND_CHOICE:
            return walk.on_choice(std::forward<Args>(args)...);
        case DS_KIND_BITMAP:
            return walk.on_bitmap(std::forward<Args>(args)...);
        case DS_KIND_CONVERTED:
            return walk.on_converted(std::forward<Args>(args)...);
        default:
            return walk.on_unknown_kind(kind, std::forward<Args>(args)...);
        }
    }
};

// The packed widths of an int: 1, 2, 4 or 8 bytes, little-endian.
inline bool
is_int_width(uint64_t width)
{
    return width == 1 || width == 2 || width == 4 || width == 8;
}

// The value of a packed int of one of those widths, little-endian, sign-
// extended when the type is signed.
inline int64_t
read_packed_int(const uint8_t *p, uint32_t width, bool is_signed)
{
    switch (width) {
    case 1:
        return is_signed ? static_cast<int8_t>(p[0]) : p[0];
    case 2: {
        uint16_t raw;
        std::memcpy(&raw, p, 2);
        return is_signed ? static_cast<int16_t>(raw) : raw;
    }
    case 4: {
        uint32_t raw;
        std::memcpy(&raw, p, 4);
        return is_signed ? static_cast<int32_t>(raw) : static_cast<int64_t>(raw);
    }
    default: {
        int64_t value;
        std::memcpy(&value, p, 8);
        return value;
    }
    }
}

// An int type is read signed when its lower bound is negative.
inline bool
is_signed_int(const DsType *int_type)
{
    return int_type->p.integer.min < 0;
}

// An int type's range is inclusive at both ends.
inline bool
int_in_range(const DsType *int_type, int64_t value)
{
    return value >= int_type->p.integer.min && value <= int_type->p.integer.max;
}

// The first row of the enum table, in table order, holding value; null when
// none does (or the table is missing).
inline const DsEnumValue *
enum_row(const DsType *type, int64_t value)
{
    const DsEnumValue *rows = type->p.enumeration.values;
    if (rows == nullptr)
        return nullptr;
    for (uint32_t i = 0; i < type->p.enumeration.count; ++i) {
        if (rows[i].value == value)
            return &rows[i];
    }
    return nullptr;
}

// The first row named name; a row without a name matches no text.
inline const DsEnumValue *
enum_row_named(const DsType *type, const char *name)
{
    const DsEnumValue *rows = type->p.enumeration.values;
    if (rows == nullptr)
        return nullptr;
    for (uint32_t i = 0; i < type->p.enumeration.count; ++i) {
        if (rows[i].name != nullptr && std::strcmp(rows[i].name, name) == 0)
            return &rows[i];
    }
    return nullptr;
}

// The enum named "bool", wherever it is defined, is the one type whose JSON
// form is a boolean; an anonymous enum never is.
inline bool
is_bool_enum(const DsType *type)
{
    return type->name != nullptr && std::strcmp(type->name, "bool") == 0;
}

// A choice's discriminator is its field 0, an int or an enum.
inline bool
is_discriminator(const DsType *type)
{
    return type != nullptr && (type->kind == DS_KIND_INT || type->kind == DS_KIND_ENUM);
}

// True when the choice arm lists the discriminator value: every such arm
// applies, in table order.
inline bool
arm_lists(const DsChoiceArm *arm, int64_t value)
{
    for (uint32_t v = 0; v < arm->value_count; ++v) {
        if (arm->values[v] == value)
            return true;
    }
    return false;
}

// The first arm, in table order, that lists value; null when none does.
// Reading JSON, this arm alone decides which members belong to the value.
inline const DsChoiceArm *
first_arm(const DsType *choice, int64_t value)
{
    const DsChoiceArm *arms = choice->p.choice.arms;
    for (uint32_t a = 0; arms != nullptr && a < choice->p.choice.arm_count; ++a) {
        if (arms[a].values != nullptr && arm_lists(&arms[a], value))
            return &arms[a];
    }
    return nullptr;
}

// Bytes of the packed address of converters 1 to 3; 0 for every other.
inline uint32_t
address_width(uint64_t converter)
{
    switch (converter) {
    case DS_CONVERT_IPV4:
        return 4;
    case DS_CONVERT_IPV6:
        return 16;
    case DS_CONVERT_MAC:
        return 6;
    default:
        return 0;
    }
}

// Converter 0 is the base type's own form; 1 to 3 are addresses; any other
// number is unknown.
inline bool
is_known_converter(uint64_t converter)
{
    return converter <= DS_CONVERT_MAC;
}

} // namespace core

#endif
