// What the tests that hold a generated module against libyang share: the
// levels of the loaded key forests with their schema paths, leaf types, and
// sample values of libyang types.
#pragma once

#include "dstypes.h"

#include <libyang/libyang.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::string>
split(const std::string &text, char sep)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, sep);)
        parts.push_back(part);
    return parts;
}

// A leaf's or leaf-list's type, a leafref's target type for a leafref.
inline const struct lysc_type *
yang_type(const struct lysc_node *node)
{
    const struct lysc_type *type = node->nodetype == LYS_LEAF
                                       ? ((const struct lysc_node_leaf *)node)->type
                                       : ((const struct lysc_node_leaflist *)node)->type;
    return type->basetype == LY_TYPE_LEAFREF ? ((const struct lysc_type_leafref *)type)->realtype
                                             : type;
}

// Texts that probe the string typedefs of these models at their edges.
inline const std::string kTexts =
    "|a|eth0|a b|a\nb|192.0.2.1|0.0.0.0|255.255.255.255|1.2.3.4%eth0|::|::1|2001:db8::1|"
    "fe80::1%eth0|::ffff:1.2.3.4|::1.02.3.4|1:2:3:4:5:6:7:8|example.com|example.com.|.|"
    "_sip._tcp.example.com|-a.example|2023-01-01T00:00:00Z|2023-01-01T00:00:00.5+05:30|"
    "00:1a:2b:3c:4d:5e|0|12345678-1234-1234-1234-123456789abc|$0$secret|$0$a\nb|"
    "$1$abc$0123456789abcdefghijkl|$5$rounds=5000$s$x|AAAA|AAA=|AA==|AAAA\n|10.0.0.0/8|"
    "2001:db8::/32|Europe/Berlin|urn:ietf:params:x|x$|^x|\\";

// Values at the edges of a libyang type: every name it knows and a near one,
// range ends and their neighbours, the fixed texts for strings.
inline void
add_type_samples(const struct lysc_type *type, std::set<std::string> &out)
{
    switch (type->basetype) {
    case LY_TYPE_UNION: {
        const auto *un = reinterpret_cast<const struct lysc_type_union *>(type);
        for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(un->types); ++i)
            add_type_samples(un->types[i], out);
        return;
    }
    case LY_TYPE_ENUM: {
        const auto *en = reinterpret_cast<const struct lysc_type_enum *>(type);
        for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(en->enums); ++i)
            out.insert({en->enums[i].name, std::string(en->enums[i].name) + "x"});
        return;
    }
    case LY_TYPE_BITS: {
        const auto *bits = reinterpret_cast<const struct lysc_type_bits *>(type);
        for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(bits->bits); ++i)
            out.insert(bits->bits[i].name);
        out.insert({std::string(bits->bits[0].name) + " " + bits->bits[2].name, "no-such-bit"});
        return;
    }
    case LY_TYPE_IDENT: {
        const auto *id = reinterpret_cast<const struct lysc_type_identityref *>(type);
        for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(id->bases); ++i) {
            std::string base = std::string(id->bases[i]->module->name) + ":" + id->bases[i]->name;
            out.insert({base, base + "x"}); // the base itself is not derived from it
            for (LY_ARRAY_COUNT_TYPE j = 0; j < LY_ARRAY_COUNT(id->bases[i]->derived); ++j) {
                const struct lysc_ident *d = id->bases[i]->derived[j];
                out.insert(std::string(d->module->name) + ":" + d->name);
            }
        }
        return;
    }
    case LY_TYPE_BOOL:
        out.insert({"true", "false", "1", "True"});
        return;
    case LY_TYPE_EMPTY:
        out.insert("");
        return;
    case LY_TYPE_DEC64:
        out.insert({"0", "-1.5", "2.25", "100", "1.2345"});
        return;
    case LY_TYPE_STRING:
    case LY_TYPE_BINARY:
        for (const std::string &text : split(kTexts, '|'))
            out.insert(text);
        for (size_t length : {64, 65, 253, 300})
            out.insert(std::string(length, 'a'));
        return;
    default: {
        const auto *num = reinterpret_cast<const struct lysc_type_num *>(type);
        bool is_signed = type->basetype >= LY_TYPE_INT8 && type->basetype <= LY_TYPE_INT64;
        out.insert({"0", "-1", "1.5", "9223372036854775807", "9223372036854775808",
                    "18446744073709551615", "-9223372036854775808"});
        for (LY_ARRAY_COUNT_TYPE i = 0; num->range && i < LY_ARRAY_COUNT(num->range->parts); ++i) {
            const auto &part = num->range->parts[i];
            __int128 lo = is_signed ? __int128(part.min_64) : __int128(part.min_u64);
            __int128 hi = is_signed ? __int128(part.max_64) : __int128(part.max_u64);
            for (__int128 v : {lo - 1, lo, hi, hi + 1}) // beyond 64 bits: the fixed texts
                if (v >= INT64_MIN && v <= INT64_MAX)
                    out.insert(std::to_string(static_cast<long long>(v)));
        }
    }
    }
}

// A leaf key or typed level of the loaded forests, with the schema path of
// its leaf and the type of one value (an array's element).
struct Level {
    const DsKeyNode *node;
    std::string schema_path;
    const DsType *type;
};

// Every leaf key and typed level, but the position of a keyless list (which
// has no leaf in the model).
inline std::vector<Level>
forest_levels()
{
    std::vector<Level> out;
    ds__all_keys(
        [](void *ctx, const DsKeyNode *node) {
            const DsKeyNode *path[DS_MAX_KEY_LEVELS];
            uint32_t depth = ds__get_key_levels(node, path, DS_MAX_KEY_LEVELS);
            std::string schema;
            for (uint32_t i = 0; i < depth; ++i)
                if (path[i]->field_type == nullptr || i + 1 == depth)
                    schema += std::string("/") + path[i]->name;
            bool position = node->field_type == &ds_global_types[DS_BUILTIN_U32] &&
                            std::strcmp(node->name, "position") == 0;
            if (node->leaf_type == nullptr && (node->field_type == nullptr || position))
                return;
            const DsType *type = node->leaf_type ? node->leaf_type : node->field_type;
            type = type->kind == DS_KIND_ARRAY ? type->p.array.element : type;
            static_cast<std::vector<Level> *>(ctx)->push_back({node, schema, type});
        },
        &out);
    return out;
}
