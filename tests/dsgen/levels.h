// What the tests that hold a generated module against libyang share: a
// libyang context on the models, the levels of the loaded key forests with
// their schema paths, leaf types, bit names as the library's bit numbers, and
// sample values of libyang types.
#pragma once

#include "dstypes.h"

#include <json-c/json.h>

#include <libyang/libyang.h>

#include <cctype>
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

// The models as libyang compiles them: files found in search_dirs (separated
// by ":"), each parsed with its features (a null-ended list; "*" for all, null
// for none). Null when libyang refuses one, with its words in *error.
inline struct ly_ctx *
yang_context(const char *search_dirs, const std::vector<std::string> &files,
             const std::vector<const char **> &features,
             std::vector<const struct lys_module *> *modules = nullptr,
             std::string *error = nullptr)
{
    struct ly_ctx *ctx = nullptr;
    ly_log_options(0);
    if (ly_ctx_new(search_dirs, LY_CTX_DISABLE_SEARCHDIR_CWD | LY_CTX_NO_YANGLIBRARY, &ctx))
        return nullptr;
    for (size_t i = 0; i < files.size(); ++i) {
        struct ly_in *in = nullptr;
        ly_in_new_filepath(files[i].c_str(), 0, &in);
        struct lys_module *module = nullptr;
        LY_ERR err = lys_parse(ctx, in, LYS_IN_YANG, features[i], &module);
        ly_in_free(in, 0);
        if (modules != nullptr)
            modules->push_back(module);
        if (err != LY_SUCCESS) {
            if (error != nullptr)
                *error = ly_errmsg(ctx);
            ly_ctx_destroy(ctx);
            return nullptr;
        }
    }
    return ctx;
}

// The models of files (separated by ";") found in search_dirs, every feature
// on; libyang then logs as log_options say (LY_LOSTORE_LAST keeps the last
// error for ly_errmsg).
inline struct ly_ctx *
all_features_context(const char *search_dirs, const std::string &files, uint32_t log_options)
{
    static const char *all[] = {"*", nullptr};
    std::vector<std::string> list = split(files, ';');
    struct ly_ctx *ctx =
        yang_context(search_dirs, list, std::vector<const char **>(list.size(), all));
    ly_log_options(log_options);
    return ctx;
}

// The bit numbers of a bits type's names, as the library's bitmap text: the
// words of a libyang value joined by ","; a word that names no bit becomes
// "?", which no bitmap reads.
inline std::string
bit_positions(const struct lysc_type *yang, const std::string &text)
{
    const auto *bits = reinterpret_cast<const struct lysc_type_bits *>(yang);
    std::string positions;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        std::string item = "?";
        for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(bits->bits); ++i)
            if (word == bits->bits[i].name)
                item = std::to_string(bits->bits[i].position);
        positions += (positions.empty() ? "" : ",") + item;
    }
    return positions;
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

// Whether a text is a number as JSON writes one: -?(0|[1-9][0-9]*)(.[0-9]+)?
inline bool
json_number(const std::string &text)
{
    auto digit = [&text](size_t i) {
        return i < text.size() && std::isdigit((unsigned char)text[i]);
    };
    size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    if (!digit(i) || (text[i] == '0' && digit(i + 1)))
        return false;
    while (digit(i))
        ++i;
    if (i < text.size() && text[i] == '.') {
        size_t fraction = ++i;
        while (digit(i))
            ++i;
        if (i == fraction)
            return false;
    }
    return i == text.size();
}

// The JSON value that stands for a libyang value text under a type: a number
// where the type reads numbers and the text is one, a boolean for "bool"
// (an empty leaf's only value is ""), bit numbers for bit names, else the
// text as a JSON string.
inline json_object *
json_for(const DsType *type, const struct lysc_type *yang, const std::string &text)
{
    if ((type->kind == DS_KIND_INT || type->kind == DS_KIND_DOUBLE) && json_number(text)) {
        json_object *number = json_tokener_parse(text.c_str());
        if (number != nullptr && (json_object_get_type(number) == json_type_int ||
                                  json_object_get_type(number) == json_type_double))
            return number;
        json_object_put(number);
    }
    if (type == &ds_global_types[DS_BUILTIN_BOOL] &&
        (text == "true" || text == "false" || yang->basetype == LY_TYPE_EMPTY))
        return json_object_new_boolean(text != "false");
    if (type->kind == DS_KIND_BITMAP && yang->basetype == LY_TYPE_BITS)
        return json_object_new_string(bit_positions(yang, text).c_str());
    return json_object_new_string_len(text.c_str(), static_cast<int>(text.size()));
}
