/**
 * @file dstypes_parse.hpp
 * @brief ds::parse, the JSON text entry of the C++ layer, and the checks of
 *        JSON objects that callers build themselves (included by dstypes.hpp).
 */
#ifndef DSTYPES_PARSE_HPP
#define DSTYPES_PARSE_HPP

#include "dstypes.h"
#include "dstypes_base.hpp"
#include "dstypes_json.hpp"

#include <json-c/json.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace ds::detail
{

/** Whether an object holds an unsigned integer above the signed 64-bit range. */
inline bool
holds_wide_integer(json_object *jo) noexcept
{
    switch (json_object_get_type(jo)) {
    case json_type_int:
        return json_object_get_int64(jo) == INT64_MAX &&
               json_object_get_uint64(jo) > uint64_t(INT64_MAX);
    case json_type_array:
        for (std::size_t i = 0; i < json_object_array_length(jo); ++i) {
            if (holds_wide_integer(json_object_array_get_idx(jo, i)))
                return true;
        }
        return false;
    case json_type_object: {
        json_object_object_foreach(jo, name, member)
        {
            (void)name;
            if (holds_wide_integer(member))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

inline constexpr const char *kWideInteger = "integer outside the signed 64-bit range";
inline constexpr const char *kBadJson = "Bad translation of JSON value";

/** The words of parse() for each fault of read_json(). */
inline Error
json_refusal(const JsonReading &r) noexcept
{
    switch (r.fault) {
    case JsonFault::nul_byte:
        return {DS_ERR_BAD_JSON, "text holds a NUL byte"};
    case JsonFault::empty:
    case JsonFault::blank:
        return {DS_ERR_BAD_JSON, kBadJson, json_tokener_error_desc(json_tokener_error_parse_eof)};
    case JsonFault::too_long:
        return {DS_ERR_BAD_JSON, "text longer than json-c parses"};
    case JsonFault::no_memory:
        return {DS_ERR_NOMEM, "allocation failed"};
    case JsonFault::syntax:
        return {DS_ERR_BAD_JSON, kBadJson, json_tokener_error_desc(r.error)};
    case JsonFault::second_value:
    case JsonFault::trailing_text:
        return {DS_ERR_BAD_JSON, "text after the first JSON value"};
    case JsonFault::nul_escape:
        return {DS_ERR_BAD_JSON, "a \\u0000 escape, at which the library would cut the text"};
    case JsonFault::half_pair:
        return {DS_ERR_BAD_JSON,
                "a \\u escape of half a surrogate pair, which json-c would read as U+FFFD"};
    case JsonFault::not_utf8:
        return {DS_ERR_BAD_JSON, "a string that is not UTF-8"};
    case JsonFault::wide_integer:
        return {DS_ERR_BAD_JSON, kWideInteger};
    case JsonFault::non_finite:
        return {DS_ERR_BAD_JSON, "a number that is not finite, which JSON cannot write"};
    case JsonFault::duplicate_member:
        return {DS_ERR_BAD_JSON, "a member name given twice in one object"};
    case JsonFault::none:
        break;
    }
    return {};
}

} // namespace ds::detail

namespace ds
{

/**
 * Parse one JSON value from text, as ds_json_to_jo does, but strictly: refused
 * are a text that holds a NUL byte, anything but blanks after the value,
 * integers outside the signed 64-bit range, numbers that are not finite (1e400,
 * NaN, Infinity), \u0000 escapes, a member name given twice in one object,
 * invalid UTF-8, and what JSON itself does not allow (comments, trailing
 * commas). The JSON literal null gives an empty owner. A syntax error gives
 * DS_ERR_BAD_JSON with json-c's description in detail.
 */
[[nodiscard]] inline Result<Json>
parse(std::string_view text) noexcept
{
    if (text.empty())
        text = std::string_view("", 0);
    detail::JsonReading r = detail::read_json(text);
    if (r.fault != detail::JsonFault::none)
        return detail::json_refusal(r);
    return std::move(r.value);
}

} // namespace ds

#endif /* DSTYPES_PARSE_HPP */
