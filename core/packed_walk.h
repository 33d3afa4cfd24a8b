// The one walk of a packed value over its descriptor. It reads every part in
// one order and makes every check in one place, and hands what it reads to a
// sink: the json-c builder of ds_c_to_jo, the canonical printer, the
// validator of ds_c_value_is_valid, and the refusal record that dstool prints.
// A sink says which rules it walks by (Sink::kConverts): the converter's, or
// the validator's, which differ in the bytes a double, a bitmap and a
// converted value consume, in whether a converted value is examined, in an
// array count above max_count, and in which of several applying choice arms
// decides. Header only: each sink gets its own instance, and a sink whose
// hooks do nothing costs nothing.
//
// Descriptors come from schema modules, so the walk does not trust a type's
// size to cover its parts: no read goes past the cursor, a choice's members
// are read inside the choice's own size, and nesting stops at kMaxDepth.
//
// The sinks' side of the walk is in core/packed_sink.h.
#ifndef DSTYPES_CORE_PACKED_WALK_H
#define DSTYPES_CORE_PACKED_WALK_H

#include "core/address_text.h"
#include "core/bit_text.h"
#include "core/packed_sink.h"

#include <cstdlib>
#include <cstring>

namespace core
{

template <class Sink> class PackedWalk
{
  public:
    explicit PackedWalk(Sink &sink) : sink_(sink) {}

    // The value of type at the cursor, which then stands after it.
    bool
    value(const DsType *type, DsCursor *cursor, unsigned depth)
    {
        if (type == nullptr)
            return refuse(Fault{Rule::no_type, type});
        if (depth > kMaxDepth)
            return refuse(Fault{Rule::too_deep, type});
        if (type->size > cursor->remaining)
            return refuse(Fault{Rule::short_value, type, cursor->p, 0, type->size});
        return KindVisit::visit(*this, type->kind, type, cursor, depth);
    }

    // A text of the string type in the first room bytes at the cursor: up to
    // its NUL, which must lie there, and accepted by the pattern. The cursor
    // moves by the type's size.
    bool
    string_value(const DsType *type, DsCursor *cursor, size_t room)
    {
        const uint8_t *at = cursor->p;
        const char *text = reinterpret_cast<const char *>(at);
        if (room == 0 || std::memchr(text, '\0', room) == nullptr)
            return refuse(Fault{Rule::no_nul, type, at, 0, room});
        if (!sink_.pattern(type, text))
            return refuse(Fault{Rule::pattern, type, at, 0, 0, text});
        cursor->p += type->size;
        cursor->remaining -= type->size;
        return sink_.text_value(text);
    }

    bool
    refuse(const Fault &fault)
    {
        sink_.refuse(fault);
        return false;
    }

  private:
    friend struct KindVisit;
    using Frame = typename Sink::Frame;

    bool
    on_string(const DsType *type, DsCursor *cursor, unsigned)
    {
        return string_value(type, cursor, type->size);
    }

    bool
    on_unknown_kind(uint32_t kind, const DsType *type, DsCursor *, unsigned)
    {
        return refuse(Fault{Rule::unknown_kind, type, nullptr, kind});
    }

    bool
    read(const DsType *type, DsCursor *cursor, int64_t *out)
    {
        Fault fault{Rule::none, type};
        return read_int_or_enum(type, cursor, out, &fault) || refuse(fault);
    }

    bool
    on_int(const DsType *type, DsCursor *cursor, unsigned)
    {
        int64_t value = 0;
        return read(type, cursor, &value) && sink_.int_value(value);
    }

    // The converter reads the 8 bytes of the double; the validator passes
    // over the type's size, any bytes being a double.
    bool
    on_double(const DsType *type, DsCursor *cursor, unsigned)
    {
        if constexpr (!Sink::kConverts)
            return skip_bytes(cursor, type->size);
        double value = 0;
        if (cursor->remaining < sizeof value)
            return refuse(Fault{Rule::short_value, type, cursor->p, 0, sizeof value});
        std::memcpy(&value, cursor->p, sizeof value);
        skip_bytes(cursor, sizeof value);
        return sink_.double_value(value);
    }

    // The first row holding the value names it; the enum named "bool" is a
    // boolean instead.
    bool
    on_enum(const DsType *type, DsCursor *cursor, unsigned)
    {
        const uint8_t *at = cursor->p;
        int64_t value = 0;
        if (!read(type, cursor, &value))
            return false;
        if constexpr (!Sink::kConverts)
            return true;
        if (is_bool_enum(type))
            return sink_.bool_value(static_cast<int32_t>(value) != 0);
        const DsEnumValue *row = enum_row(type, value);
        if (row == nullptr || row->name == nullptr)
            return refuse(
                Fault{Rule::enum_value, type, at, value, 0, nullptr, Fault::Detail::nameless_row});
        return sink_.text_value(row->name);
    }

    // Elements 0 to count - 1, then the slots past the count, skipped
    // unread. A stored count above max_count converts all max_count slots
    // and fails validation.
    __attribute__((noinline)) bool
    on_array(const DsType *type, DsCursor *cursor, unsigned depth)
    {
        const DsType *element = type->p.array.element;
        uint32_t max_count = type->p.array.max_count;
        if (element == nullptr)
            return refuse(Fault{Rule::no_type, element});
        if (cursor->remaining < 2)
            return refuse(Fault{Rule::no_count_room, type});
        Frame frame(sink_);
        if (!sink_.begin_array(frame))
            return false;
        const uint8_t *at = cursor->p;
        int64_t count = read_packed_int(at, 2, false);
        skip_bytes(cursor, 2);
        if (!Sink::kConverts && count > max_count)
            return refuse(Fault{Rule::array_size, type, at, count});
        uint32_t used = count < max_count ? static_cast<uint32_t>(count) : max_count;
        for (uint32_t i = 0; i < used; ++i) {
            if (!sink_.element(frame, i) || !value(element, cursor, depth + 1) ||
                !sink_.element_end(frame))
                return false;
        }
        uint64_t unused = static_cast<uint64_t>(max_count - used) * element->size;
        if (!skip_bytes(cursor, unused))
            return refuse(Fault{Rule::short_value, element, cursor->p, 0, unused});
        return sink_.end_array(frame);
    }

    // A field as a member of the object: its value is walked before its name
    // is looked at, as json-c needs the value to add it. The validator does
    // not look at names.
    bool
    member(Frame &frame, const DsField &field, DsCursor *cursor, unsigned depth)
    {
        if (!sink_.key(frame, field.name) || !value(field.type, cursor, depth + 1))
            return false;
        if (Sink::kConverts && field.name == nullptr)
            return refuse(Fault{Rule::no_name, field.type});
        return sink_.member_end(frame, field.name);
    }

    bool
    members(Frame &frame, const DsField *fields, uint32_t first, uint32_t count, DsCursor *cursor,
            unsigned depth)
    {
        for (uint32_t i = first; i < first + count; ++i) {
            if (!member(frame, fields[i], cursor, depth))
                return false;
        }
        return true;
    }

    __attribute__((noinline)) bool
    on_sequence(const DsType *type, DsCursor *cursor, unsigned depth)
    {
        const DsField *fields = type->p.sequence.fields;
        uint32_t count = type->p.sequence.field_count;
        if (fields == nullptr && count > 0)
            return refuse(Fault{Rule::no_fields, type});
        Frame frame(sink_);
        return sink_.begin_object(frame) && members(frame, fields, 0, count, cursor, depth) &&
               sink_.end_object(frame);
    }

    __attribute__((noinline)) bool
    on_choice(const DsType *type, DsCursor *cursor, unsigned depth)
    {
        const DsField *fields = type->p.choice.fields;
        if (fields == nullptr)
            return refuse(Fault{Rule::no_fields, type});
        if (!is_discriminator(fields[0].type))
            return refuse(Fault{Rule::discriminator, fields[0].type});
        if (type->p.choice.arms == nullptr && type->p.choice.arm_count > 0)
            return refuse(
                Fault{Rule::no_fields, type, nullptr, 0, 0, nullptr, Fault::Detail::no_arms});
        Frame frame(sink_);
        if (!sink_.begin_object(frame))
            return false;
        DsCursor inside{cursor->p, type->size};
        int64_t value = 0;
        if (!discriminator(frame, fields[0], &inside, depth, &value))
            return false;
        if (!arms(frame, type, value, &inside, depth))
            return false;
        skip_bytes(cursor, type->size);
        return sink_.end_object(frame);
    }

    // The converter adds the discriminator as the object's first member and
    // then takes its number (for an enum, not its name); the validator only
    // reads it.
    bool
    discriminator(Frame &frame, const DsField &field, DsCursor *inside, unsigned depth,
                  int64_t *value)
    {
        if constexpr (!Sink::kConverts)
            return read(field.type, inside, value);
        DsCursor at = *inside;
        if (!member(frame, field, inside, depth))
            return false;
        read_int_or_enum(field.type, &at, value, nullptr);
        return true;
    }

    // Every arm that lists the value adds its members, each reading on from
    // where the previous one stopped. The converter fails at the first
    // failing member; for the validator each applying arm gives a verdict
    // and the last one decides.
    bool
    arms(Frame &frame, const DsType *type, int64_t value, DsCursor *inside, unsigned depth)
    {
        const DsField *fields = type->p.choice.fields;
        const DsChoiceArm *list = type->p.choice.arms;
        bool verdict = true;
        for (uint32_t a = 0; a < type->p.choice.arm_count; ++a) {
            if (!arm_lists(&list[a], value))
                continue;
            if (!sink_.arm(type, value))
                return false;
            verdict =
                members(frame, fields, list[a].first_field, list[a].field_count, inside, depth);
            if (Sink::kConverts && !verdict)
                return false;
            sink_.arm_end();
        }
        return verdict;
    }

    // The converter reads ceil(bit_count / 8) bytes and gives their bit
    // range text; the validator passes over the type's size, any bits being
    // valid.
    bool
    on_bitmap(const DsType *type, DsCursor *cursor, unsigned)
    {
        if constexpr (!Sink::kConverts)
            return skip_bytes(cursor, type->size);
        uint64_t bit_count = type->p.bitmap.bit_count;
        uint64_t nbytes = (bit_count + 7) / 8;
        const uint8_t *bytes = cursor->p;
        if (!skip_bytes(cursor, nbytes))
            return refuse(Fault{Rule::short_value, type, bytes, 0, nbytes});
        return bit_text(bytes, nbytes, bit_count);
    }

    // Out of line, so that the text buffer is not part of every frame of the
    // recursive walk; a text too long for the stack is built on the heap.
    __attribute__((noinline)) bool
    bit_text(const uint8_t *bytes, uint64_t nbytes, uint64_t bit_count)
    {
        uint64_t capacity = bit_text_capacity(bit_count);
        char on_stack[kStackBitText];
        char *text = on_stack;
        if (capacity > sizeof on_stack) {
            text = static_cast<char *>(std::malloc(capacity));
            if (text == nullptr)
                return sink_.out_of_memory();
        }
        bool added = sink_.text_value(write_bit_ranges(text, bytes, nbytes, bit_count));
        if (text != on_stack)
            std::free(text);
        return added;
    }

    // Converter 0 is the base type's own form, 1 to 3 an address of any
    // bytes; the base string type's pattern is not applied to the address.
    // The validator examines neither.
    bool
    on_converted(const DsType *type, DsCursor *cursor, unsigned depth)
    {
        uint64_t converter = type->p.converted.converter;
        if (!is_known_converter(converter)) {
            skip_bytes(cursor, type->size);
            return refuse(Fault{Rule::converter, type, nullptr, static_cast<int64_t>(converter)});
        }
        if constexpr (!Sink::kConverts)
            return skip_bytes(cursor, type->size);
        if (converter == DS_CONVERT_BASE)
            return value(type->p.converted.base, cursor, depth + 1);
        uint32_t width = address_width(converter);
        const uint8_t *bytes = cursor->p;
        if (width > cursor->remaining)
            return refuse(Fault{Rule::short_value, type, bytes, 0, width});
        skip_bytes(cursor, type->size);
        return address(converter, bytes);
    }

    // Out of line, as bit_text is.
    __attribute__((noinline)) bool
    address(uint64_t converter, const uint8_t *bytes)
    {
        char text[kAddressTextSize];
        address_text(converter, bytes, text);
        return sink_.text_value(text);
    }

    Sink &sink_;
};

// A packed value of len bytes by the rules of ds_c_to_jo: a text is read up
// to its NUL within the first min(len, size) bytes; an int or enum is cut to
// its size or widened to it (an unsigned type with 0x00, a signed one by
// the sign of a 1-, 2- or 4-byte input and with 0xFF for any other length);
// every other value must fill the len bytes exactly.
template <class Sink>
bool
walk_packed(Sink &sink, const DsType *type, const uint8_t *buf, size_t len)
{
    PackedWalk<Sink> walk(sink);
    if (buf == nullptr || len == 0)
        return walk.refuse(Fault{Rule::short_value, type, buf, 0, type->size});
    DsCursor cursor{const_cast<uint8_t *>(buf), type->size};
    if (type->kind == DS_KIND_STRING)
        return walk.string_value(type, &cursor, len < type->size ? len : type->size);
    uint8_t widened[8];
    if (type->kind == DS_KIND_INT || type->kind == DS_KIND_ENUM) {
        if (type->kind == DS_KIND_ENUM && type->p.enumeration.base == nullptr)
            return walk.refuse(Fault{Rule::enum_base, type});
        if (len < type->size) {
            if (type->size > sizeof widened)
                return walk.refuse(Fault{Rule::int_width, type});
            const DsType *int_type = type->kind == DS_KIND_ENUM ? type->p.enumeration.base : type;
            bool sign_extends = len == 1 || len == 2 || len == 4;
            uint8_t fill = 0x00;
            if (is_signed_int(int_type))
                fill = !sign_extends || (buf[len - 1] & 0x80) != 0 ? 0xff : 0x00;
            std::memset(widened, fill, sizeof widened);
            std::memcpy(widened, buf, len);
            cursor.p = widened;
        }
    } else if (len > UINT32_MAX) {
        // No value consumes more bytes than a cursor can count.
        return walk.refuse(Fault{Rule::long_value, type, buf, 0, len});
    } else {
        cursor.remaining = static_cast<uint32_t>(len);
    }
    if (!walk.value(type, &cursor, 0))
        return false;
    if (cursor.remaining != 0)
        return walk.refuse(Fault{Rule::long_value, type, cursor.p, 0, cursor.remaining});
    return true;
}

} // namespace core

#endif
