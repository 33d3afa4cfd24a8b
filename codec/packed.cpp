// Reading, writing and range-checking the integers of a packed value. These
// operations never allocate and keep nothing between calls; they trust the
// caller to have checked the enclosing type's size against the cursor, except
// where they compare against remaining themselves.
#include "codec/codec.h"
#include "core/packed_sink.h"

#include <cstring>

extern "C" DS_EXPORT bool
ds__peek_int(uint32_t width, bool is_signed, int64_t *out, DsCursor *cursor)
{
    if (!core::is_int_width(width))
        return false;
    int64_t value = core::read_packed_int(cursor->p, width, is_signed);
    codec_advance(cursor, width);
    *out = value;
    return true;
}

extern "C" DS_EXPORT bool
ds__pack_int(uint32_t width, int64_t value, DsCursor *cursor)
{
    if (cursor == nullptr)
        return true;
    if (cursor->remaining < width || !core::is_int_width(width))
        return false;
    // Little-endian host: the low-order bytes come first.
    std::memcpy(cursor->p, &value, width);
    codec_advance(cursor, width);
    return true;
}

// The read and its checks are the packed walk's own (core/packed_walk.h).
extern "C" DS_EXPORT bool
ds__get_int_or_enum_val(const DsType *type, DsCursor *cursor, int64_t *out)
{
    return core::read_int_or_enum(type, cursor, out, nullptr);
}
