// The levels of an entry's key path: the key it names found among the loaded
// modules, each level with its document data and its text in the path, and
// the identity of a list entry (its key levels' packed values). join_new
// resolves the joined node with them, join_add every entry.
#include "document/join_tree.h"
#include "keys/keys.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace doc
{

namespace
{

constexpr uint32_t kMaxLevels = DS_MAX_KEY_LEVELS;

// The length of the longest common beginning of a and b.
size_t
common_prefix(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x == y)
            continue;
        if constexpr (std::endian::native == std::endian::little)
            return i + static_cast<size_t>(std::countr_zero(x ^ y)) / 8;
        break;
    }
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// How many of memo's levels path shares: each such component and the "/"
// after it lie in the beginning that the two paths have in common, so the
// cut up to there is the same (a separator is never inside a quoted stretch).
size_t
shared_levels(std::string_view path, const PathMemo &memo)
{
    if (memo.depth == 0)
        return 0;
    if (path == memo.path)
        return memo.depth;
    // A path mostly names a sibling of the one before, or a node below it:
    // the levels but the last are tried at once.
    size_t from = 0;
    size_t shared = 0;
    if (memo.depth >= 2) {
        size_t prefix = memo.cut.ends[memo.depth - 2] + 1; // with its "/"
        if (path.size() >= prefix && std::memcmp(path.data(), memo.path.data(), prefix) == 0) {
            from = prefix;
            shared = memo.depth - 1;
        }
    }
    size_t common =
        from + common_prefix(path.substr(from), std::string_view(memo.path).substr(from));
    while (shared < memo.depth && memo.cut.ends[shared] < common)
        ++shared;
    // The last level ran to the end of memo's path. A path that goes on
    // behind all of it with a "/" (a node below the one before) shares it
    // too, when that "/" is outside a quoted stretch: the level has no quote,
    // or is a string whose quotes close it.
    if (shared + 1 == memo.depth && common == memo.path.size() && path.size() > common &&
        path[common] == '/') {
        std::string_view last = std::string_view(memo.path).substr(
            memo.depth >= 2 ? memo.cut.ends[memo.depth - 2] + 1 : 1);
        std::string_view inner;
        if (last.find('"') == std::string_view::npos || plain_string(last, inner))
            ++shared;
    }
    return shared;
}

// The end of the component of text that begins at start, as the library
// cuts it: the next "/" when no double quote comes first (a literal level's
// name, a number), found eight bytes a step; else the library's cut.
size_t
component_end(std::string_view text, size_t start)
{
    const char *at = text.data() + start, *end = text.data() + text.size();
    constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
    for (; end - at >= 8; at += 8) {
        uint64_t word;
        std::memcpy(&word, at, sizeof word);
        // The lowest flagged byte of either test is exact (a borrow only
        // flags bytes above a true find).
        uint64_t slash = word ^ (kOnes * '/'), quote = word ^ (kOnes * '"');
        uint64_t found = (((slash - kOnes) & ~slash) | ((quote - kOnes) & ~quote)) & kHighs;
        if (found != 0) {
            at += std::countr_zero(found) / 8;
            break;
        }
    }
    bool scanned = at == end || *at == '/' || *at == '"';
    if (!scanned && end - text.data() >= 8 && std::endian::native == std::endian::little) {
        // The last bytes, as the last eight of the text with those before
        // at shifted out (zeros, which are neither).
        uint64_t word;
        std::memcpy(&word, end - 8, sizeof word);
        word >>= 8 * (8 - (end - at));
        uint64_t slash = word ^ (kOnes * '/'), quote = word ^ (kOnes * '"');
        uint64_t found = (((slash - kOnes) & ~slash) | ((quote - kOnes) & ~quote)) & kHighs;
        at = found != 0 ? at + std::countr_zero(found) / 8 : end;
    }
    while (at < end && *at != '/' && *at != '"')
        ++at;
    if (at < end && *at == '"')
        return ds::detail::component_end(text, start);
    return static_cast<size_t>(at - text.data());
}

// The slot of a node in PathMemo::verified.
size_t
verified_slot(const DsKeyNode *node)
{
    return (reinterpret_cast<uintptr_t>(node) / sizeof(DsKeyNode)) % 256;
}

// The node among first and its siblings that fits component, as the
// library's match takes it; literal ones are remembered in memo.
const DsKeyNode *
sibling_fitting(const DsKeyNode *first, std::string_view component, PathMemo &memo)
{
    // A typed first node fits every component (a list's key level).
    if (first->field_type != nullptr)
        return first;
    DsPathComponent part{component.data(), static_cast<uint32_t>(component.size())};
    // Within the first module's forest, checked to be a plain tree before the
    // memo got any level from it: every link is followed as written.
    KeyForest forest{first, 0, nullptr};
    auto &last = memo.last_in_chain[verified_slot(first) % memo.last_in_chain.size()];
    if (last.first == first) {
        for (const DsKeyNode *guess : {forest.next_sibling(last.second), first}) {
            if (guess == nullptr)
                continue;
            // A verified node is literal, and its name's length is known.
            const PathMemo::Verified &known = memo.verified[verified_slot(guess)];
            if (known.node == guess && known.length == component.size() &&
                std::memcmp(guess->name, component.data(), component.size()) == 0) {
                last.second = guess;
                return guess;
            }
        }
    }
    const DsKeyNode *node = nullptr;
    auto known = memo.literals.find({first, component});
    if (known != memo.literals.end()) {
        node = known->second;
    } else {
        node = first;
        while (node != nullptr && !node_fits(node, part))
            node = forest.next_sibling(node);
        if (node == nullptr || node->field_type != nullptr)
            return node;
        memo.literals.emplace(PathMemo::Sibling{first, {node->name, component.size()}}, node);
    }
    memo.verified[verified_slot(node)] = {node, component.size()};
    last = {first, node};
    return node;
}

// The key that count components name, its levels top first in levels (the
// first shared of them given); count, or 0 when the first module's forest
// lacks the path.
uint32_t
match_rest(const std::string_view *components, uint32_t count, uint32_t shared,
           const DsKeyNode **levels, PathMemo *memo)
{
    if (shared == 0)
        return first_forest_match(components, count, levels);
    for (uint32_t i = shared; i < count; ++i) {
        const DsKeyNode *first = first_child(levels[i - 1]);
        levels[i] = first != nullptr ? sibling_fitting(first, components[i], *memo) : nullptr;
        if (levels[i] == nullptr)
            return 0;
    }
    return count;
}

} // namespace

