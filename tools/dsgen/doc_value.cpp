// The document data of one value: how a leaf's values are written in RFC
// 7951 JSON (the YANG base type, a union's members, bits, fraction digits,
// ranges, and the canonical form that libyang's type plugins give a text),
// and a leaf's default as libyang prints it; doc_schema.cpp puts them into
// the records of the key nodes.
#include "dsgen.h"

#include <libyang/plugins_types.h>

#include <algorithm>
#include <cstdio>

namespace dsgen
{

namespace
{

uint8_t
base_of(LY_DATA_TYPE type)
{
    switch (type) {
    case LY_TYPE_BINARY:
        return DS_DOC_BINARY;
    case LY_TYPE_BITS:
        return DS_DOC_BITS;
    case LY_TYPE_BOOL:
        return DS_DOC_BOOLEAN;
    case LY_TYPE_DEC64:
        return DS_DOC_DECIMAL64;
    case LY_TYPE_EMPTY:
        return DS_DOC_EMPTY;
    case LY_TYPE_ENUM:
        return DS_DOC_ENUMERATION;
    case LY_TYPE_IDENT:
        return DS_DOC_IDENTITYREF;
    case LY_TYPE_INST:
        return DS_DOC_INSTANCE_IDENTIFIER;
    case LY_TYPE_INT8:
        return DS_DOC_INT8;
    case LY_TYPE_INT16:
        return DS_DOC_INT16;
    case LY_TYPE_INT32:
        return DS_DOC_INT32;
    case LY_TYPE_INT64:
        return DS_DOC_INT64;
    case LY_TYPE_UINT8:
        return DS_DOC_UINT8;
    case LY_TYPE_UINT16:
        return DS_DOC_UINT16;
    case LY_TYPE_UINT32:
        return DS_DOC_UINT32;
    case LY_TYPE_UINT64:
        return DS_DOC_UINT64;
    case LY_TYPE_UNION:
        return DS_DOC_UNION;
    default:
        return DS_DOC_STRING;
    }
}

// The texts that libyang's type plugins rewrite are those of the plugins
// named here (an id reads "libyang 2 - ipv6-address, version 1"); a typedef
// derived from one of them keeps its plugin.
uint8_t
canon_of(const struct lysc_type *type)
{
    static const std::pair<const char *, uint8_t> plugins[] = {
        {"ipv6-address", DS_DOC_CANON_IPV6_ADDRESS},
        {"ipv6-address-no-zone", DS_DOC_CANON_IPV6_ADDRESS},
        {"ipv4-prefix", DS_DOC_CANON_IPV4_PREFIX},
        {"ipv6-prefix", DS_DOC_CANON_IPV6_PREFIX},
        {"date-and-time", DS_DOC_CANON_DATE_AND_TIME},
    };
    if (type->basetype != LY_TYPE_STRING || type->plugin == nullptr || type->plugin->id == nullptr)
        return DS_DOC_CANON_NONE;
    std::string id = type->plugin->id;
    size_t dash = id.find(" - "), comma = id.find(',');
    if (dash == std::string::npos || comma == std::string::npos || comma < dash)
        return DS_DOC_CANON_NONE;
    std::string name = id.substr(dash + 3, comma - dash - 3);
    for (const auto &[plugin, canon] : plugins)
        if (name == plugin)
            return canon;
    return DS_DOC_CANON_NONE;
}

// Range parts as pairs; unsigned bounds as the bits of their uint64_t.
std::vector<int64_t>
range_pairs(const struct lysc_range *range, bool is_unsigned)
{
    std::vector<int64_t> out;
    if (range == nullptr)
        return out;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(range->parts, i)
    {
        const auto &part = range->parts[i];
        if (is_unsigned) {
            out.push_back(static_cast<int64_t>(part.min_u64));
            out.push_back(static_cast<int64_t>(part.max_u64));
        } else {
            out.push_back(part.min_64);
            out.push_back(part.max_64);
        }
    }
    return out;
}

const struct lysc_range *
range_of(const struct lysc_type *type)
{
    if (type->basetype == LY_TYPE_DEC64)
        return reinterpret_cast<const struct lysc_type_dec *>(type)->range;
    return reinterpret_cast<const struct lysc_type_num *>(type)->range;
}

// A JSON string as libyang prints it: quotes and backslashes escaped,
// control characters as \u00XX, everything else as it is.
std::string
json_string(const char *text)
{
    std::string out = "\"";
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\') {
            out += '\\';
            out += *c;
        } else if (static_cast<unsigned char>(*c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(*c));
            out += escaped;
        } else {
            out += *c;
        }
    }
    return out + "\"";
}

