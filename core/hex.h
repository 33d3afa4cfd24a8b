// The value of one hex digit, told by its ranges: how the octets of a MAC
// text, dstool's hex input and a JSON \u escape of the document reader
// read. (std::from_chars on a single character is read by gcc 12 at -O2 as
// an out-of-bounds access.) Header only.
#ifndef DSTYPES_CORE_HEX_H
#define DSTYPES_CORE_HEX_H

namespace core
{

// 0 to 15, or -1 for a byte that is no hex digit.
inline int
hex_value(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace core

#endif
