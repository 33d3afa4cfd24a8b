// Exact matchers for the patterns of the built-in string rows. The regex
// engine spends most of a string check finding out where a match could start;
// for these few fixed patterns, applied unanchored, the question "is there a
// match anywhere" has a short direct answer:
//
// - "word" and "dnsname" match wherever one letter, digit (or, for "word",
//   "_" or "-") occurs, since that one character is a match already;
// - "ipv4-str" and "uuid" are found by trying each start, "macaddress-str"
//   by one pass over the runs of hex digits and the ":" between them;
// - "ipv6-str" matches exactly where the text holds "::", eight colon groups
//   or six groups and a dotted quad: every other form of the pattern
//   contains "::";
// - "uri" matches at a scheme and "://" followed by a host (after optional
//   user information), or at a device name, ":" and one allowed character:
//   the port, path, query and fragment that may follow are all optional.
//
// Every matcher reads each byte of the text a bounded number of times,
// whatever the text: a try from one start reads a window of fixed size (a hex
// group is told from a longer run one digit past its limit), and what a try
// would look for up to the end of the text (the "]" after a URI host's zone)
// is found once for the whole text.
//
// Bracket ranges and "." mean bytes only in the C locale; elsewhere the
// verdict is left to regexec, as is every pattern not listed here.
#include "codec/codec.h"

#include <array>
#include <clocale>
#include <cstring>
#include <langinfo.h>

