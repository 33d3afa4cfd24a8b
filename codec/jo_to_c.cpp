// From JSON to packed form: one recursive walk converts a json-c object into
// the packed bytes of its type, checking it on the way, or only checks it when
// it is given no cursor. The exported converters on top of it add the
// destination-size rules (strings into larger buffers, ints and enums widened
// by sign) and parsing of JSON text. Nothing here allocates or logs; the JSON
// object handed in is only read, never released.
//
// Descriptors come from schema modules, so the walk does not trust a type's
// size to cover its parts: every write is checked against the bytes left in
// the caller's buffer, a choice's members against the choice's own size, and
// the walk refuses to nest more than core::kMaxDepth descriptors deep. A type whose
// size does cover its parts converts exactly as if these checks were absent.
#include "codec/codec.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

// Slots of the member table of a sequence or choice arm held on the stack.
// Field counts come from module data, so a longer run of fields is matched in
// chunks of this many, scanning the object's members again for each chunk:
// any count works without the heap and without risking the stack.
constexpr uint32_t kSlotChunk = 64;

// Scratch area for what validation still produces: a choice's discriminator
// (an int of at most 8 bytes) and a converted address (at most 16 bytes).
constexpr uint32_t kScratchSize = 16;

bool walk(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth);

bool
is_json(json_object *jo, json_type type)
{
    return json_object_get_type(jo) == type;
}

void
advance(DsCursor *cursor, uint32_t n)
{
    cursor->p += n;
    cursor->remaining -= n;
}

// The index of the first of fields[0 .. limit) named name; limit when none is.
uint32_t
first_field_named(const DsField *fields, uint32_t limit, const char *name)
{
    for (uint32_t i = 0; i < limit; ++i) {
        if (fields[i].name != nullptr && std::strcmp(fields[i].name, name) == 0)
            return i;
    }
    return limit;
}

// False when the object has a member that is no field of the run; the
// discriminator of a choice is the one name allowed besides them.
bool
only_known_members(const char *discriminator_name, const DsField *fields, uint32_t field_count,
                   json_object *jo)
{
    json_object_iterator it = json_object_iter_begin(jo);
    json_object_iterator end = json_object_iter_end(jo);
    for (; !json_object_iter_equal(&it, &end); json_object_iter_next(&it)) {
        const char *name = json_object_iter_peek_name(&it);
        if (first_field_named(fields, field_count, name) < field_count)
            continue;
        if (discriminator_name == nullptr || std::strcmp(name, discriminator_name) != 0)
            return false;
    }
    return true;
}

// Fills slots[0 .. n) with the members that belong to fields[first ..
// first + n). A member belongs to the first field of its name only, so a later
// field of the same name keeps an empty slot.
void
collect_members(const DsField *fields, uint32_t first, uint32_t n, json_object *jo,
                json_object **slots)
{
    for (uint32_t i = 0; i < n; ++i)
        slots[i] = nullptr;
    json_object_iterator it = json_object_iter_begin(jo);
    json_object_iterator end = json_object_iter_end(jo);
    for (; !json_object_iter_equal(&it, &end); json_object_iter_next(&it)) {
        uint32_t index = first_field_named(fields, first + n, json_object_iter_peek_name(&it));
        if (index >= first && index < first + n)
            slots[index - first] = json_object_iter_peek_value(&it);
    }
}

// Converts the members of an object into a run of fields, in field order
// whatever the member order. Every field needs a member that is not JSON null;
// a member that matches no field fails the object unless it is the choice's
// discriminator (discriminator_name, null for a sequence).
bool
jo_members_to_fields(const char *discriminator_name, // name allowed besides the fields
                     const DsField *fields,          // first field of the run
                     uint32_t field_count,           // length of the run
                     json_object *jo,                // the object, already known to be one
                     DsCursor *cursor,               // null when only validating
                     unsigned depth)                 // nesting of the run's owner
{
    if (!only_known_members(discriminator_name, fields, field_count, jo))
        return false;
    json_object *slots[kSlotChunk];
    // first + n never exceeds field_count, so the count cannot wrap around.
    for (uint32_t first = 0, n = 0; first < field_count; first += n) {
        n = field_count - first < kSlotChunk ? field_count - first : kSlotChunk;
        collect_members(fields, first, n, jo, slots);
        for (uint32_t i = 0; i < n; ++i) {
            if (slots[i] == nullptr)
                return false;
            if (!walk(fields[first + i].type, slots[i], cursor, depth + 1))
                return false;
        }
    }
    return true;
}

