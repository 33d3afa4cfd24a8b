// The exact matcher of the "uri" row's pattern: it matches at a scheme and
// "://" followed by a host (after optional user information), or at a device
// name, ":" and one allowed character; the port, path, query and fragment
// that may follow are all optional. What a try would look for up to the end
// of the text (the "]" after a host's zone) is found once for the whole text,
// so each byte is read a bounded number of times.
#include "codec/builtin_patterns.h"

#include <cstring>

namespace
{

using Text = const unsigned char *;

bool
is_unreserved_or_sub_delim(unsigned char c)
{
    return pattern_is_alnum(c) || std::strchr("-._~!$&'()*+,;=", c) != nullptr;
}

// Length of one host or user information item at s ("%" and two hex digits,
// or one allowed character), 0 when there is none.
size_t
uri_item(Text s, bool colon_allowed)
{
    if (*s == '\0')
        return 0;
    if (*s == '%')
        return pattern_is_hex(s[1]) && pattern_is_hex(s[2]) ? 3 : 0;
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
    while (pattern_is_hex(s[n]) || s[n] == ':' || s[n] == '.')
        ++n;
    if (!pattern_ipv6_is(s, n))
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

} // namespace

bool
pattern_uri_found(Text s)
{
    return url_found(s) || device_path_found(s);
}
