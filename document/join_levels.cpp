// The levels of an entry's key path: the key it names found among the loaded
// modules, each level with its document data and its text in the path, and
// the identity of a list entry (its key levels' packed values). join_new
// resolves the joined node with them, join_add every entry.
#include "document/join_tree.h"
#include "keys/keys.h"

#include <algorithm>

namespace doc
{

namespace
{

constexpr uint32_t kMaxLevels = DS_MAX_KEY_LEVELS;

// How many of memo's levels path shares: each such component ends before
// the first byte in which the two paths differ, so the cut up to it is the
// same (a separator is never inside a quoted stretch).
size_t
shared_levels(std::string_view path, const PathMemo &memo)
{
    if (memo.nodes.empty())
        return 0;
    if (path == memo.path)
        return memo.nodes.size();
    auto differ = std::mismatch(path.begin(), path.end(), memo.path.begin(), memo.path.end());
    size_t common = static_cast<size_t>(differ.first - path.begin());
    size_t shared = 0;
    while (shared < memo.ends.size() && memo.ends[shared] < common)
        ++shared;
    return shared;
}

// The key that count components name, its levels top first in levels (the
// first shared of them given); count, or 0 when the first module's forest
// lacks the path.
uint32_t
match_rest(const std::string_view *components, uint32_t count, uint32_t shared,
           const DsKeyNode **levels)
{
    if (shared == 0)
        return first_forest_match(components, count, levels);
    if (shared == count)
        return count;
    const DsKeyNode *first = first_child(levels[shared - 1]);
    if (first == nullptr)
        return 0;
    DsPathComponent parts[kMaxLevels];
    for (uint32_t i = shared; i < count; ++i)
        parts[i] = {components[i].data(), static_cast<uint32_t>(components[i].size())};
    // Within the first module's forest, checked to be a plain tree before the
    // memo got any level from it: every link is followed as written.
    KeyForest forest{first, 0, nullptr};
    return match_components(parts + shared, count - shared, forest, levels + shared) != nullptr
               ? count
               : 0;
}

} // namespace

bool
resolve_levels(const char *path, std::vector<Level> &out, std::string &reason, PathMemo *memo)
{
    std::string_view text(path);
    size_t shared = memo != nullptr ? shared_levels(text, *memo) : 0;
    std::string_view components[kMaxLevels];
    size_t ends[kMaxLevels];
    const DsKeyNode *levels[kMaxLevels];
    for (size_t i = 0; i < shared; ++i) {
        size_t start = i == 0 ? 1 : memo->ends[i - 1] + 1;
        components[i] = text.substr(start, memo->ends[i] - start);
        ends[i] = memo->ends[i];
        levels[i] = memo->nodes[i].key;
    }
    size_t n = shared;
    size_t count = shared;
    for (size_t start = shared == 0 ? 1 : ends[shared - 1] + 1; start < text.size(); ++count) {
        size_t end = ds::detail::component_end(text, start);
        if (n < kMaxLevels) {
            components[n] = text.substr(start, end - start);
            ends[n++] = end;
        }
        start = end + 1;
    }
    // Most paths are found in the first module's forest without asking the
    // library to cut and match the path again.
    uint32_t depth = count <= kMaxLevels ? match_rest(components, n, shared, levels) : 0;
    bool in_first = depth != 0;
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
        Node node = i < shared ? memo->nodes[i] : node_of(levels[i], reason);
        if (node.doc == nullptr)
            return false;
        out.push_back({node, components[i]});
    }
    if (memo == nullptr)
        return true;
    memo->nodes.clear();
    if (!in_first)
        return true;
    memo->path.assign(text);
    memo->ends.assign(ends, ends + depth);
    for (const Level &level : out)
        memo->nodes.push_back(level.node);
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
    for (JoinNode *child = parent->first_child; child != nullptr; child = child->next)
        if (child->node.key == key)
            return child;
    return nullptr;
}

JoinNode *
find_entry(const JoinNode *list, const std::string &identity)
{
    if (list == nullptr || list->by_identity == nullptr)
        return nullptr;
    auto it = list->by_identity->find(identity);
    return it != list->by_identity->end() ? it->second : nullptr;
}

} // namespace doc
