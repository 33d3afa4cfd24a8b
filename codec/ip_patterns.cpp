// Exact matchers of the IP address rows' patterns, "ipv4-str" and
// "ipv6-str", and of the IPv6 core that "uri" holds between brackets: a
// dotted quad is tried from each start, and an IPv6 text matches exactly
// where it holds "::", eight colon groups or six groups and a dotted quad,
// since every other form of the pattern contains "::". Each try reads a
// window of fixed size (a hex group is told from a longer run one digit past
// its limit), so each byte is read a bounded number of times.
#include "codec/builtin_patterns.h"

#include <cstring>

namespace
{

using Text = const unsigned char *;

// The length of the run of hex digits at s, counted up to limit + 1 only:
// enough to tell a group of at most limit digits from a longer run, without
// reading the rest of a long run again from every start inside it.
size_t
hex_run(Text s, size_t limit)
{
    size_t n = 0;
    while (n <= limit && pattern_is_hex(s[n]))
        ++n;
    return n;
}

// Lengths (bit 1, 2, 4 for 1, 2, 3 characters) at which the octet
// "25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9]" matches at s.
unsigned
octet_lengths(Text s)
{
    if (!pattern_is_digit(s[0]))
        return 0;
    unsigned lengths = 1;
    if (!pattern_is_digit(s[1]))
        return lengths;
    if (s[0] != '0')
        lengths |= 2;
    if (pattern_is_digit(s[2]) &&
        (s[0] == '1' || (s[0] == '2' && (s[1] < '5' || (s[1] == '5' && s[2] <= '5')))))
        lengths |= 4;
    return lengths;
}

// A dotted quad starting at s, whatever follows it.
bool
quad_at(Text s, int octets)
{
    unsigned lengths = octet_lengths(s);
    for (int len = 1; len <= 3; ++len) {
        if ((lengths & (1u << (len - 1))) == 0)
            continue;
        if (octets == 1 || (s[len] == '.' && quad_at(s + len + 1, octets - 1)))
            return true;
    }
    return false;
}

// A dotted quad that is exactly s[0 .. n).
bool
quad_is(Text s, size_t n)
{
    size_t start = 0;
    for (int octet = 0; octet < 4; ++octet) {
        size_t end = start;
        while (end < n && s[end] != '.')
            ++end;
        size_t len = end - start;
        if (len == 0 || len > 3 || (octet_lengths(s + start) & (1u << (len - 1))) == 0)
            return false;
        if (octet < 3 && end == n)
            return false;
        start = end + 1;
    }
    return start == n + 1;
}

// groups times "hex{1,max}" followed by sep, starting at s: the end, or null.
// A group must reach the separator, so its length is that of the hex run.
Text
hex_groups(Text s, int groups, size_t max, unsigned char sep)
{
    for (int g = 0; g < groups; ++g) {
        size_t run = hex_run(s, max);
        if (run == 0 || run > max || s[run] != sep)
            return nullptr;
        s += run + 1;
    }
    return s;
}

// Hex groups of 1 to 4 digits joined by ":" that are exactly s[0 .. n), the
// last of which may instead be a dotted quad when quad_allowed; their number
// goes to *groups and whether a quad ends them to *quad. The empty text is
// zero groups.
bool
group_list(Text s, size_t n, bool quad_allowed, int *groups, bool *quad)
{
    *groups = 0;
    *quad = false;
    if (n == 0)
        return true;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < n && s[end] != ':')
            ++end;
        size_t len = end - start;
        bool hex = len >= 1 && len <= 4 && hex_run(s + start, len) >= len;
        if (!hex) {
            if (!quad_allowed || end != n || !quad_is(s + start, len))
                return false;
            *quad = true;
            return true;
        }
        ++*groups;
        if (end == n)
            return true;
        start = end + 1;
        if (start == n)
            return false; // a trailing ":"
    }
}

} // namespace

bool
pattern_ipv4_found(Text s)
{
    for (; *s != '\0'; ++s) {
        if (quad_at(s, 4))
            return true;
    }
    return false;
}

bool
pattern_ipv6_found(Text s)
{
    if (std::strstr(reinterpret_cast<const char *>(s), "::") != nullptr)
        return true;
    for (; *s != '\0'; ++s) {
        Text seven = hex_groups(s, 7, 4, ':');
        if (seven != nullptr && pattern_is_hex(*seven))
            return true;
        Text six = hex_groups(s, 6, 4, ':');
        if (six != nullptr && quad_at(six, 4))
            return true;
    }
    return false;
}

// The IPv6 core of the pattern (without its zone) matching exactly s[0 .. n):
// eight groups, six groups and a quad, or one "::" with at most seven groups
// around it, at most five when a quad ends them, and no quad right of the
// "::" when six groups stand left of it.
bool
pattern_ipv6_is(Text s, size_t n)
{
    const char *text = reinterpret_cast<const char *>(s);
    const char *gap = static_cast<const char *>(memmem(text, n, "::", 2));
    int left = 0;
    int right = 0;
    bool quad = false;
    if (gap == nullptr) {
        if (!group_list(s, n, true, &left, &quad))
            return false;
        return quad ? left == 6 : left == 8;
    }
    size_t at = static_cast<size_t>(gap - text);
    bool no_quad = false;
    if (!group_list(s, at, false, &left, &no_quad) ||
        !group_list(s + at + 2, n - at - 2, true, &right, &quad))
        return false;
    // A ":" right after the "::" leaves an empty group, which group_list
    // refuses; so does a second "::".
    return quad ? left + right <= 5 : left + right <= 7;
}
