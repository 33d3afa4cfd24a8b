// Private helpers of the value codec, shared by its files and by the key
// functions that convert typed key values.
#ifndef DSTYPES_CODEC_CODEC_H
#define DSTYPES_CODEC_CODEC_H

#include "types/types.h"

#include <json-c/json.h>

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

// True when the text is accepted by the string type's pattern: a POSIX
// extended expression applied unanchored, so a match anywhere accepts. A
// pattern that does not compile is reported on standard error and accepts.
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
