// Why a packed value is refused, by the rules of ds_c_to_jo: the first part
// that fails, with the byte where it starts and what the type allows there.
// Every arm listing the discriminator adds its members, read on from where
// the previous one stopped; slots past an array's count are not read.
#include "core/grammar.h"
#include "core/reason_text.h"

namespace core
{

namespace
{

struct Bytes {
    const uint8_t *start;
    size_t size;
};

bool walk(Refusal &r, const DsType *type, Bytes bytes, size_t &pos, unsigned depth);

bool
at_byte(Refusal &r, size_t pos, bool refused)
{
    if (refused)
        r.byte = static_cast<int64_t>(pos);
    return refused;
}

// Reads an int of the type's width at pos; false when it does not fit.
bool
read_int(const DsType *type, Bytes bytes, size_t pos, int64_t &value)
{
    if (!is_int_width(type->size) || pos + type->size > bytes.size)
        return false;
    value = read_packed_int(bytes.start + pos, type->size, type->p.integer.min < 0);
    return true;
}

bool
int_or_enum(Refusal &r, const DsType *type, Bytes bytes, size_t &pos, unsigned depth)
{
    const DsType *base = type->kind == DS_KIND_ENUM ? type->p.enumeration.base : type;
    if (base == nullptr || base->kind != DS_KIND_INT || depth > kMaxDepth)
        return refuse(r, Rule::enum_base,
                      "the enumeration" + of_type(type) + " has no integer base");
    int64_t value = 0;
    if (!read_int(base, bytes, pos, value))
        return refuse(r, Rule::int_width,
                      "the type" + of_type(base) +
                          " is no integer of 1, 2, 4 or 8 bytes that fits");
    size_t start = pos;
    pos += base->size;
    if (type->kind == DS_KIND_INT)
        return at_byte(r, start, refuse_range(r, type, value));
    if (refuse_range(r, base, value))
        return at_byte(r, start, true);
    if (enum_row(type, value) == nullptr)
        return at_byte(r, start, refuse_not_in_enum(r, type, std::to_string(value)));
    return false;
}

bool
string_text(Refusal &r, const DsType *type, Bytes bytes, size_t &pos)
{
    const auto *text = reinterpret_cast<const char *>(bytes.start + pos);
    size_t start = pos;
    pos += type->size;
    if (std::memchr(text, '\0', type->size) == nullptr)
        return at_byte(r, start,
                       refuse(r, Rule::no_nul,
                              "no NUL byte within the " + std::to_string(type->size) +
                                  " bytes of the text" + of_type(type)));
    return !pattern_accepts(type, text) && at_byte(r, start, refuse_pattern(r, type, text));
}

bool
fields(Refusal &r, const DsField *list, uint32_t count, Bytes bytes, size_t &pos, unsigned depth)
{
    for (uint32_t i = 0; i < count; ++i) {
        std::string place = std::string(".") + (list[i].name == nullptr ? "?" : list[i].name);
        if (inside(r, place, walk(r, list[i].type, bytes, pos, depth + 1)))
            return true;
    }
    return false;
}

bool
array(Refusal &r, const DsType *type, Bytes bytes, size_t &pos, unsigned depth)
{
    size_t end = pos + type->size;
    if (type->size < 2)
        return refuse(r, Rule::no_count_room,
                      "the array" + of_type(type) + " has no room for its count");
    uint32_t count = bytes.start[pos] | (bytes.start[pos + 1] << 8);
    pos += 2;
    const DsType *element = type->p.array.element;
    for (uint32_t i = 0; element != nullptr && i < type->p.array.max_count; ++i) {
        if (i >= count) {
            pos += element->size;
            continue;
        }
        if (inside(r, element_place(i), walk(r, element, bytes, pos, depth + 1)))
            return true;
    }
    pos = end;
    return false;
}

bool
choice(Refusal &r, const DsType *type, Bytes bytes, size_t &pos, unsigned depth)
{
    size_t end = pos + type->size;
    if (type->p.choice.fields == nullptr)
        return refuse(r, Rule::no_fields, "the choice" + of_type(type) + " has no field table");
    const DsField &discriminator = type->p.choice.fields[0];
    std::string name = discriminator.name == nullptr ? "?" : discriminator.name;
    if (inside(r, "." + name, walk(r, discriminator.type, bytes, pos, depth + 1)))
        return true;
    int64_t value = 0;
    const DsType *base = discriminator.type->kind == DS_KIND_ENUM
                             ? discriminator.type->p.enumeration.base
                             : discriminator.type;
    if (base == nullptr || !read_int(base, bytes, end - type->size, value))
        return refuse(r, Rule::discriminator,
                      "the discriminator" + of_type(discriminator.type) + " is no integer");
    const DsChoiceArm *arms = type->p.choice.arms;
    for (uint32_t i = 0; arms != nullptr && i < type->p.choice.arm_count; ++i) {
        if (arms[i].values == nullptr || !arm_lists(&arms[i], value))
            continue;
        if (fields(r, type->p.choice.fields + arms[i].first_field, arms[i].field_count, bytes, pos,
                   depth)) {
            r.arms.push_back(arm_label(type, value));
            return true;
        }
    }
    pos = end;
    return false;
}

bool
converted(Refusal &r, const DsType *type, Bytes bytes, size_t &pos, unsigned depth)
{
    uint64_t converter = type->p.converted.converter;
    if (!is_known_converter(converter))
        return refuse(r, Rule::converter,
                      "converter " + std::to_string(converter) + of_type(type) + " is unknown");
    if (converter == DS_CONVERT_BASE)
        return walk(r, type->p.converted.base, bytes, pos, depth + 1);
    pos += type->size;
    return false;
}

bool
walk(Refusal &r, const DsType *type, Bytes bytes, size_t &pos, unsigned depth)
{
    if (refuse_nesting(r, type, depth))
        return true;
    if (pos + type->size > bytes.size)
        return refuse(r, Rule::short_value,
                      "the type" + of_type(type) + " needs " + std::to_string(type->size) +
                          " bytes from byte " + std::to_string(pos) + ", the value ends before");
    switch (type->kind) {
    case DS_KIND_INT:
    case DS_KIND_ENUM:
        return int_or_enum(r, type, bytes, pos, depth);
    case DS_KIND_STRING:
        return string_text(r, type, bytes, pos);
    case DS_KIND_ARRAY:
        return array(r, type, bytes, pos, depth);
    case DS_KIND_SEQUENCE:
        return fields(r, type->p.sequence.fields, type->p.sequence.field_count, bytes, pos, depth);
    case DS_KIND_CHOICE:
        return choice(r, type, bytes, pos, depth);
    case DS_KIND_CONVERTED:
        return converted(r, type, bytes, pos, depth);
    case DS_KIND_DOUBLE:
    case DS_KIND_BITMAP:
        pos += type->size;
        return false;
    default:
        return refuse(r, Rule::unknown_kind,
                      "kind " + std::to_string(type->kind) + of_type(type) + " is unknown");
    }
}

} // namespace

Refusal
why_packed(const DsType *type, const uint8_t *bytes, size_t size)
{
    Refusal r;
    size_t pos = 0;
    walk(r, type, Bytes{bytes, size}, pos, 0);
    return r;
}

} // namespace core
