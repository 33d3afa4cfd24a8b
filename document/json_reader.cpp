// The strict JSON pull reader of the document walk (json_reader.h). Every
// byte is looked at once on the way forward; a walk that seeks back (to read
// a list entry's keys first) pays for what it reads again itself.
#include "document/json_reader.h"
#include "core/hex.h"

#include <cstdint>
#include <vector>

namespace doc
{

namespace
{

bool
is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool
is_digit(char c)
{
    return c >= '0' && c <= '9';
}

void
append_utf8(std::string &out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

void
JsonReader::skip_blanks()
{
    while (at_ < end_ && is_blank(*at_))
        ++at_;
}

bool
JsonReader::fail(const char *why)
{
    error_ = why;
    return false;
}

bool
JsonReader::at_end()
{
    skip_blanks();
    return at_ == end_;
}

JsonReader::Token
JsonReader::peek()
{
    skip_blanks();
    if (at_ == end_)
        return Token::end;
    switch (*at_) {
    case '{':
    case '}':
    case '[':
    case ']':
    case ',':
    case ':':
    case '"':
        return static_cast<Token>(*at_);
    case 't':
    case 'f':
    case 'n':
        return Token::literal;
    default:
        return *at_ == '-' || is_digit(*at_) ? Token::number : Token::invalid;
    }
}

bool
JsonReader::take(char c)
{
    skip_blanks();
    if (at_ == end_ || *at_ != c)
        return false;
    ++at_;
    return true;
}

// \uXXXX (a surrogate pair as two of them) or one of the short escapes.
bool
JsonReader::read_escape(std::string &out)
{
    if (at_ == end_)
        return fail("the text ends inside a string");
    char c = *at_++;
    // \b and \f are JSON, but their characters are none a YANG text holds.
    if (c == 'b' || c == 'f')
        return fail("a YANG text cannot hold the character of this escape");
    static const char kShort[] = "\"\"\\\\//n\nr\rt\t";
    for (const char *s = kShort; *s != '\0'; s += 2)
        if (c == s[0]) {
            out += s[1];
            return true;
        }
    if (c != 'u')
        return fail("an unknown escape in a string");
    auto hex4 = [this](uint32_t &code) {
        if (end_ - at_ < 4)
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            int digit = core::hex_value(static_cast<unsigned char>(*at_++));
            if (digit < 0)
                return false;
            code = code * 16 + static_cast<uint32_t>(digit);
        }
        return true;
    };
    uint32_t code = 0;
    if (!hex4(code))
        return fail("a \\u escape without four hex digits");
    // What a YANG text may hold (XML's characters): no other control
    // characters than tab, line feed and carriage return, no surrogates (so
    // no pairs of escapes either, as YANG tools read them), no U+FFFE or
    // U+FFFF, nor, as an escape, the noncharacters U+FDD0 to U+FDEF.
    if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') ||
        (code >= 0xD800 && code <= 0xDFFF) || (code >= 0xFDD0 && code <= 0xFDEF) || code >= 0xFFFE)
        return fail("a YANG text cannot hold the character of this \\u escape");
    append_utf8(out, code);
    return true;
}

// One UTF-8 sequence of two to four bytes, as RFC 3629 allows it (no
// overlong forms, no surrogates, nothing above U+10FFFF).
bool
JsonReader::read_utf8(std::string &out)
{
    auto lead = static_cast<unsigned char>(*at_);
    int extra = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (lead >= 0xF5 || extra < 0 || end_ - at_ <= extra)
        return fail("invalid UTF-8 in a string");
    auto second = static_cast<unsigned char>(at_[1]);
    bool ok = (second & 0xC0) == 0x80 && !(lead == 0xE0 && second < 0xA0) &&
              !(lead == 0xED && second > 0x9F) && !(lead == 0xF0 && second < 0x90) &&
              !(lead == 0xF4 && second > 0x8F);
    for (int i = 2; ok && i <= extra; ++i)
        ok = (static_cast<unsigned char>(at_[i]) & 0xC0) == 0x80;
    if (!ok)
        return fail("invalid UTF-8 in a string");
    if (lead == 0xEF && second == 0xBF && (static_cast<unsigned char>(at_[2]) & 0xFE) == 0xBE)
        return fail("a YANG text cannot hold U+FFFE or U+FFFF");
    out.append(at_, static_cast<size_t>(extra + 1));
    at_ += extra + 1;
    return true;
}

bool
JsonReader::read_string(std::string &out)
{
    out.clear();
    if (!take('"'))
        return fail("a string was expected");
    while (true) {
        const char *run = at_;
        while (at_ < end_ && *at_ != '"' && *at_ != '\\' &&
               static_cast<unsigned char>(*at_) >= 0x20 && static_cast<unsigned char>(*at_) < 0x80)
            ++at_;
        out.append(run, static_cast<size_t>(at_ - run));
        if (at_ == end_)
            return fail("the text ends inside a string");
        char c = *at_;
        if (c == '"') {
            ++at_;
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20)
            return fail("a control character in a string (it must be escaped)");
        if (c == '\\') {
            ++at_;
            if (!read_escape(out))
                return false;
        } else if (!read_utf8(out)) {
            return false;
        }
    }
}

bool
JsonReader::read_number(std::string &out)
{
    skip_blanks();
    const char *start = at_;
    auto digits = [this]() {
        const char *first = at_;
        while (at_ < end_ && is_digit(*at_))
            ++at_;
        return at_ > first;
    };
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
    out.assign(start, static_cast<size_t>(at_ - start));
    return true;
}

bool
JsonReader::read_literal(std::string_view &out)
{
    skip_blanks();
    for (std::string_view word : {"true", "false", "null"}) {
        if (static_cast<size_t>(end_ - at_) >= word.size() &&
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

// Iterative, so that no nesting of the text deepens the call stack: the
// open containers are one bit each (1: object).
bool
JsonReader::skip_value()
{
    std::vector<bool> open;
    std::string scratch;
    std::string_view word;
    bool want_value = true;
    while (true) {
        Token token = peek();
        if (want_value) {
            bool ok = true;
            if (token == Token::object || token == Token::array) {
                ++at_;
                open.push_back(token == Token::object);
                Token next = peek();
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
                ok = read_number(scratch);
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
        bool in_object = open.back();
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

} // namespace doc
