// dstool check, document part: the encoding of a value ("ds_doc_schema"
// DsDocValue records) in itself, and against the library type that holds
// the value: bases, canonical forms, fraction digits, the rows of bits,
// union members and ranges, integer widths and bounds, bitmap sizes, and
// identities named with their modules.
#include "check.h"

#include <cstring>

namespace dstool
{

namespace
{

// YANG's names of base types, for messages.
std::string
base_text(uint8_t base)
{
    static const char *const names[] = {
        "binary", "bits",        "boolean",     "decimal64",
        "empty",  "enumeration", "identityref", "instance-identifier",
        "int8",   "int16",       "int32",       "int64",
        "string", "uint8",       "uint16",      "uint32",
        "uint64", "union"};
    if (base >= DS_DOC_BINARY && base <= DS_DOC_UNION)
        return names[base - DS_DOC_BINARY];
    return "base " + std::to_string(base);
}

// The bytes of an integer base (0 for another base), and its bounds as the
// library holds them (uint64 up to INT64_MAX).
uint32_t
int_width(uint8_t base, int64_t &min, int64_t &max)
{
    bool is_signed = base >= DS_DOC_INT8 && base <= DS_DOC_INT64;
    if (!is_signed && (base < DS_DOC_UINT8 || base > DS_DOC_UINT64))
        return 0;
    uint32_t bits = 8u << (base - (is_signed ? DS_DOC_INT8 : DS_DOC_UINT8));
    max = bits == 64 ? INT64_MAX : (int64_t{1} << (is_signed ? bits - 1 : bits)) - 1;
    min = is_signed ? -max - 1 : 0;
    return bits / 8;
}

// bits, members and ranges: present exactly for their base, in order.
void
check_rows(const DsDocValue &value, const std::string &where, Findings &out)
{
    bool is_int =
        value.base >= DS_DOC_INT8 && value.base <= DS_DOC_UINT64 && value.base != DS_DOC_STRING;
    bool bits = value.base == DS_DOC_BITS, members = value.base == DS_DOC_UNION;
    bool ranges = value.ranges != nullptr;
    bool rows_fit = (bits || members) ? value.count > 0 : value.count == 0 || ranges;
    rows_fit = rows_fit && (value.bits != nullptr) == bits &&
               (value.members != nullptr) == members &&
               (!ranges || ((is_int || value.base == DS_DOC_DECIMAL64) && value.count > 0));
    if (!rows_fit) {
        out.add(where,
                std::to_string(value.count) + " rows that do not fit " + base_text(value.base));
        return;
    }
    for (uint32_t b = 0; bits && b < value.count; ++b) {
        if (value.bits[b].name == nullptr)
            out.add(where, "bit " + std::to_string(b) + " without a name");
        if (b > 0 && value.bits[b].position <= value.bits[b - 1].position)
            out.add(where, "bits not in ascending position order at row " + std::to_string(b));
    }
    // uint64 bounds are the bits of uint64_t values: compared as such.
    uint64_t flip = value.base == DS_DOC_UINT64 ? uint64_t{1} << 63 : 0;
    auto bound = [&](uint32_t i) { return static_cast<int64_t>(value.ranges[i] ^ flip); };
    for (uint32_t r = 0; ranges && r < value.count; ++r)
        if (bound(2 * r) > bound(2 * r + 1) || (r > 0 && bound(2 * r) <= bound(2 * r - 1)))
            out.add(where, "range " + std::to_string(r) + " empty or out of order");
}

// The library type fits the base: integer bounds within the base's,
// a bitmap with room for every bit, identities named with their module.
void
check_library_type(const DsDocValue &value, const DsType *type, const std::string &where,
                   Findings &out)
{
    int64_t min = 0, max = 0;
    uint32_t bytes = int_width(value.base, min, max);
    bool fits = true;
    const DsType *bool_type = &ds_global_types[DS_BUILTIN_BOOL];
    switch (value.base) {
    case DS_DOC_BOOLEAN:
    case DS_DOC_EMPTY:
        fits = type == bool_type;
        break;
    case DS_DOC_DECIMAL64:
        fits = type->kind == DS_KIND_DOUBLE;
        break;
    case DS_DOC_BITS:
        fits = type->kind == DS_KIND_BITMAP &&
               (value.count == 0 || value.bits == nullptr ||
                type->p.bitmap.bit_count > value.bits[value.count - 1].position);
        break;
    case DS_DOC_ENUMERATION:
        fits = type->kind == DS_KIND_ENUM;
        break;
    case DS_DOC_IDENTITYREF:
        fits = type->kind == DS_KIND_ENUM;
        for (uint32_t e = 0; fits && e < type->p.enumeration.count; ++e)
            fits = type->p.enumeration.values[e].name != nullptr &&
                   std::strchr(type->p.enumeration.values[e].name, ':') != nullptr;
        break;
    case DS_DOC_UNION:
        fits = type->kind == DS_KIND_STRING || type->kind == DS_KIND_ENUM;
        break;
    case DS_DOC_STRING:
        fits = type->kind == DS_KIND_STRING || type->kind == DS_KIND_CONVERTED;
        break;
    case DS_DOC_BINARY:
    case DS_DOC_INSTANCE_IDENTIFIER:
        fits = type->kind == DS_KIND_STRING;
        break;
    default:
        fits = bytes != 0 && type->kind == DS_KIND_INT && type->size <= bytes &&
               type->p.integer.min >= min && type->p.integer.max <= max;
    }
    if (!fits)
        out.add(where, base_text(value.base) + " does not fit the " +
                           (type->name ? check_quoted(type->name) + " " : std::string()) +
                           ds__kind_name(type->kind) + " of " + std::to_string(type->size) +
                           (type->size == 1 ? " byte" : " bytes") + " that holds the value");
}

} // namespace

void
check_doc_value(const DsDocValue &value, const DsType *type, const std::string &where, bool member,
                Findings &out)
{
    if (value.base < DS_DOC_BINARY || value.base > DS_DOC_UNION) {
        out.add(where, base_text(value.base) + " unknown");
        return;
    }
    if (value.canon > DS_DOC_CANON_DATE_AND_TIME ||
        (value.canon != DS_DOC_CANON_NONE && value.base != DS_DOC_STRING))
        out.add(where, "canonical form " + std::to_string(value.canon) + " on " +
                           base_text(value.base) +
                           (value.canon > DS_DOC_CANON_DATE_AND_TIME ? "" : ", not a string"));
    if ((value.base == DS_DOC_DECIMAL64) !=
        (value.fraction_digits >= 1 && value.fraction_digits <= 18))
        out.add(where, "fraction digits " + std::to_string(value.fraction_digits) + " on " +
                           base_text(value.base) +
                           (value.base == DS_DOC_DECIMAL64 ? ", not 1..18" : ", which has none"));
    if (value.pattern != nullptr &&
        (!member || (value.base != DS_DOC_STRING && value.base != DS_DOC_ENUMERATION)))
        out.add(where, "a pattern on a value that is no string or enumeration member of a union");
    check_rows(value, where, out);
    if (value.base == DS_DOC_UNION && value.members != nullptr) {
        for (uint32_t m = 0; m < value.count; ++m) {
            std::string at = where + " member " + std::to_string(m);
            if (value.members[m].base == DS_DOC_UNION)
                out.add(at, "a union inside a union");
            else
                check_doc_value(value.members[m], nullptr, at, true, out);
        }
    }
    if (type != nullptr)
        check_library_type(value, type, where, out);
}

} // namespace dstool
