// The key index of a module list: built with the list, published with it,
// read-only afterwards. See key_index.cpp.
#ifndef DSTYPES_REGISTRY_KEY_INDEX_H
#define DSTYPES_REGISTRY_KEY_INDEX_H

#include "types/types.h"

#include <cstddef>

struct KeyIndex;

// Indexes every forest and alarm table of the chain that starts at first.
// Null when memory runs out or the forests are too large to index; lookups
// then walk the forests.
KeyIndex *reg_build_key_index(const DsModule *first);

void reg_free_key_index(KeyIndex *index);

// Calls on_match for each module, in list order, whose forest has the path
// of count (>= 1) components, with the node it names, until on_match returns
// true. Returns whether on_match was called. The same modules and nodes, in
// the same order, as matching every forest in turn.
bool reg_index_each_match(const KeyIndex *index, const DsPathComponent *components, uint32_t count,
                          bool (*on_match)(void *ctx, const DsModule *module,
                                           const DsKeyNode *node),
                          void *ctx);

// The first row of module's alarm table whose key is node, or null.
const DsAlarm *reg_index_alarm(const KeyIndex *index, const DsModule *module,
                               const DsKeyNode *node);

// The module whose forest holds node (the first in list order), or null.
const DsModule *reg_index_module_of(const KeyIndex *index, const DsKeyNode *node);

// Bytes the index holds.
size_t reg_key_index_bytes(const KeyIndex *index);

#endif