namespace
{

using Text = const unsigned char *;

constexpr bool
is_digit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// A table rather than three range tests: the MAC matcher asks for every
// byte of texts of any length.
constexpr auto kHexDigit = [] {
    std::array<bool, 256> table{};
    for (unsigned c = 0; c < 256; ++c)
        table[c] = is_digit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f') ||
                   (c >= 'A' && c <= 'F');
    return table;
}();

bool
is_hex(unsigned char c)
{
    return kHexDigit[c];
}

bool
is_alnum(unsigned char c)
{
    return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The length of the run of hex digits at s, counted up to limit + 1 only:
// enough to tell a group of at most limit digits from a longer run, without
// reading the rest of a long run again from every start inside it.
size_t
hex_run(Text s, size_t limit)
{
    size_t n = 0;
    while (n <= limit && is_hex(s[n]))
        ++n;
    return n;
}

// Lengths (bit 1, 2, 4 for 1, 2, 3 characters) at which the octet
// "25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9]" matches at s.
unsigned
octet_lengths(Text s)
{
    if (!is_digit(s[0]))
        return 0;
    unsigned lengths = 1;
    if (!is_digit(s[1]))
        return lengths;
    if (s[0] != '0')
        lengths |= 2;
    if (is_digit(s[2]) &&
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

bool
word_found(Text s)
{
    for (; *s != '\0'; ++s) {
        if (is_alnum(*s) || *s == '_' || *s == '-')
            return true;
    }
    return false;
}

bool
dnsname_found(Text s)
{
    for (; *s != '\0'; ++s) {
        if (is_alnum(*s))
            return true;
    }
    return false;
}

bool
ipv4_found(Text s)
{
    for (; *s != '\0'; ++s) {
        if (quad_at(s, 4))
            return true;
    }
    return false;
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

// One pass over the runs of hex digits: a run followed by ":" is a group
// (the first of a chain may be the tail of a longer run, since the match may
// start inside it; a later one must be one or two digits), and any digit
// after five chained groups completes the match. MAC texts are checked at
// any length (the converted "macaddress" has no length limit), so each
// byte is read once.
bool
mac_found(Text s)
{
    int groups = 0; // chained groups ending right before s
    while (*s != '\0') {
        if (!is_hex(*s)) {
            groups = 0;
            ++s;
            continue;
        }
        if (groups == 5)
            return true;
        size_t run = 1;
        while (is_hex(s[run]))
            ++run;
        if (s[run] != ':') {
            groups = 0;
            s += run;
            continue;
        }
        groups = groups > 0 && run <= 2 ? groups + 1 : 1;
        s += run + 1;
    }
    return false;
}

bool
uuid_at(Text s)
{
    static constexpr size_t kGroups[] = {8, 4, 4, 4, 12};
    for (size_t g = 0; g < 5; ++g) {
        for (size_t i = 0; i < kGroups[g]; ++i, ++s) {
            if (!is_hex(*s))
                return false;
        }
        if (g < 4 && *s++ != '-')
            return false;
    }
    return true;
}

bool
uuid_found(Text s)
{
    for (; *s != '\0'; ++s) {
        if (uuid_at(s))
            return true;
    }
    return false;
}

bool
ipv6_found(Text s)
{
    if (std::strstr(reinterpret_cast<const char *>(s), "::") != nullptr)
        return true;
    for (; *s != '\0'; ++s) {
        Text seven = hex_groups(s, 7, 4, ':');
        if (seven != nullptr && is_hex(*seven))
            return true;
        Text six = hex_groups(s, 6, 4, ':');
        if (six != nullptr && quad_at(six, 4))
            return true;
    }
    return false;
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

// The IPv6 core of the pattern (without its zone) matching exactly s[0 .. n):
// eight groups, six groups and a quad, or one "::" with at most seven groups
// around it, at most five when a quad ends them, and no quad right of the
// "::" when six groups stand left of it.
bool
ipv6_is(Text s, size_t n)
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

bool
is_unreserved_or_sub_delim(unsigned char c)
{
    return is_alnum(c) || std::strchr("-._~!$&'()*+,;=", c) != nullptr;
}

// Length of one host or user information item at s ("%" and two hex digits,
// or one allowed character), 0 when there is none.
size_t
uri_item(Text s, bool colon_allowed)
{
    if (*s == '\0')
        return 0;
    if (*s == '%')
        return is_hex(s[1]) && is_hex(s[2]) ? 3 : 0;
    return is_unreserved_or_sub_delim(*s) || (colon_allowed && *s == ':') ? 1 : 0;
}

// "[" already passed: the IPv6 core, then "]" or a zone of at least one
// character followed somewhere by "]". The core's characters exclude "]" and
// "%", so it spans the whole run of them. last_close is the text's last "]"
// (null when it has none), found once for the whole text: looking for one
// from every "[" would read the rest of the text again each time.
bool
bracketed_ipv6_at(Text s, Text last_close)
{
    size_t n = 0;
    while (is_hex(s[n]) || s[n] == ':' || s[n] == '.')
        ++n;
    if (!ipv6_is(s, n))
        return false;
    if (s[n] == ']')
        return true;
    return s[n] == '%' && s[n + 1] != '\0' && last_close != nullptr && last_close >= s + n + 2;
}

bool
host_at(Text s, Text last_close)
{
    return uri_item(s, false) > 0 || (*s == '[' && bracketed_ipv6_at(s + 1, last_close));
}

// Right after "scheme://": a host, or user information, "@" and a host.
// Neither reads past the next "/", so the tries from successive "://" read
// apart from each other.
bool
authority_at(Text s, Text last_close)
{
    if (host_at(s, last_close))
        return true;
    Text p = s;
    for (size_t n; (n = uri_item(p, true)) > 0;)
        p += n;
    return p != s && *p == '@' && host_at(p + 1, last_close);
}

bool
ends_with(Text start, Text end, const char *suffix)
{
    size_t n = std::strlen(suffix);
    return static_cast<size_t>(end - start) >= n && std::memcmp(end - n, suffix, n) == 0;
}

bool
url_found(Text s)
{
    static constexpr const char *kSchemes[] = {"scp", "http", "https", "ftp", "ftps", "tftp"};
    const char *text = reinterpret_cast<const char *>(s);
    Text last_close = reinterpret_cast<Text>(std::strrchr(text, ']'));
    for (const char *at = std::strstr(text, "://"); at != nullptr;
         at = std::strstr(at + 1, "://")) {
        Text sep = reinterpret_cast<Text>(at);
        bool scheme = false;
        for (const char *name : kSchemes)
            scheme = scheme || ends_with(s, sep, name);
        if (scheme && authority_at(sep + 3, last_close))
            return true;
    }
    return false;
}

// One character of a device path: none of the control characters 0x01 to
// 0x1F and none of " < > \ | : * ?.
bool
device_path_char(unsigned char c)
{
    return c > 0x1f && std::strchr("\"<>\\|:*?", c) == nullptr;
}

bool
device_path_found(Text s)
{
    static constexpr const char *kDevices[] = {"bootflash:", "usb1:", "usb2:", "slot1:", "slot2:"};
    const char *text = reinterpret_cast<const char *>(s);
    for (const char *device : kDevices) {
        size_t n = std::strlen(device);
        for (const char *at = std::strstr(text, device); at != nullptr;
             at = std::strstr(at + 1, device)) {
            if (device_path_char(static_cast<unsigned char>(at[n])))
                return true;
        }
    }
    return false;
}

bool
uri_found(Text s)
{
    return url_found(s) || device_path_found(s);
}

using Matcher = bool (*)(Text);

// Built-in rows with the matcher of their pattern.
struct BuiltinMatcher {
    unsigned row;
    Matcher found;
};
constexpr BuiltinMatcher kMatchers[] = {
    {DS_BUILTIN_WORD, word_found},       {DS_BUILTIN_IPV4_STR, ipv4_found},
    {DS_BUILTIN_DNSNAME, dnsname_found}, {DS_BUILTIN_MACADDRESS_STR, mac_found},
    {DS_BUILTIN_IPV6_STR, ipv6_found},   {DS_BUILTIN_URI, uri_found},
    {DS_BUILTIN_UUID, uuid_found},
};

// The exact matcher of a pattern in the calling thread's locale, or null.
Matcher
exact_matcher(const char *pattern)
{
    for (const BuiltinMatcher &m : kMatchers) {
        if (ds_global_types[m.row].p.string.regex == pattern)
            return core::c_locale() ? m.found : nullptr;
    }
    return nullptr;
}

} // namespace

bool
builtin_pattern_verdict(const char *pattern, const char *text, bool *accepted)
{
    Matcher found = exact_matcher(pattern);
    if (found == nullptr)
        return false;
    *accepted = found(reinterpret_cast<Text>(text));
    return true;
}

bool
builtin_pattern_applies(const char *pattern)
{
    return exact_matcher(pattern) != nullptr;
}
