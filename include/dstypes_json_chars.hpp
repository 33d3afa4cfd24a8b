/**
 * @file dstypes_json_chars.hpp
 * @brief The characters of JSON strings, for the pull reader
 *        (dstypes_json_pull.hpp): runs of plain string bytes and of blanks,
 *        hex digits and \u escapes, UTF-8 sequences as RFC 3629 allows
 *        them, the UTF-8 form of a code point, and the sinks of a string
 *        that is checked but not kept.
 */
#ifndef DSTYPES_JSON_CHARS_HPP
#define DSTYPES_JSON_CHARS_HPP

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ds::detail
{

/** Whether a string may hold byte c as it stands: ASCII, not '"', '\\' or a control character. */
constexpr bool
is_plain_string_byte(unsigned char c) noexcept
{
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

/**
 * The end of the run of plain string bytes (is_plain_string_byte()) that
 * starts at at: the first byte before end that is not one, or end. Eight
 * bytes a step where a word holds them; never reads at or past end.
 */
inline const char *
plain_string_run(const char *at, const char *end) noexcept
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101;
        constexpr std::uint64_t kHighs = 0x8080808080808080;
        for (; end - at >= 8; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, at, sizeof word);
            // A byte's high bit is set in a test's result when that byte is
            // what it looks for, or (by a borrow) when an earlier byte was
            // something any test looks for: the lowest one set is exact.
            const std::uint64_t quote = word ^ (kOnes * '"');
            const std::uint64_t backslash = word ^ (kOnes * '\\');
            const std::uint64_t found =
                (((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) |
                 (word - kOnes * 0x20) | word) &
                kHighs;
            if (found != 0)
                return at + std::countr_zero(found) / 8;
        }
    }
    while (at < end && is_plain_string_byte(static_cast<unsigned char>(*at)))
        ++at;
    return at;
}

/**
 * The end of the run of JSON blanks (space, tab, line feed, carriage return)
 * that starts at at: the first byte before end that is not one, or end.
 * Spaces go eight a step, for indented texts; never reads at or past end.
 */
inline const char *
blank_run(const char *at, const char *end) noexcept
{
    constexpr std::uint64_t kSpaces = 0x2020202020202020;
    while (at < end) {
        if constexpr (std::endian::native == std::endian::little) {
            if (end - at >= 8) {
                std::uint64_t word;
                std::memcpy(&word, at, sizeof word);
                // The lowest byte that differs from a space ends the spaces.
                const std::uint64_t other = word ^ kSpaces;
                if (other == 0) {
                    at += 8;
                    continue;
                }
                at += std::countr_zero(other) / 8;
            }
        }
        const char c = *at;
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return at;
        ++at;
    }
    return at;
}

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
