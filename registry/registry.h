// Private helpers of the module registry, shared with the key functions.
#ifndef DSTYPES_REGISTRY_REGISTRY_H
#define DSTYPES_REGISTRY_REGISTRY_H

#include "types/types.h"

// The module directory, fixed at build time.
extern const char reg_module_dir[];

// Builds the module list: 0 when the directory was read, -1 when the built-in
// record could not be allocated or the directory not opened.
int load_modules();

// Builds the module list when it is still empty.
void ensure_modules_loaded();

// The head of the module list, or null while it is empty. The acquire load
// pairs with the release stores that publish the records, so every record
// reached from here (and through its next links) is complete.
inline const DsModule *
reg_first_module()
{
    return __atomic_load_n(&module_list, __ATOMIC_ACQUIRE);
}

#endif
