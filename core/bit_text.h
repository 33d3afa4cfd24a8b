// A bitmap's JSON text, both ways: bit numbers and runs "N-M" separated by
// ",", lowest first, e.g. "0,3-5". The packed bytes hold bit i in bit i % 8
// of byte i / 8; bits past the bit count (the filler of the last byte) are
// never written into the text and never set from it. Header only, so that
// the library's walks inline it.
#ifndef DSTYPES_CORE_BIT_TEXT_H
#define DSTYPES_CORE_BIT_TEXT_H

#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace core
{

// The bit range text of a bitmap is written into a buffer sized for the
// longest text its bit count allows (see bit_text_capacity). Up to this many
// bytes it lives on the stack, which covers every bitmap of up to 4914 bits;
// longer texts (a 65535-byte bitmap may need 2.4 MB) are built in a malloc'ed
// buffer that is freed before the walk returns, since no stack can be
// assumed to hold them.
constexpr size_t kStackBitText = 16384;

// Decimal digits of the largest bit number below bit_count.
inline unsigned
bit_number_digits(uint64_t bit_count)
{
    unsigned digits = 1;
    for (uint64_t n = bit_count > 0 ? bit_count - 1 : 0; n >= 10; n /= 10)
        ++digits;
    return digits;
}

// Bytes needed for the longest bit range text of bit_count bits, its leading
// comma and NUL included. Every other bit set gives the most runs, but runs of
// two bits give the most characters: ",a-b" costs 2d + 2 characters for three
// bits (two set, one clear between runs), more per bit than ",a" for two. At
// most floor(2 (n + 1) / 3) numbers of at most d digits are written, each with
// one separator before it.
inline uint64_t
bit_text_capacity(uint64_t bit_count)
{
    uint64_t numbers = 2 * (bit_count + 1) / 3;
    return numbers * (bit_number_digits(bit_count) + 1) + 1;
}

// Appends one run of set bits, first to end - 1, as ",first" or
// ",first-last", clipped to the bit count: a run in the filler bits past it
// appends nothing. Returns the new end of the text. out has room for the run:
// bit_text_capacity counts every run at its longest.
inline char *
append_bit_range(char *out, uint64_t first, uint64_t end, uint64_t bit_count)
{
    if (end > bit_count) {
        if (first >= bit_count)
            return out;
        end = bit_count;
    }
    int n = first == end - 1 ? std::sprintf(out, ",%" PRIu64, first)
                             : std::sprintf(out, ",%" PRIu64 "-%" PRIu64, first, end - 1);
    return out + n;
}

// Writes the bit range text of the bytes into text (bit_text_capacity bytes)
// and returns its start past the leading comma. Bytes 0x00 and 0xFF are taken
// whole; a run may cross any number of byte boundaries.
inline const char *
write_bit_ranges(char *text, const uint8_t *bytes, uint64_t nbytes, uint64_t bit_count)
{
    char *out = text;
    bool open = false;
    uint64_t first = 0;
    for (uint64_t b = 0; b < nbytes; ++b) {
        uint64_t base = 8 * b;
        if (bytes[b] == 0x00) {
            if (open)
                out = append_bit_range(out, first, base, bit_count);
            open = false;
            continue;
        }
        if (bytes[b] == 0xff) {
            if (!open)
                first = base;
            open = true;
            continue;
        }
        for (unsigned bit = 0; bit < 8; ++bit) {
            bool set = (bytes[b] >> bit & 1) != 0;
            if (set && !open)
                first = base + bit;
            else if (!set && open)
                out = append_bit_range(out, first, base + bit, bit_count);
            open = set;
        }
    }
    if (open)
        out = append_bit_range(out, first, 8 * nbytes, bit_count);
    *out = '\0';
    return out == text ? text : text + 1;
}

// Sets bits a through b (inclusive): the bytes the run covers whole at once,
// the bits at either end one by one.
inline void
set_bits(uint8_t *bytes, uint64_t a, uint64_t b)
{
    uint64_t i = a;
    for (; i <= b && i % 8 != 0; ++i)
        bytes[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    if (i + 7 <= b) {
        uint64_t whole = (b + 1 - i) / 8;
        std::memset(bytes + i / 8, 0xff, whole);
        i += 8 * whole;
    }
    for (; i <= b; ++i)
        bytes[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
}

// Where and why a bit text does not read.
struct BitTextError {
    enum class What { none, no_number, outside, downward, unexpected };
    What what = What::none;
    size_t offset = 0; // of the missing number or the unexpected byte
    long first = 0;    // the bit outside, or the run's first bit
    long last = 0;     // the run's last bit
};

// Reads one bit number with strtol's rules (leading blanks and "+" pass).
inline bool
read_bit_number(const char *text, const char *s, uint64_t bit_count, long *out, const char **stop,
                BitTextError *error)
{
    char *end = nullptr;
    long n = std::strtol(s, &end, 10);
    *out = n;
    if (end == s || n < 0 || static_cast<uint64_t>(n) >= bit_count) {
        if (error != nullptr) {
            error->what = end == s ? BitTextError::What::no_number : BitTextError::What::outside;
            error->offset = static_cast<size_t>(s - text);
            error->first = n;
        }
        return false;
    }
    *stop = end;
    return true;
}

// Reads a list of bit numbers and ranges N-M separated by ",", setting their
// bits in bytes, or only checking the text when bytes is null. On a refusal
// *error (when given) says where and why.
inline bool
read_bit_list(const char *text, uint64_t bit_count, uint8_t *bytes, BitTextError *error = nullptr)
{
    const char *s = text;
    while (*s != '\0') {
        long a = 0;
        if (!read_bit_number(text, s, bit_count, &a, &s, error))
            return false;
        long b = a;
        if (*s == '-') {
            if (!read_bit_number(text, s + 1, bit_count, &b, &s, error))
                return false;
            if (a >= b) {
                if (error != nullptr)
                    *error = {BitTextError::What::downward, static_cast<size_t>(s - text), a, b};
                return false;
            }
        }
        if (*s == ',') {
            ++s;
        } else if (*s != '\0') {
            if (error != nullptr)
                *error = {BitTextError::What::unexpected, static_cast<size_t>(s - text), a, b};
            return false;
        }
        if (bytes != nullptr)
            set_bits(bytes, static_cast<uint64_t>(a), static_cast<uint64_t>(b));
    }
    return true;
}

} // namespace core

#endif
