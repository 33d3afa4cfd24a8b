// The document data of a module: for each level of the key forest, what the
// YANG data tree says about it (kind, config, module, print order, keys,
// choices, default, and how its values are written in RFC 7951 JSON), read
// from libyang's compiled schema. emit_doc.cpp prints it as C.
#include "dsgen.h"

#include <libyang/plugins_types.h>

#include <algorithm>
#include <cstring>

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

DocValue
value_of(const struct lysc_type *type, const TypeMapper &mapper, bool member)
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
            value.members.push_back(value_of(un->types[i], mapper, true));
        }
        break;
    }
    case LY_TYPE_STRING:
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

std::optional<std::string>
default_of(const struct lysc_node *node)
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

// The choices and cases between a node and its data parent, outermost first.
std::optional<std::string>
choices_of(const struct lysc_node *node)
{
    std::string out;
    for (const struct lysc_node *up = node->parent;
         up != nullptr && (up->nodetype & (LYS_CHOICE | LYS_CASE)) != 0; up = up->parent) {
        std::string step = up->name;
        if (up->nodetype == LYS_CHOICE && (up->flags & LYS_MAND_TRUE) != 0)
            step += "!";
        out = step + (out.empty() ? "" : "/") + out;
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

// Whether the node, or a choice or case between it and its data parent, has
// a when condition (those of uses and augment are compiled onto them).
bool
has_when(const struct lysc_node *node)
{
    for (const struct lysc_node *up = node; up != nullptr; up = up->parent) {
        if (lysc_node_when(up) != nullptr)
            return true;
        if (up->parent == nullptr || (up->parent->nodetype & (LYS_CHOICE | LYS_CASE)) == 0)
            return false;
    }
    return false;
}

const struct lysc_type *
leaf_type(const struct lysc_node *node)
{
    return node->nodetype == LYS_LEAF
               ? reinterpret_cast<const struct lysc_node_leaf *>(node)->type
               : reinterpret_cast<const struct lysc_node_leaflist *>(node)->type;
}

uint8_t
kind_of(const KeyLevel &level)
{
    if (level.key_index >= 0)
        return DS_DOC_LIST_KEY;
    switch (level.node->nodetype) {
    case LYS_CONTAINER:
        return lysc_is_np_cont(level.node) ? DS_DOC_CONTAINER : DS_DOC_PRESENCE;
    case LYS_LIST:
        return DS_DOC_LIST;
    case LYS_LEAFLIST:
        return DS_DOC_LEAF_LIST;
    default:
        return DS_DOC_LEAF;
    }
}

uint8_t
flags_of(const struct lysc_node *node, uint8_t kind)
{
    uint8_t flags = 0;
    if ((node->flags & LYS_CONFIG_W) != 0)
        flags |= DS_DOC_CONFIG;
    if (kind == DS_DOC_LIST_KEY || (kind == DS_DOC_LEAF && (node->flags & LYS_MAND_TRUE) != 0))
        flags |= DS_DOC_MANDATORY;
    if ((node->flags & LYS_CONFIG_W) != 0 && lysc_is_userordered(node))
        flags |= DS_DOC_USER_ORDERED;
    if (has_when(node))
        flags |= DS_DOC_WHEN;
    return flags;
}

class Builder
{
  public:
    Builder(const Forest &forest, const TypeMapper &mapper) : forest_(forest), mapper_(mapper) {}

    DocSchema
    build()
    {
        DocSchema doc;
        std::vector<int> order = preorder(forest_);
        for (int index : order)
            doc.nodes.push_back(node_of(index, doc.modules));
        std::vector<uint32_t> place = print_places();
        for (size_t i = 0; i < order.size(); ++i)
            doc.nodes[i].order = place[order[i]];
        return doc;
    }

  private:
    DocNode
    node_of(int index, std::vector<std::string> &modules) const
    {
        const KeyLevel &level = forest_.levels[index];
        DocNode doc;
        // The position level of a keyless list stands for no schema node:
        // it takes the list's module and config.
        const struct lysc_node *node =
            level.node != nullptr ? level.node : forest_.levels[level.parent].node;
        doc.kind = kind_of(level);
        doc.flags = flags_of(node, doc.kind);
        doc.module = module_index(node->module->name, modules);
        doc.name = level.node != nullptr ? node->name : level.name;
        doc.key_index = static_cast<uint16_t>(std::max(level.key_index, 0));
        if (doc.kind == DS_DOC_LIST)
            doc.key_count = key_count(node);
        if (level.node == nullptr || doc.kind == DS_DOC_LIST_KEY) {
            if (level.node != nullptr)
                doc.value = value_of(leaf_type(node), mapper_, false);
            return doc;
        }
        doc.choices = choices_of(node);
        if ((node->nodetype & (LYS_LEAF | LYS_LEAFLIST)) == 0)
            return doc;
        doc.value = value_of(leaf_type(node), mapper_, false);
        doc.default_json = default_of(node);
        return doc;
    }

    static uint16_t
    module_index(const char *name, std::vector<std::string> &modules)
    {
        auto found = std::find(modules.begin(), modules.end(), name);
        if (found == modules.end())
            found = modules.insert(modules.end(), name);
        return static_cast<uint16_t>(found - modules.begin());
    }

    static uint16_t
    key_count(const struct lysc_node *list)
    {
        uint16_t count = 0;
        for (const struct lysc_node *child = lysc_node_child(list);
             child != nullptr && lysc_is_key(child); child = child->next)
            ++count;
        return count;
    }

    // The place of every level in the JSON object that libyang prints it
    // in: top-level nodes by module name, then in schema order; a list
    // entry's keys first, then its other children in schema order (which
    // is the order of the forest's children).
    std::vector<uint32_t>
    print_places() const
    {
        std::vector<uint32_t> place(forest_.levels.size(), 0);
        std::vector<int> roots = forest_.roots;
        std::stable_sort(roots.begin(), roots.end(), [this](int a, int b) {
            return std::strcmp(forest_.levels[a].node->module->name,
                               forest_.levels[b].node->module->name) < 0;
        });
        for (size_t i = 0; i < roots.size(); ++i)
            place[roots[i]] = static_cast<uint32_t>(i);
        for (const KeyLevel &level : forest_.levels) {
            // The members of a list entry follow its keys; a keyless list's
            // position is no member.
            uint32_t first = level.key_index >= 0 && level.node != nullptr
                                 ? static_cast<uint32_t>(level.key_index) + 1
                                 : 0;
            for (size_t i = 0; i < level.children.size(); ++i) {
                const KeyLevel &child = forest_.levels[level.children[i]];
                place[level.children[i]] = child.key_index >= 0
                                               ? static_cast<uint32_t>(child.key_index)
                                               : first + static_cast<uint32_t>(i);
            }
        }
        return place;
    }

    const Forest &forest_;
    const TypeMapper &mapper_;
};

} // namespace

std::vector<int>
preorder(const Forest &forest)
{
    std::vector<int> out;
    std::vector<int> stack(forest.roots.rbegin(), forest.roots.rend());
    while (!stack.empty()) {
        int level = stack.back();
        stack.pop_back();
        out.push_back(level);
        const std::vector<int> &children = forest.levels[level].children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return out;
}

DocSchema
build_doc_schema(const Forest &forest, const TypeMapper &mapper)
{
    return Builder(forest, mapper).build();
}

} // namespace dsgen
