// Checking a packed value without building anything: the same reads as
// ds_c_to_jo, with the validator's own rules where the two differ. A double
// and a bitmap are any bytes, a converted value's bytes are not examined, a
// stored array count above max_count is invalid, and with overlapping choice
// arms the last applying arm decides. The descriptor is not trusted to cover
// its parts: reads stay inside the caller's bytes and nesting stops at
// core::kMaxDepth. Nothing here logs.
#include "codec/codec.h"

namespace
{

bool check(const DsType *type, DsCursor *cursor, unsigned depth);

bool
check_int_or_enum(const DsType *type, DsCursor *cursor)
{
    return codec_read_int_or_enum(type, cursor, nullptr);
}

// Any 8 bytes are a double and any bits a bitmap, the filler bits included.
bool
check_opaque(const DsType *type, DsCursor *cursor)
{
    return codec_skip(cursor, type->size);
}

bool
check_string(const DsType *type, DsCursor *cursor)
{
    bool valid = codec_string_text(type, cursor->p, type->size) != nullptr;
    codec_advance(cursor, type->size);
    return valid;
}

// Unlike the converter, a stored count above max_count is invalid. The slots
// past the count are skipped unchecked.
bool
check_array(const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsType *element = type->p.array.element;
    uint32_t max_count = type->p.array.max_count;
    if (element == nullptr || cursor->remaining < 2)
        return false;
    int64_t count = 0;
    ds__peek_int(2, false, &count, cursor);
    if (count > max_count)
        return false;
    for (int64_t i = 0; i < count; ++i) {
        if (!check(element, cursor, depth + 1))
            return false;
    }
    return codec_skip(cursor, static_cast<uint64_t>(max_count - count) * element->size);
}

bool
check_fields(const DsField *fields, uint32_t first, uint32_t count, DsCursor *cursor,
             unsigned depth)
{
    for (uint32_t i = first; i < first + count; ++i) {
        if (!check(fields[i].type, cursor, depth + 1))
            return false;
    }
    return true;
}

bool
check_sequence(const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsField *fields = type->p.sequence.fields;
    uint32_t count = type->p.sequence.field_count;
    if (fields == nullptr && count > 0)
        return false;
    return check_fields(fields, 0, count, cursor, depth);
}

// Every applying arm is checked, reading on from where the previous one
// stopped, and each one overwrites the verdict: with overlapping value lists
// the last applying arm decides.
bool
check_choice(const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsField *fields = type->p.choice.fields;
    const DsType *discriminator = fields != nullptr ? fields[0].type : nullptr;
    DsCursor inside{cursor->p, type->size};
    codec_advance(cursor, type->size);
    int64_t value = 0;
    if (!core::is_discriminator(discriminator) ||
        (type->p.choice.arms == nullptr && type->p.choice.arm_count > 0) ||
        !codec_read_int_or_enum(discriminator, &inside, &value))
        return false;
    bool verdict = true;
    const DsChoiceArm *arms = type->p.choice.arms;
    for (uint32_t a = 0; a < type->p.choice.arm_count; ++a) {
        if (core::arm_lists(&arms[a], value))
            verdict =
                check_fields(fields, arms[a].first_field, arms[a].field_count, &inside, depth);
    }
    return verdict;
}

// The bytes are not examined: any 4, 16 or 6 bytes are an address, and the
// base of converter 0 is not consulted.
bool
check_converted(const DsType *type, DsCursor *cursor)
{
    codec_advance(cursor, type->size);
    return type->p.converted.converter <= DS_CONVERT_MAC;
}

bool
check(const DsType *type, DsCursor *cursor, unsigned depth)
{
    if (type == nullptr || depth > core::kMaxDepth || type->size > cursor->remaining)
        return false;
    switch (type->kind) {
    case DS_KIND_INT:
    case DS_KIND_ENUM:
        return check_int_or_enum(type, cursor);
    case DS_KIND_DOUBLE:
    case DS_KIND_BITMAP:
        return check_opaque(type, cursor);
    case DS_KIND_STRING:
        return check_string(type, cursor);
    case DS_KIND_ARRAY:
        return check_array(type, cursor, depth);
    case DS_KIND_SEQUENCE:
        return check_sequence(type, cursor, depth);
    case DS_KIND_CHOICE:
        return check_choice(type, cursor, depth);
    case DS_KIND_CONVERTED:
        return check_converted(type, cursor);
    default:
        return false;
    }
}

} // namespace

bool
c_value_is_valid_cursor(const DsType *type, DsCursor *cursor)
{
    return check(type, cursor, 0);
}

extern "C" DS_EXPORT bool
ds_c_value_is_valid(const DsType *type, const void *buf, uint32_t len)
{
    if (type == nullptr || (buf == nullptr && len > 0))
        return false;
    DsCursor cursor{const_cast<uint8_t *>(static_cast<const uint8_t *>(buf)), len};
    return c_value_is_valid_cursor(type, &cursor) && cursor.remaining == 0;
}
