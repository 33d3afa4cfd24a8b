/**
 * @file dstypes_json_pull.hpp
 * @brief The pull reader of JSON text (RFC 8259), shared by read_json()
 *        (dstypes_json.hpp) and libdstypes-doc's document walks.
 *
 * It hands out one token at a time and keeps nothing but its place, so that
 * a walk over a text of any size holds only what its own nesting needs.
 * Strings come out unescaped, numbers as they were written. Every byte is
 * looked at once on the way forward; a walk that seeks back pays for what it
 * reads again itself. The rules of JSON text (blanks, literals, numbers,
 * escapes, UTF-8) are written here only; which of them a reader checks
 * depends on the text it is given (JsonText).
 */
#ifndef DSTYPES_JSON_PULL_HPP
#define DSTYPES_JSON_PULL_HPP

#include "dstypes_json_chars.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ds::detail
{

/** What a JsonPull reader is given, and so what it checks. */
enum class JsonText {
    /** Any text (the documents): RFC 8259 in full, UTF-8 as RFC 3629 allows it,
     *  and strings held to what a YANG text can hold (XML's characters): no
     *  backspace or form feed escapes, no control characters but tab, line
     *  feed and carriage return, no surrogates (no pairs of escapes either,
     *  as YANG tools read them), no U+FFFE or U+FFFF, nor, as an escape,
     *  U+FDD0 to U+FDEF. */
    yang,
    /** A text that json-c's strict tokener took (read_json()): its grammar,
     *  json-c's, is not checked again (numbers as json-c reads them, NaN and
     *  Infinity included; control characters in strings as they stand), and
     *  strings decode as json-c decodes them. Refused are what json-c would
     *  let through changed or broken: a \u0000 escape and a \u escape of
     *  half a surrogate pair (which json-c turns into U+FFFD), after which
     *  offset() is just past the escape, and bytes that are not UTF-8, at
     *  which offset() stays. */
    json_c,
};

/** A reader of one text, which must outlive it; see the file's comment. */
class JsonPull
{
  public:
    /** Reasons of error() that a caller may tell apart by their address. */
    static constexpr const char *kNulEscape = "a \\u0000 escape, at which a C string would end";
    static constexpr const char *kHalfPair = "a \\u escape of half a surrogate pair";
    static constexpr const char *kNotUtf8 = "invalid UTF-8 in a string";

    /** A token by its first character; literal: true, false or null. */
    // clang-format off
    enum class Token : char {
        object = '{', object_end = '}', array = '[', array_end = ']', comma = ',', colon = ':',
        string = '"', number = '0', literal = 't', end = '\0', invalid = '?'
    };
    // clang-format on

    JsonPull(const char *text, std::size_t length, JsonText kind) noexcept
        : text_(text), end_(text + length), at_(text), kind_(kind)
    {
    }

    /** The kind of the next token, after blanks; nothing is consumed. */
    Token
    peek() noexcept
    {
        skip_blanks();
        if (at_ == end_)
            return Token::end;
        const char c = *at_;
        if (c == '{' || c == '}' || c == '[' || c == ']' || c == ',' || c == ':' || c == '"')
            return static_cast<Token>(c);
        if (c == 't' || c == 'f' || c == 'n')
            return Token::literal;
        const bool json_c_word = kind_ == JsonText::json_c && (c == 'N' || c == 'I');
        return c == '-' || is_digit(c) || json_c_word ? Token::number : Token::invalid;
    }

    /** Consumes the next token when it is the character c; false otherwise. */
    bool
    take(char c) noexcept
    {
        skip_blanks();
        if (at_ == end_ || *at_ != c)
            return false;
        ++at_;
        return true;
    }

    /**
     * A string token, unescaped into out: a std::string, or a sink with
     * clear(), append(const char *, std::size_t) and push_back(char). False
     * (error() says why) on a malformed one.
     */
    template <class Out> bool read_string(Out &out);
    /** A number token's text, as it stands in the text; false on a malformed one. */
    bool read_number(std::string_view &out);

    /** true, false or null; false on anything else. */
    bool
    read_literal(std::string_view &out)
    {
        skip_blanks();
        for (std::string_view word : {"true", "false", "null"}) {
            if (static_cast<std::size_t>(end_ - at_) >= word.size() &&
                std::string_view(at_, word.size()) == word) {
                at_ += word.size();
                if (at_ < end_ && *at_ >= 'a' && *at_ <= 'z')
                    break;
                out = word;
                return true;
            }
        }
        return fail("an invalid literal (not true, false or null)");
    }

    /**
     * Passes over one whole value of any kind, checking it as strictly as the
     * readers above. Memory: one bit per level of nesting.
     */
    bool skip_value();

    /** The place of the next byte. */
    std::size_t
    offset() const noexcept
    {
        return static_cast<std::size_t>(at_ - text_);
    }
    /** A jump back to an earlier place. */
    void
    seek(std::size_t offset) noexcept
    {
        at_ = text_ + offset;
    }
    /** Why the last read failed. */
    const char *
    error() const noexcept
    {
        return error_;
    }
    /** Whether only blanks remain. */
    bool
    at_end() noexcept
    {
        skip_blanks();
        return at_ == end_;
    }

  private:
    static bool
    is_digit(char c) noexcept
    {
        return c >= '0' && c <= '9';
    }

    void
    skip_blanks() noexcept
    {
        // Every blank is at most a space; most tokens follow none.
        if (at_ < end_ && static_cast<unsigned char>(*at_) <= ' ')
            at_ = blank_run(at_, end_);
    }

    bool
    fail(const char *why) noexcept
    {
        error_ = why;
        return false;
    }

    template <class Out> bool read_escape(Out &out);
    template <class Out> bool take_code(std::uint32_t code, Out &out);
    std::uint32_t pair_with_low(std::uint32_t high) noexcept;
    template <class Out> bool read_utf8(Out &out);

    const char *text_;
    const char *end_;
    const char *at_;
    JsonText kind_;
    const char *error_ = "";
};

template <class Out>
inline bool
JsonPull::read_string(Out &out)
{
    out.clear();
    if (!take('"'))
        return fail("a string was expected");
    while (true) {
        const char *run = at_;
        at_ = plain_string_run(at_, end_);
        out.append(run, static_cast<std::size_t>(at_ - run));
        if (at_ == end_)
            return fail("the text ends inside a string");
        const char c = *at_;
        if (c == '"') {
            ++at_;
            return true;
        }
        if (c == '\\') {
            ++at_;
            if (!read_escape(out))
                return false;
        } else if (kind_ == JsonText::json_c && static_cast<unsigned char>(c) < 0x20) {
            // json-c takes a raw control character as it stands.
            out.push_back(c);
            ++at_;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            return fail("a control character in a string (it must be escaped)");
        } else if (!read_utf8(out)) {
            return false;
        }
    }
}

// \uXXXX or one of the short escapes, after the backslash.
template <class Out>
inline bool
JsonPull::read_escape(Out &out)
{
    if (at_ == end_)
        return fail("the text ends inside a string");
    const char c = *at_++;
    // \b and \f are JSON, but their characters are none a YANG text holds.
    if (kind_ == JsonText::yang && (c == 'b' || c == 'f'))
        return fail("a YANG text cannot hold the character of this escape");
    static const char kShort[] = "\"\"\\\\//b\bf\fn\nr\rt\t";
    for (const char *s = kShort; *s != '\0'; s += 2)
        if (c == s[0]) {
            out.push_back(s[1]);
            return true;
        }
    if (c != 'u')
        return fail("an unknown escape in a string");
    std::uint32_t code = 0;
    if (!read_hex4(at_, end_, code))
        return fail("a \\u escape without four hex digits");
    return take_code(code, out);
}

// The code point of a \u escape, checked as the text's kind asks.
template <class Out>
inline bool
JsonPull::take_code(std::uint32_t code, Out &out)
{
    if (kind_ == JsonText::yang) {
        // No pairs of escapes either, as YANG tools read them.
        if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') ||
            (code >= 0xD800 && code <= 0xDFFF) || (code >= 0xFDD0 && code <= 0xFDEF) ||
            code >= 0xFFFE)
            return fail("a YANG text cannot hold the character of this \\u escape");
    } else if (code == 0) {
        return fail(kNulEscape);
    } else if (code >= 0xD800 && code <= 0xDBFF) {
        code = pair_with_low(code);
        if (code == 0xFFFD)
            return fail(kHalfPair);
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
        return fail(kHalfPair);
    }
    append_utf8(out, code);
    return true;
}

