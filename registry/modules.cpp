// The module list: the built-in type table followed by one record per schema
// module found in the module directory, built by the first lookup and never
// changed afterwards. Also the lookup of a type by name across that list.
// The walks over key forests live in registry/walk.cpp; path matching lives
// with the keys.
#include "registry/registry.h"

#include <dirent.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The only mutable global of the library. Written once while the list is
// built (release stores), read with acquire loads, so that a reader on another
// thread that sees a record sees it complete.
extern "C" {
DS_EXPORT DsModule *module_list = nullptr;
}

namespace
{

// Schema modules are the entries whose names end in ".so" with at least one
// character before it; "libx.so.1" or "x.SO" are not modules.
bool
is_module_name(const char *name)
{
    size_t len = std::strlen(name);
    return len >= 4 && std::memcmp(name + len - 3, ".so", 3) == 0;
}

// A count symbol holds a u16; a missing one counts as 0.
uint16_t
symbol_count(void *handle, const char *symbol)
{
    const void *count = dlsym(handle, symbol);
    if (count == nullptr)
        return 0;
    return *static_cast<const uint16_t *>(count);
}

// The table behind a non-zero count; the table symbol is looked up only then.
// False when the count promises a table that the module does not export.
bool
counted_table(void *handle, uint16_t count, const char *symbol, const void **table)
{
    *table = nullptr;
    if (count == 0)
        return true;
    *table = dlsym(handle, symbol);
    return *table != nullptr;
}

// The record of an open module, or null when the module declares types or
// alarms without their table, or the record cannot be allocated.
DsModule *
module_record(void *handle)
{
    const void *keys = dlsym(handle, "ds_keys");
    uint16_t type_count = symbol_count(handle, "ds_type_count");
    uint16_t alarm_count = symbol_count(handle, "ds_alarm_count");
    const void *types;
    if (!counted_table(handle, type_count, "ds_types", &types))
        return nullptr;
    const void *alarms;
    if (!counted_table(handle, alarm_count, "ds_alarms", &alarms))
        return nullptr;
    auto *module = static_cast<DsModule *>(std::calloc(1, sizeof(DsModule)));
    if (module == nullptr)
        return nullptr;
    module->type_count = type_count;
    module->alarm_count = alarm_count;
    module->types = static_cast<const DsType *>(types);
    module->keys = static_cast<const DsKeyNode *>(keys);
    module->alarms = static_cast<const DsAlarm *>(alarms);
    module->handle = handle;
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
// chain may or may not be published yet: each record is complete before the
// release store that links it.
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
        __atomic_store_n(&tail->next, module, __ATOMIC_RELEASE);
        tail = module;
    }
    closedir(dir);
}

} // namespace

// Publishes the built-in record first, then appends the modules behind it;
// the list stays null when the directory cannot be opened, so that the next
// lookup tries again. Building the chain is left to append_modules, which does
// not depend on the chain being published, so the build could equally be
// finished privately and published with a single store.
int
load_modules()
{
    auto *builtin = static_cast<DsModule *>(std::calloc(1, sizeof(DsModule)));
    if (builtin == nullptr)
        return -1;
    DIR *dir = opendir(reg_module_dir);
    if (dir == nullptr) {
        std::perror(reg_module_dir); // before free, which may touch errno
        std::free(builtin);
        return -1;
    }
    builtin->type_count = ds_global_type_count;
    builtin->types = ds_global_types;
    __atomic_store_n(&module_list, builtin, __ATOMIC_RELEASE);
    append_modules(dir, builtin);
    return 0;
}

void
ensure_modules_loaded()
{
    if (reg_first_module() == nullptr)
        load_modules();
}

// Built-in types come first, then each module in list order; within a table,
// table order. The first name that matches wins.
extern "C" DS_EXPORT const DsType *
ds_find_type(const char *name)
{
    ensure_modules_loaded();
    for (const DsModule *module = reg_first_module(); module != nullptr; module = module->next) {
        for (uint16_t i = 0; i < module->type_count; ++i) {
            if (std::strcmp(module->types[i].name, name) == 0)
                return &module->types[i];
        }
    }
    return nullptr;
}
