/* Two modules with the same paths in opposite roles, so that whichever the
 * directory lists first, each situation occurs once: /one/k is interior in
 * role 0 and a leaf in role 1, /two/k the reverse; alarm rows for /al1/k in
 * role 0 and for /al2/k in role 1. */
#include "dsmodule.h"

#if PAIR_ROLE == 0
DSM_NAME("pair0");
#define ONE_LEAF NULL
#define TWO_LEAF &kLeaf
#define OWN_ALARM AL1_K
#define INTERIOR ONE_K
#else
DSM_NAME("pair1");
#define ONE_LEAF &kLeaf
#define TWO_LEAF NULL
#define OWN_ALARM AL2_K
#define INTERIOR TWO_K
#endif

static const DsType kLeaf = DSM_INT("pair_leaf", 1, 0, 200);

enum { ONE, ONE_K, ONE_Z, TWO, TWO_K, TWO_Z, AL1, AL1_K, AL2, AL2_K, NODES };

const DsKeyNode ds_keys[NODES] = {
    DSM_NODE(ONE, DSM_NONE, ONE_K, TWO, "one", NULL, NULL),
    DSM_NODE(ONE_K, ONE, ONE_Z, DSM_NONE, "k", NULL, ONE_LEAF),
    DSM_NODE(ONE_Z, ONE_K, DSM_NONE, DSM_NONE, "z", NULL, &kLeaf),
    DSM_NODE(TWO, DSM_NONE, TWO_K, AL1, "two", NULL, NULL),
    DSM_NODE(TWO_K, TWO, TWO_Z, DSM_NONE, "k", NULL, TWO_LEAF),
    DSM_NODE(TWO_Z, TWO_K, DSM_NONE, DSM_NONE, "z", NULL, &kLeaf),
    DSM_NODE(AL1, DSM_NONE, AL1_K, AL2, "al1", NULL, NULL),
    DSM_NODE(AL1_K, AL1, DSM_NONE, DSM_NONE, "k", NULL, &kLeaf),
    DSM_NODE(AL2, DSM_NONE, AL2_K, DSM_NONE, "al2", NULL, NULL),
    DSM_NODE(AL2_K, AL2, DSM_NONE, DSM_NONE, "k", NULL, &kLeaf),
};

/* Writable, so that a test can point a row at another module's node. Row 0
 * belongs to the interior key (no leaf type), rows 1 and 2 to the alarm key. */
DsAlarm ds_alarms[] = {
    {&ds_keys[INTERIOR], {.words = {9}}},
    {&ds_keys[OWN_ALARM], {.words = {1}}},
    {&ds_keys[OWN_ALARM], {.words = {2}}},
};
const uint16_t ds_alarm_count = 3;
