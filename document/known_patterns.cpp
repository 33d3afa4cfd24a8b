// String patterns read off the text itself: the table of the known
// patterns' texts, and a reading of the text for each. Those patterns are
// anchored, so a direct reading gives regexec's verdict in the C locale;
// for IPv6 the reading only accepts the text that the library's formatter
// writes for the address (as canonical documents give it), which the
// pattern accepts.
#include "document/known_patterns.h"

#include "core/address_text.h"
#include "core/ietf_patterns.h"

#include <cstring>

namespace doc
{
const std::vector<KnownPatternText> &
known_patterns()
{
    static const std::vector<KnownPatternText> table = {
        {KnownPattern::any, ".*"},
        {KnownPattern::date_and_time,
         "^([[:digit:]]{4}-[[:digit:]]{2}-[[:digit:]]{2}T[[:digit:]]{2}:[[:digit:]]{2}:[[:digit:]]"
         "{2}(\\.[[:digit:]]+)?(Z|[+-][[:digit:]]{2}:[[:digit:]]{2}))$"},
        {KnownPattern::phys_address, "^(([0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2})*)?)$"},
        {KnownPattern::ipv4, "^" + core::ipv4_expression() + "$"},
        {KnownPattern::ipv4,
         "^((([0-9]|[1-9][0-9]|1[0-9][0-9]|2[0-4][0-9]|25[0-5])\\.){3}([0-9]|[1-9][0-9]|1[0-9][0-"
         "9]|2[0-4][0-9]|25[0-5]))$"},
        {KnownPattern::ipv6, "^" + core::ipv6_expression() + "$"},
        {KnownPattern::ipv6, "^" + core::ipv6_expression() + "(%[[:alnum:]]+)?$"},
    };
    return table;
}

namespace
{

bool
digit(char c)
{
    return c >= '0' && c <= '9';
}

bool
hex_digit(char c)
{
    return digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether text[at..] starts with n digits.
bool
digits(std::string_view text, size_t at, size_t n)
{
    if (text.size() < at + n)
        return false;
    for (size_t i = at; i < at + n; ++i)
        if (!digit(text[i]))
            return false;
    return true;
}

// YYYY-MM-DDTHH:MM:SS, a fraction of one digit or more, then Z or +HH:MM.
bool
date_and_time(std::string_view t)
{
    if (!digits(t, 0, 4) || !digits(t, 5, 2) || !digits(t, 8, 2) || !digits(t, 11, 2) ||
        !digits(t, 14, 2) || !digits(t, 17, 2) || t[4] != '-' || t[7] != '-' || t[10] != 'T' ||
        t[13] != ':' || t[16] != ':')
        return false;
    size_t at = 19;
    if (at < t.size() && t[at] == '.') {
        size_t first = ++at;
        while (at < t.size() && digit(t[at]))
            ++at;
        if (at == first)
            return false;
    }
    if (at + 1 == t.size())
        return t[at] == 'Z';
    return at + 6 == t.size() && (t[at] == '+' || t[at] == '-') && digits(t, at + 1, 2) &&
           t[at + 3] == ':' && digits(t, at + 4, 2);
}

// Nothing, or pairs of hex digits joined by ":".
bool
phys_address(std::string_view t)
{
    if (t.empty())
        return true;
    if (t.size() % 3 != 2)
        return false;
    for (size_t i = 0; i < t.size(); i += 3)
        if (!hex_digit(t[i]) || !hex_digit(t[i + 1]) || (i + 2 < t.size() && t[i + 2] != ':'))
            return false;
    return true;
}

} // namespace

KnownPattern
known_pattern(const char *pattern)
{
    for (const KnownPatternText &known : known_patterns())
        if (known.text == pattern)
            return known.kind;
    return KnownPattern::none;
}

bool
dotted_quad(std::string_view t, uint8_t out[4])
{
    uint8_t bytes[4];
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && (at == t.size() || t[at++] != '.'))
            return false;
        size_t first = at;
        unsigned value = 0;
        while (at < t.size() && digit(t[at]) && at - first < 3)
            value = value * 10 + unsigned(t[at++] - '0');
        size_t length = at - first;
        if (length == 0 || value > 255 || (length > 1 && t[first] == '0'))
            return false;
        bytes[i] = static_cast<uint8_t>(value);
    }
    if (at != t.size())
        return false;
    std::memcpy(out, bytes, sizeof bytes);
    return true;
}

bool
formatted_ipv6(std::string_view t, uint8_t out[16])
{
    char text[core::kAddressTextSize];
    if (t.size() >= sizeof text)
        return false;
    t.copy(text, t.size());
    text[t.size()] = '\0';
    uint8_t bytes[16];
    char printed[core::kAddressTextSize];
    if (inet_pton(AF_INET6, text, bytes) != 1 || core::format_ipv6(bytes, printed) != t.size() ||
        std::memcmp(printed, text, t.size()) != 0)
        return false;
    std::memcpy(out, bytes, sizeof bytes);
    return true;
}

bool
known_pattern_accepts(KnownPattern kind, std::string_view text)
{
    uint8_t bytes[16];
    switch (kind) {
    case KnownPattern::any:
        return true;
    case KnownPattern::date_and_time:
        return date_and_time(text);
    case KnownPattern::phys_address:
        return phys_address(text);
    case KnownPattern::ipv4:
        return dotted_quad(text, bytes);
    case KnownPattern::ipv6:
        return formatted_ipv6(text, bytes);
    default:
        return false;
    }
}

KnownPattern
PatternKinds::of(const DsType *string_type)
{
    const char *pattern = string_type->p.string.regex;
    if (pattern == nullptr)
        return KnownPattern::none;
    for (const Seen &seen : seen_)
        if (seen.pattern == pattern)
            return seen.kind;
    KnownPattern kind = known_pattern(pattern);
    seen_[next_] = {pattern, kind};
    next_ = (next_ + 1) % kSeen;
    return kind;
}

// Bracket ranges are byte ranges in the C locale only: elsewhere the
// library's pattern check decides, except for ".*".
bool
PatternKinds::accepts(const DsType *string_type, std::string_view text)
{
    KnownPattern kind = of(string_type);
    return kind != KnownPattern::none && (kind == KnownPattern::any || core::c_locale()) &&
           known_pattern_accepts(kind, text);
}

} // namespace doc