// One value as libyang's JSON printer writes it: the smaller integers and
// booleans bare, empty as [null], everything else as a string.
std::string
json_value(const struct ly_ctx *ctx, const struct lyd_value *value)
{
    const struct lysc_type *type = value->realtype;
    if (type->basetype == LY_TYPE_UNION && value->subvalue != nullptr)
        type = value->subvalue->value.realtype;
    const char *text = lyd_value_get_canonical(ctx, value);
    switch (type->basetype) {
    case LY_TYPE_INT8:
    case LY_TYPE_INT16:
    case LY_TYPE_INT32:
    case LY_TYPE_UINT8:
    case LY_TYPE_UINT16:
    case LY_TYPE_UINT32:
    case LY_TYPE_BOOL:
        return text;
    case LY_TYPE_EMPTY:
        return "[null]";
    default:
        return json_string(text);
    }
}

} // namespace

DocValue
doc_value(const struct lysc_type *type, const TypeMapper &mapper, bool member)
{
    if (type->basetype == LY_TYPE_LEAFREF)
        type = reinterpret_cast<const struct lysc_type_leafref *>(type)->realtype;
    DocValue value;
    value.base = base_of(type->basetype);
    value.canon = canon_of(type);
    switch (type->basetype) {
    case LY_TYPE_DEC64:
        value.fraction_digits =
            reinterpret_cast<const struct lysc_type_dec *>(type)->fraction_digits;
        value.ranges = range_pairs(range_of(type), false);
        break;
    case LY_TYPE_BITS: {
        const auto *bits = reinterpret_cast<const struct lysc_type_bits *>(type);
        LY_ARRAY_COUNT_TYPE i;
        LY_ARRAY_FOR(bits->bits, i)
        {
            value.bits.emplace_back(bits->bits[i].name, bits->bits[i].position);
        }
        std::sort(value.bits.begin(), value.bits.end(),
                  [](const auto &a, const auto &b) { return a.second < b.second; });
        break;
    }
    case LY_TYPE_UNION: {
        const auto *un = reinterpret_cast<const struct lysc_type_union *>(type);
        LY_ARRAY_COUNT_TYPE i;
        LY_ARRAY_FOR(un->types, i)
        {
            value.members.push_back(doc_value(un->types[i], mapper, true));
        }
        break;
    }
    case LY_TYPE_STRING:
    case LY_TYPE_ENUM:
        if (member && mapper.member_pattern(type) != nullptr)
            value.pattern = *mapper.member_pattern(type);
        break;
    default:
        if (value.base >= DS_DOC_UINT8 && value.base <= DS_DOC_UINT64)
            value.ranges = range_pairs(range_of(type), true);
        else if (value.base >= DS_DOC_INT8 && value.base <= DS_DOC_INT64)
            value.ranges = range_pairs(range_of(type), false);
    }
    return value;
}

std::optional<std::string>
doc_default(const struct lysc_node *node)
{
    const struct ly_ctx *ctx = node->module->ctx;
    if (node->nodetype == LYS_LEAF) {
        const auto *leaf = reinterpret_cast<const struct lysc_node_leaf *>(node);
        if (leaf->dflt == nullptr)
            return std::nullopt;
        return json_value(ctx, leaf->dflt);
    }
    const auto *list = reinterpret_cast<const struct lysc_node_leaflist *>(node);
    if (list->dflts == nullptr)
        return std::nullopt;
    std::string out = "[";
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(list->dflts, i)
    {
        out += (i == 0 ? "" : ",") + json_value(ctx, list->dflts[i]);
    }
    return out + "]";
}

} // namespace dsgen
