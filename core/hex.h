// The value of one hex digit, told by its ranges: how the octets of a MAC
// text and dstool's hex input read. The JSON pull reader reads \u escapes
// with the same function, so it lives beside it in the installed headers.
// Header only.
#ifndef DSTYPES_CORE_HEX_H
#define DSTYPES_CORE_HEX_H

#include "dstypes_json_chars.hpp"

namespace core
{

// 0 to 15, or -1 for a byte that is no hex digit.
using ds::detail::hex_value;

} // namespace core

#endif
