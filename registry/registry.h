// Private helpers of the module registry, shared with the key functions.
#ifndef DSTYPES_REGISTRY_REGISTRY_H
#define DSTYPES_REGISTRY_REGISTRY_H

#include "keys/keys.h"
#include "types/types.h"

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

// The size in bytes of the object that a loaded shared object exports at
// address, as the dynamic symbol table of the object holding it records it
// (the entry that dladdr1 reports for it); 0 when no loaded object holds the
// address or no exported entry starts there. Costs no more with many objects
// loaded than with few.
size_t reg_symbol_size(const void *address);

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
