// What a schema module's exported symbols say about its tables, read the one
// way the loader reads them: a count symbol smaller than a u16 counts as 0, a
// non-zero count needs its table, and a table holds as many records as its
// symbol's size has room for. dstool's module check reads modules through
// this too, so that it reports what the loader will do.
#include "registry/registry.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstring>

namespace
{

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

} // namespace

bool
reg_is_module_name(const char *name)
{
    size_t len = std::strlen(name);
    return len >= 4 && std::memcmp(name + len - 3, ".so", 3) == 0;
}

ModuleSymbols
reg_module_symbols(void *handle)
{
    ModuleSymbols found{};
    found.keys = dlsym(handle, "ds_keys");
    size_t key_count = found.keys != nullptr ? reg_symbol_size(found.keys) / sizeof(DsKeyNode) : 0;
    found.key_count = key_count > UINT32_MAX ? 0 : static_cast<uint32_t>(key_count);
    found.type_count = symbol_count(handle, "ds_type_count");
    found.alarm_count = symbol_count(handle, "ds_alarm_count");
    if (!counted_table(handle, found.type_count, "ds_types", sizeof(DsType), &found.types,
                       &found.type_rows))
        found.refused_by = "ds_type_count";
    else if (!counted_table(handle, found.alarm_count, "ds_alarms", sizeof(DsAlarm), &found.alarms,
                            &found.alarm_rows))
        found.refused_by = "ds_alarm_count";
    return found;
}
