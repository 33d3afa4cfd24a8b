/* Sibling order and leaf values: a typed level before the literal x (with a
 * child y) under /sib_typed, after it under /sib_literal; /val (interior, with
 * /val/level of a 2-byte percentage) hides a second top-level "val". */
#include "dsmodule.h"

DSM_NAME("shapes");

static const DsType kIndex = DSM_INT("shapes_index", 1, 0, 255);
static const DsType kPercent = DSM_INT("shapes_percent", 2, 0, 100);

enum { SIB_TYPED, ST_T, ST_X, ST_XY, SIB_LITERAL, SL_X, SL_XY, SL_T, VAL, VAL_LEVEL, VAL2, NODES };

const DsKeyNode ds_keys[NODES] = {
    DSM_NODE(SIB_TYPED, DSM_NONE, ST_T, SIB_LITERAL, "sib_typed", NULL, NULL),
    DSM_NODE(ST_T, SIB_TYPED, DSM_NONE, ST_X, "t", &kIndex, &kIndex),
    DSM_NODE(ST_X, SIB_TYPED, ST_XY, DSM_NONE, "x", NULL, NULL),
    DSM_NODE(ST_XY, ST_X, DSM_NONE, DSM_NONE, "y", NULL, &kIndex),
    DSM_NODE(SIB_LITERAL, DSM_NONE, SL_X, VAL, "sib_literal", NULL, NULL),
    DSM_NODE(SL_X, SIB_LITERAL, SL_XY, SL_T, "x", NULL, NULL),
    DSM_NODE(SL_XY, SL_X, DSM_NONE, DSM_NONE, "y", NULL, &kIndex),
    DSM_NODE(SL_T, SIB_LITERAL, DSM_NONE, DSM_NONE, "t", &kIndex, &kIndex),
    DSM_NODE(VAL, DSM_NONE, VAL_LEVEL, VAL2, "val", NULL, NULL),
    DSM_NODE(VAL_LEVEL, VAL, DSM_NONE, DSM_NONE, "level", NULL, &kPercent),
    DSM_NODE(VAL2, DSM_NONE, DSM_NONE, DSM_NONE, "val", NULL, &kPercent),
};
