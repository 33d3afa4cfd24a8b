// Private helpers of the module registry, shared with the key functions.
#ifndef DSTYPES_REGISTRY_REGISTRY_H
#define DSTYPES_REGISTRY_REGISTRY_H

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

// The head of the module list, or null while it is empty. The acquire load
// pairs with the compare-and-swap that publishes the finished list, so every
// record reached from here (and through its next links) is complete.
inline const DsModule *
reg_first_module()
{
    return __atomic_load_n(&module_list, __ATOMIC_ACQUIRE);
}

#endif