// The node of key, a node of the same module's forest as known (every link
// of a forest stays in its one array, whose document data has the same
// index), without looking for the module again.
Node
node_beside(const Node &known, const DsKeyNode *key)
{
    Node node = known;
    node.key = key;
    node.doc = known.doc + (key - known.key);
    return node;
}

bool
resolve_levels(const char *path, std::vector<Level> &out, std::string &reason, PathMemo *memo)
{
    std::string_view text(path);
    std::unique_ptr<PathCut> own;
    if (memo == nullptr)
        own = std::make_unique<PathCut>();
    PathCut &cut = memo != nullptr ? memo->cut : *own;
    size_t shared = memo != nullptr ? shared_levels(text, *memo) : 0;
    size_t *ends = cut.ends;
    const DsKeyNode **levels = cut.levels;
    // The shared levels keep their nodes, texts and ends.
    if (shared != 0)
        levels[shared - 1] = out[shared - 1].node.key;
    if (memo != nullptr) {
        // Until this path is resolved, no path's levels are known.
        memo->shared = 0;
        memo->depth = 0;
    }
    size_t n = shared;
    size_t count = shared;
    for (size_t start = shared == 0 ? 1 : ends[shared - 1] + 1; start < text.size(); ++count) {
        size_t end = component_end(text, start);
        if (n < kMaxLevels) {
            cut.components[n] = text.substr(start, end - start);
            ends[n++] = end;
        }
        start = end + 1;
    }
    // Most paths are found in the first module's forest without asking the
    // library to cut and match the path again.
    uint32_t depth = count <= kMaxLevels ? match_rest(cut.components, n, shared, levels, memo) : 0;
    bool in_first = depth != 0;
    if (depth == 0) {
        const DsKeyNode *key = ds_find_key(path, 0);
        depth = key != nullptr ? ds__get_key_levels(key, levels, kMaxLevels) : 0;
        shared = 0;
    }
    if (depth == 0 || count != depth) {
        out.clear();
        reason = "names no key of a loaded module";
        return false;
    }
    // The levels' texts lie in memo's copy of the path when the next path
    // may share them, else in the path.
    size_t fresh = shared;
    const char *base = text.data();
    if (memo != nullptr && in_first) {
        const char *before = memo->path.data();
        memo->path.assign(text);
        base = memo->path.data();
        fresh = base == before ? shared : 0;
    }
    out.resize(depth);
    for (size_t i = fresh; i < depth; ++i) {
        size_t start = i == 0 ? 1 : ends[i - 1] + 1;
        out[i].component = std::string_view(base + start, ends[i] - start);
    }
    for (size_t i = shared; i < depth; ++i) {
        out[i].node = i != 0 ? node_beside(out[i - 1].node, levels[i]) : node_of(levels[i], reason);
        if (out[i].node.doc == nullptr) {
            out.clear();
            return false;
        }
    }
    if (memo != nullptr && in_first) {
        memo->shared = shared;
        memo->depth = depth;
    }
    return true;
}

