// How json-c writes a string's bytes (json_object_to_json_string with its
// default flags): \b \t \n \f \r " \\ and / escaped by a backslash, every
// other byte below 0x20 as \u00 and two lowercase hex digits, every other
// byte as it is. The canonical printer and the document split write string
// texts themselves and must write exactly these.
#ifndef DSTYPES_CORE_JSON_ESCAPE_H
#define DSTYPES_CORE_JSON_ESCAPE_H

#include <cstddef>
#include <cstring>

namespace core
{

// Bytes that json-c does not write as they are.
constexpr bool
needs_json_escape(unsigned char c)
{
    return c < 0x20 || c == '"' || c == '\\' || c == '/';
}

// The escape json-c writes for such a byte, into escape; its length (2 or 6).
inline size_t
json_escape(unsigned char c, char escape[6])
{
    static constexpr char kHex[] = "0123456789abcdef";
    static constexpr char kShort[] = "btn_fr"; // for \b \t \n \f \r; \v has none
    escape[0] = '\\';
    if (c >= 0x20) {
        escape[1] = static_cast<char>(c);
        return 2;
    }
    if (c >= '\b' && c <= '\r' && c != '\v') {
        escape[1] = kShort[c - '\b'];
        return 2;
    }
    std::memcpy(escape + 1, "u00", 3);
    escape[4] = kHex[c >> 4];
    escape[5] = kHex[c & 0xf];
    return 6;
}

} // namespace core

#endif
