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
#include <unordered_set>

namespace dstool
{

namespace
{

bool
is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

size_t
skip_blanks(const std::string &text, size_t pos)
{
    while (pos < text.size() && is_blank(text[pos]))
        ++pos;
    return pos;
}

struct Parsed {
    JsonPtr jo;
    json_tokener_error error;
    size_t end; // offset in the whole text where the tokener stopped
};

// One value from text[start, start + length), the terminating NUL included
// when the range runs to the end of the text (it ends a number there).
Parsed
parse_range(const std::string &text, size_t start, size_t length, int flags)
{
    std::unique_ptr<json_tokener, void (*)(json_tokener *)> tok(json_tokener_new(),
                                                                json_tokener_free);
    if (tok == nullptr)
        throw std::bad_alloc();
    json_tokener_set_flags(tok.get(), flags);
    bool to_end = start + length == text.size();
    JsonPtr jo(json_tokener_parse_ex(tok.get(), text.c_str() + start,
                                     static_cast<int>(length + (to_end ? 1 : 0))));
    json_tokener_error error = json_tokener_get_error(tok.get());
    size_t end = start + std::min(json_tokener_get_parse_end(tok.get()), length);
    if (error == json_tokener_continue && !to_end) {
        // The range ends inside what could still be a number: end it there.
        jo.reset(json_tokener_parse_ex(tok.get(), "", 1));
        error = json_tokener_get_error(tok.get());
    }
    if (error == json_tokener_continue)
        error = json_tokener_error_parse_eof;
    return Parsed{std::move(jo), error, end};
}

[[noreturn]] void
refuse(const std::string &input, const std::string &reason)
{
    fail(kStatusFailed, input, reason);
}

// Integers beyond 64 bits and NUL escapes, found in the text itself: json-c
// clamps the one and keeps the other, so its objects no longer show them.
void
scan_value_text(const std::string &text, const std::string &input)
{
    bool in_string = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (in_string) {
            if (c == '\\' && text.compare(i + 1, 5, "u0000") == 0)
                refuse(input, "a \\u0000 escape at offset " + std::to_string(i) +
                                  ": the library cuts texts at a NUL character");
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
            continue;
        }
        if (c == '"') {
            in_string = true;
            continue;
        }
        if (c != '-' && (c < '0' || c > '9'))
            continue;
        size_t end = text.find_first_not_of("+-.eE0123456789", i);
        std::string number = text.substr(i, end == std::string::npos ? end : end - i);
        if (number.find_first_of(".eE") == std::string::npos) {
            errno = 0;
            (void)std::strtoll(number.c_str(), nullptr, 10);
            if (errno == ERANGE)
                refuse(input, printable(number) + " is outside the 64-bit integer range "
                                                  "-9223372036854775808..9223372036854775807");
        }
        i += number.size() - 1;
    }
}

// The offset of the quote that ends the JSON string starting at text[start].
size_t
string_end(const std::string &text, size_t start)
{
    size_t i = start + 1;
    while (i < text.size() && text[i] != '"')
        i += text[i] == '\\' ? 2 : 1;
    return i;
}

// A member name as json-c keys it: escapes decoded.
std::string
member_name(const std::string &token)
{
    if (token.find('\\') == std::string::npos)
        return token.substr(1, token.size() - 2);
    JsonPtr name(json_tokener_parse(token.c_str()));
    if (name == nullptr)
        throw std::bad_alloc();
    return std::string(json_object_get_string(name.get()),
                       static_cast<size_t>(json_object_get_string_len(name.get())));
}

// A name given twice in one object, found in the text: json-c keeps the last
// member silently. text is one JSON value that the strict parser took.
void
refuse_duplicate_members(const std::string &text, const std::string &input)
{
    struct Level {
        bool object;
        bool expects_name;
        std::unordered_set<std::string> names;
    };
    std::vector<Level> levels;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '{' || c == '[')
            levels.push_back(Level{c == '{', c == '{', {}});
        else if ((c == '}' || c == ']') && !levels.empty())
            levels.pop_back();
        else if (c == ',' && !levels.empty())
            levels.back().expects_name = levels.back().object;
        if (c != '"')
            continue;
        size_t end = string_end(text, i);
        if (!levels.empty() && levels.back().expects_name) {
            levels.back().expects_name = false;
            std::string name = member_name(text.substr(i, end + 1 - i));
            if (!levels.back().names.insert(name).second)
                refuse(input, "member \"" + printable(name, 40) + "\" again at offset " +
                                  std::to_string(i) +
                                  ": an object holds each name once, and the library would "
                                  "keep only the last");
        }
        i = end;
    }
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

JsonValue
strict_json(const std::string &text, const std::string &input)
{
    size_t nul = text.find('\0');
    if (nul != std::string::npos)
        refuse(input, "NUL byte at offset " + std::to_string(nul));
    size_t start = skip_blanks(text, 0);
    if (start == text.size())
        refuse(input, text.empty() ? "no JSON value: the text is empty"
                                   : "no JSON value: the text is blank");
    Parsed first = parse_range(text, start, text.size() - start, 0);
    if (first.error != json_tokener_success)
        refuse(input, std::string("not JSON: ") + json_tokener_error_desc(first.error) +
                          " at offset " + std::to_string(first.end));
    Parsed strict = parse_range(text, start, first.end - start, JSON_TOKENER_STRICT);
    if (strict.error != json_tokener_success)
        refuse(input, std::string("not JSON: ") + json_tokener_error_desc(strict.error) +
                          " at offset " + std::to_string(strict.end));
    size_t rest = skip_blanks(text, first.end);
    if (rest < text.size()) {
        if (parse_range(text, rest, text.size() - rest, 0).error == json_tokener_success)
            refuse(input, "more than one JSON value: a second one begins at offset " +
                              std::to_string(rest));
        refuse(input, "text after the JSON value at offset " + std::to_string(rest) + ": " +
                          printable(std::string_view(text).substr(rest), 20));
    }
    size_t end = first.end;
    while (end > start && is_blank(text[end - 1]))
        --end;
    if (first.jo == nullptr)
        refuse(input, "JSON null is no value");
    std::string value = text.substr(start, end - start);
    scan_value_text(value, input);
    refuse_duplicate_members(value, input);
    std::string infinite = non_finite(first.jo.get(), "", 0);
    if (!infinite.empty())
        refuse(input, infinite);
    return JsonValue{value, std::move(first.jo)};
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
        size_t start = skip_blanks(input, pos);
        size_t end = input.size();
        if (--dashes != 0) {
            // A piece that does not parse takes the rest, and its check says why.
            Parsed next = parse_range(input, start, input.size() - start, 0);
            if (next.error == json_tokener_success)
                end = next.end;
        }
        pos = end;
        while (end > start && is_blank(input[end - 1]))
            --end;
        arg = input.substr(start, end - start);
    }
    return values;
}

} // namespace dstool
