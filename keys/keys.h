// Private helpers of the key functions: walking a key forest through its
// relative links, cutting key path and field text into components, and
// matching components against the forests of the loaded modules. Shared by
// keys/*.cpp and by the key walks of the registry.
#ifndef DSTYPES_KEYS_KEYS_H
#define DSTYPES_KEYS_KEYS_H

#include "dstypes_path.hpp"
#include "types/types.h"

#include <cstdint>
#include <cstring>

// Which links of a node the walks may follow, one byte per node of a forest
// whose size is known.
constexpr uint8_t kKeyLinkParent = 1;
constexpr uint8_t kKeyLinkChild = 2;
constexpr uint8_t kKeyLinkSibling = 4;

// A key forest as the walks see it. A module's forest has its size and link
// flags from the loader: a link is followed only when its flag is set, so no
// walk leaves the forest or goes round in a circle. A forest of unknown size
// (records that a caller made and linked into the list itself) has no flags,
// and its non-zero links are followed as written.
struct KeyForest {
    const DsKeyNode *nodes = nullptr; // the first top-level node
    uint32_t count = 0;               // records in the forest; 0 when unknown
    const uint8_t *links = nullptr;   // kKeyLink* bits per record; null when unknown

    bool
    holds(const DsKeyNode *node) const
    {
        return links != nullptr && node >= nodes && node < nodes + count;
    }
    const DsKeyNode *
    follow(const DsKeyNode *node, int16_t link, uint8_t bit) const
    {
        if (link == 0 || (links != nullptr && (links[node - nodes] & bit) == 0))
            return nullptr;
        return node + link;
    }
    const DsKeyNode *
    parent(const DsKeyNode *node) const
    {
        return follow(node, node->parent, kKeyLinkParent);
    }
    const DsKeyNode *
    first_child(const DsKeyNode *node) const
    {
        return follow(node, node->first_child, kKeyLinkChild);
    }
    const DsKeyNode *
    next_sibling(const DsKeyNode *node) const
    {
        return follow(node, node->next_sibling, kKeyLinkSibling);
    }
};

// What is wrong with one link of a forest of known size.
enum class KeyLink { none, parent, first_child, next_sibling };
enum class KeyLinkFault {
    out_of_range, // designates a record outside the forest: cut
    cycle,        // leads back to a node on its own way there: cut
    rejoin,       // leads to a node that another link reached first: cut
    disagrees,    // a parent link that is not the node's parent: followed
    unreached,    // a node that no walk from the first node reaches
};
struct KeyLinkProblem {
    uint32_t node; // index of the record whose link is wrong
    KeyLink link;  // which of its links (none for an unreached node)
    KeyLinkFault fault;
    int64_t target; // the index the link designates (-1 when none)
};
using KeyLinkReport = void (*)(void *ctx, const KeyLinkProblem &problem);

// Fills flags[0 .. count-1] with the links that the walks may follow in the
// forest nodes[0 .. count-1]: a link that leaves the forest, closes a
// circle, or enters a node that the pre-order walk from node 0 entered
// already is cut; every link of a consistent forest is kept. Each problem
// goes to report (when not null), in node order per kind. False, with the
// flags not to be used, when its working memory cannot be allocated.
bool keys_check_links(const DsKeyNode *nodes, uint32_t count, uint8_t *flags, KeyLinkReport report,
                      void *ctx);

// Which loaded forest holds a node is known only to the module registry, which
// sits above the key functions and hands them this lookup when it is set up.
// Until then, and for a node that no loaded forest holds, a node's forest is
// of unknown size and its links are followed as written.
using KeyForestLookup = KeyForest (*)(const DsKeyNode *node);
void keys_set_forest_lookup(KeyForestLookup lookup);
KeyForest keys_forest_of(const DsKeyNode *node);

// The level list of key in forest, as ds__get_key_levels gives it.
uint32_t keys_levels(const KeyForest &forest, const DsKeyNode *key, const DsKeyNode **levels,
                     uint32_t max);

// Key paths and field texts are cut by the one cutter of the public C++
// header, so that the library, its tools and C++ callers never disagree.
using ds::detail::component_end;

// The number of components of a key path: every unquoted "/" that is followed
// by at least one more character counts, the leading one included. 0 for "/"
// and for the empty text.
uint32_t count_components(const char *path);

// Fills out[0] ... out[count - 1] (count as count_components gives it, at least
// 1) with the components of path, pointing into path. The first character is
// taken as the leading "/" whatever it is; never stores more than count
// records.
void split_components(const char *path, DsPathComponent *out);

// One node fits one component: a typed level fits anything (its value is
// not looked at here), a literal level only its exact name.
inline bool
node_fits(const DsKeyNode *node, const DsPathComponent &component)
{
    if (node->field_type != nullptr)
        return true;
    if (node->name == nullptr)
        return false;
    if (component.length != 0 && node->name[0] != component.text[0]) // most siblings differ at once
        return false;
    if (std::strlen(node->name) != component.length)
        return false;
    return std::memcmp(node->name, component.text, component.length) == 0;
}

// The node that count (>= 1) components name in forest, or null. A typed
// level fits any component, a literal level only its exact name; the first
// fitting sibling in chain order is taken for good, the search never backs up
// to a later one. When levels is not null, levels[i] receives the node taken
// for component i.
inline const DsKeyNode *
match_components(const DsPathComponent *components, uint32_t count, const KeyForest &forest,
                 const DsKeyNode **levels = nullptr)
{
    const DsKeyNode *node = forest.nodes;
    uint32_t i = 0;
    while (node != nullptr) {
        if (!node_fits(node, components[i])) {
            node = forest.next_sibling(node);
            continue;
        }
        if (levels != nullptr)
            levels[i] = node;
        if (i + 1 == count)
            return node;
        node = forest.first_child(node);
        ++i;
    }
    return nullptr;
}

// The same over a forest of unknown size whose first top-level node is first.
inline const DsKeyNode *
match_components(const DsPathComponent *components, uint32_t count, const DsKeyNode *first)
{
    return match_components(components, count, KeyForest{first, 0, nullptr});
}

// The split components of one key path. Up to kInline components live inside
// the object (on the caller's stack); longer paths take one malloc'd array,
// released with the object. count() is 0 when the path has no components and
// also when that array cannot be allocated (failed() tells the two apart), so
// a lookup over it simply finds nothing. Nothing here aborts.
//
//     PathComponents parts(path);
//     if (parts.count() == 0)
//         return nullptr;
//     match_components(parts.data(), parts.count(), first);
class PathComponents
{
  public:
    static constexpr uint32_t kInline = 32;

    explicit PathComponents(const char *path);
    ~PathComponents();
    PathComponents(const PathComponents &) = delete;
    PathComponents &operator=(const PathComponents &) = delete;

    const DsPathComponent *
    data() const
    {
        return records_;
    }
    uint32_t
    count() const
    {
        return count_;
    }
    // True when the path had components but no room could be allocated.
    bool
    failed() const
    {
        return failed_;
    }

  private:
    DsPathComponent inline_[kInline];
    DsPathComponent *records_ = inline_;
    uint32_t count_ = 0;
    bool failed_ = false;
};

#endif