// False when the text is longer than any that inet_pton accepts for the
// converter's family (INET_ADDRSTRLEN and INET6_ADDRSTRLEN hold the longest
// with its NUL), so that it fails whatever its pattern says. A MAC text has
// no such bound: sscanf reads digit runs, blanks and signs of any length.
bool
address_fits(uint64_t converter, const char *text)
{
    size_t longest = 0;
    if (converter == DS_CONVERT_IPV4)
        longest = INET_ADDRSTRLEN - 1;
    else if (converter == DS_CONVERT_IPV6)
        longest = INET6_ADDRSTRLEN - 1;
    else
        return true;
    return strnlen(text, longest + 1) <= longest;
}

bool
parse_address(uint64_t converter, const char *text, uint8_t *out)
{
    if (converter == DS_CONVERT_IPV4)
        return inet_pton(AF_INET, text, out) == 1;
    if (converter == DS_CONVERT_IPV6)
        return inet_pton(AF_INET6, text, out) == 1;
    return core::parse_mac(text, out);
}

bool
int_to_c(const DsType *type, json_object *jo, DsCursor *cursor)
{
    if (!is_json(jo, json_type_int))
        return false;
    int64_t value = json_object_get_int64(jo);
    if (!core::int_in_range(type, value))
        return false;
    return ds__pack_int(type->size, value, cursor);
}

bool
double_to_c(json_object *jo, DsCursor *cursor)
{
    double value = 0;
    if (is_json(jo, json_type_double))
        value = json_object_get_double(jo);
    else if (is_json(jo, json_type_int))
        value = static_cast<double>(json_object_get_int64(jo));
    else
        return false;
    if (cursor == nullptr)
        return true;
    if (cursor->remaining < sizeof value)
        return false;
    std::memcpy(cursor->p, &value, sizeof value);
    advance(cursor, sizeof value);
    return true;
}

// The bytes after the text's NUL are left as they were: callers that want
// them zero clear the destination first (ds_type_to_c does).
//
// A text too long for the type fails whatever its pattern says, so the
// pattern is not applied to it: a text of any length costs one pass to find
// its end, and a pattern never reads more than the type's size. The check
// still reports a pattern that does not compile, as applying it would have.
bool
string_to_c(const DsType *type, json_object *jo, DsCursor *cursor)
{
    if (!is_json(jo, json_type_string))
        return false;
    const char *text = json_object_get_string(jo);
    size_t length = std::strlen(text);
    if (length + 1 > type->size) {
        pattern_report_broken(type);
        return false;
    }
    if (!pattern_matches(type, text))
        return false;
    if (cursor == nullptr)
        return true;
    if (cursor->remaining < type->size)
        return false;
    std::memcpy(cursor->p, text, length + 1);
    advance(cursor, type->size);
    return true;
}

// A name is looked up among names only and a number among values only: the
// JSON string "1" is not the value 1.
bool
enum_to_c(const DsType *type, json_object *jo, DsCursor *cursor)
{
    // Only a table and a base make an enum: packed values are read through the base.
    if (type->p.enumeration.values == nullptr || type->p.enumeration.base == nullptr)
        return false;
    const DsEnumValue *row = nullptr;
    switch (json_object_get_type(jo)) {
    case json_type_int:
        row = core::enum_row(type, json_object_get_int64(jo));
        break;
    case json_type_string:
        row = core::enum_row_named(type, json_object_get_string(jo));
        break;
    case json_type_boolean:
        if (!core::is_bool_enum(type))
            return false;
        row = core::enum_row(type, json_object_get_boolean(jo) ? 1 : 0);
        break;
    default:
        return false;
    }
    return row != nullptr && ds__pack_int(type->size, row->value, cursor);
}

