// The name index of a module list: which type a name finds, the first in list
// and table order. Built once with the list, read-only afterwards; a list
// without one (no memory when it was built, or too many types) is searched
// table by table with the same results.
#include "registry/registry.h"

#include <cstdlib>
#include <cstring>

namespace
{

// One slot of the index: a type and the hash of its name. A slot without a
// type is free and ends every probe sequence that reaches it.
struct NameSlot {
    uint32_t hash;
    const DsType *type;
};

} // namespace

// The slots follow the header in the same block, so that the index costs one
// allocation.
struct TypeIndex {
    uint32_t mask; // slot count - 1; the slot count is a power of two
    NameSlot *slots;
};

namespace
{

// FNV-1a: short names, cheap to hash, spread well enough for linear probing.
uint32_t
name_hash(const char *name)
{
    uint32_t hash = 2166136261u;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p)
        hash = (hash ^ *p) * 16777619u;
    return hash;
}

// The index never holds more types than this, so that the doubled slot count
// stays far inside 32 bits; a larger list falls back to the walk.
constexpr size_t kMaxIndexedTypes = size_t{1} << 28;

// Adds a type unless an earlier type of the same name holds a slot already:
// the index keeps exactly the types that the list order makes visible.
void
index_add(TypeIndex *index, const DsType *type)
{
    uint32_t hash = name_hash(type->name);
    for (uint32_t i = hash & index->mask;; i = (i + 1) & index->mask) {
        NameSlot &slot = index->slots[i];
        if (slot.type == nullptr) {
            slot = {hash, type};
            return;
        }
        if (slot.hash == hash && std::strcmp(slot.type->name, type->name) == 0)
            return;
    }
}

} // namespace

TypeIndex *
reg_build_type_index(const DsModule *first)
{
    size_t count = 0;
    for (const DsModule *module = first; module != nullptr; module = module->next)
        count += module->type_count;
    if (count > kMaxIndexedTypes)
        return nullptr;
    uint32_t slot_count = 8;
    while (slot_count < 2 * count)
        slot_count *= 2;
    auto *index = static_cast<TypeIndex *>(
        std::calloc(1, sizeof(TypeIndex) + size_t{slot_count} * sizeof(NameSlot)));
    if (index == nullptr)
        return nullptr;
    index->mask = slot_count - 1;
    index->slots = reinterpret_cast<NameSlot *>(index + 1);
    for (const DsModule *module = first; module != nullptr; module = module->next) {
        for (uint16_t i = 0; i < module->type_count; ++i) {
            if (module->types[i].name != nullptr)
                index_add(index, &module->types[i]);
        }
    }
    return index;
}

void
reg_free_type_index(TypeIndex *index)
{
    std::free(index);
}

const DsType *
reg_type_index_find(const TypeIndex *index, const char *name)
{
    uint32_t hash = name_hash(name);
    for (uint32_t i = hash & index->mask;; i = (i + 1) & index->mask) {
        const NameSlot &slot = index->slots[i];
        if (slot.type == nullptr)
            return nullptr;
        if (slot.hash == hash && std::strcmp(slot.type->name, name) == 0)
            return slot.type;
    }
}

const DsType *
reg_find_type_linear(const DsModule *first, const char *name)
{
    for (const DsModule *module = first; module != nullptr; module = module->next) {
        for (uint16_t i = 0; i < module->type_count; ++i) {
            const char *type_name = module->types[i].name;
            if (type_name != nullptr && std::strcmp(type_name, name) == 0)
                return &module->types[i];
        }
    }
    return nullptr;
}
