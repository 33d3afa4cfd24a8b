// The module list: the built-in type table followed by one record per schema
// module found in the module directory, built by the first lookup and never
// changed afterwards. Also the lookup of a type by name across that list,
// through a name index built with the list.
// The walks over key forests live in registry/walk.cpp; path matching lives
// with the keys.
#include "registry/registry.h"

#include "registry/key_index.h"

#include <dirent.h>
#include <dlfcn.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

// The only mutable global of the library. It goes from null to a complete
// list in one compare-and-swap and never changes again; readers load it with
// acquire, so everything reached from it is seen complete.
extern "C" {
DS_EXPORT DsModule *module_list = nullptr;
}

namespace
{

// One slot of the name index: a type and the hash of its name. A slot
// without a type is free and ends every probe sequence that reaches it.
struct NameSlot {
    uint32_t hash;
    const DsType *type;
};

// One build of the list, allocated as a single block. The built-in record
// comes first, so that the published head of the list leads back to the
// index; the index is ours alone and not part of the module record that
// callers see.
struct ModuleList {
    DsModule builtin;
    NameSlot *slots; // null when the index could not be made: lookups then walk the tables
    uint32_t mask;   // slot count - 1; the slot count is a power of two
    KeyIndex *keys;  // null when the key index could not be made: lookups then walk the forests
};
static_assert(std::is_standard_layout_v<ModuleList> && offsetof(ModuleList, builtin) == 0,
              "the built-in record must start its block");

// The block that load_modules published, written once right after the
// compare-and-swap that published its head. module_list is exported and
// writable, and a caller that links records of its own into it must never
// have the memory behind them read as indexes: they are read only behind the
// head that this library made.
const ModuleList *published_list = nullptr;

// The blocks of builds about to publish, each announced before its
// compare-and-swap, so that a thread which sees a head in module_list finds
// its block even before published_list names it. Held as addresses: a
// losing build clears its slot and frees its block, and a reader may still
// compare the old address. A build that finds every slot taken goes
// unannounced, and until published_list names it lookups walk the tables.
constexpr int kAnnounceSlots = 8;
uintptr_t announced[kAnnounceSlots] = {};

// The slot that now announces list, or -1.
int
announce(const ModuleList *list)
{
    for (int i = 0; i < kAnnounceSlots; ++i) {
        uintptr_t none = 0;
        if (__atomic_compare_exchange_n(&announced[i], &none, reinterpret_cast<uintptr_t>(list),
                                        false, __ATOMIC_RELEASE, __ATOMIC_RELAXED))
            return i;
    }
    return -1;
}

// The block behind the head of the list, or null when the head is not one
// that load_modules published (a caller's own records, or a build that went
// unannounced and is not yet in published_list: lookups then walk the tables).
const ModuleList *
list_of(const DsModule *first)
{
    const ModuleList *list = __atomic_load_n(&published_list, __ATOMIC_ACQUIRE);
    if (list != nullptr && &list->builtin == first)
        return list;
    for (uintptr_t &slot : announced) {
        if (__atomic_load_n(&slot, __ATOMIC_ACQUIRE) == reinterpret_cast<uintptr_t>(first))
            return reinterpret_cast<const ModuleList *>(first);
    }
    return nullptr;
}

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
index_add(ModuleList *list, const DsType *type)
{
    uint32_t hash = name_hash(type->name);
    for (uint32_t i = hash & list->mask;; i = (i + 1) & list->mask) {
        NameSlot &slot = list->slots[i];
        if (slot.type == nullptr) {
            slot = {hash, type};
            return;
        }
        if (slot.hash == hash && std::strcmp(slot.type->name, type->name) == 0)
            return;
    }
}

// Builds the name index of a finished chain, adding the types in list and
// table order. Without memory the list simply goes without an index.
void
build_name_index(ModuleList *list)
{
    size_t count = 0;
    for (const DsModule *module = &list->builtin; module != nullptr; module = module->next)
        count += module->type_count;
    if (count > kMaxIndexedTypes)
        return;
    uint32_t slot_count = 8;
    while (slot_count < 2 * count)
        slot_count *= 2;
    list->slots = static_cast<NameSlot *>(std::calloc(slot_count, sizeof(NameSlot)));
    if (list->slots == nullptr)
        return;
    list->mask = slot_count - 1;
    for (const DsModule *module = &list->builtin; module != nullptr; module = module->next) {
        for (uint16_t i = 0; i < module->type_count; ++i) {
            if (module->types[i].name != nullptr)
                index_add(list, &module->types[i]);
        }
    }
}

const DsType *
index_find(const ModuleList *list, const char *name)
{
    uint32_t hash = name_hash(name);
    for (uint32_t i = hash & list->mask;; i = (i + 1) & list->mask) {
        const NameSlot &slot = list->slots[i];
        if (slot.type == nullptr)
            return nullptr;
        if (slot.hash == hash && std::strcmp(slot.type->name, name) == 0)
            return slot.type;
    }
}

// Schema modules are the entries whose names end in ".so" with at least one
// character before it; "libx.so.1" or "x.SO" are not modules.
bool
is_module_name(const char *name)
{
    size_t len = std::strlen(name);
    return len >= 4 && std::memcmp(name + len - 3, ".so", 3) == 0;
}

// A schema module's public record with what the loader learnt about its
// tables, and the flags of its key links after it, in one block.
struct ModuleRecord {
    DsModule module;
    ModuleTables tables;
};
static_assert(std::is_standard_layout_v<ModuleRecord> && offsetof(ModuleRecord, module) == 0,
              "the public record must start its block");

// A count symbol holds a u16; a missing one, or one too small to hold a u16,
// counts as 0.
uint16_t
symbol_count(void *handle, const char *symbol)
{
    const void *count = dlsym(handle, symbol);
    if (count == nullptr || reg_symbol_size(count) < sizeof(uint16_t))
        return 0;
    return *static_cast<const uint16_t *>(count);
}

// The table behind a non-zero count; the table symbol is looked up only then.
// False when the count promises a table that the module does not export.
// *rows is what the table holds, so that a count larger than its table is
// cut to the records that are there.
bool
counted_table(void *handle, uint16_t count, const char *symbol, size_t stride, const void **table,
              uint32_t *rows)
{
    *table = nullptr;
    *rows = 0;
    if (count == 0)
        return true;
    *table = dlsym(handle, symbol);
    if (*table == nullptr)
        return false;
    size_t held = reg_symbol_size(*table) / stride;
    *rows = held > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(held);
    return true;
}

// The record of an open module, or null when the module declares types or
// alarms without their table, or the record cannot be allocated. Counts are
// cut to the rows their tables hold, a "ds_keys" of unknown or zero size
// counts as no keys, and the key links are checked once here.
DsModule *
module_record(void *handle)
{
    const void *keys = dlsym(handle, "ds_keys");
    size_t key_count = keys != nullptr ? reg_symbol_size(keys) / sizeof(DsKeyNode) : 0;
    if (key_count > UINT32_MAX)
        key_count = 0;
    uint16_t type_count = symbol_count(handle, "ds_type_count");
    uint16_t alarm_count = symbol_count(handle, "ds_alarm_count");
    const void *types;
    uint32_t type_rows;
    if (!counted_table(handle, type_count, "ds_types", sizeof(DsType), &types, &type_rows))
        return nullptr;
    const void *alarms;
    uint32_t alarm_rows;
    if (!counted_table(handle, alarm_count, "ds_alarms", sizeof(DsAlarm), &alarms, &alarm_rows))
        return nullptr;
    auto *record = static_cast<ModuleRecord *>(std::calloc(1, sizeof(ModuleRecord) + key_count));
    if (record == nullptr)
        return nullptr;
    auto *links = reinterpret_cast<uint8_t *>(record + 1);
    if (!keys_check_links(static_cast<const DsKeyNode *>(keys), static_cast<uint32_t>(key_count),
                          links, nullptr, nullptr)) {
        std::free(record);
        return nullptr;
    }
    DsModule *module = &record->module;
    module->type_count = static_cast<uint16_t>(type_count < type_rows ? type_count : type_rows);
    module->alarm_count =
        static_cast<uint16_t>(alarm_count < alarm_rows ? alarm_count : alarm_rows);
    module->types = module->type_count != 0 ? static_cast<const DsType *>(types) : nullptr;
    module->keys = key_count != 0 ? static_cast<const DsKeyNode *>(keys) : nullptr;
    module->alarms = module->alarm_count != 0 ? static_cast<const DsAlarm *>(alarms) : nullptr;
    module->handle = handle;
    record->tables = ModuleTables{
        static_cast<uint32_t>(key_count), links, type_rows, alarm_rows, type_count, alarm_count};
    return module;
}

// Opens one module and makes its record, or returns null (with the module
// closed again) when the module cannot be used. Nothing is reported: a file
// that is not a module is simply not one.
DsModule *
open_module(const char *path)
{
    void *handle = dlopen(path, RTLD_LAZY);
    if (handle == nullptr)
        return nullptr;
    DsModule *module = module_record(handle);
    if (module == nullptr)
        dlclose(handle);
    return module;
}

// Appends a record for every usable module of the directory behind tail, in
// the order the directory lists its entries, and closes the directory. The
// chain is still private to this build, so plain stores link it.
void
append_modules(DIR *dir, DsModule *tail)
{
    size_t dir_len = std::strlen(reg_module_dir);
    // readdir rather than the deprecated readdir_r: its entry buffer belongs
    // to this directory stream, and no other reader shares the stream.
    for (const dirent *entry = readdir(dir); entry != nullptr; entry = readdir(dir)) {
        if (!is_module_name(entry->d_name))
            continue;
        char path[dir_len + std::strlen(entry->d_name) + 2];
        std::snprintf(path, sizeof path, "%s/%s", reg_module_dir, entry->d_name);
        DsModule *module = open_module(path);
        if (module == nullptr)
            continue;
        tail->next = module;
        tail = module;
    }
    closedir(dir);
}

// Undoes a build that lost the race to publish. Its modules are the same
// files as the winner's, and the loader counts references per file, so
// closing these handles leaves the winner's modules loaded.
void
release_list(ModuleList *list)
{
    DsModule *module = list->builtin.next;
    while (module != nullptr) {
        DsModule *next = module->next;
        dlclose(module->handle);
        std::free(module);
        module = next;
    }
    std::free(list->slots);
    reg_free_key_index(list->keys);
    std::free(list);
}

} // namespace

