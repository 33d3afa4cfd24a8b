// The module list: the built-in type table followed by one record per schema
// module found in the module directory, built by the first lookup and never
// changed afterwards, and the lookup of a type by name across it.
// Opening the modules lives in registry/loader.cpp, the name index in
// registry/type_index.cpp, the key index in registry/key_index.cpp, the walks
// over key forests in registry/walk.cpp; path matching lives with the keys.
#include "registry/registry.h"

#include "registry/key_index.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

// The only mutable global of the library. It goes from null to a complete
// list in one compare-and-swap and never changes again; readers load it with
// acquire, so everything reached from it is seen complete.
extern "C" {
DS_EXPORT DsModule *module_list = nullptr;
}

namespace
{

// One build of the list, allocated as a single block. The built-in record
// comes first, so that the published head of the list leads back to the
// indexes; they are ours alone and not part of the module record that
// callers see.
struct ModuleList {
    DsModule builtin;
    TypeIndex *types; // null when the index could not be made: lookups then walk the tables
    KeyIndex *keys;   // null when the key index could not be made: lookups then walk the forests
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

// Undoes a build that lost the race to publish.
void
release_list(ModuleList *list)
{
    reg_release_modules(list->builtin.next);
    reg_free_type_index(list->types);
    reg_free_key_index(list->keys);
    std::free(list);
}

} // namespace

// Builds the whole list privately (built-in record, every usable module, the
// name and key indexes) and publishes it with one compare-and-swap from null.
// Calls that find the list empty at the same moment each build one; the first
// to publish wins and the others release theirs, so no lock is needed and no
// reader ever sees a list that is still growing. The list stays null when the
// directory cannot be opened, so that the next lookup tries again.
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
    reg_append_modules(dir, &list->builtin);
    list->types = reg_build_type_index(&list->builtin);
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

bool
reg_has_type_index(const DsModule *first)
{
    const ModuleList *list = list_of(first);
    return list != nullptr && list->types != nullptr;
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
    if (list == nullptr || list->types == nullptr)
        return reg_find_type_linear(first, name);
    return reg_type_index_find(list->types, name);
}
