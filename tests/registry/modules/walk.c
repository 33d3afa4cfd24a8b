/* Forests for the pre-order walk. WALK 1: A with children A1 (child A1a) and
 * A2, then B, out of walk order so that links also point backwards. WALK 2: C
 * with child C1, then D. */
#include "dsmodule.h"

#if WALK == 1
DSM_NAME("walk_a");
enum { A, B, A2, A1a, A1, NODES };
const DsKeyNode ds_keys[NODES] = {
    DSM_NODE(A, DSM_NONE, A1, B, "A", NULL, NULL),
    DSM_NODE(A1, A, A1a, A2, "A1", NULL, NULL),
    DSM_NODE(A1a, A1, DSM_NONE, DSM_NONE, "A1a", NULL, NULL),
    DSM_NODE(A2, A, DSM_NONE, DSM_NONE, "A2", NULL, NULL),
    DSM_NODE(B, DSM_NONE, DSM_NONE, DSM_NONE, "B", NULL, NULL),
};
#else
DSM_NAME("walk_b");
enum { C, C1, D, NODES };
const DsKeyNode ds_keys[NODES] = {
    DSM_NODE(C, DSM_NONE, C1, D, "C", NULL, NULL),
    DSM_NODE(C1, C, DSM_NONE, DSM_NONE, "C1", NULL, NULL),
    DSM_NODE(D, DSM_NONE, DSM_NONE, DSM_NONE, "D", NULL, NULL),
};
#endif
