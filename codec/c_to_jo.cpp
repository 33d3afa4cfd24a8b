// From packed form to JSON: one recursive walk turns the packed bytes of a
// type into a new json-c object, checking every int range, enum table and
// string pattern on the way (c_value_valid.cpp only checks). The exported
// entry point adds the length rules: strings are read up to their NUL, ints
// and enums are cut or widened to their size, and every other value must
// fill the caller's bytes exactly. Nothing here logs.
//
// Descriptors come from schema modules, so the walks do not trust a type's
// size to cover its parts: no read goes past the caller's bytes, a choice's
// members are read inside the choice's own size, and the walks refuse to nest
// more than core::kMaxDepth descriptors deep. A type whose size does cover its parts
// converts exactly as if these checks were absent.
#include "codec/codec.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

json_object *walk(const DsType *type, DsCursor *cursor, unsigned depth);

// Hands member over to obj under name. json-c keeps the reference only on
// success; on failure member still owns it and drops it.
bool
add_member(json_object *obj, const char *name, JsonRef member)
{
    if (member == nullptr || name == nullptr)
        return false;
    if (json_object_object_add(obj, name, member.get()) != 0)
        return false;
    member.release();
    return true;
}

bool
add_element(json_object *array, JsonRef element)
{
    if (element == nullptr || json_object_array_add(array, element.get()) != 0)
        return false;
    element.release();
    return true;
}

// Converts fields[first .. first + count) from the cursor into members of obj,
// in field order.
bool
add_fields(json_object *obj, const DsField *fields, uint32_t first, uint32_t count,
           DsCursor *cursor, unsigned depth)
{
    for (uint32_t i = first; i < first + count; ++i) {
        if (!add_member(obj, fields[i].name, JsonRef(walk(fields[i].type, cursor, depth + 1))))
            return false;
    }
    return true;
}

} // namespace

