// Exact matchers for the patterns of the built-in string rows, and the
// choice of the matcher for a pattern. The regex engine spends most of a
// string check finding out where a match could start; for these few fixed
// patterns, applied unanchored, the question "is there a match anywhere" has
// a short direct answer:
//
// - "word" and "dnsname" match wherever one letter, digit (or, for "word",
//   "_" or "-") occurs, since that one character is a match already;
// - "uuid" is found by trying each start, "macaddress-str" by one pass over
//   the runs of hex digits and the ":" between them;
// - "ipv4-str" and "ipv6-str" have their matchers in ip_patterns.cpp, "uri"
//   in uri_pattern.cpp.
//
// Every matcher reads each byte of the text a bounded number of times,
// whatever the text. Bracket ranges and "." mean bytes only in the C locale;
// elsewhere the verdict is left to regexec, as is every pattern not listed
// here.
#include "codec/builtin_patterns.h"
#include "codec/codec.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>

namespace
{

using Text = const unsigned char *;

bool
word_found(Text s)
{
    for (; *s != '\0'; ++s) {
        if (pattern_is_alnum(*s) || *s == '_' || *s == '-')
            return true;
    }
    return false;
}

bool
dnsname_found(Text s)
{
    for (; *s != '\0'; ++s) {
        if (pattern_is_alnum(*s))
            return true;
    }
    return false;
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
        if (!pattern_is_hex(*s)) {
            groups = 0;
            ++s;
            continue;
        }
        if (groups == 5)
            return true;
        size_t run = 1;
        while (pattern_is_hex(s[run]))
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
            if (!pattern_is_hex(*s))
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

using Matcher = bool (*)(Text);

// Built-in rows with the matcher of their pattern.
struct BuiltinMatcher {
    unsigned row;
    Matcher found;
};
constexpr BuiltinMatcher kMatchers[] = {
    {DS_BUILTIN_WORD, word_found},
    {DS_BUILTIN_IPV4_STR, pattern_ipv4_found},
    {DS_BUILTIN_DNSNAME, dnsname_found},
    {DS_BUILTIN_MACADDRESS_STR, mac_found},
    {DS_BUILTIN_IPV6_STR, pattern_ipv6_found},
    {DS_BUILTIN_URI, pattern_uri_found},
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
