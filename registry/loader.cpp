// Reading the module directory: which entries are schema modules, opening
// each, and the record the list keeps of it (its public DsModule and what the
// loader learnt about its tables). Building and publishing the list itself
// belongs to registry/modules.cpp.
#include "registry/registry.h"

#include "registry/key_index.h"

#include <dlfcn.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace
{

// A schema module's public record with what the loader learnt about its
// tables, and the flags of its key links after it, in one block.
struct ModuleRecord {
    DsModule module;
    ModuleTables tables;
};
static_assert(std::is_standard_layout_v<ModuleRecord> && offsetof(ModuleRecord, module) == 0,
              "the public record must start its block");

// The record of an open module, or null when the module declares types or
// alarms without their table, or the record cannot be allocated. Counts are
// cut to the rows their tables hold, a "ds_keys" of unknown or zero size
// counts as no keys, and the key links are checked once here.
DsModule *
module_record(void *handle)
{
    ModuleSymbols symbols = reg_module_symbols(handle);
    if (symbols.refused_by != nullptr)
        return nullptr;
    uint32_t key_count = symbols.key_count;
    auto *record = static_cast<ModuleRecord *>(std::calloc(1, sizeof(ModuleRecord) + key_count));
    if (record == nullptr)
        return nullptr;
    auto *links = reinterpret_cast<uint8_t *>(record + 1);
    if (!keys_check_links(static_cast<const DsKeyNode *>(symbols.keys), key_count, links, nullptr,
                          nullptr)) {
        std::free(record);
        return nullptr;
    }
    DsModule *module = &record->module;
    module->type_count = symbols.usable_types();
    module->alarm_count = symbols.usable_alarms();
    module->types = module->type_count != 0 ? static_cast<const DsType *>(symbols.types) : nullptr;
    module->keys = key_count != 0 ? static_cast<const DsKeyNode *>(symbols.keys) : nullptr;
    module->alarms =
        module->alarm_count != 0 ? static_cast<const DsAlarm *>(symbols.alarms) : nullptr;
    module->handle = handle;
    record->tables = ModuleTables{key_count,          links,
                                  symbols.type_rows,  symbols.alarm_rows,
                                  symbols.type_count, symbols.alarm_count};
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

} // namespace

void
reg_append_modules(DIR *dir, DsModule *tail)
{
    size_t dir_len = std::strlen(reg_module_dir);
    // readdir rather than the deprecated readdir_r: its entry buffer belongs
    // to this directory stream, and no other reader shares the stream.
    for (const dirent *entry = readdir(dir); entry != nullptr; entry = readdir(dir)) {
        if (!reg_is_module_name(entry->d_name))
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

// The loader counts references per file, so closing the modules of a build
// that lost the race to publish leaves the winner's (the same files) loaded.
void
reg_release_modules(DsModule *first)
{
    DsModule *module = first;
    while (module != nullptr) {
        DsModule *next = module->next;
        dlclose(module->handle);
        std::free(module);
        module = next;
    }
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
