// The sinks' side of the packed walk (core/packed_walk.h): what the walk
// tells a sink when it refuses, the int and enum read that the walk and
// ds__get_int_or_enum_val share, and a sink that does nothing, for sinks
// that only check or only explain to build on.
//
// A sink provides:
//   kConverts                          the converter's rules (true) or the validator's
//   Frame(Sink &)                      per-container state, on the walk's stack
//   begin_object(Frame &), end_object(Frame &), begin_array(Frame &), end_array(Frame &)
//   key(Frame &, name), member_end(Frame &, name)     around each member's value
//   element(Frame &, i), element_end(Frame &)         around each array element
//   arm(choice, value), arm_end()      around the members of an applying choice arm
//   int_value, double_value, bool_value, text_value (texts, enum names,
//   bitmap and address texts)
//   pattern(string type, text)         the verdict of the string type's pattern
//   refuse(const Fault &)              where the walk refuses; returns nothing
//   out_of_memory()                    where the walk's own scratch space failed
// Every hook but refuse returns false to stop the walk (a result that could
// not be built); the walk then returns false without a fault.
#ifndef DSTYPES_CORE_PACKED_SINK_H
#define DSTYPES_CORE_PACKED_SINK_H

#include "core/grammar.h"
#include "core/refusal.h"

namespace core
{

// What the walk refused, as raw facts; a sink that explains them turns them
// into words, the others ignore them.
struct Fault {
    enum class Detail : uint8_t { none, nameless_row, no_arms };
    Rule rule;
    const DsType *type;          // the type whose rule refused
    const uint8_t *at = nullptr; // where the refused part starts
    int64_t value = 0;           // the number read (int, count, kind or converter)
    uint64_t need = 0;           // bytes the part needs
    const char *text = nullptr;  // the text refused
    Detail detail = Detail::none;
};

// Moves the cursor by n bytes; false, without moving, when fewer remain.
inline bool
skip_bytes(DsCursor *cursor, uint64_t n)
{
    if (n > cursor->remaining)
        return false;
    cursor->p += n;
    cursor->remaining -= static_cast<uint32_t>(n);
    return true;
}

// Reads an int, or an enum through its bases down to the int, as
// ds__get_int_or_enum_val does: the int type's width and room, its range,
// then each enum table from the innermost out. *out holds the value once it
// was read, also when a check then refuses it; the cursor then stands after
// it. The rule that refused goes to *fault when fault is not null.
inline bool
read_int_or_enum(const DsType *type, DsCursor *cursor, int64_t *out, Fault *fault)
{
    const DsType *enums[kMaxEnumChain];
    unsigned chain = 0;
    const DsType *outer = type;
    for (; type != nullptr && type->kind == DS_KIND_ENUM; type = type->p.enumeration.base) {
        if (chain == kMaxEnumChain)
            break;
        enums[chain++] = type;
    }
    if (type == nullptr || type->kind == DS_KIND_ENUM) {
        if (fault != nullptr)
            *fault = Fault{Rule::enum_base, outer};
        return false;
    }
    if (type->size > cursor->remaining || !is_int_width(type->size)) {
        if (fault != nullptr)
            *fault = Fault{Rule::int_width, type};
        return false;
    }
    const uint8_t *at = cursor->p;
    int64_t value = read_packed_int(at, type->size, is_signed_int(type));
    skip_bytes(cursor, type->size);
    if (out != nullptr)
        *out = value;
    if (!int_in_range(type, value)) {
        if (fault != nullptr)
            *fault = Fault{Rule::int_range, type, at, value};
        return false;
    }
    while (chain > 0) {
        const DsType *table = enums[--chain];
        if (enum_row(table, value) == nullptr) {
            if (fault != nullptr)
                *fault = Fault{Rule::enum_value, table, at, value};
            return false;
        }
    }
    return true;
}

// A sink that builds nothing: every hook goes on. Sinks that only check or
// only explain take it as their base and keep the hooks they need.
// clang-format off
struct QuietSink {
    struct Frame {
        template <class Sink> explicit Frame(Sink &) {}
    };
    template <class F> bool begin_object(F &) { return true; }
    template <class F> bool end_object(F &) { return true; }
    template <class F> bool begin_array(F &) { return true; }
    template <class F> bool end_array(F &) { return true; }
    template <class F> bool key(F &, const char *) { return true; }
    template <class F> bool member_end(F &, const char *) { return true; }
    template <class F> bool element(F &, uint32_t) { return true; }
    template <class F> bool element_end(F &) { return true; }
    bool arm(const DsType *, int64_t) { return true; }
    void arm_end() {}
    bool int_value(int64_t) { return true; }
    bool double_value(double) { return true; }
    bool bool_value(bool) { return true; }
    bool text_value(const char *) { return true; }
    void refuse(const Fault &) {}
    bool out_of_memory() { return false; }
};
// clang-format on

} // namespace core

#endif
