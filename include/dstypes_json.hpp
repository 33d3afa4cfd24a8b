/**
 * @file dstypes_json.hpp
 * @brief The strict reading of JSON text (included by dstypes.hpp; dstool
 *        reads its inputs with the same code).
 *
 * json-c reads leniently: it stops after the first value, clamps integers
 * beyond 64 bits, takes 1e400, NaN and Infinity, keeps a \u0000 escape
 * (which the library's C strings then cut at), turns a \u escape of half a
 * surrogate pair into U+FFFD, passes on bytes that are not UTF-8 when their
 * count looks right (an overlong form, an encoded surrogate), and keeps the
 * last of two members of one name. read_json() refuses each of these, and
 * says where. It reads the text a bounded number of times: json-c's
 * strict tokener once, then one walk of the value's text with the pull
 * reader (dstypes_json_pull.hpp) in step with the object json-c made of it;
 * a text that json-c refuses is read up to three times more to say why.
 */
#ifndef DSTYPES_JSON_HPP
#define DSTYPES_JSON_HPP

#include "dstypes_base.hpp"
#include "dstypes_json_pull.hpp"

#include <json-c/json.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ds::detail
{

/** Why read_json() refused a text. */
enum class JsonFault {
    none,
    nul_byte,         ///< a NUL byte in the text (offset)
    empty,            ///< no character at all
    blank,            ///< blanks only
    too_long,         ///< longer than json-c's tokener takes
    no_memory,        ///< json-c's tokener could not be allocated
    syntax,           ///< json-c refused it (error, offset)
    second_value,     ///< another JSON value follows the first (offset)
    trailing_text,    ///< something else follows the first value (offset)
    nul_escape,       ///< a \u0000 escape (offset of the backslash)
    half_pair,        ///< a \u escape of half a surrogate pair (offset of the backslash)
    not_utf8,         ///< bytes in a string that are not UTF-8 (offset)
    wide_integer,     ///< an integer outside the signed 64-bit range (offset, length)
    non_finite,       ///< a number json-c reads as infinite or NaN (offset, length)
    duplicate_member, ///< a member name given twice in one object (offset, length of the name)
};

/** What read_json() found. Offsets count from the start of the whole text. */
struct JsonReading {
    Json value;                        ///< the value; empty for JSON null or a fault
    JsonFault fault = JsonFault::none; ///< none when the text was taken
    std::size_t offset = 0;            ///< where the fault is
    std::size_t length = 0;            ///< the faulty token's length, where it has one
    json_tokener_error error = json_tokener_success; ///< json-c's code for a syntax fault
    std::size_t begin = 0;                           ///< where the value's text begins
    std::size_t end = 0;                             ///< where it ends, blanks after it left out
};

inline bool
is_json_blank(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline std::size_t
skip_json_blanks(std::string_view s, std::size_t i) noexcept
{
    while (i < s.size() && is_json_blank(s[i]))
        ++i;
    return i;
}

/** One json-c tokener run over s, ended as if a NUL followed s. */
struct TokenerRun {
    Json value;
    json_tokener_error error = json_tokener_success;
    std::size_t end = 0;    ///< where json-c stopped, at most s.size()
    bool allocated = false; ///< false when no tokener could be allocated
};

inline TokenerRun
run_tokener(std::string_view s, int flags) noexcept
{
    TokenerRun run;
    json_tokener *tok = json_tokener_new();
    if (tok == nullptr)
        return run;
    run.allocated = true;
    json_tokener_set_flags(tok, flags);
    run.value = Json(json_tokener_parse_ex(tok, s.data(), static_cast<int>(s.size())));
    run.error = json_tokener_get_error(tok);
    run.end = std::min(json_tokener_get_parse_end(tok), s.size());
    if (run.error == json_tokener_continue) {
        // A number or literal may go on: the end of the text ends it.
        run.value = Json(json_tokener_parse_ex(tok, "", 1));
        run.error = json_tokener_get_error(tok);
    }
    if (run.error == json_tokener_continue)
        run.error = json_tokener_error_parse_eof;
    json_tokener_free(tok);
    return run;
}

/** Whether a run of decimal digits, with its sign, fits a signed 64-bit integer. */
inline bool
fits_int64(std::string_view digits, bool negative) noexcept
{
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    const std::string_view limit = negative ? "9223372036854775808" : "9223372036854775807";
    return digits.size() < limit.size() || (digits.size() == limit.size() && digits <= limit);
}

/**
 * The walk of a value's text, which json-c accepted in strict mode, in step
 * with the object it made: json-c lists an object's members once each in the
 * order their names first appear, so a text member whose name differs from
 * the next listed one repeats an earlier name. Where a repeated name let a
 * later value replace an earlier one, the earlier one's text is walked
 * without its object; the repeat is refused when the walk reaches it. The
 * text's tokens come from the pull reader; json-c has checked their syntax.
 */
class StrictWalk
{
  public:
    StrictWalk(std::string_view s, std::size_t begin, JsonReading &r) noexcept
        : in_(s.data(), s.size(), JsonText::json_c), r_(r)
    {
        in_.seek(begin);
    }

    bool
    value(json_object *jo) noexcept
    {
        switch (in_.peek()) {
        case JsonPull::Token::object:
            return object(json_object_is_type(jo, json_type_object) ? jo : nullptr);
        case JsonPull::Token::array:
            return array(json_object_is_type(jo, json_type_array) ? jo : nullptr);
        case JsonPull::Token::string: {
            Skipped text;
            return string(text);
        }
        default:
            return scalar(jo);
        }
    }

  private:
    bool
    refuse(JsonFault fault, std::size_t offset, std::size_t length) noexcept
    {
        r_.fault = fault;
        r_.offset = offset;
        r_.length = length;
        return false;
    }

    // A token json-c took where the reader finds none (which cannot be).
    bool
    unexpected() noexcept
    {
        r_.error = json_tokener_error_parse_unexpected;
        return refuse(JsonFault::syntax, in_.offset(), 0);
    }

    // A string, decoded into out. Of a text json-c took, the reader refuses
    // an escape that json-c would let through as a NUL or as U+FFFD (and
    // stops just past it) and bytes that are not UTF-8 (and stops at them).
    template <class Out>
    bool
    string(Out &out) noexcept
    {
        if (in_.read_string(out))
            return true;
        if (in_.error() == JsonPull::kNotUtf8)
            return refuse(JsonFault::not_utf8, in_.offset(), 1);
        return refuse(in_.error() == JsonPull::kHalfPair ? JsonFault::half_pair
                                                         : JsonFault::nul_escape,
                      in_.offset() - 6, 6);
    }

    // A number or a literal: integers must fit 64 bits, and what json-c made
    // a double of must be finite.
    bool
    scalar(json_object *jo) noexcept
    {
        std::string_view token;
        const bool number = in_.peek() == JsonPull::Token::number;
        const std::size_t start = in_.offset();
        if (number ? !in_.read_number(token) : !in_.read_literal(token))
            return unexpected();
        const bool negative = !token.empty() && token.front() == '-';
        const std::string_view digits = token.substr(negative ? 1 : 0);
        if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos &&
            !fits_int64(digits, negative))
            return refuse(JsonFault::wide_integer, start, token.size());
        if (json_object_is_type(jo, json_type_double) && !std::isfinite(json_object_get_double(jo)))
            return refuse(JsonFault::non_finite, start, token.size());
        return true;
    }

    bool
    array(json_object *jo) noexcept
    {
        const std::size_t count = jo != nullptr ? json_object_array_length(jo) : 0;
        in_.take('[');
        if (in_.take(']'))
            return true;
        for (std::size_t n = 0;; ++n) {
            if (!value(n < count ? json_object_array_get_idx(jo, n) : nullptr))
                return false;
            if (in_.take(']'))
                return true;
            if (!in_.take(','))
                return unexpected();
        }
    }

    bool
    object(json_object *jo) noexcept
    {
        lh_entry *next = jo != nullptr ? json_object_get_object(jo)->head : nullptr;
        in_.take('{');
        if (in_.take('}'))
            return true;
        while (true) {
            if (in_.peek() != JsonPull::Token::string)
                return unexpected();
            const std::size_t name = in_.offset();
            SameText listed(next != nullptr ? static_cast<const char *>(lh_entry_k(next)) : "");
            if (!string(listed))
                return false;
            json_object *member = nullptr;
            if (jo != nullptr) {
                if (next == nullptr || !listed.same())
                    return refuse(JsonFault::duplicate_member, name, in_.offset() - name);
                member = static_cast<json_object *>(lh_entry_v(next));
                next = next->next;
            }
            if (!in_.take(':'))
                return unexpected();
            if (!value(member))
                return false;
            if (in_.take('}'))
                return true;
            if (!in_.take(','))
                return unexpected();
        }
    }

    JsonPull in_;
    JsonReading &r_;
};

/**
 * Why json-c refuses to read text strictly from r.begin: a syntax error it
 * makes leniently too, a syntax error of strict JSON inside the value that it
 * reads leniently, or a second value or other text after that value. Sets
 * r's fault and returns true, or returns false when it finds none of them.
 */
inline bool
find_syntax_fault(std::string_view text, JsonReading &r) noexcept
{
    auto found = [&r](JsonFault fault, std::size_t offset, json_tokener_error error) {
        r.fault = fault;
        r.offset = offset;
        r.error = error;
        return true;
    };
    TokenerRun first = run_tokener(text.substr(r.begin), 0);
    first.end += r.begin;
    if (!first.allocated)
        return found(JsonFault::no_memory, r.begin, json_tokener_success);
    if (first.error != json_tokener_success)
        return found(JsonFault::syntax, first.end, first.error);
    const std::string_view value = text.substr(r.begin, first.end - r.begin);
    TokenerRun strict = run_tokener(value, JSON_TOKENER_STRICT | JSON_TOKENER_VALIDATE_UTF8);
    if (!strict.allocated)
        return found(JsonFault::no_memory, r.begin, json_tokener_success);
    if (strict.error != json_tokener_success)
        return found(JsonFault::syntax, r.begin + strict.end, strict.error);
    const std::size_t rest = skip_json_blanks(text, first.end);
    if (rest == text.size())
        return false;
    const bool another = run_tokener(text.substr(rest), 0).error == json_tokener_success;
    return found(another ? JsonFault::second_value : JsonFault::trailing_text, rest,
                 json_tokener_success);
}

/**
 * Reads one JSON value from text, refusing what json-c would take but the
 * library would change or JSON does not allow: see JsonFault. The first
 * fault in the order of the checks, and within the value in text order, is
 * reported. Blanks around the value are allowed; JSON null is taken and
 * gives an empty value.
 */
inline JsonReading
read_json(std::string_view text) noexcept
{
    JsonReading r;
    auto refuse = [&r](JsonFault fault, std::size_t offset) -> JsonReading {
        r.fault = fault;
        r.offset = offset;
        r.value = Json();
        return std::move(r);
    };
    if (const void *nul = std::memchr(text.data(), '\0', text.size()))
        return refuse(JsonFault::nul_byte, static_cast<const char *>(nul) - text.data());
    r.begin = skip_json_blanks(text, 0);
    if (r.begin == text.size())
        return refuse(text.empty() ? JsonFault::empty : JsonFault::blank, 0);
    if (text.size() > INT32_MAX)
        return refuse(JsonFault::too_long, 0);
    // A text that json-c reads strictly to its end is one value; only one
    // that it refuses is read again, leniently, to tell what went wrong where.
    TokenerRun value =
        run_tokener(text.substr(r.begin), JSON_TOKENER_STRICT | JSON_TOKENER_VALIDATE_UTF8);
    if (!value.allocated)
        return refuse(JsonFault::no_memory, r.begin);
    if (value.error != json_tokener_success) {
        if (!find_syntax_fault(text, r)) {
            r.fault = JsonFault::syntax;
            r.offset = r.begin + value.end;
            r.error = value.error;
        }
        return r;
    }
    r.end = text.size();
    while (r.end > r.begin && is_json_blank(text[r.end - 1]))
        --r.end;
    // The walk reads only up to the value's end; json-c checked its syntax.
    StrictWalk walk(text.substr(0, r.end), r.begin, r);
    if (walk.value(value.value.get()))
        r.value = std::move(value.value);
    return r;
}

} // namespace ds::detail

#endif /* DSTYPES_JSON_HPP */
