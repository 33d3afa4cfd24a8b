// Address texts of the converted types, written and read once for every walk.
// Where the result is provably the same, without the general-purpose
// formatter and scanner: an IPv4 address as inet_ntop writes it
// ("%u.%u.%u.%u"), a MAC address as "%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x"
// writes it, and a MAC text in its plain form (six groups of one or two hex
// digits joined by ":") read as sscanf with six "%hhx" reads it. Every other
// MAC text goes to sscanf, which alone knows its rules for blanks, signs,
// "0x" prefixes and long digit runs. An IPv6 address is written as glibc's
// inet_ntop writes it: groups in lowercase hex without leading zeros, the
// first longest run of at least two zero groups as "::", and the last four
// bytes as a dotted quad when the first six groups are zero or the first five
// are and the sixth is ffff. Header only, so that the library's walks inline
// it.
#ifndef DSTYPES_CORE_ADDRESS_TEXT_H
#define DSTYPES_CORE_ADDRESS_TEXT_H

#include "core/hex.h"
#include "dstypes.h"

#include <arpa/inet.h>
#include <langinfo.h>
#include <locale.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace core
{

// Room for the longest address text, its NUL included: an IPv6 text with an
// embedded IPv4 address.
constexpr size_t kAddressTextSize = 46;

// True when the calling thread's character classes and collation are the C
// locale's, where bracket ranges are byte ranges and every byte is a character.
inline bool
c_locale()
{
    // glibc hands out its static C locale object here: nothing is allocated.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    if (c == nullptr)
        return false;
    return nl_langinfo(CODESET) == nl_langinfo_l(CODESET, c) &&
           nl_langinfo(_NL_COLLATE_CODESET) == nl_langinfo_l(_NL_COLLATE_CODESET, c);
}

namespace address_detail
{

constexpr char kHexDigits[] = "0123456789abcdef";

inline char *
append_decimal(char *out, unsigned value)
{
    if (value >= 100)
        *out++ = static_cast<char>('0' + value / 100);
    if (value >= 10)
        *out++ = static_cast<char>('0' + value / 10 % 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

// The plain form: exactly one or two hex digits per group, ":" between them,
// and after the last group nothing that sscanf would read on as part of it.
// In the C locale only, where sscanf's hex digits are these.
inline bool
plain_mac(const unsigned char *s, uint8_t out[6])
{
    for (int g = 0; g < 6; ++g) {
        int high = hex_value(s[0]);
        if (high < 0)
            return false;
        int low = hex_value(s[1]);
        out[g] = static_cast<uint8_t>(low < 0 ? high : high * 16 + low);
        s += low < 0 ? 1 : 2;
        if (g < 5 && *s++ != ':')
            return false;
    }
    return hex_value(*s) < 0 && *s != 'x' && *s != 'X';
}

// The first longest run of at least two zero groups, as [*start, *start +
// *length); *start is -1 when there is none.
inline void
longest_zero_run(const unsigned words[8], int *start, int *length)
{
    *start = -1;
    *length = 0;
    for (int i = 0; i < 8;) {
        if (words[i] != 0) {
            ++i;
            continue;
        }
        int first = i;
        while (i < 8 && words[i] == 0)
            ++i;
        if (i - first > *length) {
            *start = first;
            *length = i - first;
        }
    }
    if (*length < 2)
        *start = -1;
}

inline char *
append_group(char *p, unsigned word)
{
    bool digits = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        unsigned digit = word >> shift & 0xf;
        if (digit != 0 || digits || shift == 0) {
            *p++ = kHexDigits[digit];
            digits = true;
        }
    }
    return p;
}

} // namespace address_detail

// Each writer NUL-terminates out and returns the text's length.
inline size_t
format_ipv4(const uint8_t bytes[4], char *out)
{
    char *p = out;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            *p++ = '.';
        p = address_detail::append_decimal(p, bytes[i]);
    }
    *p = '\0';
    return static_cast<size_t>(p - out);
}

inline size_t
format_ipv6(const uint8_t bytes[16], char *out)
{
    unsigned words[8];
    for (int i = 0; i < 8; ++i)
        words[i] = static_cast<unsigned>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    int best = -1;
    int best_length = 0;
    address_detail::longest_zero_run(words, &best, &best_length);
    char *p = out;
    for (int i = 0; i < 8; ++i) {
        if (best >= 0 && i >= best && i < best + best_length) {
            if (i == best)
                *p++ = ':';
            continue;
        }
        if (i != 0)
            *p++ = ':';
        if (i == 6 && best == 0 && (best_length == 6 || (best_length == 5 && words[5] == 0xffff))) {
            p += format_ipv4(bytes + 12, p);
            break;
        }
        p = address_detail::append_group(p, words[i]);
    }
    if (best >= 0 && best + best_length == 8)
        *p++ = ':';
    *p = '\0';
    return static_cast<size_t>(p - out);
}

inline size_t
format_mac(const uint8_t bytes[6], char *out)
{
    char *p = out;
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            *p++ = ':';
        *p++ = address_detail::kHexDigits[bytes[i] >> 4];
        *p++ = address_detail::kHexDigits[bytes[i] & 0xf];
    }
    *p = '\0';
    return static_cast<size_t>(p - out);
}

// Reads what sscanf with six "%hhx" separated by ":" reads; true when all six
// were read. out is written only then.
inline bool
parse_mac(const char *text, uint8_t out[6])
{
    uint8_t mac[6];
    if (c_locale() &&
        address_detail::plain_mac(reinterpret_cast<const unsigned char *>(text), mac)) {
        std::memcpy(out, mac, sizeof mac);
        return true;
    }
    if (std::sscanf(text, "%hhx:%hhx:%hhx:%hhx:%hhx:%hhx", &mac[0], &mac[1], &mac[2], &mac[3],
                    &mac[4], &mac[5]) != 6)
        return false;
    std::memcpy(out, mac, sizeof mac);
    return true;
}

// The text of a packed address of converter 1, 2 or 3 into out (room for
// kAddressTextSize bytes); its length, 0 for any other converter.
inline size_t
address_text(uint64_t converter, const uint8_t *bytes, char *out)
{
    switch (converter) {
    case DS_CONVERT_IPV4:
        return format_ipv4(bytes, out);
    case DS_CONVERT_MAC:
        return format_mac(bytes, out);
    case DS_CONVERT_IPV6:
        return format_ipv6(bytes, out);
    default:
        return 0;
    }
}

// Reads an address text of converter 1, 2 or 3 into its packed bytes (4, 16
// or 6 of them), as inet_pton reads IPv4 and IPv6 texts and sscanf a MAC
// text; false when the text is no such address or the converter none of
// these.
inline bool
read_address(uint64_t converter, const char *text, uint8_t *out)
{
    switch (converter) {
    case DS_CONVERT_IPV4:
        return inet_pton(AF_INET, text, out) == 1;
    case DS_CONVERT_IPV6:
        return inet_pton(AF_INET6, text, out) == 1;
    case DS_CONVERT_MAC:
        return parse_mac(text, out);
    default:
        return false;
    }
}

} // namespace core

#endif
