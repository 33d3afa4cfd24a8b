// The one reading walk of JSON input: a json-c object checked against its
// type and, given a cursor, written in its packed form as it goes (with no
// cursor it only checks). What a refusal becomes is the sink's business: the
// library's converters only answer yes or no (codec/jo_to_c.cpp), dstool's
// reasons say where and why (core/json_refusal.cpp). Both walk the same kinds
// in the same order and make the same checks, so a reason is found exactly
// where the converter refuses.
//
// Descriptors come from schema modules, so the walk does not trust a type's
// size to cover its parts: every write is checked against the bytes left in
// the caller's buffer, a choice's members against the choice's own size, and
// the walk refuses to nest more than kMaxDepth descriptors deep. A type whose
// size does cover its parts converts exactly as if these checks were absent.
//
// A sink provides:
//   bool pattern(const DsType *string_type, const char *text)
//        the pattern check of a string type;
//   void pattern_unread(const DsType *string_type)
//        for a text refused by its length before its pattern was applied;
//   BitTextError *bit_error()
//        where a bitmap text's error is kept, or null;
//   bool refuse(Why why)
//        a part is refused, why(Refusal &) says why; returns false;
//   bool inside(Place place, bool accepted)
//        a part entered (place() names it) was accepted or not; returns accepted;
//   bool in_arm(const DsType *choice, int64_t value, bool accepted)
//        the same for the members of the arm that value selects.
// The library's sink ignores the reasons, so none of their words are built.
#ifndef DSTYPES_CORE_JSON_READ_H
#define DSTYPES_CORE_JSON_READ_H

#include "core/address_text.h"
#include "core/bit_text.h"
#include "core/grammar.h"
#include "core/json_parts.h"
#include "core/json_reasons.h"

#include <json-c/json.h>

#include <cstring>

