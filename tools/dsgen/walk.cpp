// The forest walk: the compiled data trees of the named modules (after uses,
// augment and refine) become a key forest that mirrors them. A container is a
// literal level; a list is a literal level and then one typed level per key
// leaf (a keyless list: one "u32" level, the entry's position); every other
// leaf is a leaf key, a leaf-list one whose type is an array. Choice and case
// add no level. Names follow RFC 7951: "module:name" at the top and wherever
// an augment changes the module. Operations and notifications are left out.
#include "dsgen.h"

namespace dsgen
{

namespace
{

class Walker
{
  public:
    Walker(TypeMapper &mapper, Forest &forest) : mapper_(mapper), forest_(forest) {}

    bool
    walk_module(const struct lys_module *module)
    {
        const struct lysc_node *node = nullptr;
        while ((node = lys_getnext(node, nullptr, module->compiled, 0)) != nullptr)
            walk_node(node, -1);
        return ok_;
    }

  private:
    int
    add_level(int parent, const std::string &name, const std::string &path_part)
    {
        KeyLevel level;
        level.name = name;
        level.parent = parent;
        const KeyLevel *up = parent < 0 ? nullptr : &forest_.levels[parent];
        level.key_name = (up != nullptr ? up->key_name : "") + "/" + path_part;
        level.schema_path = up != nullptr ? up->schema_path : "";
        forest_.levels.push_back(level);
        int index = static_cast<int>(forest_.levels.size()) - 1;
        if (parent < 0)
            forest_.roots.push_back(index);
        else
            forest_.levels[parent].children.push_back(index);
        return index;
    }

    int
    add_literal(int parent, const struct lysc_node *node)
    {
        const struct lysc_node *up = lysc_data_parent(node);
        std::string name = node->name;
        if (up == nullptr || up->module != node->module)
            name = std::string(node->module->name) + ":" + name;
        int index = add_level(parent, name, name);
        forest_.levels[index].schema_path += "/" + name;
        forest_.levels[index].node = node;
        return index;
    }

    int
    add_typed(int parent, const std::string &name, TypeRef type, const struct lysc_node *key,
              int key_index)
    {
        int index = add_level(parent, name, "*");
        forest_.levels[index].field_type = type;
        forest_.levels[index].node = key;
        forest_.levels[index].key_index = key_index;
        return index;
    }

    void
    walk_children(const struct lysc_node *node, int parent)
    {
        const struct lysc_node *child = nullptr;
        while ((child = lys_getnext(child, node, nullptr, 0)) != nullptr)
            walk_node(child, parent);
    }

    void
    walk_node(const struct lysc_node *node, int parent)
    {
        switch (node->nodetype) {
        case LYS_CONTAINER:
            walk_children(node, add_literal(parent, node));
            return;
        case LYS_LIST:
            walk_list(node, parent);
            return;
        case LYS_LEAF:
        case LYS_LEAFLIST: {
            if (lysc_is_key(node))
                return;
            int index = add_literal(parent, node);
            TypeRef type = mapper_.map_leaf(node, forest_.levels[index].schema_path);
            ok_ = ok_ && type.is_set();
            forest_.levels[index].leaf_type = type;
            return;
        }
        case LYS_RPC:
        case LYS_ACTION:
        case LYS_NOTIF:
            report_warning(where_of(node),
                           std::string(lys_nodetype2str(node->nodetype)) +
                               " left out of the key forest",
                           "operations and notifications have no keys");
            return;
        default:
            report_warning(where_of(node),
                           std::string(lys_nodetype2str(node->nodetype)) +
                               " left out of the key forest: it has no libdstypes form",
                           "store its content under keys of its own");
        }
    }

    void
    walk_list(const struct lysc_node *node, int parent)
    {
        int level = add_literal(parent, node);
        if (node->flags & LYS_KEYLESS) {
            level = add_typed(level, "position", builtin_ref(DS_BUILTIN_U32), nullptr, 0);
        } else {
            int key_index = 0;
            for (const struct lysc_node *key = lysc_node_child(node);
                 key != nullptr && lysc_is_key(key); key = key->next) {
                std::string path = forest_.levels[level].schema_path + "/" + key->name;
                TypeRef type = mapper_.map_leaf(key, path);
                ok_ = ok_ && type.is_set();
                level = add_typed(level, key->name, type, key, key_index++);
                forest_.levels[level].schema_path = path;
            }
            // Leaves below the keys sit under the list's path, not the key's.
            forest_.levels[level].schema_path = forest_.levels[parent_literal(level)].schema_path;
        }
        walk_children(node, level);
    }

    // The literal level that a run of typed levels hangs from.
    int
    parent_literal(int level) const
    {
        while (forest_.levels[level].field_type.is_set())
            level = forest_.levels[level].parent;
        return level;
    }

    TypeMapper &mapper_;
    Forest &forest_;
    bool ok_ = true;
};

} // namespace

bool
walk_models(const Model &model, TypeMapper &mapper, Forest &forest)
{
    Walker walker(mapper, forest);
    bool ok = true;
    for (const struct lys_module *module : model.modules)
        ok = walker.walk_module(module) && ok;
    return ok;
}

} // namespace dsgen
