// The levels of an entry's key path: the key it names found among the loaded
// modules, each level with its document data and its text in the path, and
// the identity of a list entry (its key levels' packed values). join_new
// resolves the joined node with them, join_add every entry.
#include "document/join_tree.h"

namespace doc
{

namespace
{

constexpr uint32_t kMaxLevels = DS_MAX_KEY_LEVELS;

} // namespace

bool
resolve_levels(const char *path, std::vector<Level> &out, std::string &reason)
{
    std::string_view components[kMaxLevels];
    size_t n = 0;
    size_t count = for_each_path_component(path, [&](std::string_view c) {
        if (n < kMaxLevels)
            components[n++] = c;
    });
    // Most paths are found in the first module's forest without asking the
    // library to cut and match the path again.
    const DsKeyNode *levels[kMaxLevels];
    uint32_t depth = count <= kMaxLevels ? first_forest_match(components, n, levels) : 0;
    if (depth == 0) {
        const DsKeyNode *key = ds_find_key(path, 0);
        depth = key != nullptr ? ds__get_key_levels(key, levels, kMaxLevels) : 0;
    }
    if (depth == 0 || count != depth) {
        reason = "names no key of a loaded module";
        return false;
    }
    out.reserve(out.size() + depth);
    for (uint32_t i = 0; i < depth; ++i) {
        Node node = node_of(levels[i], reason);
        if (node.doc == nullptr)
            return false;
        out.push_back({node, components[i]});
    }
    return true;
}

// The packed value of a typed level's component: the identity of a list
// entry is its key levels' packed values, one after another.
bool
level_identity(const Level &level, std::string &identity, json_object **library,
               std::string &reason)
{
    std::string text(level.component);
    json_tokener_error error = json_tokener_success;
    JsonPtr jo(json_tokener_parse_verbose(text.c_str(), &error));
    const DsType *type = level.node.key->field_type;
    std::string packed(ds_type_size(type), '\0');
    if (error != json_tokener_success || jo == nullptr ||
        !ds_jo_to_c(type, jo.get(), packed.data(), packed.size())) {
        reason = "key " + text + " is not a valid " +
                 (level.node.doc->name ? level.node.doc->name : "key");
        return false;
    }
    identity += packed;
    if (library != nullptr)
        *library = ds_c_to_jo(type, packed.data(), packed.size());
    return true;
}

JoinNode *
find_child(const JoinNode *parent, const DsKeyNode *key)
{
    if (parent == nullptr)
        return nullptr;
    for (const auto &child : parent->children)
        if (child->node.key == key)
            return child.get();
    return nullptr;
}

} // namespace doc
