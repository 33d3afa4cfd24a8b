/**
 * @file dstypes_json_chars.hpp
 * @brief The characters of JSON strings, for the pull reader
 *        (dstypes_json_pull.hpp): hex digits and \u escapes, UTF-8
 *        sequences as RFC 3629 allows them, the UTF-8 form of a code point,
 *        and the sinks of a string that is checked but not kept.
 */
#ifndef DSTYPES_JSON_CHARS_HPP
#define DSTYPES_JSON_CHARS_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ds::detail
{

/**
 * The value of one hex digit, 0 to 15, or -1 for a byte that is none; told by
 * its ranges (std::from_chars on a single character is read by gcc 12 at -O2
 * as an out-of-bounds access).
 */
inline int
hex_value(unsigned char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/**
 * The value of the four hex digits of a \u escape at at, before end, into
 * code; false when there are fewer or one is not a digit. at moves past each
 * digit read, the failing one included.
 */
inline bool
read_hex4(const char *&at, const char *end, std::uint32_t &code) noexcept
{
    if (end - at < 4)
        return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hex_value(static_cast<unsigned char>(*at++));
        if (digit < 0)
            return false;
        code = code * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

/**
 * The length, 2 to 4, of the UTF-8 sequence that starts at at and ends by
 * end, as RFC 3629 allows it (no overlong forms, no surrogates, nothing above
 * U+10FFFF); 0 when there is none.
 */
inline int
utf8_sequence(const char *at, const char *end) noexcept
{
    const auto lead = static_cast<unsigned char>(*at);
    const int extra = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (lead >= 0xF5 || extra < 0 || end - at <= extra)
        return 0;
    const auto second = static_cast<unsigned char>(at[1]);
    bool ok = (second & 0xC0) == 0x80 && !(lead == 0xE0 && second < 0xA0) &&
              !(lead == 0xED && second > 0x9F) && !(lead == 0xF0 && second < 0x90) &&
              !(lead == 0xF4 && second > 0x8F);
    for (int i = 2; ok && i <= extra; ++i)
        ok = (static_cast<unsigned char>(at[i]) & 0xC0) == 0x80;
    return ok ? extra + 1 : 0;
}

/** Appends the UTF-8 form of a code point below U+110000 (push_back() of each byte). */
template <class Out>
inline void
append_utf8(Out &out, std::uint32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
        return;
    }
    const int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3; // continuation bytes
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(kLead[extra] | (code >> (6 * extra))));
    for (int shift = 6 * (extra - 1); shift >= 0; shift -= 6)
        out.push_back(static_cast<char>(0x80 | ((code >> shift) & 0x3F)));
}

/** A sink for JsonPull::read_string() that keeps nothing: the string is only checked. */
struct Skipped {
    void
    clear() noexcept
    {
    }
    void
    append(const char *, std::size_t) noexcept
    {
    }
    void
    push_back(char) noexcept
    {
    }
};

/** A sink for JsonPull::read_string() that tells whether the string is text, byte for byte. */
class SameText
{
  public:
    explicit SameText(std::string_view text) noexcept : text_(text) {}

    void
    clear() noexcept
    {
        at_ = 0;
        same_ = true;
    }
    void
    append(const char *s, std::size_t n) noexcept
    {
        same_ = same_ && text_.size() - at_ >= n && std::memcmp(text_.data() + at_, s, n) == 0;
        at_ += n;
    }
    void
    push_back(char c) noexcept
    {
        append(&c, 1);
    }
    bool
    same() const noexcept
    {
        return same_ && at_ == text_.size();
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
    bool same_ = true;
};

} // namespace ds::detail

#endif /* DSTYPES_JSON_CHARS_HPP */
