// Value forms: a value as an RFC 7951 document writes it against the same
// value in the library's JSON form. 64-bit integers and decimal64 are JSON
// strings in a document and numbers in the library; bits are names in a
// document and bit numbers in a bitmap; an identity is "module:identity",
// the module optional in a document when it is the node's own; an empty
// leaf is [null] in a document and the "bool" true in the library; a union
// takes the first member type that accepts the value, chosen by the JSON
// type as YANG tools do. Both directions live here, so that split and join
// read and write the same forms.
#include "document/doc.h"

#include <regex.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace doc
{

namespace
{

constexpr int64_t kMaxExact = int64_t(1) << 53; // largest integer a double holds exactly

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

const char *
base_name(uint8_t base)
{
    static const char *const names[] = {"?",           "binary",      "bits",
                                        "boolean",     "decimal64",   "empty",
                                        "enumeration", "identityref", "instance-identifier",
                                        "int8",        "int16",       "int32",
                                        "int64",       "string",      "uint8",
                                        "uint16",      "uint32",      "uint64",
                                        "union"};
    return base <= DS_DOC_UNION ? names[base] : "?";
}

// An integer text as YANG reads it: blanks around it, an optional sign,
// decimal digits. Gives the magnitude and sign; false when it is no
// integer or has more than 20 digits' worth of value.
bool
read_integer(std::string_view text, bool &negative, uint64_t &magnitude)
{
    text = trimmed(text);
    negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    if (text.empty())
        return false;
    magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (UINT64_MAX - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    return true;
}

// Whether value (magnitude and sign) lies in one of the type's range pairs;
// a bound of INT64_MAX stands for every larger uint64 too.
bool
in_ranges(const DsDocValue &value, bool negative, uint64_t magnitude)
{
    if (value.ranges == nullptr || value.count == 0)
        return true;
    for (uint32_t i = 0; i < value.count; ++i) {
        int64_t min = value.ranges[2 * i], max = value.ranges[2 * i + 1];
        bool above_min = negative ? min < 0 && magnitude <= 0 - static_cast<uint64_t>(min)
                                  : min <= 0 || magnitude >= static_cast<uint64_t>(min);
        bool below_max = negative ? max >= 0 || magnitude >= 0 - static_cast<uint64_t>(max)
                                  : max == INT64_MAX || (max >= 0 && magnitude <= uint64_t(max));
        if (above_min && below_max)
            return true;
    }
    return false;
}

// The canonical decimal text of an integer of the type, or false with reason.
bool
canonical_integer(const DsDocValue &value, std::string_view text, std::string &out,
                  std::string &reason)
{
    bool negative = false;
    uint64_t magnitude = 0;
    uint8_t base = value.base;
    IntBounds bounds = int_bounds(base);
    if (!read_integer(text, negative, magnitude)) {
        reason = std::string("not an integer of type ") + base_name(base);
        return false;
    }
    bool fits = negative ? bounds.is_signed && magnitude <= uint64_t(-(bounds.min + 1)) + 1
                         : magnitude <= bounds.max;
    if (!fits) {
        reason = std::string("out of the range of type ") + base_name(base);
        return false;
    }
    if (!in_ranges(value, negative, magnitude)) {
        reason = "out of the type's range";
        return false;
    }
    out = (negative && magnitude != 0 ? "-" : "") + std::to_string(magnitude);
    return true;
}

// A decimal64 text in units of 10^-digits: blanks around it, an optional
// sign, digits, and an optional point with at least one digit after it.
bool
read_decimal(std::string_view text, unsigned digits, int64_t &scaled, std::string &reason)
{
    text = trimmed(text);
    bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
    auto all_digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || !all_digits(whole) || !all_digits(fraction) ||
        (point != std::string_view::npos && fraction.empty())) {
        reason = "not a decimal64 number";
        return false;
    }
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

// Whether an anchored POSIX extended expression matches the whole text.
bool
pattern_accepts(const char *pattern, const std::string &text)
{
    regex_t compiled;
    if (regcomp(&compiled, pattern, REG_EXTENDED | REG_NOSUB) != 0)
        return true; // a module whose expression does not compile checks nothing here
    bool match = regexec(&compiled, text.c_str(), 0, nullptr, 0) == 0;
    regfree(&compiled);
    return match;
}

const DsDocBit *
find_bit(const DsDocValue &value, std::string_view name)
{
    for (uint32_t i = 0; i < value.count; ++i)
        if (name == value.bits[i].name)
            return &value.bits[i];
    return nullptr;
}

// Bit names separated by blanks, each at most once; the canonical text
// lists them in position order.
bool
canonical_bits(const DsDocValue &value, std::string_view text, std::string &out,
               std::string &reason)
{
    std::vector<const DsDocBit *> set;
    size_t at = 0;
    while (at < text.size()) {
        if (is_blank(text[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && !is_blank(text[end]))
            ++end;
        std::string_view name = text.substr(at, end - at);
        const DsDocBit *bit = find_bit(value, name);
        if (bit == nullptr) {
            reason = "no bit of the type is named \"" + std::string(name) + "\"";
            return false;
        }
        if (std::find(set.begin(), set.end(), bit) != set.end()) {
            reason = "bit \"" + std::string(name) + "\" is named twice";
            return false;
        }
        set.push_back(bit);
        at = end;
    }
    std::sort(set.begin(), set.end(),
              [](const DsDocBit *a, const DsDocBit *b) { return a->position < b->position; });
    out.clear();
    for (const DsDocBit *bit : set)
        out += (out.empty() ? "" : " ") + std::string(bit->name);
    return true;
}

bool
canonical_identity(const char *own_module, std::string_view text, std::string &out,
                   std::string &reason)
{
    if (text.empty() || text.find(':') == 0 || text.back() == ':') {
        reason = "not an identity name";
        return false;
    }
    out = text.find(':') == std::string_view::npos
              ? std::string(own_module) + ":" + std::string(text)
              : std::string(text);
    return true;
}

bool
kind_fits(uint8_t base, Scalar::Kind kind)
{
    switch (base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
        return kind == Scalar::Kind::number;
    case DS_DOC_BOOLEAN:
        return kind == Scalar::Kind::boolean;
    case DS_DOC_EMPTY:
        return kind == Scalar::Kind::empty;
    case DS_DOC_UNION:
        return true;
    default:
        return kind == Scalar::Kind::string;
    }
}

const char *
kind_name(Scalar::Kind kind)
{
    switch (kind) {
    case Scalar::Kind::string:
        return "a string";
    case Scalar::Kind::number:
        return "a number";
    case Scalar::Kind::boolean:
        return "a boolean";
    default:
        return "[null]";
    }
}

std::string
wanted(uint8_t base)
{
    std::string name = base_name(base);
    switch (base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
        return "a number (" + name + ")";
    case DS_DOC_BOOLEAN:
        return "true or false (boolean)";
    case DS_DOC_EMPTY:
        return "[null] (empty)";
    default:
        return "a string (" + name + ")";
    }
}

// The canonical text of a document scalar under one member type (not a
// union), or false with reason.
bool
canonical_member(const DsDocValue &value, const char *own_module, const Scalar &in,
                 std::string &out, std::string &reason)
{
    if (!kind_fits(value.base, in.kind)) {
        reason = std::string(kind_name(in.kind)) + " where the type wants " + wanted(value.base);
        return false;
    }
    switch (value.base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
    case DS_DOC_INT64:
    case DS_DOC_UINT64:
        return canonical_integer(value, in.text, out, reason);
    case DS_DOC_DECIMAL64:
        return canonical_decimal(value, in.text, out, reason);
    case DS_DOC_BITS:
        return canonical_bits(value, in.text, out, reason);
    case DS_DOC_IDENTITYREF:
        return canonical_identity(own_module, in.text, out, reason);
    case DS_DOC_EMPTY:
        out.clear();
        return true;
    case DS_DOC_STRING:
        if (value.canon != DS_DOC_CANON_NONE && !canonical_text(value.canon, in.text, out)) {
            reason = "not a valid value of its type";
            return false;
        }
        if (value.canon == DS_DOC_CANON_NONE)
            out = in.text;
        if (value.pattern != nullptr && !pattern_accepts(value.pattern, out)) {
            reason = "not a text of the member type's pattern";
            return false;
        }
        return true;
    default:
        out = in.text;
        return true;
    }
}

// The member of a union that takes a scalar: the first whose JSON type fits
// and that reads the value.
const DsDocValue *
union_member(const DsDocValue &value, const char *own_module, const Scalar &in, std::string &out,
             std::string &reason)
{
    std::string first_reason;
    for (uint32_t i = 0; i < value.count; ++i) {
        const DsDocValue &member = value.members[i];
        std::string why;
        if (member.base == DS_DOC_UNION) {
            if (union_member(member, own_module, in, out, why) != nullptr)
                return &member;
        } else if (canonical_member(member, own_module, in, out, why)) {
            return &member;
        }
        if (first_reason.empty())
            first_reason = why;
    }
    reason = "no member type of the union takes it (the first: " + first_reason + ")";
    return nullptr;
}

// The bit numbers of a canonical bits text ("a c" -> "0,2"), as a bitmap
// reads them.
std::string
bit_numbers(const DsDocValue &value, std::string_view text)
{
    std::string numbers;
    while (!text.empty()) {
        size_t end = std::min(text.find(' '), text.size());
        if (const DsDocBit *bit = find_bit(value, text.substr(0, end)))
            numbers += (numbers.empty() ? "" : ",") + std::to_string(bit->position);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return numbers;
}

// The library's form of a canonical text of base for a leaf type of the
// given kind: numbers, booleans and bitmaps where the type holds them, the
// text where it holds a string.
JsonPtr
library_form(const DsDocValue &value, const DsType *type, const std::string &text,
             std::string &reason)
{
    uint32_t kind = type->kind;
    if (kind == DS_KIND_CONVERTED && type->p.converted.converter == DS_CONVERT_BASE &&
        type->p.converted.base != nullptr)
        kind = type->p.converted.base->kind;
    switch (value.base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_INT64:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
    case DS_DOC_UINT64:
        if (kind != DS_KIND_INT && kind != DS_KIND_ENUM && kind != DS_KIND_DOUBLE)
            break;
        if (text.size() >= 19 && text.front() != '-' &&
            std::strtoull(text.c_str(), nullptr, 10) > uint64_t(INT64_MAX)) {
            reason = "above 2^63-1, the largest integer the library holds";
            return nullptr;
        }
        return JsonPtr(json_object_new_int64(std::strtoll(text.c_str(), nullptr, 10)));
    case DS_DOC_DECIMAL64: {
        if (kind != DS_KIND_DOUBLE)
            break;
        double number = std::strtod(text.c_str(), nullptr);
        if (std::fabs(number) * std::pow(10.0, value.fraction_digits) > double(kMaxExact)) {
            reason = "beyond 2^53 units of its last fraction digit, more than the library's "
                     "double holds exactly";
            return nullptr;
        }
        return JsonPtr(json_object_new_double(number));
    }
    case DS_DOC_BOOLEAN:
    case DS_DOC_EMPTY:
        if (kind == DS_KIND_ENUM)
            return JsonPtr(json_object_new_boolean(value.base == DS_DOC_EMPTY || text == "true"));
        break;
    case DS_DOC_BITS:
        if (kind == DS_KIND_BITMAP)
            return JsonPtr(json_object_new_string(bit_numbers(value, text).c_str()));
        break;
    default:
        break;
    }
    return JsonPtr(json_object_new_string_len(text.data(), static_cast<int>(text.size())));
}

// "1,3-5" (a bitmap's text) as the bits' names in position order.
bool
bit_names(const DsDocValue &value, std::string_view numbers, std::string &out)
{
    std::vector<bool> set;
    while (!numbers.empty()) {
        size_t end = std::min(numbers.find(','), numbers.size());
        std::string item(numbers.substr(0, end));
        unsigned first = 0, last = 0;
        char dash = 0;
        int read = std::sscanf(item.c_str(), "%u%c%u", &first, &dash, &last);
        if (read == 1)
            last = first;
        else if (read != 3 || dash != '-')
            return false;
        if (last >= 65536 || first > last)
            return false;
        if (set.size() <= last)
            set.resize(last + 1);
        for (unsigned bit = first; bit <= last; ++bit)
            set[bit] = true;
        numbers.remove_prefix(std::min(end + 1, numbers.size()));
    }
    out.clear();
    for (uint32_t i = 0; i < value.count; ++i) {
        uint32_t position = value.bits[i].position;
        if (position < set.size() && set[position]) {
            out += (out.empty() ? "" : " ") + std::string(value.bits[i].name);
            set[position] = false;
        }
    }
    return std::find(set.begin(), set.end(), true) == set.end();
}

// The library's JSON value as text: a string's text, a number's digits, a
// boolean's name.
std::string
library_text(json_object *library)
{
    switch (json_object_get_type(library)) {
    case json_type_string:
        return std::string(json_object_get_string(library),
                           static_cast<size_t>(json_object_get_string_len(library)));
    case json_type_boolean:
        return json_object_get_boolean(library) ? "true" : "false";
    case json_type_int:
        return std::to_string(json_object_get_int64(library));
    default:
        return json_object_to_json_string_ext(library, JSON_C_TO_STRING_PLAIN);
    }
}

// A union's text as the document writes it: under the first member type
// that reads the text, in that member's JSON type.
bool
union_scalar(const DsDocValue &value, const std::string &text, Scalar &out)
{
    for (uint32_t i = 0; i < value.count; ++i) {
        const DsDocValue &member = value.members[i];
        if (member.base == DS_DOC_UNION) {
            if (union_scalar(member, text, out))
                return true;
            continue;
        }
        Scalar in;
        in.text = text;
        if (kind_fits(member.base, Scalar::Kind::number))
            in.kind = Scalar::Kind::number;
        else if (member.base == DS_DOC_BOOLEAN)
            in.kind =
                text == "true" || text == "false" ? Scalar::Kind::boolean : Scalar::Kind::string;
        else if (member.base == DS_DOC_EMPTY)
            in.kind = text.empty() ? Scalar::Kind::empty : Scalar::Kind::string;
        std::string canonical, reason;
        if (!canonical_member(member, "", in, canonical, reason) ||
            (in.kind == Scalar::Kind::number && canonical != text))
            continue;
        out.kind = in.kind;
        out.text = in.kind == Scalar::Kind::empty ? "" : canonical;
        return true;
    }
    return false;
}

} // namespace

bool
library_to_scalar(const DsDocValue &value, json_object *library, Scalar &out, std::string &reason)
{
    std::string text = library_text(library);
    out.text = text;
    out.kind = Scalar::Kind::string;
    bool ok = true;
    switch (value.base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
        out.kind = Scalar::Kind::number;
        break;
    case DS_DOC_DECIMAL64: {
        double scale = std::pow(10.0, value.fraction_digits);
        double number = json_object_is_type(library, json_type_string)
                            ? std::strtod(text.c_str(), nullptr)
                            : json_object_get_double(library);
        ok = std::isfinite(number) && std::fabs(number * scale) <= double(kMaxExact);
        if (ok)
            out.text = decimal_text(std::llround(number * scale), value.fraction_digits);
        break;
    }
    case DS_DOC_BOOLEAN:
        out.kind = Scalar::Kind::boolean;
        break;
    case DS_DOC_EMPTY:
        out.kind = Scalar::Kind::empty;
        ok = text == "true" || text.empty();
        break;
    case DS_DOC_BITS:
        ok = !json_object_is_type(library, json_type_string) || text.empty() ||
             (text[0] >= '0' && text[0] <= '9' ? bit_names(value, text, out.text) : true);
        break;
    case DS_DOC_STRING:
        ok = value.canon == DS_DOC_CANON_NONE || canonical_text(value.canon, text, out.text);
        break;
    case DS_DOC_UNION:
        ok = union_scalar(value, text, out);
        break;
    default:
        break;
    }
    if (!ok)
        reason = "the value \"" + text + "\" has no " + base_name(value.base) + " form";
    return ok;
}

JsonPtr
scalar_to_library(const DsDocValue &value, const DsType *type, const char *own_module,
                  const Scalar &in, std::string &reason)
{
    std::string text;
    bool ok = value.base == DS_DOC_UNION
                  ? union_member(value, own_module, in, text, reason) != nullptr
                  : canonical_member(value, own_module, in, text, reason);
    if (!ok)
        return nullptr;
    if (text.find('\0') != std::string::npos) {
        reason = "the text holds a NUL character, which the library's text cannot hold";
        return nullptr;
    }
    // A union's leaf type holds the chosen member's canonical text.
    static const DsDocValue kText{DS_DOC_STRING, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    return library_form(value.base == DS_DOC_UNION ? kText : value, type, text, reason);
}

} // namespace doc
