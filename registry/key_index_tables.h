// The tables of the key index, shared by the code that builds them
// (registry/key_index.cpp) and the lookups that read them
// (registry/key_index_lookup.cpp). Nothing else looks inside.
#ifndef DSTYPES_REGISTRY_KEY_INDEX_TABLES_H
#define DSTYPES_REGISTRY_KEY_INDEX_TABLES_H

#include "keys/keys.h"
#include "registry/key_index.h"

#include <cstdint>

// One literal level that answers its name in its chain, or (name null) the
// typed level that answers every other name in the chain. A slot without a
// node is free.
struct ChainSlot {
    const DsKeyNode *head; // first node of the chain
    const DsKeyNode *node;
    uint32_t hash;
};

// One module whose top chain answers a name with a literal level. Sorted by
// hash, name and list position, so that the modules for a name are one run.
struct TopEntry {
    uint32_t hash;
    uint32_t module; // position in the list
    const char *name;
};

// The first alarm row of a module for one key node. A slot without a row is
// free.
struct AlarmSlot {
    const DsModule *module;
    const DsKeyNode *key;
    const DsAlarm *row;
};

// A module of the list with its forest as the walks see it.
struct ModuleEntry {
    const DsModule *module;
    KeyForest forest;
};

// The records of one module's forest, for finding the forest of a node.
struct ForestRange {
    const DsKeyNode *begin;
    const DsKeyNode *end;
    uint32_t module; // position in the list
};

// The index itself: the tables above, each in an allocation of its own.
struct KeyIndex {
    ModuleEntry *modules; // list order
    uint32_t module_count;
    ForestRange *ranges; // sorted by begin
    uint32_t range_count;
    ChainSlot *slots; // literal and typed answers of every chain
    uint32_t mask;    // slot count - 1, a power of two
    TopEntry *top;    // sorted
    uint32_t top_count;
    uint32_t *typed_top; // modules whose top chain has a typed level, ascending
    uint32_t typed_top_count;
    AlarmSlot *alarms;
    uint32_t alarm_mask;
};

// FNV-1a over a component's text, which is not NUL-terminated.
constexpr uint32_t kFnvBasis = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;

inline uint32_t
reg_text_hash(const char *text, size_t length)
{
    uint32_t hash = kFnvBasis;
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<unsigned char>(text[i])) * kFnvPrime;
    return hash;
}

// The chain's hash mixes in the head so that equal names of different chains
// spread; the typed answer of a chain hashes its head alone.
inline uint32_t
reg_chain_hash(const DsKeyNode *head, uint32_t name_hash)
{
    uint64_t h = reinterpret_cast<uintptr_t>(head) * 0x9E3779B97F4A7C15ull;
    return name_hash ^ static_cast<uint32_t>(h >> 32);
}

inline uint32_t
reg_pointer_hash(const void *a, const void *b)
{
    uint64_t h = (reinterpret_cast<uintptr_t>(a) ^ (reinterpret_cast<uintptr_t>(b) << 7)) *
                 0x9E3779B97F4A7C15ull;
    return static_cast<uint32_t>(h >> 32);
}

#endif
