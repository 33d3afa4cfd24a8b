// What the tests that hold a generated module against libyang share: the
// levels of the loaded key forests with their schema paths, and leaf types.
#pragma once

#include "dstypes.h"

#include <libyang/libyang.h>

#include <cstring>
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