namespace
{

JsonRef
new_address_text(uint64_t converter, const uint8_t *p)
{
    char text[core::kAddressTextSize];
    if (core::address_text(converter, p, text) == 0)
        return nullptr;
    return JsonRef(json_object_new_string(text));
}

json_object *
int_to_jo(const DsType *type, DsCursor *cursor)
{
    int64_t value = 0;
    if (!codec_read_int_or_enum(type, cursor, &value))
        return nullptr;
    return json_object_new_int64(value);
}

json_object *
double_to_jo(DsCursor *cursor)
{
    double value = 0;
    if (cursor->remaining < sizeof value)
        return nullptr;
    std::memcpy(&value, cursor->p, sizeof value);
    codec_advance(cursor, sizeof value);
    return json_object_new_double(value);
}

json_object *
string_to_jo(const DsType *type, DsCursor *cursor)
{
    const char *text = codec_string_text(type, cursor->p, type->size);
    if (text == nullptr)
        return nullptr;
    JsonRef jo(json_object_new_string(text));
    codec_advance(cursor, type->size);
    return jo.release();
}

// The first row of the table, in table order, that lists the value names it;
// the read has already made sure that one does.
json_object *
enum_to_jo(const DsType *type, DsCursor *cursor)
{
    int64_t value = 0;
    if (!codec_read_int_or_enum(type, cursor, &value))
        return nullptr;
    if (core::is_bool_enum(type))
        return json_object_new_boolean(static_cast<int32_t>(value) != 0);
    const DsEnumValue *row = core::enum_row(type, value);
    return row != nullptr && row->name != nullptr ? json_object_new_string(row->name) : nullptr;
}

// Converts the first count slots; the slots past the count are skipped
// unread. A stored count above max_count converts all max_count slots.
json_object *
array_to_jo(const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsType *element = type->p.array.element;
    uint32_t max_count = type->p.array.max_count;
    if (element == nullptr || cursor->remaining < 2)
        return nullptr;
    JsonRef array(json_object_new_array());
    if (array == nullptr)
        return nullptr;
    int64_t count = 0;
    ds__peek_int(2, false, &count, cursor);
    for (uint32_t i = 0; i < max_count; ++i) {
        if (i >= count) {
            if (!codec_skip(cursor, element->size))
                return nullptr;
        } else if (!add_element(array.get(), JsonRef(walk(element, cursor, depth + 1)))) {
            return nullptr;
        }
    }
    return array.release();
}

json_object *
sequence_to_jo(const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsField *fields = type->p.sequence.fields;
    uint32_t count = type->p.sequence.field_count;
    if (fields == nullptr && count > 0)
        return nullptr;
    JsonRef obj(json_object_new_object());
    if (obj == nullptr || !add_fields(obj.get(), fields, 0, count, cursor, depth))
        return nullptr;
    return obj.release();
}

// Every arm that lists the discriminator value adds its members, reading on
// from where the previous one stopped. The caller's cursor moves by the
// choice's size whatever the arms read: the filler is skipped unread.
json_object *
choice_to_jo(const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsField *fields = type->p.choice.fields;
    const DsType *discriminator = fields != nullptr ? fields[0].type : nullptr;
    if (!core::is_discriminator(discriminator) ||
        (type->p.choice.arms == nullptr && type->p.choice.arm_count > 0))
        return nullptr;
    JsonRef obj(json_object_new_object());
    if (obj == nullptr)
        return nullptr;
    DsCursor inside{cursor->p, type->size};
    DsCursor at_discriminator = inside;
    if (!add_member(obj.get(), fields[0].name, JsonRef(walk(discriminator, &inside, depth + 1))))
        return nullptr;
    // Just converted, so valid; for an enum the number is wanted, not the name.
    int64_t value = 0;
    ds__get_int_or_enum_val(discriminator, &at_discriminator, &value);
    const DsChoiceArm *arms = type->p.choice.arms;
    for (uint32_t a = 0; a < type->p.choice.arm_count; ++a) {
        if (!core::arm_lists(&arms[a], value))
            continue;
        if (!add_fields(obj.get(), fields, arms[a].first_field, arms[a].field_count, &inside,
                        depth))
            return nullptr;
    }
    codec_advance(cursor, type->size);
    return obj.release();
}

// Kept out of line so that the text buffer is not part of every frame of
// the recursive walk.
__attribute__((noinline)) json_object *
bitmap_to_jo(const DsType *type, DsCursor *cursor)
{
    uint64_t bit_count = type->p.bitmap.bit_count;
    uint64_t nbytes = (bit_count + 7) / 8;
    const uint8_t *bytes = cursor->p;
    if (!codec_skip(cursor, nbytes))
        return nullptr;
    uint64_t capacity = core::bit_text_capacity(bit_count);
    char on_stack[core::kStackBitText];
    char *text = on_stack;
    if (capacity > sizeof on_stack) {
        text = static_cast<char *>(std::malloc(capacity));
        if (text == nullptr)
            return nullptr;
    }
    json_object *jo =
        json_object_new_string(core::write_bit_ranges(text, bytes, nbytes, bit_count));
    if (text != on_stack)
        std::free(text);
    return jo;
}

// Converter 0 is the base type's own form; 1 to 3 print an address. The base
// string type's pattern is not applied to the printed address.
json_object *
converted_to_jo(const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsType *base = type->p.converted.base;
    uint64_t converter = type->p.converted.converter;
    if (converter == DS_CONVERT_BASE)
        return base != nullptr ? walk(base, cursor, depth + 1) : nullptr;
    uint32_t width = core::address_width(converter);
    if (width == 0 || width > cursor->remaining)
        return nullptr;
    JsonRef jo = new_address_text(converter, cursor->p);
    if (jo == nullptr)
        return nullptr;
    codec_advance(cursor, type->size);
    return jo.release();
}

json_object *
walk(const DsType *type, DsCursor *cursor, unsigned depth)
{
    if (type == nullptr || depth > core::kMaxDepth || type->size > cursor->remaining)
        return nullptr;
    switch (type->kind) {
    case DS_KIND_INT:
        return int_to_jo(type, cursor);
    case DS_KIND_DOUBLE:
        return double_to_jo(cursor);
    case DS_KIND_STRING:
        return string_to_jo(type, cursor);
    case DS_KIND_ENUM:
        return enum_to_jo(type, cursor);
    case DS_KIND_ARRAY:
        return array_to_jo(type, cursor, depth);
    case DS_KIND_SEQUENCE:
        return sequence_to_jo(type, cursor, depth);
    case DS_KIND_CHOICE:
        return choice_to_jo(type, cursor, depth);
    case DS_KIND_BITMAP:
        return bitmap_to_jo(type, cursor);
    case DS_KIND_CONVERTED:
        return converted_to_jo(type, cursor, depth);
    default:
        return nullptr;
    }
}

// Brings len bytes of an int or enum to the type's size: longer input is cut
// to its low-order bytes (little-endian host), shorter input is widened with a
// fill byte. An unsigned type fills with 0x00; a signed one extends the sign
// of a 1-, 2- or 4-byte input and fills any other length with 0xFF.
json_object *
int_or_enum_to_jo(const DsType *type, const uint8_t *buf, size_t len)
{
    uint8_t widened[8];
    DsCursor cursor{const_cast<uint8_t *>(buf), type->size};
    if (type->kind == DS_KIND_ENUM && type->p.enumeration.base == nullptr)
        return nullptr;
    if (len < type->size) {
        if (type->size > sizeof widened)
            return nullptr;
        uint8_t fill = 0x00;
        if (types_is_signed(type)) {
            bool sign_extends = len == 1 || len == 2 || len == 4;
            fill = !sign_extends || (buf[len - 1] & 0x80) != 0 ? 0xff : 0x00;
        }
        std::memset(widened, fill, sizeof widened);
        std::memcpy(widened, buf, len);
        cursor.p = widened;
    }
    JsonRef jo(c_to_jo_cursor(type, &cursor));
    return cursor.remaining == 0 ? jo.release() : nullptr;
}

} // namespace

json_object *
c_to_jo_cursor(const DsType *type, DsCursor *cursor)
{
    return walk(type, cursor, 0);
}

// Returns a new object holding one reference for the caller, or null. The
// walks only read through the cursor, so the caller's const bytes are safe
// behind its non-const pointer.
extern "C" DS_EXPORT json_object *
ds_c_to_jo(const DsType *type, const void *buf, size_t len)
{
    if (type == nullptr || buf == nullptr || len == 0)
        return nullptr;
    const auto *bytes = static_cast<const uint8_t *>(buf);
    if (type->kind == DS_KIND_STRING) {
        const char *text = codec_string_text(type, bytes, len < type->size ? len : type->size);
        return text != nullptr ? json_object_new_string(text) : nullptr;
    }
    if (type->kind == DS_KIND_INT || type->kind == DS_KIND_ENUM)
        return int_or_enum_to_jo(type, bytes, len);
    // No value consumes more bytes than a cursor can count.
    if (len > UINT32_MAX)
        return nullptr;
    DsCursor cursor{const_cast<uint8_t *>(bytes), static_cast<uint32_t>(len)};
    JsonRef jo(c_to_jo_cursor(type, &cursor));
    return cursor.remaining == 0 ? jo.release() : nullptr;
}
