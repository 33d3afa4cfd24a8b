/* A typed top level between two literal ones: "a" answers only itself, every
 * other first component reaches the typed level (also "b", which it shadows);
 * alarms on a key below it. */
#include "dsmodule.h"

DSM_NAME("typed_top");

static const DsType u8 = DSM_INT("tt_u8", 1, 0, 255);

enum { A, ANY, B, LEAF, AX, NODES };

const DsKeyNode ds_keys[NODES] = {
    DSM_NODE(A, DSM_NONE, AX, ANY, "a", NULL, NULL),
    DSM_NODE(ANY, DSM_NONE, LEAF, B, "id", &u8, NULL),
    DSM_NODE(B, DSM_NONE, DSM_NONE, DSM_NONE, "b", NULL, &u8),
    DSM_NODE(LEAF, ANY, DSM_NONE, DSM_NONE, "x", NULL, &u8),
    DSM_NODE(AX, A, DSM_NONE, DSM_NONE, "x", NULL, &u8),
};

const DsAlarm ds_alarms[] = {{&ds_keys[LEAF], {{0}}}, {&ds_keys[LEAF], {{1}}}};
const uint16_t ds_alarm_count = 2;
