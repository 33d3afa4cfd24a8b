// From JSON to packed form: the exported converters over the reading walk
// (core/json_read.h), which converts a json-c object into the packed bytes
// of its type, checking it on the way, or only checks it when it is given no
// cursor. This file adds the destination-size rules (strings into larger
// buffers, ints and enums widened by sign) and parsing of JSON text. Nothing
// here allocates or logs; the JSON object handed in is only read, never
// released.
#include "codec/codec.h"
#include "core/json_read.h"

#include <cerrno>
#include <cstring>

namespace
{

// The library's sink of the walk: it answers yes or no and builds no reason.
struct Verdict {
    static bool
    pattern(const DsType *type, const char *text)
    {
        return pattern_matches(type, text);
    }
    static void
    pattern_unread(const DsType *type)
    {
        pattern_report_broken(type);
    }
    static constexpr core::BitTextError *
    bit_error()
    {
        return nullptr;
    }
    template <class Why>
    static constexpr bool
    refuse(Why &&)
    {
        return false;
    }
    template <class Place>
    static constexpr bool
    inside(Place &&, bool accepted)
    {
        return accepted;
    }
    static constexpr bool
    in_arm(const DsType *, int64_t, bool accepted)
    {
        return accepted;
    }
};

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
    core::JsonReader<Verdict> reader;
    return reader.read(type, jo, cursor, 0);
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
