/* Schema modules with one easy mistake each, chosen by ROBUST_<case>, each
 * with top-level key and type names of its own. */
#include "dsmodule.h"

#if defined(ROBUST_typo) /* "ds_type_cnt" for "ds_type_count": its types stay unseen */
const uint16_t ds_type_cnt = 1;
const DsType ds_types[1] = {DSM_INT("typo-t", 1, 0, 9)};
const DsKeyNode ds_keys[1] = {DSM_NODE(0, DSM_NONE, DSM_NONE, DSM_NONE, "typo", NULL, NULL)};
#elif defined(ROBUST_unresolved)   /* a key names a type that nothing defines: does not open */
extern const DsType robust_nowhere;
const DsKeyNode ds_keys[1] = {{0, 0, 0, "unresolved", NULL, &robust_nowhere}};
#elif defined(ROBUST_overcount)    /* counts 9 and 5 for tables of 4 and 1 rows */
const uint16_t ds_type_count = 9;
const DsType ds_types[4] = {DSM_INT("over-a", 1, 0, 1), DSM_INT("over-b", 1, 0, 2),
                            DSM_INT("over-c", 1, 0, 3), DSM_INT("over-d", 1, 0, 4)};
const DsKeyNode ds_keys[1] = {
    DSM_NODE(0, DSM_NONE, DSM_NONE, DSM_NONE, "over", NULL, &ds_types[0])};
const uint16_t ds_alarm_count = 5;
const DsAlarm ds_alarms[1] = {{&ds_keys[0], {{0}}}};
#elif defined(ROBUST_shadow)       /* types named like a built-in and like an example type */
const uint16_t ds_type_count = 2;
const DsType ds_types[2] = {DSM_INT("u32", 1, 0, 1), DSM_INT("if-mtu", 1, 0, 1)};
#elif defined(ROBUST_parent_out)   /* a parent link of -3 for -1, before the table */
const DsKeyNode ds_keys[2] = {{0, 1, 0, "p5", NULL, NULL}, {-3, 0, 0, "leaf", NULL, NULL}};
#elif defined(ROBUST_sibling_back) /* a sibling link back to the first node */
const DsKeyNode ds_keys[2] = {{0, 0, 1, "s6a", NULL, NULL}, {0, 0, -1, "s6b", NULL, NULL}};
#elif defined(ROBUST_sibling_past) /* a sibling link past the table */
const DsKeyNode ds_keys[1] = {{0, 0, 5, "s7", NULL, NULL}};
#elif defined(ROBUST_cycles)       /* parent links in a circle, a child link back to the top */
const DsKeyNode ds_keys[3] = {
    {0, 1, 0, "c8", NULL, NULL}, {1, 1, 0, "x", NULL, NULL}, {-1, -2, 0, "y", NULL, NULL}};
#elif defined(ROBUST_bad_types)    /* descriptors that disagree with themselves */
static const DsType kU8 = DSM_INT("bad-u8", 1, 0, 255);
static const DsField kFields[] = {{"tag", &kU8}, {"a", &kU8}, {"b", &kU8}};
static int64_t kOne[] = {1};
static const DsChoiceArm kArms[] = {{kOne, 1, 1, 2}};
const uint16_t ds_type_count = 8;
const DsType ds_types[8] = {
    {"bad-pattern", DS_KIND_STRING, 8, {.string = {"(a"}}},
    {"bad-array", DS_KIND_ARRAY, 5, {.array = {4, &kU8}}},
    {"bad-sequence", DS_KIND_SEQUENCE, 2, {.sequence = {3, kFields}}},
    {"bad-choice", DS_KIND_CHOICE, 2, {.choice = {1, kFields, kArms}}},
    {"bad-bitmap", DS_KIND_BITMAP, 1, {.bitmap = {12}}},
    {"bad-kind", 9, 1, {.words = {0, 0, 0}}},
    {"bad-converter", DS_KIND_CONVERTED, 1, {.converted = {&kU8, 4}}},
    {"bad-pattern", DS_KIND_INT, 3, {.integer = {5, 1}}},
};
#endif
