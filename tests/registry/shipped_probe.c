/* Looks types up through the shipped library, which reads the fixed module
 * directory. "missing": the directory does not exist, so no type is found,
 * not even a built-in one, and each lookup tries again (the caller checks the
 * lines on standard error). "loaded": the directory holds one module that
 * defines "h3a_dup" with size 1. Exits 0 when every check holds. */
#include "dstypes.h"

#include <stdio.h>
#include <string.h>

int
main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "missing") == 0) {
        int found = ds_find_type("u32") != NULL;
        found |= ds_find_type("u32") != NULL;
        return found || module_list != NULL;
    }
    if (argc == 2 && strcmp(argv[1], "loaded") == 0) {
        const DsType *module_type = ds_find_type("h3a_dup");
        return ds_find_type("u32") != &ds_global_types[0] || module_type == NULL ||
               module_type->size != 1 || module_list->next == NULL ||
               module_list->next->next != NULL;
    }
    fprintf(stderr, "usage: %s missing|loaded\n", argv[0]);
    return 2;
}
