/* A key of 33 levels: the literal level "deep", a typed level, then the
 * literal levels d3 ... d33, d33 storing a value. Deep enough that the
 * operations holding a level list of 32 entries give up on d33 but not on
 * d32. */
#include "dsmodule.h"

DSM_NAME("deep");

static const DsType kIndex = DSM_INT("deep_index", 1, 0, 255);

const DsKeyNode ds_keys[33] = {
    DSM_NODE(0, DSM_NONE, 1, DSM_NONE, "deep", NULL, NULL),
    DSM_NODE(1, 0, 2, DSM_NONE, "slot", &kIndex, NULL),
    DSM_NODE(2, 1, 3, DSM_NONE, "d3", NULL, NULL),
    DSM_NODE(3, 2, 4, DSM_NONE, "d4", NULL, NULL),
    DSM_NODE(4, 3, 5, DSM_NONE, "d5", NULL, NULL),
    DSM_NODE(5, 4, 6, DSM_NONE, "d6", NULL, NULL),
    DSM_NODE(6, 5, 7, DSM_NONE, "d7", NULL, NULL),
    DSM_NODE(7, 6, 8, DSM_NONE, "d8", NULL, NULL),
    DSM_NODE(8, 7, 9, DSM_NONE, "d9", NULL, NULL),
    DSM_NODE(9, 8, 10, DSM_NONE, "d10", NULL, NULL),
    DSM_NODE(10, 9, 11, DSM_NONE, "d11", NULL, NULL),
    DSM_NODE(11, 10, 12, DSM_NONE, "d12", NULL, NULL),
    DSM_NODE(12, 11, 13, DSM_NONE, "d13", NULL, NULL),
    DSM_NODE(13, 12, 14, DSM_NONE, "d14", NULL, NULL),
    DSM_NODE(14, 13, 15, DSM_NONE, "d15", NULL, NULL),
    DSM_NODE(15, 14, 16, DSM_NONE, "d16", NULL, NULL),
    DSM_NODE(16, 15, 17, DSM_NONE, "d17", NULL, NULL),
    DSM_NODE(17, 16, 18, DSM_NONE, "d18", NULL, NULL),
    DSM_NODE(18, 17, 19, DSM_NONE, "d19", NULL, NULL),
    DSM_NODE(19, 18, 20, DSM_NONE, "d20", NULL, NULL),
    DSM_NODE(20, 19, 21, DSM_NONE, "d21", NULL, NULL),
    DSM_NODE(21, 20, 22, DSM_NONE, "d22", NULL, NULL),
    DSM_NODE(22, 21, 23, DSM_NONE, "d23", NULL, NULL),
    DSM_NODE(23, 22, 24, DSM_NONE, "d24", NULL, NULL),
    DSM_NODE(24, 23, 25, DSM_NONE, "d25", NULL, NULL),
    DSM_NODE(25, 24, 26, DSM_NONE, "d26", NULL, NULL),
    DSM_NODE(26, 25, 27, DSM_NONE, "d27", NULL, NULL),
    DSM_NODE(27, 26, 28, DSM_NONE, "d28", NULL, NULL),
    DSM_NODE(28, 27, 29, DSM_NONE, "d29", NULL, NULL),
    DSM_NODE(29, 28, 30, DSM_NONE, "d30", NULL, NULL),
    DSM_NODE(30, 29, 31, DSM_NONE, "d31", NULL, NULL),
    DSM_NODE(31, 30, 32, DSM_NONE, "d32", NULL, NULL),
    DSM_NODE(32, 31, DSM_NONE, DSM_NONE, "d33", NULL, &kIndex),
};
