// The exact matchers of the built-in string rows' patterns, shared by their
// three files: builtin_patterns.cpp picks the matcher of a pattern and holds
// the simple ones, ip_patterns.cpp those of the IP address texts,
// uri_pattern.cpp that of "uri". They read texts as bytes, which is what the
// patterns mean in the C locale only; elsewhere regexec decides.
#ifndef DSTYPES_CODEC_BUILTIN_PATTERNS_H
#define DSTYPES_CODEC_BUILTIN_PATTERNS_H

#include <array>
#include <cstddef>

constexpr bool
pattern_is_digit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// A table rather than three range tests: the MAC matcher asks for every
// byte of texts of any length.
inline constexpr std::array<bool, 256> kPatternHexDigit = [] {
    std::array<bool, 256> table{};
    for (unsigned c = 0; c < 256; ++c)
        table[c] = pattern_is_digit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f') ||
                   (c >= 'A' && c <= 'F');
    return table;
}();

inline bool
pattern_is_hex(unsigned char c)
{
    return kPatternHexDigit[c];
}

constexpr bool
pattern_is_alnum(unsigned char c)
{
    return pattern_is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether "ipv4-str", "ipv6-str" and "uri" match anywhere in the text.
bool pattern_ipv4_found(const unsigned char *s);
bool pattern_ipv6_found(const unsigned char *s);
bool pattern_uri_found(const unsigned char *s);
// The IPv6 core of "ipv6-str" (without its zone) matching exactly s[0 .. n).
bool pattern_ipv6_is(const unsigned char *s, size_t n);

#endif
