// Strict reading of the JSON values a person types. The library keeps
// json-c's lenient reading (it stops after the first value, clamps integers
// beyond 64 bits, takes Infinity, cuts texts at a NUL and keeps the last of
// two members of one name); here every such input is refused with its reason
// before the library sees it. Also the sharing of standard input among
// several "-" arguments: each takes the next value, and the last takes
// whatever remains.
#include "dstool.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace dstool
{

namespace
{

[[noreturn]] void
refuse(const std::string &input, const std::string &reason)
{
    fail(kStatusFailed, input, reason);
}

// A member name as json-c keys it: escapes decoded as json-c decodes them.
std::string
member_name(std::string_view token)
{
    ds::detail::JsonPull in(token.data(), token.size(), ds::detail::JsonText::json_c);
    std::string name;
    in.read_string(name);
    return name;
}

// Non-finite doubles (1e400, Infinity, NaN) have no JSON text of their own.
std::string
non_finite(json_object *jo, const std::string &where, int depth)
{
    if (depth > 64)
        return "";
    switch (json_object_get_type(jo)) {
    case json_type_double:
        if (std::isfinite(json_object_get_double(jo)))
            return "";
        return (where.empty() ? "" : where + ": ") + printable(json_object_to_json_string(jo)) +
               " is not a finite number";
    case json_type_array:
        for (size_t i = 0; i < json_object_array_length(jo); ++i) {
            std::string found = non_finite(json_object_array_get_idx(jo, i),
                                           where + "[" + std::to_string(i) + "]", depth + 1);
            if (!found.empty())
                return found;
        }
        return "";
    case json_type_object: {
        json_object_object_foreach(jo, name, value)
        {
            std::string found = non_finite(value, where + "." + name, depth + 1);
            if (!found.empty())
                return found;
        }
        return "";
    }
    default:
        return "";
    }
}

} // namespace

std::string
read_all_stdin()
{
    std::string text;
    char chunk[65536];
    for (;;) {
        size_t got = std::fread(chunk, 1, sizeof chunk, stdin);
        text.append(chunk, got);
        if (got < sizeof chunk)
            break;
    }
    if (std::ferror(stdin))
        fail(kStatusFailed, "standard input", errno_text(errno));
    return text;
}

namespace
{

// The reason for each refusal of the shared strict reader, in the words the
// tool has always used. Offsets inside the value count from its first
// character, those of the text around it from the start of the input.
std::string
refusal(const std::string &text, const ds::detail::JsonReading &r, json_object *jo)
{
    using ds::detail::JsonFault;
    const std::string_view token = std::string_view(text).substr(r.offset, r.length);
    switch (r.fault) {
    case JsonFault::nul_byte:
        return "NUL byte at offset " + std::to_string(r.offset);
    case JsonFault::empty:
        return "no JSON value: the text is empty";
    case JsonFault::blank:
        return "no JSON value: the text is blank";
    case JsonFault::too_long:
        return "not JSON: longer than json-c reads";
    case JsonFault::no_memory:
        throw std::bad_alloc();
    case JsonFault::syntax:
        return std::string("not JSON: ") + json_tokener_error_desc(r.error) + " at offset " +
               std::to_string(r.offset);
    case JsonFault::second_value:
        return "more than one JSON value: a second one begins at offset " +
               std::to_string(r.offset);
    case JsonFault::trailing_text:
        return "text after the JSON value at offset " + std::to_string(r.offset) + ": " +
               printable(std::string_view(text).substr(r.offset), 20);
    case JsonFault::nul_escape:
        return "a \\u0000 escape at offset " + std::to_string(r.offset - r.begin) +
               ": the library cuts texts at a NUL character";
    case JsonFault::half_pair:
        return "a \\u escape of half a surrogate pair at offset " +
               std::to_string(r.offset - r.begin) + ": json-c would put U+FFFD in its place";
    case JsonFault::not_utf8:
        return "bytes that are not UTF-8 at offset " + std::to_string(r.offset - r.begin);
    case JsonFault::wide_integer:
        return printable(token) + " is outside the 64-bit integer range "
                                  "-9223372036854775808..9223372036854775807";
    case JsonFault::duplicate_member:
        return "member \"" + printable(member_name(token), 40) + "\" again at offset " +
               std::to_string(r.offset - r.begin) +
               ": an object holds each name once, and the library would keep only the last";
    case JsonFault::non_finite: {
        std::string found = non_finite(jo, "", 0);
        return found.empty() ? printable(token) + " is not a finite number" : found;
    }
    case JsonFault::none:
        break;
    }
    return "";
}

} // namespace

JsonValue
strict_json(const std::string &text, const std::string &input)
{
    ds::detail::JsonReading r = ds::detail::read_json(text);
    if (r.fault == ds::detail::JsonFault::non_finite) {
        // Said where inside the value, from the object json-c made of it.
        ds::detail::TokenerRun whole = ds::detail::run_tokener(text, 0);
        refuse(input, refusal(text, r, whole.value.get()));
    }
    if (r.fault != ds::detail::JsonFault::none)
        refuse(input, refusal(text, r, nullptr));
    if (!r.value)
        refuse(input, "JSON null is no value");
    return JsonValue{text.substr(r.begin, r.end - r.begin), JsonPtr(r.value.release())};
}

std::string
non_finite_number(json_object *jo)
{
    return non_finite(jo, "", 0);
}

std::vector<std::string>
value_args(const std::vector<std::string> &args, size_t first)
{
    std::vector<std::string> values(args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
    size_t dashes = 0;
    for (const std::string &arg : values)
        dashes += arg == "-" ? 1 : 0;
    if (dashes == 0)
        return values;
    std::string input = read_all_stdin();
    size_t pos = 0;
    for (std::string &arg : values) {
        if (arg != "-")
            continue;
        size_t start = ds::detail::skip_json_blanks(input, pos);
        size_t end = input.size();
        if (--dashes != 0) {
            // A piece that does not parse takes the rest, and its check says why.
            ds::detail::TokenerRun next =
                ds::detail::run_tokener(std::string_view(input).substr(start), 0);
            if (next.error == json_tokener_success)
                end = start + next.end;
        }
        pos = end;
        while (end > start && ds::detail::is_json_blank(input[end - 1]))
            --end;
        arg = input.substr(start, end - start);
    }
    return values;
}

} // namespace dstool
