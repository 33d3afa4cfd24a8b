// Numbers in documents: integers of the eight YANG widths (a JSON number,
// or a string for 64 bits) with their ranges, and decimal64 values with
// their fraction digits and ranges, read as YANG tools read them and
// written in their canonical form.
#include "document/value_forms.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace doc
{

namespace
{

bool
is_blank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view
trimmed(std::string_view text)
{
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

struct IntBounds {
    bool is_signed;
    int64_t min;
    uint64_t max;
};

IntBounds
int_bounds(uint8_t base)
{
    switch (base) {
    case DS_DOC_INT8:
        return {true, INT8_MIN, INT8_MAX};
    case DS_DOC_INT16:
        return {true, INT16_MIN, INT16_MAX};
    case DS_DOC_INT32:
        return {true, INT32_MIN, INT32_MAX};
    case DS_DOC_INT64:
        return {true, INT64_MIN, INT64_MAX};
    case DS_DOC_UINT8:
        return {false, 0, UINT8_MAX};
    case DS_DOC_UINT16:
        return {false, 0, UINT16_MAX};
    case DS_DOC_UINT32:
        return {false, 0, UINT32_MAX};
    default:
        return {false, 0, UINT64_MAX};
    }
}

// An integer text as YANG tools read it (strtoll with base 0): blanks
// around it, an optional sign, then "0x" and hex digits, "0" and octal
// digits, or decimal digits. Gives the magnitude and sign; false when it is
// no integer or its magnitude passes 2^64-1.
bool
read_integer(std::string_view text, bool &negative, uint64_t &magnitude)
{
    text = trimmed(text);
    negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    unsigned radix = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        radix = 8;
    }
    if (text.empty())
        return false;
    magnitude = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : 99;
        if (digit >= static_cast<int>(radix) ||
            magnitude > (UINT64_MAX - static_cast<uint64_t>(digit)) / radix)
            return false;
        magnitude = magnitude * radix + static_cast<uint64_t>(digit);
    }
    return true;
}

// The common case of read_integer: an optional "-" and at most 19 decimal
// digits without a leading zero, read as read_integer reads them; false for
// every other text (which read_integer then reads).
bool
plain_decimal(std::string_view text, bool &negative, uint64_t &magnitude)
{
    negative = !text.empty() && text.front() == '-';
    std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty() || digits.size() > 19 || (digits[0] == '0' && digits.size() > 1))
        return false;
    magnitude = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

// Whether value (magnitude and sign) lies in one of the type's range pairs:
// signed 64-bit bounds, or for uint64 the bits of unsigned ones.
bool
in_ranges(const DsDocValue &value, bool negative, uint64_t magnitude)
{
    if (value.ranges == nullptr || value.count == 0)
        return true;
    for (uint32_t i = 0; i < value.count; ++i) {
        int64_t min = value.ranges[2 * i], max = value.ranges[2 * i + 1];
        bool in = false;
        if (value.base == DS_DOC_UINT64)
            in = (!negative || magnitude == 0) && magnitude >= static_cast<uint64_t>(min) &&
                 magnitude <= static_cast<uint64_t>(max);
        else if (negative)
            in = min < 0 && magnitude <= 0 - static_cast<uint64_t>(min) &&
                 (max >= 0 || magnitude >= 0 - static_cast<uint64_t>(max));
        else
            in = max >= 0 && magnitude <= static_cast<uint64_t>(max) &&
                 (min <= 0 || magnitude >= static_cast<uint64_t>(min));
        if (in)
            return true;
    }
    return false;
}

} // namespace

// A JSON number with an exponent as the integer it stands for, as libyang 2
// reads one ("1.5e1" is 15); false when it has a fraction left or is far
// beyond any integer type.
bool
exponent_integer(std::string_view text, std::string &out)
{
    size_t e = text.find_first_of("eE");
    bool negative = !text.empty() && text.front() == '-';
    std::string_view mantissa = text.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
    long exponent = std::strtol(std::string(text.substr(e + 1)).c_str(), nullptr, 10);
    size_t point = mantissa.find('.');
    std::string digits(mantissa.substr(0, point));
    if (point != std::string_view::npos) {
        digits += mantissa.substr(point + 1);
        exponent -= static_cast<long>(mantissa.size() - point - 1);
    }
    if (exponent > 40)
        return false;
    for (; exponent > 0; --exponent)
        digits += '0';
    for (; exponent < 0 && !digits.empty(); ++exponent) {
        if (digits.back() != '0')
            return false;
        digits.pop_back();
    }
    out = (negative ? "-" : "") + (digits.empty() ? std::string("0") : digits);
    return true;
}

