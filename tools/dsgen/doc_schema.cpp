// The document data of a module: for each level of the key forest, what the
// YANG data tree says about it (kind, config, module, place in libyang's
// print, keys, choices, and its values' encoding and default from
// doc_value.cpp), read from libyang's compiled schema. emit_doc.cpp prints
// it as C.
#include "dsgen.h"

#include <algorithm>
#include <cstring>

namespace dsgen
{

namespace
{

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
                doc.value = doc_value(leaf_type(node), mapper_, false);
            return doc;
        }
        doc.choices = choices_of(node);
        if ((node->nodetype & (LYS_LEAF | LYS_LEAFLIST)) == 0)
            return doc;
        doc.value = doc_value(leaf_type(node), mapper_, false);
        doc.default_json = doc_default(node);
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
