/* A second forest for the walk: C with child C1, then D. */
#include "dsmodule.h"

DSM_NAME("walk_b");

enum { C, C1, D, NODES };

const DsKeyNode ds_keys[NODES] = {
    DSM_NODE(C, DSM_NONE, C1, D, "C", NULL, NULL),
    DSM_NODE(C1, C, DSM_NONE, DSM_NONE, "C1", NULL, NULL),
    DSM_NODE(D, DSM_NONE, DSM_NONE, DSM_NONE, "D", NULL, NULL),
};
