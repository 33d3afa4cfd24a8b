// Why a JSON value is refused, by the rules of ds_jo_to_c: the first member,
// element or text that fails, with what the type allows there.
#include "core/bit_text.h"
#include "core/grammar.h"
#include "core/reason_text.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>

namespace core
{

namespace
{

bool walk(Refusal &r, const DsType *type, json_object *jo, unsigned depth);

std::string
json_short(json_object *jo)
{
    return shown(json_object_to_json_string_ext(jo, JSON_C_TO_STRING_PLAIN), kShown);
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

bool
refuse_kind(Refusal &r, const char *expected, json_object *jo, std::string allowed = {})
{
    std::string text = std::string("expected ") + expected + ", got " + json_kind_word(jo);
    return refuse(r, Rule::json_kind, jo == nullptr ? text : text + " " + json_short(jo),
                  allowed.empty() ? expected : allowed);
}

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
quoted(const std::string &text)
{
    return core::quoted(text.c_str());
}

// The members of a sequence, or of a choice's arm besides its discriminator.
bool
members(Refusal &r, const char *discriminator, const DsField *fields, uint32_t count,
        json_object *jo, unsigned depth)
{
    std::vector<json_object *> slots(count, nullptr);
    std::vector<bool> filled(count, false);
    std::string known = (discriminator == nullptr ? "" : std::string(discriminator) + ", ") +
                        field_names(fields, count);
    json_object_object_foreach(jo, name, value)
    {
        uint32_t i = 0;
        while (i < count && (fields[i].name == nullptr || std::strcmp(fields[i].name, name) != 0))
            ++i;
        if (i < count) {
            slots[i] = value;
            filled[i] = true;
        } else if (discriminator == nullptr || std::strcmp(discriminator, name) != 0) {
            return refuse(r, Rule::unknown_member,
                          "unknown member " + quoted(name) + "; the members are " + known, known);
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = fields[i].name == nullptr ? "?" : fields[i].name;
        if (!filled[i])
            return refuse(r, Rule::missing_member, "member " + quoted(name) + " is missing", known);
        if (slots[i] == nullptr)
            return refuse(r, Rule::null_member, "member " + quoted(name) + " is null", known);
        if (inside(r, "." + name, walk(r, fields[i].type, slots[i], depth + 1)))
            return true;
    }
    return false;
}

bool
int_value(Refusal &r, const DsType *type, json_object *jo)
{
    if (json_object_get_type(jo) != json_type_int)
        return refuse_kind(r, "an integer", jo, int_range(type));
    if (!is_int_width(type->size))
        return refuse(r, Rule::int_width,
                      "the type's size " + std::to_string(type->size) + " is no integer width");
    return refuse_range(r, type, json_object_get_int64(jo));
}

bool
string_value(Refusal &r, const DsType *type, json_object *jo)
{
    if (json_object_get_type(jo) != json_type_string)
        return refuse_kind(r, "a string", jo);
    const char *text = json_object_get_string(jo);
    if (!pattern_accepts(type, text))
        return refuse_pattern(r, type, text);
    size_t length = std::strlen(text);
    std::string room = std::to_string(type->size > 0 ? type->size - 1 : 0);
    if (length + 1 > type->size)
        return refuse(r, Rule::room,
                      quoted(text) + " has " + std::to_string(length) + " characters; " +
                          holder(type) + " holds at most " + room,
                      "at most " + room + " characters");
    return false;
}

bool
enum_value(Refusal &r, const DsType *type, json_object *jo)
{
    if (type->p.enumeration.values == nullptr || type->p.enumeration.count == 0)
        return refuse(r, Rule::enum_empty, "the enumeration" + of_type(type) + " has no values");
    switch (json_object_get_type(jo)) {
    case json_type_int:
        if (enum_row(type, json_object_get_int64(jo)) == nullptr)
            return refuse_not_in_enum(r, type, std::to_string(json_object_get_int64(jo)));
        return false;
    case json_type_string:
        if (enum_row_named(type, json_object_get_string(jo)) == nullptr)
            return refuse_not_in_enum(r, type, quoted(json_object_get_string(jo)));
        return false;
    case json_type_boolean:
        if (!is_bool_enum(type))
            return refuse(r, Rule::bool_only,
                          "a boolean is taken only by the type bool; this enumeration takes a "
                          "name or a number (" +
                              enum_names(type) + ")",
                          enum_names(type));
        if (enum_row(type, json_object_get_boolean(jo) ? 1 : 0) == nullptr)
            return refuse_not_in_enum(r, type, json_short(jo));
        return false;
    default:
        refuse_kind(r, "a name or a number", jo, enum_names(type));
        r.message += " (" + enum_names(type) + ")";
        return true;
    }
}

bool
array_value(Refusal &r, const DsType *type, json_object *jo, unsigned depth)
{
    if (json_object_get_type(jo) != json_type_array)
        return refuse_kind(r, "an array", jo);
    size_t count = json_object_array_length(jo);
    std::string most = std::to_string(type->p.array.max_count);
    if (count > type->p.array.max_count)
        return refuse(r, Rule::array_size,
                      std::to_string(count) + " elements; " + holder(type) + " holds at most " +
                          most,
                      "at most " + most + " elements");
    for (size_t i = 0; i < count; ++i) {
        json_object *element = json_object_array_get_idx(jo, i);
        if (inside(r, element_place(i), walk(r, type->p.array.element, element, depth + 1)))
            return true;
    }
    return false;
}

// The discriminator's number, whichever JSON form gave it.
int64_t
discriminator_value(const DsType *type, json_object *jo)
{
    if (json_object_get_type(jo) == json_type_boolean)
        return json_object_get_boolean(jo) ? 1 : 0;
    if (json_object_get_type(jo) == json_type_string && type->kind == DS_KIND_ENUM) {
        const DsEnumValue *row = enum_row_named(type, json_object_get_string(jo));
        return row == nullptr ? 0 : row->value;
    }
    return json_object_get_int64(jo);
}

// The first arm listing the discriminator alone decides the members.
bool
choice_value(Refusal &r, const DsType *type, json_object *jo, unsigned depth)
{
    if (json_object_get_type(jo) != json_type_object)
        return refuse_kind(r, "an object", jo);
    if (type->p.choice.fields == nullptr)
        return refuse(r, Rule::no_fields, "the choice" + of_type(type) + " has no field table");
    const DsField &discriminator = type->p.choice.fields[0];
    std::string name = discriminator.name == nullptr ? "?" : discriminator.name;
    json_object *member = nullptr;
    if (!json_object_object_get_ex(jo, name.c_str(), &member))
        return refuse(r, Rule::missing_member,
                      "member " + quoted(name) + " (which selects the arm) is missing", name);
    if (member == nullptr)
        return refuse(r, Rule::null_member, "member " + quoted(name) + " is null", name);
    if (inside(r, "." + name, walk(r, discriminator.type, member, depth + 1)))
        return true;
    int64_t value = discriminator_value(discriminator.type, member);
    const DsChoiceArm *arm = first_arm(type, value);
    if (arm == nullptr || !members(r, name.c_str(), type->p.choice.fields + arm->first_field,
                                   arm->field_count, jo, depth))
        return false;
    r.arms.push_back(arm_label(type, value));
    return true;
}

bool
bitmap_value(Refusal &r, const DsType *type, const char *text)
{
    uint64_t bits = type->p.bitmap.bit_count;
    BitTextError error;
    if (read_bit_list(text, bits, nullptr, &error))
        return false;
    std::string allowed = "bits 0.." + std::to_string(static_cast<int64_t>(bits) - 1);
    std::string at = std::to_string(error.offset);
    switch (error.what) {
    case BitTextError::What::no_number:
        return refuse(r, Rule::bit_text, "no bit number at offset " + at, allowed);
    case BitTextError::What::outside:
        return refuse(r, Rule::bit_text,
                      "bit " + std::to_string(error.first) + " is outside the bitmap (" + allowed +
                          of_type(type) + ")",
                      allowed);
    case BitTextError::What::downward:
        return refuse(r, Rule::bit_text,
                      "range " + std::to_string(error.first) + "-" + std::to_string(error.last) +
                          " does not run upwards",
                      allowed);
    default:
        return refuse(r, Rule::bit_text,
                      "unexpected " + quoted(std::string(1, text[error.offset])) + " at offset " +
                          at + "; items are N or N-M separated by \",\"",
                      allowed);
    }
}

bool
address_value(Refusal &r, uint64_t converter, const char *text)
{
    unsigned char bytes[16];
    if (converter == DS_CONVERT_IPV4 && inet_pton(AF_INET, text, bytes) != 1)
        return refuse(r, Rule::address, quoted(text) + " is not an IPv4 address",
                      "an IPv4 address");
    if (converter == DS_CONVERT_IPV6 && inet_pton(AF_INET6, text, bytes) != 1)
        return refuse(r, Rule::address, quoted(text) + " is not an IPv6 address",
                      "an IPv6 address");
    if (converter == DS_CONVERT_MAC &&
        std::sscanf(text, "%hhx:%hhx:%hhx:%hhx:%hhx:%hhx", &bytes[0], &bytes[1], &bytes[2],
                    &bytes[3], &bytes[4], &bytes[5]) != 6)
        return refuse(r, Rule::address,
                      quoted(text) + " is not a MAC address (six hex octets separated by \":\")",
                      "a MAC address");
    return false;
}

bool
converted_value(Refusal &r, const DsType *type, json_object *jo, unsigned depth)
{
    const DsType *base = type->p.converted.base;
    uint64_t converter = type->p.converted.converter;
    if (!is_known_converter(converter))
        return refuse(r, Rule::converter,
                      "converter " + std::to_string(converter) + of_type(type) + " is unknown");
    if (base == nullptr)
        return refuse(r, Rule::converter,
                      "the converted type" + of_type(type) + " has no base type");
    if (converter == DS_CONVERT_BASE) {
        if (base->kind == DS_KIND_STRING)
            return refuse(r, Rule::converter,
                          "converter 0 over the string type " +
                              (base->name != nullptr ? std::string(base->name)
                                                     : std::string("(anonymous string)")) +
                              " takes no value");
        return walk(r, base, jo, depth + 1);
    }
    if (base->kind != DS_KIND_STRING)
        return refuse(r, Rule::converter,
                      "converter " + std::to_string(converter) + " needs a string base");
    if (json_object_get_type(jo) != json_type_string)
        return refuse_kind(r, "a string", jo);
    const char *text = json_object_get_string(jo);
    if (!pattern_accepts(base, text))
        return refuse_pattern(r, base, text);
    return address_value(r, converter, text);
}

bool
walk(Refusal &r, const DsType *type, json_object *jo, unsigned depth)
{
    if (refuse_nesting(r, type, depth))
        return true;
    switch (type->kind) {
    case DS_KIND_INT:
        return int_value(r, type, jo);
    case DS_KIND_DOUBLE:
        if (json_object_get_type(jo) != json_type_double &&
            json_object_get_type(jo) != json_type_int)
            return refuse_kind(r, "a number", jo);
        return false;
    case DS_KIND_STRING:
        return string_value(r, type, jo);
    case DS_KIND_ENUM:
        return enum_value(r, type, jo);
    case DS_KIND_ARRAY:
        return array_value(r, type, jo, depth);
    case DS_KIND_SEQUENCE:
        if (json_object_get_type(jo) != json_type_object)
            return refuse_kind(r, "an object", jo);
        return members(r, nullptr, type->p.sequence.fields, type->p.sequence.field_count, jo,
                       depth);
    case DS_KIND_CHOICE:
        return choice_value(r, type, jo, depth);
    case DS_KIND_BITMAP:
        if (json_object_get_type(jo) != json_type_string)
            return refuse_kind(r, "a string of bit numbers and ranges", jo);
        return bitmap_value(r, type, json_object_get_string(jo));
    case DS_KIND_CONVERTED:
        return converted_value(r, type, jo, depth);
    default:
        return refuse(r, Rule::unknown_kind,
                      "kind " + std::to_string(type->kind) + of_type(type) + " is unknown");
    }
}

} // namespace

Refusal
why_json(const DsType *type, json_object *jo)
{
    Refusal r;
    walk(r, type, jo, 0);
    return r;
}

} // namespace core