// The canonical decimal text of an integer of the type, or false with reason.
bool
canonical_integer(const DsDocValue &value, std::string_view text, bool json_number,
                  std::string &out, std::string &reason)
{
    bool negative = false;
    uint64_t magnitude = 0;
    uint8_t base = value.base;
    IntBounds bounds = int_bounds(base);
    std::string plain;
    bool read = plain_decimal(text, negative, magnitude);
    if (!read && json_number && text.find_first_of("eE") != std::string_view::npos) {
        if (!exponent_integer(text, plain)) {
            reason = std::string("not an integer of type ") + base_name(base);
            return false;
        }
        text = plain;
    }
    if (!read && !read_integer(text, negative, magnitude)) {
        reason = std::string("not an integer of type ") + base_name(base);
        return false;
    }
    bool fits = negative ? magnitude == 0 ||
                               (bounds.is_signed && magnitude <= uint64_t(-(bounds.min + 1)) + 1)
                         : magnitude <= bounds.max;
    if (!fits) {
        reason = std::string("out of the range of type ") + base_name(base);
        return false;
    }
    negative = negative && magnitude != 0;
    if (!in_ranges(value, negative, magnitude)) {
        reason = "out of the type's range";
        return false;
    }
    if (read && (negative || text[0] != '-')) { // a plain text is its own canonical form
        out.assign(text);
        return true;
    }
    char digits[24];
    char *end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    out.assign(negative ? "-" : "");
    out.append(digits, end);
    return true;
}

bool
plain_integer(const DsDocValue &value, const Scalar &in, int64_t &number)
{
    bool negative = false;
    uint64_t magnitude = 0;
    bool integer = (value.base >= DS_DOC_INT8 && value.base <= DS_DOC_INT64) ||
                   (value.base >= DS_DOC_UINT8 && value.base <= DS_DOC_UINT64);
    if (!integer || !kind_fits(value.base, in.kind) ||
        !plain_decimal(in.text, negative, magnitude) || (negative && magnitude == 0))
        return false;
    IntBounds bounds = int_bounds(value.base);
    bool fits = negative ? bounds.is_signed && magnitude <= uint64_t(-(bounds.min + 1)) + 1
                         : magnitude <= bounds.max && magnitude <= uint64_t(INT64_MAX);
    if (!fits || !in_ranges(value, negative, magnitude))
        return false;
    number = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

namespace
{

// A decimal64 text in units of 10^-digits as YANG tools read it: blanks
// around it, an optional sign, digits, and an optional point with at least
// one digit after it; fraction digits past the type's must be zeros. A sign
// alone reads as 0, as libyang 2 reads it.
bool
read_decimal(std::string_view text, unsigned digits, int64_t &scaled, std::string &reason)
{
    text = trimmed(text);
    bool negative = !text.empty() && text.front() == '-';
    bool sign = !text.empty() && (text.front() == '-' || text.front() == '+');
    if (sign)
        text.remove_prefix(1);
    size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
    auto all_digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((whole.empty() && !(sign && text.empty())) || !all_digits(whole) || !all_digits(fraction) ||
        (point != std::string_view::npos && fraction.empty())) {
        reason = "not a decimal64 number";
        return false;
    }
    while (fraction.size() > digits && fraction.back() == '0')
        fraction.remove_suffix(1);
    if (fraction.size() > digits) {
        reason = "more than " + std::to_string(digits) + " fraction digits";
        return false;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < whole.size() + digits; ++i) {
        char c = i < whole.size()                     ? whole[i]
                 : i - whole.size() < fraction.size() ? fraction[i - whole.size()]
                                                      : '0';
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (uint64_t(INT64_MAX) + 1 - digit) / 10) {
            reason = "out of the range of decimal64";
            return false;
        }
        value = value * 10 + digit;
    }
    if (!negative && value > uint64_t(INT64_MAX)) {
        reason = "out of the range of decimal64";
        return false;
    }
    scaled = negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
    return true;
}

} // namespace

std::string
decimal_text(int64_t scaled, unsigned digits)
{
    bool negative = scaled < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : uint64_t(scaled);
    std::string text = std::to_string(magnitude);
    if (text.size() <= digits)
        text.insert(0, digits + 1 - text.size(), '0');
    text.insert(text.size() - digits, ".");
    while (text.back() == '0' && text[text.size() - 2] != '.')
        text.pop_back();
    return (negative ? "-" : "") + text;
}

bool
canonical_decimal(const DsDocValue &value, std::string_view text, std::string &out,
                  std::string &reason)
{
    int64_t scaled = 0;
    if (!read_decimal(text, value.fraction_digits, scaled, reason))
        return false;
    bool in_range = value.ranges == nullptr || value.count == 0;
    for (uint32_t i = 0; !in_range && i < value.count; ++i)
        in_range = scaled >= value.ranges[2 * i] && scaled <= value.ranges[2 * i + 1];
    if (!in_range) {
        reason = "out of the decimal64 type's range";
        return false;
    }
    out = decimal_text(scaled, value.fraction_digits);
    return true;
}

} // namespace doc
