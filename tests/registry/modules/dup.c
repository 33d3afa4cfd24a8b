/* Two modules are built from this file, each defining a type "h3a_dup" of its
 * own size, so that a test can tell which one a lookup found; both also
 * define a type named like a built-in one. */
#include "dsmodule.h"

#ifndef DUP_SIZE
#error "DUP_SIZE tells the two modules apart"
#endif

DSM_NAME(DUP_TAG);

const DsType ds_types[] = {
    DSM_INT("h3a_dup", DUP_SIZE, 0, 100),
    DSM_INT("u32", 2, 0, 7),
};
const uint16_t ds_type_count = 2;
