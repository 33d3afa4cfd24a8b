// Packing a value in the library's JSON form without the library's general
// walk, where its checks are short: integers (the range), doubles,
// enumerations (the rows, by name or number), strings whose pattern matches
// every text or is one of the known patterns (known_patterns.h), and IPv4
// and IPv6 addresses under those patterns. What is not taken here is left to
// ds_jo_to_c, which refuses it with its reason or accepts it where its own
// pattern check does.
#include "document/split_walk.h"

#include "core/address_text.h"
#include "core/grammar.h"

#include <cstring>
#include <vector>

namespace doc
{

// Bracket ranges are byte ranges in the C locale only: elsewhere the
// library's pattern check decides, except for ".*".
bool
DirectPacker::text(const DsType *type, json_object *value, uint8_t *out)
{
    const char *chars = json_object_get_string(value);
    std::string_view text(chars, static_cast<size_t>(json_object_get_string_len(value)));
    if (type->kind == DS_KIND_STRING) {
        // A NUL inside the text is refused by every reading but "any".
        if (text.size() + 1 > type->size || std::strlen(chars) != text.size() ||
            !patterns_.accepts(type, text))
            return false;
        std::memcpy(out, chars, text.size() + 1);
        return true;
    }
    const DsType *base = type->p.converted.base;
    if (!core::c_locale())
        return false;
    switch (type->p.converted.converter) {
    case DS_CONVERT_IPV4:
        return type->size >= 4 && patterns_.of(base) == KnownPattern::ipv4 &&
               dotted_quad(text, out);
    case DS_CONVERT_IPV6:
        return type->size >= 16 && patterns_.of(base) == KnownPattern::ipv6 &&
               formatted_ipv6(text, out);
    default:
        return false;
    }
}

bool
DirectPacker::pack(const DsType *type, json_object *value, uint8_t *out)
{
    DsCursor cursor{out, type->size};
    switch (type->kind) {
    case DS_KIND_INT: {
        if (!json_object_is_type(value, json_type_int))
            return false;
        int64_t number = json_object_get_int64(value);
        return core::int_in_range(type, number) && ds__pack_int(type->size, number, &cursor);
    }
    case DS_KIND_DOUBLE: {
        double number = 0;
        if (json_object_is_type(value, json_type_double))
            number = json_object_get_double(value);
        else if (json_object_is_type(value, json_type_int))
            number = static_cast<double>(json_object_get_int64(value));
        else
            return false;
        if (type->size < sizeof number)
            return false;
        std::memcpy(out, &number, sizeof number);
        return true;
    }
    case DS_KIND_ENUM:
        return enumeration(type, value, &cursor);
    case DS_KIND_STRING:
        return json_object_is_type(value, json_type_string) && text(type, value, out);
    case DS_KIND_CONVERTED:
        return address_converter(type) != 0 && json_object_is_type(value, json_type_string) &&
               text(type, value, out);
    default:
        return false;
    }
}

bool
DirectPacker::enumeration(const DsType *type, json_object *value, DsCursor *cursor)
{
    if (type->p.enumeration.values == nullptr || type->p.enumeration.count == 0 ||
        type->p.enumeration.base == nullptr)
        return false;
    const DsEnumValue *row = nullptr;
    switch (json_object_get_type(value)) {
    case json_type_int:
        row = core::enum_row(type, json_object_get_int64(value));
        break;
    case json_type_string:
        row = core::enum_row_named(type, json_object_get_string(value));
        break;
    case json_type_boolean:
        if (core::is_bool_enum(type))
            row = core::enum_row(type, json_object_get_boolean(value) ? 1 : 0);
        break;
    default:
        break;
    }
    return row != nullptr && ds__pack_int(type->size, row->value, cursor);
}

} // namespace doc
