// Why a value is refused: the library answers only yes or no, so once it has
// refused a JSON value or a packed value, this file walks the type's
// descriptor the way the library's converters do and names the first part
// that fails, with what the descriptor allows there (an int's range, an
// enumeration's names, a string's pattern and length, an array's size, the
// members of a sequence or of a choice arm). It never decides on its own: it
// is asked only after the library has said no.
#include "dstool.h"

#include <arpa/inet.h>
#include <regex.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dstool
{

namespace
{

// Deeper descriptor graphs than this are refused by the library as well.
constexpr int kMaxDepth = 64;
constexpr size_t kShown = 40;

// "NAME" for a named type, "the type" for an anonymous one.
std::string
holder(const DsType *type)
{
    const char *name = type == nullptr ? nullptr : ds_type_name(type);
    return name == nullptr ? "the type" : name;
}

// " of NAME" for a named type; anonymous types are known by where they are.
std::string
of_type(const DsType *type)
{
    const char *name = type == nullptr ? nullptr : ds_type_name(type);
    return name == nullptr ? "" : std::string(" of ") + name;
}

std::string
quoted(const char *text)
{
    // Built piece by piece: gcc 12 warns falsely (-Wrestrict) about "\"" + std::string.
    std::string out(1, '"');
    out += printable(text == nullptr ? "" : text, kShown);
    out += '"';
    return out;
}

bool
is_int_width(uint32_t size)
{
    return size == 1 || size == 2 || size == 4 || size == 8;
}

std::string
json_short(json_object *jo)
{
    return printable(json_object_to_json_string_ext(jo, JSON_C_TO_STRING_PLAIN), kShown);
}

const char *
json_kind_word(json_object *jo)
{
    switch (json_object_get_type(jo)) {
    case json_type_null:
        return "null";
    case json_type_boolean:
        return "a boolean";
    case json_type_double:
        return "a number with a fraction or exponent";
    case json_type_int:
        return "an integer";
    case json_type_object:
        return "an object";
    case json_type_array:
        return "an array";
    default:
        return "a string";
    }
}

std::string
got(const char *expected, json_object *jo)
{
    std::string text = std::string("expected ") + expected + ", got " + json_kind_word(jo);
    return jo == nullptr ? text : text + " " + json_short(jo);
}

// The pattern check of the library: extended syntax, unanchored; a pattern
// that does not compile lets every text through.
bool
pattern_accepts(const DsType *type, const char *text)
{
    const char *regex = type->p.string.regex == nullptr ? "" : type->p.string.regex;
    regex_t compiled;
    if (regcomp(&compiled, regex, REG_EXTENDED | REG_NOSUB) != 0)
        return true;
    bool match = regexec(&compiled, text, 0, nullptr, 0) == 0;
    regfree(&compiled);
    return match;
}

std::string
pattern_refusal(const DsType *type, const char *text)
{
    return quoted(text) + " does not match the pattern " +
           printable(type->p.string.regex == nullptr ? "" : type->p.string.regex, 80) +
           of_type(type);
}

std::string
enum_names(const DsType *type)
{
    std::string text;
    for (uint32_t i = 0; i < type->p.enumeration.count && i < 16; ++i) {
        const DsEnumValue &row = type->p.enumeration.values[i];
        text += (i == 0 ? "" : ", ") + std::string(row.name == nullptr ? "(unnamed)" : row.name) +
                " = " + std::to_string(row.value);
    }
    return type->p.enumeration.count > 16 ? text + ", ..." : text;
}

const DsEnumValue *
enum_row_by_value(const DsType *type, int64_t value)
{
    for (uint32_t i = 0; type->p.enumeration.values != nullptr && i < type->p.enumeration.count;
         ++i) {
        if (type->p.enumeration.values[i].value == value)
            return &type->p.enumeration.values[i];
    }
    return nullptr;
}

const DsEnumValue *
enum_row_by_name(const DsType *type, const char *name)
{
    for (uint32_t i = 0; type->p.enumeration.values != nullptr && i < type->p.enumeration.count;
         ++i) {
        const char *row = type->p.enumeration.values[i].name;
        if (row != nullptr && std::strcmp(row, name) == 0)
            return &type->p.enumeration.values[i];
    }
    return nullptr;
}

std::string
not_in_enum(const DsType *type, const std::string &what)
{
    return what + " is not in the enumeration" + of_type(type) + " (" + enum_names(type) + ")";
}

std::string
int_refusal(const DsType *type, int64_t value)
{
    if (value >= type->p.integer.min && value <= type->p.integer.max)
        return "";
    return std::to_string(value) + " is outside the range " + std::to_string(type->p.integer.min) +
           ".." + std::to_string(type->p.integer.max) + of_type(type);
}

// A failure found below a place of the value: ".port: ..." or "[2]: ...".
std::string
at(const std::string &where, const std::string &reason)
{
    if (reason.empty() || where.empty())
        return reason;
    return where + (reason[0] == '.' || reason[0] == '[' ? "" : ": ") + reason;
}

std::string
arm_label(const DsType *choice, int64_t value)
{
    const DsField &discriminator = choice->p.choice.fields[0];
    const DsType *type = discriminator.type;
    std::string label = std::string(discriminator.name == nullptr ? "?" : discriminator.name) + " ";
    const DsEnumValue *row =
        type != nullptr && type->kind == DS_KIND_ENUM ? enum_row_by_value(type, value) : nullptr;
    if (row != nullptr && row->name != nullptr)
        return label + row->name;
    return label + std::to_string(value);
}

// The first arm listing value, or null.
const DsChoiceArm *
first_arm(const DsType *choice, int64_t value)
{
    for (uint32_t i = 0; choice->p.choice.arms != nullptr && i < choice->p.choice.arm_count; ++i) {
        const DsChoiceArm &arm = choice->p.choice.arms[i];
        for (uint32_t v = 0; arm.values != nullptr && v < arm.value_count; ++v) {
            if (arm.values[v] == value)
                return &arm;
        }
    }
    return nullptr;
}

// --- JSON values, by the rules of the JSON-to-packed walk ---

std::string json_reason(const DsType *type, json_object *jo, int depth);

std::string
field_names(const DsField *fields, uint32_t count)
{
    std::string text;
    for (uint32_t i = 0; i < count; ++i)
        text +=
            (i == 0 ? "" : ", ") + std::string(fields[i].name == nullptr ? "?" : fields[i].name);
    return text.empty() ? "none" : text;
}

std::string
members_reason(const char *discriminator, const DsField *fields, uint32_t count, json_object *jo,
               int depth)
{
    std::vector<json_object *> slots(count, nullptr);
    std::vector<bool> filled(count, false);
    json_object_object_foreach(jo, name, value)
    {
        uint32_t i = 0;
        while (i < count && (fields[i].name == nullptr || std::strcmp(fields[i].name, name) != 0))
            ++i;
        if (i < count) {
            slots[i] = value;
            filled[i] = true;
        } else if (discriminator == nullptr || std::strcmp(discriminator, name) != 0) {
            return "unknown member " + quoted(name) + "; the members are " +
                   (discriminator == nullptr ? "" : std::string(discriminator) + ", ") +
                   field_names(fields, count);
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = fields[i].name == nullptr ? "?" : fields[i].name;
        if (!filled[i])
            return "member " + quoted(name.c_str()) + " is missing";
        if (slots[i] == nullptr)
            return "member " + quoted(name.c_str()) + " is null";
        std::string reason = json_reason(fields[i].type, slots[i], depth + 1);
        if (!reason.empty())
            return at("." + name, reason);
    }
    return "";
}

std::string
json_int(const DsType *type, json_object *jo)
{
    if (json_object_get_type(jo) != json_type_int)
        return got("an integer", jo);
    if (!is_int_width(type->size))
        return "the type's size " + std::to_string(type->size) + " is no integer width";
    return int_refusal(type, json_object_get_int64(jo));
}

std::string
json_string(const DsType *type, json_object *jo)
{
    if (json_object_get_type(jo) != json_type_string)
        return got("a string", jo);
    const char *text = json_object_get_string(jo);
    if (!pattern_accepts(type, text))
        return pattern_refusal(type, text);
    size_t length = std::strlen(text);
    if (length + 1 > type->size)
        return quoted(text) + " has " + std::to_string(length) + " characters; " + holder(type) +
               " holds at most " + std::to_string(type->size > 0 ? type->size - 1 : 0);
    return "";
}

std::string
json_enum(const DsType *type, json_object *jo)
{
    if (type->p.enumeration.values == nullptr || type->p.enumeration.count == 0)
        return "the enumeration" + of_type(type) + " has no values";
    const char *name = ds_type_name(type);
    bool is_bool = name != nullptr && std::strcmp(name, "bool") == 0;
    switch (json_object_get_type(jo)) {
    case json_type_int:
        if (enum_row_by_value(type, json_object_get_int64(jo)) == nullptr)
            return not_in_enum(type, std::to_string(json_object_get_int64(jo)));
        return "";
    case json_type_string:
        if (enum_row_by_name(type, json_object_get_string(jo)) == nullptr)
            return not_in_enum(type, quoted(json_object_get_string(jo)));
        return "";
    case json_type_boolean:
        if (!is_bool)
            return "a boolean is taken only by the type bool; this enumeration takes a name or a "
                   "number (" +
                   enum_names(type) + ")";
        if (enum_row_by_value(type, json_object_get_boolean(jo) ? 1 : 0) == nullptr)
            return not_in_enum(type, json_short(jo));
        return "";
    default:
        return got("a name or a number", jo) + " (" + enum_names(type) + ")";
    }
}

std::string
json_array(const DsType *type, json_object *jo, int depth)
{
    if (json_object_get_type(jo) != json_type_array)
        return got("an array", jo);
    size_t count = json_object_array_length(jo);
    if (count > type->p.array.max_count)
        return std::to_string(count) + " elements; " + holder(type) + " holds at most " +
               std::to_string(type->p.array.max_count);
    for (size_t i = 0; i < count; ++i) {
        std::string reason =
            json_reason(type->p.array.element, json_object_array_get_idx(jo, i), depth + 1);
        if (!reason.empty())
            return at("[" + std::to_string(i) + "]", reason);
    }
    return "";
}

// The discriminator's number, whichever JSON form gave it.
int64_t
discriminator_value(const DsType *type, json_object *jo)
{
    if (json_object_get_type(jo) == json_type_boolean)
        return json_object_get_boolean(jo) ? 1 : 0;
    if (json_object_get_type(jo) == json_type_string && type->kind == DS_KIND_ENUM) {
        const DsEnumValue *row = enum_row_by_name(type, json_object_get_string(jo));
        return row == nullptr ? 0 : row->value;
    }
    return json_object_get_int64(jo);
}

std::string
json_choice(const DsType *type, json_object *jo, int depth)
{
    if (json_object_get_type(jo) != json_type_object)
        return got("an object", jo);
    if (type->p.choice.fields == nullptr)
        return "the choice" + of_type(type) + " has no field table";
    const DsField &discriminator = type->p.choice.fields[0];
    std::string name = discriminator.name == nullptr ? "?" : discriminator.name;
    json_object *member = nullptr;
    if (!json_object_object_get_ex(jo, name.c_str(), &member))
        return "member " + quoted(name.c_str()) + " (which selects the arm) is missing";
    if (member == nullptr)
        return "member " + quoted(name.c_str()) + " is null";
    std::string reason = json_reason(discriminator.type, member, depth + 1);
    if (!reason.empty())
        return at("." + name, reason);
    int64_t value = discriminator_value(discriminator.type, member);
    const DsChoiceArm *arm = first_arm(type, value);
    if (arm == nullptr)
        return "";
    reason = members_reason(name.c_str(), type->p.choice.fields + arm->first_field,
                            arm->field_count, jo, depth);
    return reason.empty() ? "" : reason + " (in the arm for " + arm_label(type, value) + ")";
}

// Reads one bit number as the library does (strtol: blanks and "+" allowed).
bool
bit_number(const char *text, const char *&p, long &value, std::string &reason)
{
    char *end = nullptr;
    value = std::strtol(p, &end, 10);
    if (end == p) {
        reason = "no bit number at offset " + std::to_string(p - text);
        return false;
    }
    p = end;
    return true;
}

std::string
bitmap_reason(const DsType *type, const char *text)
{
    long bits = type->p.bitmap.bit_count;
    std::string top = " (bits 0.." + std::to_string(bits - 1) + of_type(type) + ")";
    const char *p = text;
    std::string reason;
    while (*p != '\0') {
        long first = 0;
        long last = 0;
        if (!bit_number(text, p, first, reason))
            return reason;
        if (first < 0 || first >= bits)
            return "bit " + std::to_string(first) + " is outside the bitmap" + top;
        if (*p == '-') {
            ++p;
            if (!bit_number(text, p, last, reason))
                return reason;
            if (last >= bits)
                return "bit " + std::to_string(last) + " is outside the bitmap" + top;
            if (first >= last)
                return "range " + std::to_string(first) + "-" + std::to_string(last) +
                       " does not run upwards";
        }
        if (*p != ',' && *p != '\0')
            return "unexpected " + quoted(std::string(1, *p).c_str()) + " at offset " +
                   std::to_string(p - text) + "; items are N or N-M separated by \",\"";
        if (*p == ',')
            ++p;
    }
    return "";
}

std::string
address_reason(uint64_t converter, const char *text)
{
    unsigned char bytes[16];
    if (converter == DS_CONVERT_IPV4 && inet_pton(AF_INET, text, bytes) != 1)
        return quoted(text) + " is not an IPv4 address";
    if (converter == DS_CONVERT_IPV6 && inet_pton(AF_INET6, text, bytes) != 1)
        return quoted(text) + " is not an IPv6 address";
    if (converter == DS_CONVERT_MAC &&
        std::sscanf(text, "%hhx:%hhx:%hhx:%hhx:%hhx:%hhx", &bytes[0], &bytes[1], &bytes[2],
                    &bytes[3], &bytes[4], &bytes[5]) != 6)
        return quoted(text) + " is not a MAC address (six hex octets separated by \":\")";
    return "";
}

std::string
json_converted(const DsType *type, json_object *jo, int depth)
{
    const DsType *base = type->p.converted.base;
    uint64_t converter = type->p.converted.converter;
    if (converter > DS_CONVERT_MAC)
        return "converter " + std::to_string(converter) + of_type(type) + " is unknown";
    if (base == nullptr)
        return "the converted type" + of_type(type) + " has no base type";
    if (converter == DS_CONVERT_BASE) {
        if (base->kind == DS_KIND_STRING)
            return "converter 0 over the string type " + type_label(base) + " takes no value";
        return json_reason(base, jo, depth + 1);
    }
    if (base->kind != DS_KIND_STRING)
        return "converter " + std::to_string(converter) + " needs a string base";
    if (json_object_get_type(jo) != json_type_string)
        return got("a string", jo);
    const char *text = json_object_get_string(jo);
    if (!pattern_accepts(base, text))
        return pattern_refusal(base, text);
    return address_reason(converter, text);
}

std::string
json_reason(const DsType *type, json_object *jo, int depth)
{
    if (type == nullptr)
        return "no type record";
    if (depth > kMaxDepth)
        return "the type is nested more than " + std::to_string(kMaxDepth) + " deep";
    switch (type->kind) {
    case DS_KIND_INT:
        return json_int(type, jo);
    case DS_KIND_DOUBLE:
        if (json_object_get_type(jo) != json_type_double &&
            json_object_get_type(jo) != json_type_int)
            return got("a number", jo);
        return "";
    case DS_KIND_STRING:
        return json_string(type, jo);
    case DS_KIND_ENUM:
        return json_enum(type, jo);
    case DS_KIND_ARRAY:
        return json_array(type, jo, depth);
    case DS_KIND_SEQUENCE:
        if (json_object_get_type(jo) != json_type_object)
            return got("an object", jo);
        return members_reason(nullptr, type->p.sequence.fields, type->p.sequence.field_count, jo,
                              depth);
    case DS_KIND_CHOICE:
        return json_choice(type, jo, depth);
    case DS_KIND_BITMAP:
        if (json_object_get_type(jo) != json_type_string)
            return got("a string of bit numbers and ranges", jo);
        return bitmap_reason(type, json_object_get_string(jo));
    case DS_KIND_CONVERTED:
        return json_converted(type, jo, depth);
    default:
        return "kind " + std::to_string(type->kind) + of_type(type) + " is unknown";
    }
}

// --- Packed values, by the rules of the packed-to-JSON walk ---

struct Bytes {
    const uint8_t *start;
    size_t size;
};

std::string packed_reason(const DsType *type, Bytes bytes, size_t &pos, int depth);

std::string
byte_at(size_t pos, const std::string &reason)
{
    return reason.empty() ? reason : "byte " + std::to_string(pos) + ": " + reason;
}

// Reads an int of the type's width at pos; false when it does not fit.
bool
read_int(const DsType *type, Bytes bytes, size_t pos, int64_t &value)
{
    if (!is_int_width(type->size) || pos + type->size > bytes.size)
        return false;
    uint64_t raw = 0;
    for (uint32_t i = 0; i < type->size; ++i)
        raw |= static_cast<uint64_t>(bytes.start[pos + i]) << (8 * i);
    unsigned shift = 64 - 8 * type->size;
    bool is_signed = type->p.integer.min < 0;
    value = is_signed && shift != 0 ? static_cast<int64_t>(raw << shift) >> shift
                                    : static_cast<int64_t>(raw);
    return true;
}

std::string
packed_int_or_enum(const DsType *type, Bytes bytes, size_t &pos, int depth)
{
    const DsType *base = type->kind == DS_KIND_ENUM ? type->p.enumeration.base : type;
    if (base == nullptr || base->kind != DS_KIND_INT || depth > kMaxDepth)
        return "the enumeration" + of_type(type) + " has no integer base";
    int64_t value = 0;
    if (!read_int(base, bytes, pos, value))
        return "the type" + of_type(base) + " is no integer of 1, 2, 4 or 8 bytes that fits";
    size_t start = pos;
    pos += base->size;
    if (type->kind == DS_KIND_INT)
        return byte_at(start, int_refusal(type, value));
    std::string reason = int_refusal(base, value);
    if (reason.empty() && enum_row_by_value(type, value) == nullptr)
        reason = not_in_enum(type, std::to_string(value));
    return byte_at(start, reason);
}

std::string
packed_string(const DsType *type, Bytes bytes, size_t &pos)
{
    const auto *text = reinterpret_cast<const char *>(bytes.start + pos);
    size_t start = pos;
    pos += type->size;
    if (std::memchr(text, '\0', type->size) == nullptr)
        return byte_at(start, "no NUL byte within the " + std::to_string(type->size) +
                                  " bytes of the text" + of_type(type));
    return pattern_accepts(type, text) ? "" : byte_at(start, pattern_refusal(type, text));
}

std::string
packed_fields(const DsField *fields, uint32_t count, Bytes bytes, size_t &pos, int depth)
{
    for (uint32_t i = 0; i < count; ++i) {
        std::string reason = packed_reason(fields[i].type, bytes, pos, depth + 1);
        if (!reason.empty())
            return at(std::string(".") + (fields[i].name == nullptr ? "?" : fields[i].name),
                      reason);
    }
    return "";
}

std::string
packed_array(const DsType *type, Bytes bytes, size_t &pos, int depth)
{
    size_t end = pos + type->size;
    if (type->size < 2)
        return "the array" + of_type(type) + " has no room for its count";
    uint32_t count = bytes.start[pos] | (bytes.start[pos + 1] << 8);
    pos += 2;
    const DsType *element = type->p.array.element;
    for (uint32_t i = 0; element != nullptr && i < type->p.array.max_count; ++i) {
        if (i >= count) {
            pos += element->size;
            continue;
        }
        std::string reason = packed_reason(element, bytes, pos, depth + 1);
        if (!reason.empty())
            return at("[" + std::to_string(i) + "]", reason);
    }
    pos = end;
    return "";
}

// Every arm that lists the discriminator adds its members, read on from
// where the previous one stopped.
std::string
packed_choice(const DsType *type, Bytes bytes, size_t &pos, int depth)
{
    size_t end = pos + type->size;
    if (type->p.choice.fields == nullptr)
        return "the choice" + of_type(type) + " has no field table";
    const DsField &discriminator = type->p.choice.fields[0];
    std::string reason = packed_reason(discriminator.type, bytes, pos, depth + 1);
    if (!reason.empty())
        return at("." + std::string(discriminator.name == nullptr ? "?" : discriminator.name),
                  reason);
    int64_t value = 0;
    const DsType *base = discriminator.type->kind == DS_KIND_ENUM
                             ? discriminator.type->p.enumeration.base
                             : discriminator.type;
    if (base == nullptr || !read_int(base, bytes, end - type->size, value))
        return "the discriminator" + of_type(discriminator.type) + " is no integer";
    for (uint32_t i = 0; type->p.choice.arms != nullptr && i < type->p.choice.arm_count; ++i) {
        const DsChoiceArm &arm = type->p.choice.arms[i];
        bool applies = false;
        for (uint32_t v = 0; arm.values != nullptr && v < arm.value_count; ++v)
            applies = applies || arm.values[v] == value;
        if (!applies)
            continue;
        reason = packed_fields(type->p.choice.fields + arm.first_field, arm.field_count, bytes, pos,
                               depth);
        if (!reason.empty())
            return reason + " (in the arm for " + arm_label(type, value) + ")";
    }
    pos = end;
    return "";
}

std::string
packed_reason(const DsType *type, Bytes bytes, size_t &pos, int depth)
{
    if (type == nullptr)
        return "no type record";
    if (depth > kMaxDepth)
        return "the type is nested more than " + std::to_string(kMaxDepth) + " deep";
    if (pos + type->size > bytes.size)
        return "the type" + of_type(type) + " needs " + std::to_string(type->size) +
               " bytes from byte " + std::to_string(pos) + ", the value ends before";
    switch (type->kind) {
    case DS_KIND_INT:
    case DS_KIND_ENUM:
        return packed_int_or_enum(type, bytes, pos, depth);
    case DS_KIND_STRING:
        return packed_string(type, bytes, pos);
    case DS_KIND_ARRAY:
        return packed_array(type, bytes, pos, depth);
    case DS_KIND_SEQUENCE:
        return packed_fields(type->p.sequence.fields, type->p.sequence.field_count, bytes, pos,
                             depth);
    case DS_KIND_CHOICE:
        return packed_choice(type, bytes, pos, depth);
    case DS_KIND_CONVERTED:
        if (type->p.converted.converter > DS_CONVERT_MAC)
            return "converter " + std::to_string(type->p.converted.converter) + of_type(type) +
                   " is unknown";
        if (type->p.converted.converter == DS_CONVERT_BASE)
            return packed_reason(type->p.converted.base, bytes, pos, depth + 1);
        pos += type->size;
        return "";
    case DS_KIND_DOUBLE:
    case DS_KIND_BITMAP:
        pos += type->size;
        return "";
    default:
        return "kind " + std::to_string(type->kind) + of_type(type) + " is unknown";
    }
}

} // namespace

std::string
why_json_refused(const DsType *type, json_object *jo)
{
    return json_reason(type, jo, 0);
}

std::string
why_packed_refused(const DsType *type, const uint8_t *bytes, size_t size)
{
    size_t pos = 0;
    return packed_reason(type, Bytes{bytes, size}, pos, 0);
}

} // namespace dstool
