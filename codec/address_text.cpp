// Address texts of the converted types, written and read without the
// general-purpose formatter and scanner where the result is provably the
// same: an IPv4 address as inet_ntop writes it ("%u.%u.%u.%u"), a MAC
// address as "%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x" writes it, and a MAC
// text in its plain form (six groups of one or two hex digits joined by ":")
// read as sscanf with six "%hhx" reads it. Every other MAC text goes to
// sscanf, which alone knows its rules for blanks, signs, "0x" prefixes and
// long digit runs. An IPv6 address is written as glibc's inet_ntop writes it:
// groups in lowercase hex without leading zeros, the first longest run of at
// least two zero groups as "::", and the last four bytes as a dotted quad
// when the first six groups are zero or the first five are and the sixth is
// ffff.
#include "codec/codec.h"
#include "core/hex.h"

#include <cstdio>
#include <cstring>

namespace
{

constexpr char kHexDigits[] = "0123456789abcdef";

using core::hex_value;

char *
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
bool
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

} // namespace

size_t
codec_format_ipv4(const uint8_t bytes[4], char *out)
{
    char *p = out;
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            *p++ = '.';
        p = append_decimal(p, bytes[i]);
    }
    *p = '\0';
    return static_cast<size_t>(p - out);
}

size_t
codec_format_ipv6(const uint8_t bytes[16], char *out)
{
    unsigned words[8];
    for (int i = 0; i < 8; ++i)
        words[i] = static_cast<unsigned>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    int best = -1;
    int best_length = 0;
    for (int i = 0; i < 8;) {
        if (words[i] != 0) {
            ++i;
            continue;
        }
        int start = i;
        while (i < 8 && words[i] == 0)
            ++i;
        if (i - start > best_length) {
            best = start;
            best_length = i - start;
        }
    }
    if (best_length < 2)
        best = -1;
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
            p += codec_format_ipv4(bytes + 12, p);
            break;
        }
        bool digits = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            unsigned digit = words[i] >> shift & 0xf;
            if (digit != 0 || digits || shift == 0) {
                *p++ = kHexDigits[digit];
                digits = true;
            }
        }
    }
    if (best >= 0 && best + best_length == 8)
        *p++ = ':';
    *p = '\0';
    return static_cast<size_t>(p - out);
}

size_t
codec_format_mac(const uint8_t bytes[6], char *out)
{
    char *p = out;
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            *p++ = ':';
        *p++ = kHexDigits[bytes[i] >> 4];
        *p++ = kHexDigits[bytes[i] & 0xf];
    }
    *p = '\0';
    return static_cast<size_t>(p - out);
}

bool
codec_parse_mac(const char *text, uint8_t out[6])
{
    uint8_t mac[6];
    if (codec_c_locale() && plain_mac(reinterpret_cast<const unsigned char *>(text), mac)) {
        std::memcpy(out, mac, sizeof mac);
        return true;
    }
    if (std::sscanf(text, "%hhx:%hhx:%hhx:%hhx:%hhx:%hhx", &mac[0], &mac[1], &mac[2], &mac[3],
                    &mac[4], &mac[5]) != 6)
        return false;
    std::memcpy(out, mac, sizeof mac);
    return true;
}

size_t
codec_address_text(uint64_t converter, const uint8_t *bytes, char *out)
{
    switch (converter) {
    case DS_CONVERT_IPV4:
        return codec_format_ipv4(bytes, out);
    case DS_CONVERT_MAC:
        return codec_format_mac(bytes, out);
    case DS_CONVERT_IPV6:
        return codec_format_ipv6(bytes, out);
    default:
        return 0;
    }
}