namespace
{

// The json-c object of a key component's JSON text. Keys are mostly strings
// without escapes and plain integers, which are made at once as json-c's
// parser makes them; other texts go through that parser.
JsonPtr
parse_component(std::string_view text)
{
    std::string_view inner;
    if (plain_string(text, inner))
        return JsonPtr(
            made(json_object_new_string_len(inner.data(), static_cast<int>(inner.size()))));
    int64_t number = 0;
    if (plain_integer(text, number))
        return JsonPtr(made(json_object_new_int64(number)));
    std::string copy(text);
    json_tokener_error error = json_tokener_success;
    errno = 0;
    JsonPtr jo(json_tokener_parse_verbose(copy.c_str(), &error));
    if (jo == nullptr || error != json_tokener_success)
        throw_if_out_of_memory(); // the tokener could not be made, or no value
    return error == json_tokener_success ? std::move(jo) : nullptr;
}

} // namespace

// The packed value of a typed level's component: the identity of a list
// entry is its key levels' packed values, one after another.
bool
level_identity(const Level &level, std::string &identity, json_object **library,
               std::string &reason)
{
    JsonPtr jo = parse_component(level.component);
    const DsType *type = level.node.key->field_type;
    size_t size = ds_type_size(type);
    size_t at = identity.size();
    identity.resize(at + size);
    errno = 0;
    if (jo == nullptr || !ds_jo_to_c(type, jo.get(), identity.data() + at, size)) {
        identity.resize(at);
        throw_if_out_of_memory();
        reason = invalid_key(level);
        return false;
    }
    if (library != nullptr)
        *library = made(ds_c_to_jo(type, identity.data() + at, size));
    return true;
}

std::string
invalid_key(const Level &level)
{
    return "key " + std::string(level.component) + " is not a valid " +
           (level.node.doc->name ? level.node.doc->name : "key");
}

JoinNode *
find_child(const JoinNode *parent, const DsKeyNode *key)
{
    if (parent == nullptr)
        return nullptr;
    for (JoinNode *child = parent->first; child != nullptr; child = child->next)
        if (child->node.key == key)
            return child;
    return nullptr;
}

JoinNode *
find_entry(const DsDocJoin &join, const JoinNode *list, std::string_view identity)
{
    if (list == nullptr || list->first == nullptr)
        return nullptr;
    auto it = join.entries.find(EntryKey{list, identity});
    return it != join.entries.end() ? it->second : nullptr;
}

} // namespace doc