namespace core
{

template <class Sink> class JsonReader
{
  public:
    Sink sink;

    // True when jo is a value of type. With a cursor its packed form is
    // written there and the cursor moved past it; bytes already written stay
    // when a later part is refused.
    bool
    read(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
    {
        if (type == nullptr)
            return sink.refuse([](Refusal &r) { why_no_type(r); });
        if (depth > kMaxDepth)
            return sink.refuse([](Refusal &r) { why_too_deep(r); });
        return KindVisit::visit(*this, type->kind, type, jo, cursor, depth);
    }

  private:
    friend struct KindVisit;

    bool
    on_unknown_kind(uint32_t, const DsType *type, json_object *, DsCursor *, unsigned)
    {
        return sink.refuse([&](Refusal &r) { why_unknown_kind(r, type); });
    }

    // Scratch for what validation still produces: a choice's discriminator
    // (an int of at most 8 bytes) and a converted address (at most 16).
    static constexpr uint32_t kScratchSize = 16;

    static bool
    is_json(json_object *jo, json_type type)
    {
        return json_object_get_type(jo) == type;
    }

    static void
    advance(DsCursor *cursor, uint32_t n)
    {
        cursor->p += n;
        cursor->remaining -= n;
    }

    // False, refused, when fewer than n bytes are left for a part.
    bool
    room(const DsCursor *cursor, uint64_t n)
    {
        if (n <= cursor->remaining)
            return true;
        return sink.refuse([&](Refusal &r) { why_short(r, n, cursor->remaining); });
    }

    // Moves the cursor past n bytes; false, refused, when fewer are left.
    bool
    take(DsCursor *cursor, uint64_t n)
    {
        if (!room(cursor, n))
            return false;
        advance(cursor, static_cast<uint32_t>(n));
        return true;
    }

    // Writes the n bytes at src into the next step bytes (at least n);
    // nothing to do without a cursor.
    bool
    put(DsCursor *cursor, const void *src, size_t n, uint64_t step)
    {
        if (cursor == nullptr)
            return true;
        uint8_t *at = cursor->p;
        if (!take(cursor, step))
            return false;
        std::memcpy(at, src, n);
        return true;
    }

    bool
    kind(json_object *jo, const char *expected, const DsType *type = nullptr)
    {
        return sink.refuse([&](Refusal &r) { why_json_kind(r, expected, jo, type); });
    }

    bool
    pack_int(const DsType *type, int64_t value, uint32_t width, DsCursor *cursor)
    {
        if (ds__pack_int(width, value, cursor))
            return true;
        return sink.refuse([&](Refusal &r) { why_no_int_room(r, type, width, cursor->remaining); });
    }

    bool
    on_int(const DsType *type, json_object *jo, DsCursor *cursor, unsigned)
    {
        if (!is_json(jo, json_type_int))
            return kind(jo, "an integer", type);
        int64_t value = json_object_get_int64(jo);
        if (!int_in_range(type, value))
            return sink.refuse([&](Refusal &r) { refuse_range(r, type, value); });
        return pack_int(type, value, type->size, cursor);
    }

    bool
    on_double(const DsType *, json_object *jo, DsCursor *cursor, unsigned)
    {
        double value = 0;
        if (is_json(jo, json_type_double))
            value = json_object_get_double(jo);
        else if (is_json(jo, json_type_int))
            value = static_cast<double>(json_object_get_int64(jo));
        else
            return kind(jo, "a number");
        return put(cursor, &value, sizeof value, sizeof value);
    }

    // A text too long for the type fails whatever its pattern says, so the
    // pattern is not applied to it: a text of any length costs one pass to
    // find its end, and a pattern never reads more than the type's size. The
    // sink still hears of the pattern it did not apply. The bytes after the
    // NUL are left as they were.
    bool
    on_string(const DsType *type, json_object *jo, DsCursor *cursor, unsigned)
    {
        if (!is_json(jo, json_type_string))
            return kind(jo, "a string");
        const char *text = json_object_get_string(jo);
        size_t length = std::strlen(text);
        if (length + 1 > type->size) {
            sink.pattern_unread(type);
            return sink.refuse([&](Refusal &r) { why_room(r, type, text, length); });
        }
        if (!sink.pattern(type, text))
            return sink.refuse([&](Refusal &r) { refuse_pattern(r, type, text); });
        return put(cursor, text, length + 1, type->size);
    }

    // A name is looked up among names only and a number among values only:
    // the JSON string "1" is not the value 1. A table without rows takes no
    // value, and a packed value is read through the base.
    bool
    on_enum(const DsType *type, json_object *jo, DsCursor *cursor, unsigned)
    {
        const DsTypeParams &p = type->p;
        if (p.enumeration.values == nullptr || p.enumeration.count == 0 ||
            p.enumeration.base == nullptr)
            return sink.refuse([&](Refusal &r) { why_enum_broken(r, type); });
        const DsEnumValue *row = nullptr;
        switch (json_object_get_type(jo)) {
        case json_type_int:
            row = enum_row(type, json_object_get_int64(jo));
            break;
        case json_type_string:
            row = enum_row_named(type, json_object_get_string(jo));
            break;
        case json_type_boolean:
            if (!is_bool_enum(type))
                return sink.refuse([&](Refusal &r) { why_bool_only(r, type); });
            row = enum_row(type, json_object_get_boolean(jo) ? 1 : 0);
            break;
        default:
            return kind(jo, "a name or a number", type);
        }
        if (row == nullptr)
            return sink.refuse([&](Refusal &r) { why_not_in_enum(r, type, jo); });
        return pack_int(type, row->value, type->size, cursor);
    }

    // The count comes first; the slots past it are skipped, not written.
    bool
    on_array(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
    {
        if (!is_json(jo, json_type_array))
            return kind(jo, "an array");
        size_t n = json_object_array_length(jo);
        uint32_t max_count = type->p.array.max_count;
        const DsType *element = type->p.array.element;
        if (element == nullptr)
            return sink.refuse([](Refusal &r) { why_no_type(r); });
        if (!pack_int(type, static_cast<int64_t>(n), 2, cursor))
            return false;
        if (n > max_count)
            return sink.refuse([&](Refusal &r) { why_array_size(r, type, n); });
        for (size_t i = 0; i < n; ++i) {
            bool ok = read(element, json_object_array_get_idx(jo, i), cursor, depth + 1);
            if (!sink.inside([i] { return element_place(i); }, ok))
                return false;
        }
        return cursor == nullptr || take(cursor, uint64_t{max_count - n} * element->size);
    }

    bool
    on_sequence(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
    {
        if (!is_json(jo, json_type_object))
            return kind(jo, "an object");
        if (type->p.sequence.fields == nullptr && type->p.sequence.field_count > 0)
            return sink.refuse([&](Refusal &r) { why_no_fields(r, type); });
        return members(nullptr, type->p.sequence.fields, type->p.sequence.field_count, jo, cursor,
                       depth);
    }

    // The members of an object into a run of fields, in field order whatever
    // the member order. Every field needs a member that is not JSON null; a
    // member that matches no field fails the object unless it is the choice's
    // discriminator.
    bool
    members(const char *discriminator_name, // allowed besides the fields; null for a sequence
            const DsField *fields,          // first field of the run
            uint32_t field_count,           // length of the run
            json_object *jo,                // the object, already known to be one
            DsCursor *cursor,               // null when only checking
            unsigned depth)                 // nesting of the run's owner
    {
        const char *stray = unknown_member(discriminator_name, fields, field_count, jo);
        if (stray != nullptr)
            return sink.refuse([&](Refusal &r) {
                why_unknown_member(r, stray, discriminator_name, fields, field_count);
            });
        json_object *slots[kSlotChunk];
        // first + n never exceeds field_count, so the count cannot wrap around.
        for (uint32_t first = 0, n = 0; first < field_count; first += n) {
            n = field_count - first < kSlotChunk ? field_count - first : kSlotChunk;
            collect_members(fields, first, n, jo, slots);
            for (uint32_t i = 0; i < n; ++i) {
                const DsField &field = fields[first + i];
                if (slots[i] == nullptr)
                    return sink.refuse([&](Refusal &r) {
                        why_no_member(r, field.name, jo, discriminator_name, fields, field_count);
                    });
                bool ok = read(field.type, slots[i], cursor, depth + 1);
                if (!sink.inside([&] { return member_place(field.name); }, ok))
                    return false;
            }
        }
        return true;
    }

    // The whole choice is zeroed first, so the filler behind a short arm (or
    // behind a discriminator that selects no arm) reads as zero. When only
    // checking, the discriminator is still packed, into scratch, and its
    // number read back from there: the arm is chosen by the number the packed
    // form holds.
    bool
    on_choice(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
    {
        if (!is_json(jo, json_type_object))
            return kind(jo, "an object");
        const DsField *fields = type->p.choice.fields;
        if (fields == nullptr || (type->p.choice.arms == nullptr && type->p.choice.arm_count > 0))
            return sink.refuse([&](Refusal &r) { why_no_fields(r, type); });
        const DsField &discriminator = fields[0];
        const DsType *discriminator_type = discriminator.type;
        // An int or an enum, read back as an integer of at most 8 bytes.
        if (discriminator.name == nullptr || !is_discriminator(discriminator_type))
            return sink.refuse([&](Refusal &r) { why_discriminator(r, type); });
        json_object *member = nullptr;
        if (!json_object_object_get_ex(jo, discriminator.name, &member))
            return sink.refuse(
                [&](Refusal &r) { why_no_discriminator(r, discriminator.name, jo); });

        uint8_t scratch[kScratchSize];
        DsCursor nested{scratch, discriminator_type->size < kScratchSize ? discriminator_type->size
                                                                         : kScratchSize};
        if (cursor != nullptr) {
            nested = DsCursor{cursor->p, type->size};
            if (!take(cursor, type->size))
                return false;
            std::memset(nested.p, 0, type->size);
        }
        // A JSON null is no int or enum value; it is refused once the choice
        // is cleared, as reading it would be.
        if (member == nullptr)
            return sink.refuse(
                [&](Refusal &r) { why_no_discriminator(r, discriminator.name, jo); });
        DsCursor at_discriminator = nested;
        bool ok = read(discriminator_type, member, &nested, depth + 1);
        if (!sink.inside([&] { return member_place(discriminator.name); }, ok))
            return false;
        // The value has just been checked; only its number is wanted here.
        int64_t value = 0;
        ds__get_int_or_enum_val(discriminator_type, &at_discriminator, &value);

        const DsChoiceArm *arm = first_arm(type, value);
        if (arm == nullptr)
            return true;
        ok = members(discriminator.name, fields + arm->first_field, arm->field_count, jo,
                     cursor != nullptr ? &nested : nullptr, depth);
        return sink.in_arm(type, value, ok);
    }

    // Bits at and above bit_count in the last byte stay zero.
    bool
    on_bitmap(const DsType *type, json_object *jo, DsCursor *cursor, unsigned)
    {
        if (!is_json(jo, json_type_string))
            return kind(jo, "a string of bit numbers and ranges");
        uint64_t bit_count = type->p.bitmap.bit_count;
        uint64_t nbytes = (bit_count + 7) / 8;
        uint8_t *bytes = nullptr;
        if (cursor != nullptr) {
            if (!room(cursor, nbytes))
                return false;
            bytes = cursor->p;
            std::memset(bytes, 0, nbytes);
        }
        const char *text = json_object_get_string(jo);
        BitTextError *error = sink.bit_error();
        if (!read_bit_list(text, bit_count, bytes, error))
            return sink.refuse([&](Refusal &r) { why_bit_text(r, type, text, *error); });
        if (cursor != nullptr)
            advance(cursor, static_cast<uint32_t>(nbytes));
        return true;
    }

    // Converter 0 is the base type's own form; 1 to 3 parse an address text
    // that the base string type's pattern accepts. Checking parses into
    // scratch, so that the address text is really read.
    bool
    on_converted(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
    {
        const DsType *base = type->p.converted.base;
        uint64_t converter = type->p.converted.converter;
        bool string_base = base != nullptr && base->kind == DS_KIND_STRING;
        if (base == nullptr || (converter == DS_CONVERT_BASE) == string_base ||
            !is_known_converter(converter))
            return sink.refuse([&](Refusal &r) { why_converter(r, type); });
        if (converter == DS_CONVERT_BASE)
            return read(base, jo, cursor, depth + 1);
        if (!is_json(jo, json_type_string))
            return kind(jo, "a string");
        const char *text = json_object_get_string(jo);
        if (!address_fits(converter, text)) {
            sink.pattern_unread(base);
            return sink.refuse([&](Refusal &r) { why_address(r, converter, text); });
        }
        if (!sink.pattern(base, text))
            return sink.refuse([&](Refusal &r) { refuse_pattern(r, base, text); });
        if (address_width(converter) > type->size)
            return sink.refuse([&](Refusal &r) { why_converter(r, type); });
        uint8_t scratch[kScratchSize];
        uint8_t *out = scratch;
        if (cursor != nullptr) {
            if (!room(cursor, type->size))
                return false;
            out = cursor->p;
        }
        if (!read_address(converter, text, out))
            return sink.refuse([&](Refusal &r) { why_address(r, converter, text); });
        if (cursor != nullptr)
            advance(cursor, type->size);
        return true;
    }
};

} // namespace core

#endif
