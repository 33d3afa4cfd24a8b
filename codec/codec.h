// Private helpers of the value codec, shared by its files and by the key
// functions that convert typed key values.
#ifndef DSTYPES_CODEC_CODEC_H
#define DSTYPES_CODEC_CODEC_H

#include "types/types.h"

#include <json-c/json.h>

#include <cerrno>
#include <memory>

// Owns one json-c reference; the deleter drops it. Every partial result of a
// walk lives in one of these until it is handed to its parent or the caller,
// so each failure path releases what it built.
struct JsonPut {
    void
    operator()(json_object *jo) const
    {
        json_object_put(jo);
    }
};
using JsonRef = std::unique_ptr<json_object, JsonPut>;

// Parses JSON text as json_tokener_parse_verbose does. json-c reports a
// failed allocation inside its parser only through errno: the parse then
// gives no object and no error, or an object with a member or text cut
// short. A parse that met ENOMEM is therefore refused (null, with
// *out_of_memory set); otherwise errno is left as the caller had it.
inline json_object *
codec_parse(const char *text, json_tokener_error *error, bool *out_of_memory)
{
    int saved = errno;
    errno = 0;
    *error = json_tokener_success;
    JsonRef jo(json_tokener_parse_verbose(text, error));
    *out_of_memory = errno == ENOMEM;
    if (*out_of_memory)
        return nullptr;
    errno = saved;
    return jo.release();
}

// json_object_to_json_string, refusing a text that json-c could not print
// whole: its printer drops what it cannot append when its buffer cannot grow,
// and reports that only through errno. Null when printing ran out of memory.
inline const char *
codec_print(json_object *jo)
{
    int saved = errno;
    errno = 0;
    const char *text = json_object_to_json_string(jo);
    if (text == nullptr || errno == ENOMEM)
        return nullptr;
    errno = saved;
    return text;
}

// True when the text is accepted by the string type's pattern: a POSIX
// extended expression applied unanchored, so a match anywhere accepts. A
// pattern that does not compile is reported on standard error and accepts.
// How deep the walks follow descriptors: deeper than any real schema, so
// only a descriptor graph that loops gets there, and it must fail rather
// than exhaust the stack.
constexpr unsigned kMaxDepth = 64;

// Bytes of the packed address of converters 1 to 3; 0 for every other.
inline uint32_t
codec_address_width(uint64_t converter)
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

// Compiled patterns are cached per thread.
bool pattern_matches(const DsType *type, const char *text);
// The same verdict, compiling the pattern afresh (for tests and comparisons).
bool pattern_matches_uncached(const DsType *type, const char *text);

// The recursive walks behind the exported converters. Each moves the cursor
// past the value it handled; jo_to_c_cursor only validates when cursor is null.
json_object *c_to_jo_cursor(const DsType *type, DsCursor *cursor);
bool c_value_is_valid_cursor(const DsType *type, DsCursor *cursor);
bool jo_to_c_cursor(const DsType *type, json_object *jo, DsCursor *cursor);

#endif
