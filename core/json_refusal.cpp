// Why ds_jo_to_c refused a JSON value: the reading walk run again with a sink
// that keeps the first part refused, its place and the words for it. The walk
// packs into a scratch buffer of the type's size, as ds_jo_to_c packs into
// its destination, so it refuses exactly where the converter did.
#include "core/address_text.h"
#include "core/json_read.h"

#include <cstdio>
#include <vector>

namespace core
{

namespace
{

// The reasons' sink. Patterns are compiled afresh and silently: the library
// has already reported one that does not compile, and let the text through.
struct Reasons {
    Refusal refusal;
    BitTextError bit;

    static bool
    pattern(const DsType *type, const char *text)
    {
        return pattern_accepts(type, text);
    }
    static void
    pattern_unread(const DsType *)
    {
    }
    BitTextError *
    bit_error()
    {
        return &bit;
    }
    template <class Why>
    bool
    refuse(Why why)
    {
        why(refusal);
        return false;
    }
    template <class Place>
    bool
    inside(Place place, bool accepted)
    {
        if (!accepted)
            refusal.path.insert(0, place());
        return accepted;
    }
    bool
    in_arm(const DsType *choice, int64_t value, bool accepted)
    {
        if (!accepted)
            refusal.arms.push_back(arm_label(choice, value));
        return accepted;
    }
};

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

std::string
name_or(const char *name)
{
    return name == nullptr ? "?" : name;
}

std::string
quoted(const std::string &text)
{
    return core::quoted(text.c_str());
}

// The names a run of members may have: the discriminator's, then the
// fields' ("none" for a run without fields).
std::string
known_members(const char *discriminator, const DsField *fields, uint32_t count)
{
    std::string text;
    for (uint32_t i = 0; i < count; ++i)
        text += (i == 0 ? "" : ", ") + name_or(fields[i].name);
    if (text.empty())
        text = "none";
    return discriminator == nullptr ? text : std::string(discriminator) + ", " + text;
}

} // namespace

Refusal
why_json(const DsType *type, json_object *jo)
{
    JsonReader<Reasons> reader;
    std::vector<uint8_t> packed(type == nullptr ? 1 : type->size + 1u);
    DsCursor cursor{packed.data(), type == nullptr ? 0u : type->size};
    reader.read(type, jo, &cursor, 0);
    return std::move(reader.sink.refusal);
}

std::string
member_place(const char *name)
{
    // Built piece by piece: gcc 12 warns falsely (-Wrestrict) about "." + std::string.
    std::string place(1, '.');
    place += name_or(name);
    return place;
}

void
why_no_type(Refusal &r)
{
    refuse(r, Rule::no_type, "no type record");
}

void
why_too_deep(Refusal &r)
{
    refuse(r, Rule::too_deep,
           "the type is nested more than " + std::to_string(kMaxDepth) + " deep");
}

void
why_unknown_kind(Refusal &r, const DsType *type)
{
    refuse(r, Rule::unknown_kind,
           "kind " + std::to_string(type->kind) + of_type(type) + " is unknown");
}

void
why_json_kind(Refusal &r, const char *expected, json_object *jo, const DsType *type)
{
    std::string text = std::string("expected ") + expected + ", got " + json_kind_word(jo);
    if (jo != nullptr)
        text += " " + json_short(jo);
    std::string allowed = expected;
    if (type != nullptr && type->kind == DS_KIND_INT)
        allowed = int_range(type);
    if (type != nullptr && type->kind == DS_KIND_ENUM) {
        allowed = enum_names(type);
        text += " (" + allowed + ")";
    }
    refuse(r, Rule::json_kind, text, allowed);
}

void
why_short(Refusal &r, uint64_t need, uint32_t left)
{
    refuse(r, Rule::short_value,
           "the part needs " + std::to_string(need) + " bytes; the type's size leaves " +
               std::to_string(left));
}

void
why_no_int_room(Refusal &r, const DsType *type, uint32_t width, uint32_t left)
{
    if (!is_int_width(width))
        refuse(r, Rule::int_width,
               "the type's size " + std::to_string(type->size) + " is no integer width");
    else
        why_short(r, width, left);
}

void
why_room(Refusal &r, const DsType *type, const char *text, size_t length)
{
    std::string room = std::to_string(type->size > 0 ? type->size - 1 : 0);
    refuse(r, Rule::room,
           quoted(text) + " has " + std::to_string(length) + " characters; " + holder(type) +
               " holds at most " + room,
           "at most " + room + " characters");
}

void
why_enum_broken(Refusal &r, const DsType *type)
{
    if (type->p.enumeration.values == nullptr || type->p.enumeration.count == 0)
        refuse(r, Rule::enum_empty, "the enumeration" + of_type(type) + " has no values");
    else
        refuse(r, Rule::enum_base, "the enumeration" + of_type(type) + " has no base type");
}

void
why_bool_only(Refusal &r, const DsType *type)
{
    refuse(r, Rule::bool_only,
           "a boolean is taken only by the type bool; this enumeration takes a name or a number (" +
               enum_names(type) + ")",
           enum_names(type));
}

void
why_not_in_enum(Refusal &r, const DsType *type, json_object *jo)
{
    switch (json_object_get_type(jo)) {
    case json_type_int:
        refuse_not_in_enum(r, type, std::to_string(json_object_get_int64(jo)));
        return;
    case json_type_string:
        refuse_not_in_enum(r, type, quoted(json_object_get_string(jo)));
        return;
    default:
        refuse_not_in_enum(r, type, json_short(jo));
    }
}

void
why_array_size(Refusal &r, const DsType *type, size_t count)
{
    std::string most = std::to_string(type->p.array.max_count);
    refuse(r, Rule::array_size,
           std::to_string(count) + " elements; " + holder(type) + " holds at most " + most,
           "at most " + most + " elements");
}

void
why_no_fields(Refusal &r, const DsType *type)
{
    if (type->kind == DS_KIND_SEQUENCE)
        refuse(r, Rule::no_fields, "the sequence" + of_type(type) + " has no field table");
    else if (type->p.choice.fields == nullptr)
        refuse(r, Rule::no_fields, "the choice" + of_type(type) + " has no field table");
    else
        refuse(r, Rule::no_fields, "the choice" + of_type(type) + " has no arm table");
}

void
why_unknown_member(Refusal &r, const char *name, const char *discriminator, const DsField *fields,
                   uint32_t count)
{
    std::string known = known_members(discriminator, fields, count);
    refuse(r, Rule::unknown_member, "unknown member " + quoted(name) + "; the members are " + known,
           known);
}

void
why_no_member(Refusal &r, const char *name, json_object *jo, const char *discriminator,
              const DsField *fields, uint32_t count)
{
    std::string known = known_members(discriminator, fields, count);
    json_object *value = nullptr;
    if (name != nullptr && json_object_object_get_ex(jo, name, &value) && value == nullptr)
        refuse(r, Rule::null_member, "member " + quoted(name) + " is null", known);
    else
        refuse(r, Rule::missing_member, "member " + quoted(name_or(name)) + " is missing", known);
}

void
why_discriminator(Refusal &r, const DsType *choice)
{
    refuse(r, Rule::discriminator,
           "the choice" + of_type(choice) + " has no int or enum field 0 to select its arm");
}

void
why_no_discriminator(Refusal &r, const char *name, json_object *jo)
{
    if (json_object_object_get_ex(jo, name, nullptr))
        refuse(r, Rule::null_member, "member " + quoted(name) + " is null", name);
    else
        refuse(r, Rule::missing_member,
               "member " + quoted(name) + " (which selects the arm) is missing", name);
}

void
why_bit_text(Refusal &r, const DsType *type, const char *text, const BitTextError &error)
{
    uint64_t bits = type->p.bitmap.bit_count;
    std::string allowed = "bits 0.." + std::to_string(static_cast<int64_t>(bits) - 1);
    std::string at = std::to_string(error.offset);
    switch (error.what) {
    case BitTextError::What::no_number:
        refuse(r, Rule::bit_text, "no bit number at offset " + at, allowed);
        return;
    case BitTextError::What::outside:
        refuse(r, Rule::bit_text,
               "bit " + std::to_string(error.first) + " is outside the bitmap (" + allowed +
                   of_type(type) + ")",
               allowed);
        return;
    case BitTextError::What::downward:
        refuse(r, Rule::bit_text,
               "range " + std::to_string(error.first) + "-" + std::to_string(error.last) +
                   " does not run upwards",
               allowed);
        return;
    default:
        refuse(r, Rule::bit_text,
               "unexpected " + quoted(std::string(1, text[error.offset])) + " at offset " + at +
                   "; items are N or N-M separated by \",\"",
               allowed);
    }
}

void
why_address(Refusal &r, uint64_t converter, const char *text)
{
    if (converter == DS_CONVERT_IPV4)
        refuse(r, Rule::address, quoted(text) + " is not an IPv4 address", "an IPv4 address");
    else if (converter == DS_CONVERT_IPV6)
        refuse(r, Rule::address, quoted(text) + " is not an IPv6 address", "an IPv6 address");
    else
        refuse(r, Rule::address,
               quoted(text) + " is not a MAC address (six hex octets separated by \":\")",
               "a MAC address");
}

// Which of the converted type's own faults refused it, asked in this order:
// the converter, the base, the base's kind, then the room for the address.
void
why_converter(Refusal &r, const DsType *type)
{
    const DsType *base = type->p.converted.base;
    uint64_t converter = type->p.converted.converter;
    std::string number = std::to_string(converter);
    if (!is_known_converter(converter))
        refuse(r, Rule::converter, "converter " + number + of_type(type) + " is unknown");
    else if (base == nullptr)
        refuse(r, Rule::converter, "the converted type" + of_type(type) + " has no base type");
    else if (converter == DS_CONVERT_BASE && base->kind == DS_KIND_STRING)
        refuse(r, Rule::converter,
               "converter 0 over the string type " +
                   (base->name != nullptr ? std::string(base->name) : "(anonymous string)") +
                   " takes no value");
    else if (base->kind != DS_KIND_STRING)
        refuse(r, Rule::converter, "converter " + number + " needs a string base");
    else
        refuse(r, Rule::converter,
               "the converted type" + of_type(type) + " has " + std::to_string(type->size) +
                   " bytes, too few for its " + std::to_string(address_width(converter)) +
                   "-byte address");
}

} // namespace core
