// List keys packed straight from their key path components: a component of
// the common shapes (a string without escapes, a plain integer, an address)
// is packed with the checks of ds_jo_to_c, in the same order, without the
// json-c object that the general path (join_levels.cpp) parses it into.
// Whether a component is packed here follows from its shape and its type
// alone, before any check, so that a refusal is the one that the general
// path gives and a broken pattern is reported as often as there.
#include "core/address_text.h"
#include "core/grammar.h"
#include "core/json_parts.h"
#include "document/join_tree.h"

#include <algorithm>

namespace doc
{

bool
plain_string(std::string_view component, std::string_view &text)
{
    size_t n = component.size();
    if (n < 2 || component[0] != '"' || component[n - 1] != '"')
        return false;
    text = component.substr(1, n - 2);
    return std::none_of(text.begin(), text.end(), [](char c) {
        return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    });
}

bool
plain_integer(std::string_view component, int64_t &number)
{
    bool negative = !component.empty() && component[0] == '-';
    std::string_view digits = component.substr(negative);
    bool plain =
        !digits.empty() && digits.size() <= 18 && (digits[0] != '0' || component == "0") &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!plain)
        return false;
    number = 0;
    for (char c : digits)
        number = number * 10 + (c - '0');
    number = negative ? -number : number;
    return true;
}

namespace
{

// The bytes of identity from at on, which is grown by size zero bytes.
uint8_t *
grow(std::string &identity, size_t at, size_t size)
{
    identity.resize(at + size);
    return reinterpret_cast<uint8_t *>(identity.data() + at);
}

// An IPv4 or IPv6 address text that its base's known pattern accepts,
// appended to identity in the type's packed form: the pattern's reading
// gives the bytes that inet_pton gives for such a text, so it is not read
// twice. False (identity unchanged) for any other text or type.
bool
known_address(const DsType *type, std::string_view text, PatternKinds &patterns,
              std::string &identity)
{
    uint64_t converter = type->p.converted.converter;
    KnownPattern kind = patterns.of(type->p.converted.base);
    bool ipv4 = converter == DS_CONVERT_IPV4 && kind == KnownPattern::ipv4;
    bool ipv6 = converter == DS_CONVERT_IPV6 && kind == KnownPattern::ipv6;
    if ((!ipv4 && !ipv6) || core::address_width(converter) > type->size || !core::c_locale())
        return false;
    uint8_t bytes[16];
    if (ipv4 ? !dotted_quad(text, bytes) : !formatted_ipv6(text, bytes))
        return false;
    size_t at = identity.size();
    std::memcpy(grow(identity, at, type->size), bytes, core::address_width(converter));
    return true;
}

// An address text in its base string type's packed form (text, NUL, zero
// filler) in copy, checked by that type's pattern, then read into the
// address's bytes: ds_jo_to_c's steps for a converted address.
KeyPack
pack_address(const DsType *type, std::string_view text, PatternKinds &patterns,
             std::string &identity)
{
    const DsType *base = type->p.converted.base;
    uint64_t converter = type->p.converted.converter;
    char copy[64] = {};
    if (base == nullptr || base->kind != DS_KIND_STRING || converter == DS_CONVERT_BASE ||
        !core::is_known_converter(converter) || base->size > sizeof copy ||
        text.size() + 1 > base->size)
        return KeyPack::general;
    text.copy(copy, text.size());
    if (!core::address_fits(converter, copy))
        return KeyPack::general; // refused there, after what a broken pattern reports
    if (known_address(type, text, patterns, identity))
        return KeyPack::packed;
    if (!text_is_valid(patterns, base, copy, text.size()) ||
        core::address_width(converter) > type->size)
        return KeyPack::refused;
    size_t at = identity.size();
    if (core::read_address(converter, copy, grow(identity, at, type->size)))
        return KeyPack::packed;
    identity.resize(at);
    return KeyPack::refused;
}

} // namespace

KeyPack
pack_key(const DsType *type, std::string_view component, PatternKinds &patterns,
         std::string &identity)
{
    if (type == nullptr)
        return KeyPack::general;
    size_t at = identity.size();
    int64_t number = 0;
    std::string_view text;
    if (type->kind == DS_KIND_INT && plain_integer(component, number)) {
        DsCursor cursor{grow(identity, at, type->size), type->size};
        if (core::int_in_range(type, number) && ds__pack_int(type->size, number, &cursor))
            return KeyPack::packed;
        identity.resize(at);
        return KeyPack::refused;
    }
    if (!plain_string(component, text))
        return KeyPack::general;
    if (type->kind == DS_KIND_CONVERTED)
        return pack_address(type, text, patterns, identity);
    // A text too long is refused there, after what a broken pattern reports.
    if (type->kind != DS_KIND_STRING || text.size() + 1 > type->size)
        return KeyPack::general;
    uint8_t *bytes = grow(identity, at, type->size);
    char *chars = reinterpret_cast<char *>(bytes);
    text.copy(chars, text.size());
    if (text_is_valid(patterns, type, chars, text.size()))
        return KeyPack::packed;
    identity.resize(at);
    return KeyPack::refused;
}

} // namespace doc
