// The size of an object that a loaded shared object exports, as the dynamic
// symbol table of the object that holds it records it: the entry that
// dladdr1 with RTLD_DL_SYMENT reports. dladdr1 finds that object by walking
// every loaded object in load order, so a module directory of n modules cost
// n^2 such steps to load; _dl_find_object finds it by a search over the
// sorted mappings, and the entry is then picked here by dladdr1's own rule.
#include "registry/registry.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cstdint>

namespace
{

// Where an object is loaded: the difference between its addresses in memory
// and in the file, and its dynamic section; its mapping, to tell addresses
// from offsets.
struct LoadedObject {
    ElfW(Addr) base;
    const ElfW(Dyn) * dynamic;
    uintptr_t map_start;
    uintptr_t map_end;
};

// The link map that holds base and dynamic section is written by the dynamic
// loader under its own lock, which ThreadSanitizer does not see. Every caller
// reads it after a dlopen of the object returned, which took that lock, so
// the reads are ordered; they are kept out of the sanitizer's checks.
__attribute__((no_sanitize("thread"))) bool
find_loaded_object(const void *address, LoadedObject *object)
{
    dl_find_object found{};
    if (_dl_find_object(const_cast<void *>(address), &found) != 0 ||
        found.dlfo_link_map == nullptr || found.dlfo_link_map->l_ld == nullptr)
        return false;
    *object = LoadedObject{found.dlfo_link_map->l_addr, found.dlfo_link_map->l_ld,
                           reinterpret_cast<uintptr_t>(found.dlfo_map_start),
                           reinterpret_cast<uintptr_t>(found.dlfo_map_end)};
    return true;
}

// What the scan reads of an object's dynamic section.
struct SymbolTables {
    const ElfW(Sym) *symbols = nullptr;
    const char *names = nullptr;           // the string table
    ElfW(Xword) names_size = 0;            // entries whose name lies past it are ignored
    const uint32_t *gnu_hash = nullptr;    // preferred when present
    const ElfW(Word) *sysv_hash = nullptr; // its second word counts the symbols
};

// The dynamic loader adds the load base to the addresses of a writable
// dynamic section in place, and leaves those of a read-only one as they are
// in the file. A value inside the object's mapping is therefore an address
// already; any other is an offset from the load base.
const void *
dynamic_address(const LoadedObject &object, ElfW(Addr) value)
{
    if (value >= object.map_start && value < object.map_end)
        return reinterpret_cast<const void *>(value);
    return reinterpret_cast<const void *>(object.base + value);
}

// The tables of the object, the last entry of each tag counting (as the
// dynamic loader reads them).
SymbolTables
symbol_tables(const LoadedObject &object)
{
    SymbolTables tables;
    for (const ElfW(Dyn) *dyn = object.dynamic; dyn->d_tag != DT_NULL; ++dyn) {
        switch (dyn->d_tag) {
        case DT_SYMTAB:
            tables.symbols =
                static_cast<const ElfW(Sym) *>(dynamic_address(object, dyn->d_un.d_ptr));
            break;
        case DT_STRTAB:
            tables.names = static_cast<const char *>(dynamic_address(object, dyn->d_un.d_ptr));
            break;
        case DT_STRSZ:
            tables.names_size = dyn->d_un.d_val;
            break;
        case DT_GNU_HASH:
            tables.gnu_hash =
                static_cast<const uint32_t *>(dynamic_address(object, dyn->d_un.d_ptr));
            break;
        case DT_HASH:
            tables.sysv_hash =
                static_cast<const ElfW(Word) *>(dynamic_address(object, dyn->d_un.d_ptr));
            break;
        default:
            break;
        }
    }
    return tables;
}

// Whether an entry that the hash tables reach names the object at address:
// defined (or undefined with a value), neither absolute nor thread-local,
// with a name inside the string table. Such an entry wins over any that
// starts before the address, so the first one found is dladdr1's answer.
bool
names_address(const ElfW(Sym) & symbol, ElfW(Addr) base, uintptr_t address, ElfW(Xword) names_size)
{
    return (symbol.st_shndx != SHN_UNDEF || symbol.st_value != 0) && symbol.st_shndx != SHN_ABS &&
           ELF64_ST_TYPE(symbol.st_info) != STT_TLS && base + symbol.st_value == address &&
           symbol.st_name < names_size;
}

// The same for an entry of a table without GNU hash, which also holds local
// and hidden entries: only global and weak ones that other objects may see.
bool
sysv_names_address(const ElfW(Sym) & symbol, ElfW(Addr) base, uintptr_t address,
                   ElfW(Xword) names_size)
{
    unsigned bind = ELF64_ST_BIND(symbol.st_info);
    unsigned visibility = ELF64_ST_VISIBILITY(symbol.st_other);
    return (bind == STB_GLOBAL || bind == STB_WEAK) && visibility != STV_HIDDEN &&
           visibility != STV_INTERNAL && names_address(symbol, base, address, names_size);
}

// The GNU hash table reaches each exported entry once, bucket by bucket;
// the chain of a bucket ends at the entry whose hash has its low bit set.
const ElfW(Sym) * gnu_scan(const SymbolTables &tables, ElfW(Addr) base, uintptr_t address)
{
    const uint32_t *header = tables.gnu_hash;
    uint32_t bucket_count = header[0];
    uint32_t first_hashed = header[1];
    uint32_t bloom_words = header[2];
    const uint32_t *buckets = header + 4 + bloom_words * (sizeof(ElfW(Addr)) / sizeof(uint32_t));
    const uint32_t *chain_zero = buckets + bucket_count - first_hashed;
    for (uint32_t bucket = 0; bucket < bucket_count; ++bucket) {
        uint32_t index = buckets[bucket];
        if (index == 0)
            continue;
        const uint32_t *hash = &chain_zero[index];
        do {
            if (names_address(tables.symbols[index], base, address, tables.names_size))
                return &tables.symbols[index];
            ++index;
        } while ((*hash++ & 1u) == 0);
    }
    return nullptr;
}

// Without GNU hash every entry is read in table order, up to the count that
// the SysV hash table gives or, without one, up to the string table, which
// follows the symbol table in every linker's layout.
const ElfW(Sym) * sysv_scan(const SymbolTables &tables, ElfW(Addr) base, uintptr_t address)
{
    const void *end = tables.sysv_hash != nullptr
                          ? static_cast<const void *>(tables.symbols + tables.sysv_hash[1])
                          : static_cast<const void *>(tables.names);
    for (const ElfW(Sym) *symbol = tables.symbols; symbol < end; ++symbol) {
        if (sysv_names_address(*symbol, base, address, tables.names_size))
            return symbol;
    }
    return nullptr;
}

} // namespace

size_t
reg_symbol_size(const void *address)
{
    LoadedObject object;
    if (!find_loaded_object(address, &object))
        return 0;
    SymbolTables tables = symbol_tables(object);
    if (tables.symbols == nullptr)
        return 0;
    auto at = reinterpret_cast<uintptr_t>(address);
    const ElfW(Sym) *symbol = tables.gnu_hash != nullptr ? gnu_scan(tables, object.base, at)
                                                         : sysv_scan(tables, object.base, at);
    return symbol != nullptr ? symbol->st_size : 0;
}
