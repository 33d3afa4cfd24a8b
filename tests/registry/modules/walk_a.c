/* A forest for the pre-order walk: A with children A1 (child A1a) and A2,
 * then B. Only A must come first in the array; the others are out of walk
 * order on purpose, so that links also point backwards. */
#include "dsmodule.h"

DSM_NAME("walk_a");

enum { A, B, A2, A1a, A1, NODES };

const DsKeyNode ds_keys[NODES] = {
    DSM_NODE(A, DSM_NONE, A1, B, "A", NULL, NULL),
    DSM_NODE(A1, A, A1a, A2, "A1", NULL, NULL),
    DSM_NODE(A1a, A1, DSM_NONE, DSM_NONE, "A1a", NULL, NULL),
    DSM_NODE(A2, A, DSM_NONE, DSM_NONE, "A2", NULL, NULL),
    DSM_NODE(B, DSM_NONE, DSM_NONE, DSM_NONE, "B", NULL, NULL),
};
