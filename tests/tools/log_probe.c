/*
 * Makes the library log one line through the stand-in logger: the text "{"
 * does not parse. The test runs it with and without DSTYPES_LOG_STDERR.
 */
#include "dstypes.h"

#include <stddef.h>

int
main(void)
{
    int err = 0;
    return ds_json_to_jo("{", &err) == NULL && err == DS_ERR_BAD_JSON ? 0 : 1;
}
