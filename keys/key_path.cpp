// Key trees and key paths: the level list, name and types of a key node,
// cutting key path text into components, and matching components against a
// key forest. Finding a key across the loaded modules is the registry's, which
// also tells (through keys_set_forest_lookup) which loaded forest a node
// belongs to.
// Nothing here logs or keeps state; the only allocation is the component
// array of a path too long for the stack.
// Building paths and extracting field values live in build.cpp and field.cpp.
#include "keys/keys.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace
{

// The text a level shows in a key name; a literal level that a broken
// module left without a name shows nothing.
const char *
level_text(const DsKeyNode *node)
{
    if (node->field_type != nullptr)
        return "*";
    return node->name != nullptr ? node->name : "";
}

// Counting and splitting share this walk so that they can never disagree:
// sep is the character taken as the "/" before a component, and a component
// exists after it only when the text goes on. The first character of the
// text is such a separator whatever it is. Stores at most max records when
// out is not null; returns how many components it met (saturating).
uint32_t
walk_components(const char *path, DsPathComponent *out, uint32_t max)
{
    if (*path == '\0')
        return 0;
    uint32_t n = 0;
    for (const char *sep = path; sep[1] != '\0' && n < max;) {
        const char *begin = sep + 1;
        const char *end = component_end(begin);
        if (out != nullptr)
            out[n] = DsPathComponent{begin, static_cast<uint32_t>(end - begin)};
        ++n;
        if (*end == '\0')
            break;
        sep = end;
    }
    return n;
}

// Set once by the registry; read by every call that follows parent links.
std::atomic<KeyForestLookup> forest_lookup{nullptr};

} // namespace

void
keys_set_forest_lookup(KeyForestLookup lookup)
{
    forest_lookup.store(lookup, std::memory_order_release);
}

KeyForest
keys_forest_of(const DsKeyNode *node)
{
    KeyForestLookup lookup = forest_lookup.load(std::memory_order_acquire);
    return lookup != nullptr ? lookup(node) : KeyForest{};
}

uint32_t
count_components(const char *path)
{
    return walk_components(path, nullptr, UINT32_MAX);
}

void
split_components(const char *path, DsPathComponent *out)
{
    walk_components(path, out, UINT32_MAX);
}

PathComponents::PathComponents(const char *path)
{
    // Most paths fit the inline records: they are cut once, straight into
    // them; only a path that fills them is counted, and cut again if longer.
    count_ = walk_components(path, inline_, kInline);
    if (count_ < kInline)
        return;
    uint32_t count = count_components(path);
    if (count == kInline)
        return;
    void *heap = std::malloc(sizeof(DsPathComponent) * count);
    if (heap == nullptr) {
        count_ = 0;
        failed_ = true;
        return;
    }
    records_ = static_cast<DsPathComponent *>(heap);
    count_ = walk_components(path, records_, count);
}

PathComponents::~PathComponents()
{
    if (records_ != inline_)
        std::free(records_);
}

// Collected key first, then reversed, so that a deeper key is refused before
// anything is written at or beyond levels[max].
uint32_t
keys_levels(const KeyForest &forest, const DsKeyNode *key, const DsKeyNode **levels, uint32_t max)
{
    if (max == 0)
        return 0;
    uint32_t depth = 0;
    for (const DsKeyNode *node = key; node != nullptr; node = forest.parent(node)) {
        if (depth == max)
            return 0;
        levels[depth++] = node;
    }
    for (uint32_t i = 0, j = depth - 1; i < j; ++i, --j) {
        const DsKeyNode *swap = levels[i];
        levels[i] = levels[j];
        levels[j] = swap;
    }
    return depth;
}

// A node of a loaded module follows only the parent links that stay in its
// forest and end; a caller's own forest is followed as written.
extern "C" DS_EXPORT uint32_t
ds__get_key_levels(const DsKeyNode *key, const DsKeyNode **levels, uint32_t max)
{
    return keys_levels(keys_forest_of(key), key, levels, max);
}

// Written back to front along the parent links, after measuring, so that a
// key of any depth needs neither recursion nor a level list. On failure
// nothing is written.
extern "C" DS_EXPORT char *
ds_key_name(char *buf, size_t size, const DsKeyNode *key)
{
    KeyForest forest = keys_forest_of(key);
    size_t total = 0;
    for (const DsKeyNode *node = key; node != nullptr; node = forest.parent(node))
        total += 1 + std::strlen(level_text(node));
    if (total >= size)
        return nullptr;
    buf[total] = '\0';
    size_t pos = total;
    for (const DsKeyNode *node = key; node != nullptr; node = forest.parent(node)) {
        const char *text = level_text(node);
        size_t len = std::strlen(text);
        pos -= len;
        std::memcpy(buf + pos, text, len);
        buf[--pos] = '/';
    }
    return buf;
}

extern "C" DS_EXPORT const DsType *
ds_key_leaf_type(const DsKeyNode *key)
{
    return key != nullptr ? key->leaf_type : nullptr;
}

extern "C" DS_EXPORT const DsType *
ds_key_field_type(const DsKeyNode *key, uint32_t n)
{
    if (n == 0)
        return nullptr;
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    for (uint32_t i = 0; i < depth; ++i) {
        if (levels[i]->field_type != nullptr && --n == 0)
            return levels[i]->field_type;
    }
    return nullptr;
}
