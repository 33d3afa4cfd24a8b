/* Looks types up through the shipped library, which reads the fixed module
 * directory. "missing": the directory does not exist, so no type is found,
 * not even a built-in one, and each lookup tries again (the caller checks the
 * lines on standard error). "loaded": the directory holds one module that
 * defines "h3a_dup" with size 1. Exits 0 when every check holds. */
#include "dstypes.h"

#include <stdio.h>
#include <string.h>

static int
check(int ok, const char *what)
{
    if (!ok)
        printf("failed: %s\n", what);
    return ok ? 0 : 1;
}

static int
missing(void)
{
    int failures = 0;
    failures += check(ds_find_type("u32") == NULL, "first lookup without directory");
    failures += check(ds_find_type("u32") == NULL, "second lookup without directory");
    failures += check(module_list == NULL, "list stays empty");
    return failures;
}

static int
loaded(void)
{
    int failures = 0;
    const DsType *module_type = ds_find_type("h3a_dup");
    failures += check(ds_find_type("u32") == &ds_global_types[0], "built-in u32 first");
    failures += check(module_type != NULL && module_type->size == 1, "module type found");
    failures += check(module_list != NULL && module_list->next != NULL &&
                          module_list->next->handle != NULL && module_list->next->next == NULL,
                      "one module after the built-in record");
    return failures;
}

int
main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "missing") == 0)
        return missing();
    if (argc == 2 && strcmp(argv[1], "loaded") == 0)
        return loaded();
    fprintf(stderr, "usage: %s missing|loaded\n", argv[0]);
    return 2;
}