// Builds the whole list privately (built-in record, every usable module, the
// name and key indexes) and publishes it with one compare-and-swap from null. Calls that
// find the list empty at the same moment each build one; the first to publish
// wins and the others release theirs, so no lock is needed and no reader ever
// sees a list that is still growing. The list stays null when the directory
// cannot be opened, so that the next lookup tries again.
int
load_modules()
{
    auto *list = static_cast<ModuleList *>(std::calloc(1, sizeof(ModuleList)));
    if (list == nullptr)
        return -1;
    DIR *dir = opendir(reg_module_dir);
    if (dir == nullptr) {
        std::perror(reg_module_dir); // before free, which may touch errno
        std::free(list);
        return -1;
    }
    list->builtin.type_count = ds_global_type_count;
    list->builtin.types = ds_global_types;
    append_modules(dir, &list->builtin);
    build_name_index(list);
    list->keys = reg_build_key_index(&list->builtin);
    int slot = announce(list);
    DsModule *expected = nullptr;
    if (!__atomic_compare_exchange_n(&module_list, &expected, &list->builtin, false,
                                     __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        if (slot >= 0)
            __atomic_store_n(&announced[slot], 0, __ATOMIC_RELEASE);
        release_list(list);
        return 0;
    }
    __atomic_store_n(&published_list, list, __ATOMIC_RELEASE);
    return 0;
}

void
ensure_modules_loaded()
{
    if (reg_first_module() == nullptr)
        load_modules();
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

const ModuleTables *
reg_tables(const DsModule *module)
{
    // Only the loader's records carry a handle; it made each of them as a
    // ModuleRecord.
    if (module->handle == nullptr)
        return nullptr;
    return &reinterpret_cast<const ModuleRecord *>(module)->tables;
}

KeyForest
reg_forest(const DsModule *module)
{
    const ModuleTables *tables = reg_tables(module);
    if (tables == nullptr)
        return KeyForest{module->keys, 0, nullptr};
    return KeyForest{module->keys, tables->key_count, tables->key_links};
}

KeyForest
reg_forest_of(const DsKeyNode *node)
{
    const DsModule *first = reg_first_module();
    const KeyIndex *index = first != nullptr ? reg_key_index(first) : nullptr;
    if (index != nullptr) {
        const DsModule *module = reg_index_module_of(index, node);
        return module != nullptr ? reg_forest(module) : KeyForest{};
    }
    for (const DsModule *module = reg_first_module(); module != nullptr; module = module->next) {
        if (module->keys == nullptr)
            continue;
        KeyForest forest = reg_forest(module);
        if (forest.holds(node))
            return forest;
    }
    return KeyForest{};
}

// The key functions follow parent links within the forest that holds a node;
// they learn which one that is from here, before any call can reach them.
namespace
{
[[maybe_unused]] const bool forest_lookup_set = (keys_set_forest_lookup(reg_forest_of), true);
} // namespace

bool
reg_has_type_index(const DsModule *first)
{
    const ModuleList *list = list_of(first);
    return list != nullptr && list->slots != nullptr;
}

const KeyIndex *
reg_key_index(const DsModule *first)
{
    const ModuleList *list = list_of(first);
    return list != nullptr ? list->keys : nullptr;
}

// Built-in types come first, then each module in list order; within a table,
// table order. The first name that matches wins, which the index reproduces
// by holding only the first type of each name.
extern "C" DS_EXPORT const DsType *
ds_find_type(const char *name)
{
    ensure_modules_loaded();
    const DsModule *first = reg_first_module();
    if (first == nullptr)
        return nullptr;
    const ModuleList *list = list_of(first);
    if (list == nullptr || list->slots == nullptr)
        return reg_find_type_linear(first, name);
    return index_find(list, name);
}