// The code point of a high surrogate and the \u escape of a low one right
// after it; U+FFFD, with that escape left unread, when none follows.
inline std::uint32_t
JsonPull::pair_with_low(std::uint32_t high) noexcept
{
    const char *after_high = at_;
    if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u')
        return 0xFFFD;
    at_ += 2;
    std::uint32_t low = 0;
    if (read_hex4(at_, end_, low) && low >= 0xDC00 && low <= 0xDFFF)
        return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
    at_ = after_high;
    return 0xFFFD;
}

// One UTF-8 sequence of two to four bytes.
template <class Out>
inline bool
JsonPull::read_utf8(Out &out)
{
    const int length = utf8_sequence(at_, end_);
    if (length == 0)
        return fail(kNotUtf8);
    if (kind_ == JsonText::yang && static_cast<unsigned char>(at_[0]) == 0xEF &&
        static_cast<unsigned char>(at_[1]) == 0xBF &&
        (static_cast<unsigned char>(at_[2]) & 0xFE) == 0xBE)
        return fail("a YANG text cannot hold U+FFFE or U+FFFF");
    out.append(at_, static_cast<std::size_t>(length));
    at_ += length;
    return true;
}

inline bool
JsonPull::read_number(std::string_view &out)
{
    skip_blanks();
    const char *start = at_;
    auto digits = [this]() {
        const char *first = at_;
        while (at_ < end_ && is_digit(*at_))
            ++at_;
        return at_ > first;
    };
    if (kind_ == JsonText::json_c) {
        // As far as json-c's number (or NaN, Infinity) goes.
        while (at_ < end_ &&
               (is_digit(*at_) || (*at_ >= 'a' && *at_ <= 'z') || (*at_ >= 'A' && *at_ <= 'Z') ||
                *at_ == '-' || *at_ == '+' || *at_ == '.'))
            ++at_;
        out = std::string_view(start, static_cast<std::size_t>(at_ - start));
        return at_ > start || fail("a malformed number");
    }
    if (at_ < end_ && *at_ == '-')
        ++at_;
    if (at_ < end_ && *at_ == '0')
        ++at_;
    else if (!digits())
        return fail("a malformed number");
    if (at_ < end_ && *at_ == '.' && (++at_, !digits()))
        return fail("a malformed number");
    if (at_ < end_ && (*at_ == 'e' || *at_ == 'E')) {
        ++at_;
        if (at_ < end_ && (*at_ == '+' || *at_ == '-'))
            ++at_;
        if (!digits())
            return fail("a malformed number");
    }
    if (at_ < end_ && (is_digit(*at_) || *at_ == '.'))
        return fail("a malformed number");
    out = std::string_view(start, static_cast<std::size_t>(at_ - start));
    return true;
}

