// Private helpers of the key functions: walking a key forest through its
// relative links, cutting key path and field text into components, and
// matching components against the forests of the loaded modules. Shared by
// keys/*.cpp and by the key walks of the registry.
#ifndef DSTYPES_KEYS_KEYS_H
#define DSTYPES_KEYS_KEYS_H

#include "types/types.h"

#include <cstdint>

// Links are relative and counted in records; 0 means none. A forest is one
// array, so the arithmetic stays inside it.
inline const DsKeyNode *
keys_parent(const DsKeyNode *node)
{
    return node->parent != 0 ? node + node->parent : nullptr;
}

inline const DsKeyNode *
keys_first_child(const DsKeyNode *node)
{
    return node->first_child != 0 ? node + node->first_child : nullptr;
}

inline const DsKeyNode *
keys_next_sibling(const DsKeyNode *node)
{
    return node->next_sibling != 0 ? node + node->next_sibling : nullptr;
}

// The end of the component that begins at p: the first "/" outside a quoted
// stretch, or the terminating NUL. A double quote opens or closes a stretch;
// inside one a backslash and the character after it are passed over together
// (a backslash just before the NUL stops at the NUL). Key paths and field
// texts are both cut with this scan.
const char *component_end(const char *p);

// The number of components of a key path: every unquoted "/" that is followed
// by at least one more character counts, the leading one included. 0 for "/"
// and for the empty text.
uint32_t count_components(const char *path);

// Fills out[0] ... out[count - 1] (count as count_components gives it, at least
// 1) with the components of path, pointing into path. The first character is
// taken as the leading "/" whatever it is; never stores more than count
// records.
void split_components(const char *path, DsPathComponent *out);

// The node that count (>= 1) components name in the forest whose first
// top-level node is first, or null. A typed level fits any component, a
// literal level only its exact name; the first fitting sibling in chain order
// is taken for good, the search never backs up to a later one.
const DsKeyNode *match_components(const DsPathComponent *components, uint32_t count,
                                  const DsKeyNode *first);

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