// The slots past the element count are skipped, not written.
bool
array_to_c(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
{
    if (!is_json(jo, json_type_array))
        return false;
    size_t n = json_object_array_length(jo);
    uint32_t max_count = type->p.array.max_count;
    const DsType *element = type->p.array.element;
    if (element == nullptr || !ds__pack_int(2, static_cast<int64_t>(n), cursor) || n > max_count)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (!walk(element, json_object_array_get_idx(jo, i), cursor, depth + 1))
            return false;
    }
    if (cursor == nullptr)
        return true;
    uint64_t skipped = static_cast<uint64_t>(max_count - n) * element->size;
    if (skipped > cursor->remaining)
        return false;
    advance(cursor, static_cast<uint32_t>(skipped));
    return true;
}

bool
sequence_to_c(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
{
    if (!is_json(jo, json_type_object))
        return false;
    if (type->p.sequence.fields == nullptr && type->p.sequence.field_count > 0)
        return false;
    return jo_members_to_fields(nullptr, type->p.sequence.fields, type->p.sequence.field_count, jo,
                                cursor, depth);
}

// The whole choice is zeroed first, so the filler behind a short arm (or
// behind a discriminator that selects no arm) reads as zero. When validating,
// the discriminator is still converted, into scratch, to learn its value.
bool
choice_to_c(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
{
    if (!is_json(jo, json_type_object) || type->p.choice.fields == nullptr ||
        (type->p.choice.arms == nullptr && type->p.choice.arm_count > 0))
        return false;
    const DsField *discriminator = &type->p.choice.fields[0];
    const DsType *discriminator_type = discriminator->type;
    json_object *member = nullptr;
    if (discriminator->name == nullptr || discriminator_type == nullptr ||
        !json_object_object_get_ex(jo, discriminator->name, &member))
        return false;
    // The value is read back as an integer, and scratch holds at most 8 bytes
    // of one: any other discriminator kind is a broken descriptor.
    if (!core::is_discriminator(discriminator_type))
        return false;

    uint8_t scratch[kScratchSize];
    DsCursor nested{scratch, discriminator_type->size < kScratchSize ? discriminator_type->size
                                                                     : kScratchSize};
    if (cursor != nullptr) {
        if (cursor->remaining < type->size)
            return false;
        std::memset(cursor->p, 0, type->size);
        nested = DsCursor{cursor->p, type->size};
        advance(cursor, type->size);
    }
    DsCursor at_discriminator = nested;
    if (!walk(discriminator_type, member, &nested, depth + 1))
        return false;
    // The value has just been checked; only its number is wanted here.
    int64_t value = 0;
    ds__get_int_or_enum_val(discriminator_type, &at_discriminator, &value);

    const DsChoiceArm *arm = core::first_arm(type, value);
    if (arm == nullptr)
        return true;
    return jo_members_to_fields(discriminator->name, type->p.choice.fields + arm->first_field,
                                arm->field_count, jo, cursor != nullptr ? &nested : nullptr, depth);
}

// Bits at and above bit_count in the last byte stay zero.
bool
bitmap_to_c(const DsType *type, json_object *jo, DsCursor *cursor)
{
    if (!is_json(jo, json_type_string))
        return false;
    uint64_t bit_count = type->p.bitmap.bit_count;
    uint64_t nbytes = (bit_count + 7) / 8;
    uint8_t *bytes = nullptr;
    if (cursor != nullptr) {
        if (nbytes > cursor->remaining)
            return false;
        bytes = cursor->p;
        std::memset(bytes, 0, nbytes);
    }
    if (!core::read_bit_list(json_object_get_string(jo), bit_count, bytes))
        return false;
    if (cursor != nullptr)
        advance(cursor, static_cast<uint32_t>(nbytes));
    return true;
}

// Converter 0 is the base type's own form; 1 to 3 parse an address text that
// the base string type's pattern accepts. Validation parses into scratch, so
// that the address text is really checked.
bool
converted_to_c(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
{
    const DsType *base = type->p.converted.base;
    uint64_t converter = type->p.converted.converter;
    if (base == nullptr)
        return false;
    if (converter == DS_CONVERT_BASE)
        return base->kind != DS_KIND_STRING && walk(base, jo, cursor, depth + 1);
    if (converter > DS_CONVERT_MAC || base->kind != DS_KIND_STRING ||
        !is_json(jo, json_type_string))
        return false;
    const char *text = json_object_get_string(jo);
    if (!address_fits(converter, text)) {
        pattern_report_broken(base);
        return false;
    }
    if (!pattern_matches(base, text) || core::address_width(converter) > type->size)
        return false;
    uint8_t scratch[kScratchSize];
    uint8_t *out = scratch;
    if (cursor != nullptr) {
        if (cursor->remaining < type->size)
            return false;
        out = cursor->p;
    }
    if (!parse_address(converter, text, out))
        return false;
    if (cursor != nullptr)
        advance(cursor, type->size);
    return true;
}

bool
walk(const DsType *type, json_object *jo, DsCursor *cursor, unsigned depth)
{
    if (type == nullptr || depth > core::kMaxDepth)
        return false;
    switch (type->kind) {
    case DS_KIND_INT:
        return int_to_c(type, jo, cursor);
    case DS_KIND_DOUBLE:
        return double_to_c(jo, cursor);
    case DS_KIND_STRING:
        return string_to_c(type, jo, cursor);
    case DS_KIND_ENUM:
        return enum_to_c(type, jo, cursor);
    case DS_KIND_ARRAY:
        return array_to_c(type, jo, cursor, depth);
    case DS_KIND_SEQUENCE:
        return sequence_to_c(type, jo, cursor, depth);
    case DS_KIND_CHOICE:
        return choice_to_c(type, jo, cursor, depth);
    case DS_KIND_BITMAP:
        return bitmap_to_c(type, jo, cursor);
    case DS_KIND_CONVERTED:
        return converted_to_c(type, jo, cursor, depth);
    default:
        return false;
    }
}

void *
fail_einval()
{
    errno = EINVAL;
    return nullptr;
}

// An int or enum into a wider destination: converted into a temporary first,
// so that dst is written only on success, then extended by the value's sign.
void *
widen_to_c(const DsType *type, json_object *jo, uint8_t *dst, size_t dstlen)
{
    uint8_t value[8];
    if (type->size > sizeof value)
        return fail_einval();
    if (ds_jo_to_c(type, jo, value, type->size) == nullptr)
        return nullptr;
    DsCursor at{value, type->size};
    int64_t number = 0;
    ds__peek_int(type->size, types_is_signed(type), &number, &at);
    std::memcpy(dst, value, type->size);
    std::memset(dst + type->size, number < 0 ? 0xff : 0x00, dstlen - type->size);
    return dst;
}

} // namespace

bool
jo_to_c_cursor(const DsType *type, json_object *jo, DsCursor *cursor)
{
    return walk(type, jo, cursor, 0);
}

// Converts jo into dst. dstlen must be the type's size, or larger for a
// string (the rest of dst is not written) or for an int or enum (widened by
// sign, dst untouched on failure). Returns dst, or null with errno EINVAL.
extern "C" DS_EXPORT void *
ds_jo_to_c(const DsType *type, json_object *jo, void *dst, size_t dstlen)
{
    if (type == nullptr || dst == nullptr || dstlen < type->size)
        return fail_einval();
    auto *bytes = static_cast<uint8_t *>(dst);
    if (dstlen > type->size) {
        if (type->kind == DS_KIND_INT || type->kind == DS_KIND_ENUM)
            return widen_to_c(type, jo, bytes, dstlen);
        if (type->kind != DS_KIND_STRING)
            return fail_einval();
    }
    DsCursor cursor{bytes, type->size};
    if (!jo_to_c_cursor(type, jo, &cursor))
        return fail_einval();
    return dst;
}

extern "C" DS_EXPORT bool
ds_jo_value_is_valid(const DsType *type, json_object *jo)
{
    return jo_to_c_cursor(type, jo, nullptr);
}

// Clears all of dst before anything else, so that every byte the conversion
// does not write (string tails, unused array slots) reads as zero, and so that
// a missing type or text or an unparsable text leaves dst all zero. A parse
// that ran out of memory counts as unparsable, since json-c may then hand
// back a value cut short.
extern "C" DS_EXPORT int
ds_type_to_c(const DsType *type, const char *text, void *dst, size_t dstlen)
{
    if (dst != nullptr && dstlen > 0)
        std::memset(dst, 0, dstlen);
    if (type == nullptr || text == nullptr)
        return 0;
    json_tokener_error error = json_tokener_success;
    bool out_of_memory = false;
    JsonRef jo(codec_parse(text, &error, &out_of_memory));
    if (jo == nullptr)
        return 0;
    return ds_jo_to_c(type, jo.get(), dst, dstlen) != nullptr ? 1 : 0;
}
