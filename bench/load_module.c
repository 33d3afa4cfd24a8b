/* The template of the modules that load_bench generates: eight types, a key
 * forest of two top-level keys (one with a typed level) and two alarms. Every
 * name carries the marker "m0000000", which load_bench replaces in each copy
 * by the copy's number, so that each generated module defines names of its
 * own and the indexes grow with the number of modules. */
#include "dstypes.h"

#define MARK "m0000000"
#define INT_TYPE(suffix, max)                                                                      \
    {                                                                                              \
        .name = MARK suffix, .kind = DS_KIND_INT, .size = 4, .p = {.integer = {0, max} }           \
    }

__attribute__((visibility("default"))) const DsType ds_types[8] = {
    INT_TYPE("_t0", 10), INT_TYPE("_t1", 11), INT_TYPE("_t2", 12), INT_TYPE("_t3", 13),
    INT_TYPE("_t4", 14), INT_TYPE("_t5", 15), INT_TYPE("_t6", 16), INT_TYPE("_t7", 17),
};
__attribute__((visibility("default"))) const uint16_t ds_type_count = 8;

/* /m0000000_if/<t0 JSON>/{mtu,speed,state} and /m0000000_sys/{hostname,contact}.
 * Links are relative: parent, first child, next sibling. */
__attribute__((visibility("default"))) const DsKeyNode ds_keys[8] = {
    {0, 1, 5, MARK "_if", NULL, NULL},          {-1, 1, 0, "name", &ds_types[0], NULL},
    {-1, 0, 1, "mtu", NULL, &ds_types[1]},      {-2, 0, 1, "speed", NULL, &ds_types[2]},
    {-3, 0, 0, "state", NULL, &ds_types[3]},    {0, 1, 0, MARK "_sys", NULL, NULL},
    {-1, 0, 1, "hostname", NULL, &ds_types[4]}, {-2, 0, 0, "contact", NULL, &ds_types[5]},
};

__attribute__((visibility("default"))) const DsAlarm ds_alarms[2] = {
    {&ds_keys[2], {{0}}},
    {&ds_keys[6], {{0}}},
};
__attribute__((visibility("default"))) const uint16_t ds_alarm_count = 2;
