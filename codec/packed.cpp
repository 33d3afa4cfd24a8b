// Reading, writing and range-checking the integers of a packed value. These
// operations never allocate and keep nothing between calls; they trust the
// caller to have checked the enclosing type's size against the cursor, except
// where they compare against remaining themselves.
#include "codec/codec.h"

#include <cstring>

namespace
{

bool
is_int_width(uint32_t width)
{
    return width == 1 || width == 2 || width == 4 || width == 8;
}

void
advance(DsCursor *cursor, uint32_t n)
{
    cursor->p += n;
    cursor->remaining -= n;
}

bool
enum_lists(const DsType *type, int64_t value)
{
    const DsEnumValue *rows = type->p.enumeration.values;
    if (rows == nullptr)
        return false;
    for (uint32_t i = 0; i < type->p.enumeration.count; ++i) {
        if (rows[i].value == value)
            return true;
    }
    return false;
}

// An enum's value is read through its base; a base that is itself an enum
// adds its own table to the check. Real schemas nest at most a level or two,
// so a longer chain can only be a broken descriptor whose bases loop.
constexpr unsigned kMaxEnumChain = 16;

} // namespace

extern "C" DS_EXPORT bool
ds__peek_int(uint32_t width, bool is_signed, int64_t *out, DsCursor *cursor)
{
    const uint8_t *p = cursor->p;
    int64_t value = 0;
    switch (width) {
    case 1:
        value = is_signed ? static_cast<int8_t>(p[0]) : p[0];
        break;
    case 2: {
        uint16_t raw;
        std::memcpy(&raw, p, 2);
        value = is_signed ? static_cast<int16_t>(raw) : raw;
        break;
    }
    case 4: {
        uint32_t raw;
        std::memcpy(&raw, p, 4);
        value = is_signed ? static_cast<int32_t>(raw) : static_cast<int64_t>(raw);
        break;
    }
    case 8:
        std::memcpy(&value, p, 8);
        break;
    default:
        return false;
    }
    advance(cursor, width);
    *out = value;
    return true;
}

extern "C" DS_EXPORT bool
ds__pack_int(uint32_t width, int64_t value, DsCursor *cursor)
{
    if (cursor == nullptr)
        return true;
    if (cursor->remaining < width || !is_int_width(width))
        return false;
    // Little-endian host: the low-order bytes come first.
    std::memcpy(cursor->p, &value, width);
    advance(cursor, width);
    return true;
}

extern "C" DS_EXPORT bool
ds__get_int_or_enum_val(const DsType *type, DsCursor *cursor, int64_t *out)
{
    // The enums on the way to the int type, outermost first.
    const DsType *enums[kMaxEnumChain];
    unsigned depth = 0;
    for (; type != nullptr && type->kind == DS_KIND_ENUM; type = type->p.enumeration.base) {
        if (depth == kMaxEnumChain)
            return false;
        enums[depth++] = type;
    }
    if (type == nullptr || type->size > cursor->remaining || !is_int_width(type->size))
        return false;
    int64_t value = 0;
    ds__peek_int(type->size, type->p.integer.min < 0, &value, cursor);
    // Written before any check, also for an out-of-range value.
    if (out != nullptr)
        *out = value;
    if (value < type->p.integer.min || value > type->p.integer.max)
        return false;
    while (depth > 0) {
        if (!enum_lists(enums[--depth], value))
            return false;
    }
    return true;
}
