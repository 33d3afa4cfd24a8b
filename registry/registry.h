// Private helpers of the module registry, shared with the key functions.
#ifndef DSTYPES_REGISTRY_REGISTRY_H
#define DSTYPES_REGISTRY_REGISTRY_H

#include "keys/keys.h"
#include "types/types.h"

#include <dirent.h>

// The module directory, fixed at build time.
extern const char reg_module_dir[];

// Builds the module list: 0 when the directory was read (also when another
// call published its list first, which is then kept), -1 when the built-in
// record could not be allocated or the directory not opened.
int load_modules();

// Builds the module list when it is still empty.
void ensure_modules_loaded();

// The first type named name in the list that starts at first, walking every
// table in list and table order. What ds_find_type falls back to when the list
// has no name index, and the reference that the index must agree with.
const DsType *reg_find_type_linear(const DsModule *first, const char *name);

// Whether the list that load_modules published at first carries a name index.
bool reg_has_type_index(const DsModule *first);

struct TypeIndex;

// Indexes the named types of the chain that starts at first, keeping the
// first type of each name in list and table order. Null when memory runs out
// or the chain holds too many types; lookups then walk the tables. One
// allocation.
TypeIndex *reg_build_type_index(const DsModule *first);

void reg_free_type_index(TypeIndex *index);

// What reg_find_type_linear finds for name in the chain the index was built on.
const DsType *reg_type_index_find(const TypeIndex *index, const char *name);

// Appends a record for every usable schema module of the directory behind
// tail, in the order the directory lists its entries, and closes the
// directory. The chain must still be private to the caller: plain stores
// link it. A module enters unless it fails to open, declares types or alarms
// without their table, or its record cannot be allocated.
void reg_append_modules(DIR *dir, DsModule *tail);

// Closes and frees the records that reg_append_modules made, from first on.
void reg_release_modules(DsModule *first);

// The size in bytes of the object that a loaded shared object exports at
// address, as the dynamic symbol table of the object holding it records it
// (the entry that dladdr1 reports for it); 0 when no loaded object holds the
// address or no exported entry starts there. Costs no more with many objects
// loaded than with few.
size_t reg_symbol_size(const void *address);

// What a module's exported symbols say about its tables, as the loader reads
// them.
struct ModuleSymbols {
    const void *keys;       // "ds_keys", or null
    uint32_t key_count;     // its records; 0 when it has none or their count is unknown
    const void *types;      // "ds_types" when "ds_type_count" is not 0, else null
    uint32_t type_rows;     // records that "ds_types" holds
    uint16_t type_count;    // what "ds_type_count" holds (0 when missing or too small)
    const void *alarms;     // "ds_alarms" when "ds_alarm_count" is not 0, else null
    uint32_t alarm_rows;    // records that "ds_alarms" holds
    uint16_t alarm_count;   // what "ds_alarm_count" holds (0 when missing or too small)
    const char *refused_by; // the count symbol whose table is missing; null when none is

    // The counts cut to the rows their tables hold.
    uint16_t
    usable_types() const
    {
        return static_cast<uint16_t>(type_count < type_rows ? type_count : type_rows);
    }
    uint16_t
    usable_alarms() const
    {
        return static_cast<uint16_t>(alarm_count < alarm_rows ? alarm_count : alarm_rows);
    }
};

// Whether the loader takes a directory entry of this name for a schema
// module: the name ends in ".so" with at least one character before it
// ("libx.so.1" and "x.SO" are not modules).
bool reg_is_module_name(const char *name);

// Reads the symbols of the module that handle (from dlopen) names. A module
// with refused_by set is not loaded.
ModuleSymbols reg_module_symbols(void *handle);

struct KeyIndex;

// The key index of the list that load_modules published at first, or null
// when it has none.
const KeyIndex *reg_key_index(const DsModule *first);

// The node that path names in the first module, in list order, whose forest
// has the path; that module is stored in *module_out (when module_out is not
// null). With leaf_only set, a node without leaf type in that module yields
// null. Loads the module list first when it is still empty. Null also when the
// path has no components or its components cannot be held.
const DsKeyNode *reg_find_key(const char *path, bool leaf_only, const DsModule **module_out);

// Calls on_match for each module, in list order, whose forest has the path
// that parts holds (count >= 1), with the node it names, until on_match
// returns true. Returns whether it was called.
bool reg_each_match(const DsPathComponent *parts, uint32_t count,
                    bool (*on_match)(void *ctx, const DsModule *module, const DsKeyNode *node),
                    void *ctx);

// What the loader learnt about a module beyond its public record: the size
// of each table from the module's dynamic symbol table, what the counts
// declared, and which key links the walks may follow. Kept beside the
// record, so that whatever walks a module's tables can bound itself by them.
struct ModuleTables {
    uint32_t key_count;       // records of "ds_keys"; 0 when the module has no keys
    const uint8_t *key_links; // kKeyLink* bits per record of "ds_keys"
    uint32_t type_rows;       // records that "ds_types" holds
    uint32_t alarm_rows;      // rows that "ds_alarms" holds
    uint16_t declared_types;  // what "ds_type_count" holds (0 when missing)
    uint16_t declared_alarms; // what "ds_alarm_count" holds (0 when missing)
};

// The tables of a record that the loader made for a schema module; null for
// the built-in record and for records that a caller made (they carry no
// dlopen handle).
const ModuleTables *reg_tables(const DsModule *module);

// The module's key forest as the walks see it (unknown size for a record
// that the loader did not make).
KeyForest reg_forest(const DsModule *module);

// The forest of the loaded module that holds node; a forest of unknown size
// when no module of the list holds it. Never builds the list.
KeyForest reg_forest_of(const DsKeyNode *node);

// Calls back for every node of forest in pre-order, following only the
// links the forest lets through.
void reg_walk_forest(const KeyForest &forest, DsKeyCallback callback, void *ctx);

// The head of the module list, or null while it is empty. The acquire load
// pairs with the compare-and-swap that publishes the finished list, so every
// record reached from here (and through its next links) is complete.
inline const DsModule *
reg_first_module()
{
    return __atomic_load_n(&module_list, __ATOMIC_ACQUIRE);
}

#endif