// Iterative, so that no nesting of the text deepens the call stack: the
// open containers are one bit each (1: object).
inline bool
JsonPull::skip_value()
{
    std::vector<bool> open;
    Skipped scratch;
    std::string_view word;
    bool want_value = true;
    while (true) {
        const Token token = peek();
        if (want_value) {
            bool ok = true;
            if (token == Token::object || token == Token::array) {
                ++at_;
                open.push_back(token == Token::object);
                const Token next = peek();
                if (next == (token == Token::object ? Token::object_end : Token::array_end)) {
                    ++at_;
                    open.pop_back();
                    want_value = false;
                } else if (token == Token::object) {
                    ok = read_string(scratch) && (take(':') || fail("a ':' was expected"));
                }
                if (!ok)
                    return false;
                if (next != Token::object_end && next != Token::array_end)
                    continue;
            } else if (token == Token::string) {
                ok = read_string(scratch);
            } else if (token == Token::number) {
                ok = read_number(word);
            } else if (token == Token::literal) {
                ok = read_literal(word);
            } else {
                ok = fail(token == Token::end ? "the text ends where a value was expected"
                                              : "a value was expected");
            }
            if (!ok)
                return false;
            want_value = false;
        }
        if (open.empty())
            return true;
        const bool in_object = open.back();
        if (take(',')) {
            if (in_object && !(read_string(scratch) && (take(':') || fail("a ':' was expected"))))
                return false;
            want_value = true;
        } else if (take(in_object ? '}' : ']')) {
            open.pop_back();
        } else {
            return fail(in_object ? "a ',' or '}' was expected" : "a ',' or ']' was expected");
        }
    }
}

} // namespace ds::detail

#endif /* DSTYPES_JSON_PULL_HPP */
