/*
 * Schema modules that dstool's cases load, one per definition:
 *
 * FIXTURE_GENERATED: a module shaped as dsgen writes them, whose leaf types
 * are anonymous and reached only through their keys:
 *   /gen:ports/port/<name>/{mtu,admin,load}, an alarm on admin, and the
 *   document data of its YANG model.
 * FIXTURE_DOC_MISTAKES: the same forest with document data that dsgen
 * never writes: each node's record has one fault.
 * FIXTURE_MISTAKES: what the loader accepts but no user can use as written:
 * int ranges beyond their width, an empty type name, a type named like one
 * of the example module's, and literal key names that no key path reaches.
 */
#include "dstypes.h"
#include "dstypes_doc_schema.h"

#include <stddef.h>

#define BUILTIN_U8 (&ds_global_types[2])
#define COUNT(a) ((uint16_t)(sizeof(a) / sizeof((a)[0])))
/* Links are relative record counts within ds_keys; 0 means none. */
#define LINK(self, to) ((int16_t)((to) < 0 ? 0 : (to) - (self)))
#define KEY(self, parent, child, next, name, field_type, leaf_type)                                \
    [self] = {LINK(self, parent), LINK(self, child), LINK(self, next), name, field_type, leaf_type}

/* A DsDocNode: kind, flags, module, order, name, value, default, choices, keys. */
#define DOC(kind, flags, module, order, name, value, dflt, choices, key_count, key_index)          \
    {                                                                                              \
        kind, flags, module, order, name, value, dflt, choices, key_count, key_index, 0            \
    }
#define VALUE(base, digits, count, bits, ranges)                                                   \
    {                                                                                              \
        base, DS_DOC_CANON_NONE, digits, 0, count, bits, NULL, ranges, NULL                        \
    }

#if defined(FIXTURE_GENERATED) || defined(FIXTURE_DOC_MISTAKES)

static const DsEnumValue admin_states[] = {{"up", 1}, {"down", 2}};

static const DsType port_name = {NULL, DS_KIND_STRING, 17, {.string = {"^[a-z][a-z0-9]*$"}}};
static const DsType port_mtu = {NULL, DS_KIND_INT, 2, {.integer = {68, 9216}}};
static const DsType port_admin = {
    NULL, DS_KIND_ENUM, 1, {.enumeration = {BUILTIN_U8, COUNT(admin_states), admin_states}}};

const DsType ds_types[] = {
    {"gen:percent", DS_KIND_INT, 1, {.integer = {0, 100}}},
};
const uint16_t ds_type_count = COUNT(ds_types);

enum { K_PORTS, K_PORT, K_NAME, K_MTU, K_ADMIN, K_LOAD, K_COUNT };

const DsKeyNode ds_keys[K_COUNT] = {
    KEY(K_PORTS, -1, K_PORT, -1, "gen:ports", NULL, NULL),
    KEY(K_PORT, K_PORTS, K_NAME, -1, "port", NULL, NULL),
    KEY(K_NAME, K_PORT, K_MTU, -1, "name", &port_name, NULL),
    KEY(K_MTU, K_NAME, -1, K_ADMIN, "mtu", NULL, &port_mtu),
    KEY(K_ADMIN, K_NAME, -1, K_LOAD, "admin", NULL, &port_admin),
    KEY(K_LOAD, K_NAME, -1, -1, "load", NULL, &ds_types[0]),
};

#if defined(FIXTURE_GENERATED)
const DsAlarm ds_alarms[] = {{&ds_keys[K_ADMIN], {.pointers = {"port-down", NULL}}}};
const uint16_t ds_alarm_count = COUNT(ds_alarms);

static const int64_t mtu_range[] = {68, 9216}, load_range[] = {0, 100};
static const DsDocValue doc_values[] = {
    VALUE(DS_DOC_STRING, 0, 0, NULL, NULL),
    VALUE(DS_DOC_UINT16, 0, 1, NULL, mtu_range),
    VALUE(DS_DOC_ENUMERATION, 0, 0, NULL, NULL),
    VALUE(DS_DOC_UINT8, 0, 1, NULL, load_range),
};
static const DsDocNode doc_nodes[K_COUNT] = {
    DOC(DS_DOC_CONTAINER, DS_DOC_CONFIG, 0, 0, "ports", NULL, NULL, NULL, 0, 0),
    DOC(DS_DOC_LIST, DS_DOC_CONFIG | DS_DOC_USER_ORDERED, 0, 0, "port", NULL, NULL, NULL, 1, 0),
    DOC(DS_DOC_LIST_KEY, DS_DOC_CONFIG | DS_DOC_MANDATORY, 0, 0, "name", &doc_values[0], NULL, NULL,
        0, 0),
    DOC(DS_DOC_LEAF, DS_DOC_CONFIG, 0, 1, "mtu", &doc_values[1], "1500", NULL, 0, 0),
    DOC(DS_DOC_LEAF, 0, 0, 2, "admin", &doc_values[2], NULL, NULL, 0, 0),
    DOC(DS_DOC_LEAF, 0, 0, 3, "load", &doc_values[3], NULL, "measure!/load", 0, 0),
};
static const char *const doc_modules[] = {"gen"};
const DsDocSchema ds_doc_schema = {DS_DOC_SCHEMA_VERSION, K_COUNT, doc_nodes, doc_modules, 1, 0};

#else
/* mtu: a decimal64 without fraction digits held in an int; admin: bits
   beyond the bitmap held in an enum's place; load: a name of another. */
static const DsDocBit flag_bits[] = {{"up", 1}, {"down", 9}};
static const DsDocValue doc_values[] = {
    VALUE(DS_DOC_INT8, 0, 0, NULL, NULL),
    VALUE(DS_DOC_DECIMAL64, 0, 0, NULL, NULL),
    VALUE(DS_DOC_BITS, 0, 2, flag_bits, NULL),
    VALUE(DS_DOC_IDENTITYREF, 0, 0, NULL, NULL),
};
static const DsDocNode doc_nodes[K_COUNT] = {
    DOC(DS_DOC_CONTAINER, 0, 1, 0, "ports", NULL, NULL, "choice-alone", 0, 0),
    DOC(DS_DOC_LIST, 0, 0, 0, "port", NULL, NULL, NULL, 2, 0),
    DOC(DS_DOC_LIST_KEY, 0, 0, 0, "name", &doc_values[0], NULL, NULL, 0, 0),
    DOC(DS_DOC_LEAF, 0, 0, 1, "mtu", &doc_values[1], "{", NULL, 0, 0),
    DOC(DS_DOC_LEAF, 0, 0, 1, "admin", &doc_values[2], NULL, NULL, 0, 0),
    DOC(DS_DOC_LEAF, 0, 2, 3, "weight", &doc_values[3], NULL, NULL, 0, 0),
};
static const char *const doc_modules[] = {"gen", "other"};
const DsDocSchema ds_doc_schema = {2, K_COUNT, doc_nodes, doc_modules, 2, 0};
#endif

#elif defined(FIXTURE_MISTAKES)

const DsType ds_types[] = {
    {"tiny", DS_KIND_INT, 1, {.integer = {0, 70000}}},
    {"wide-signed", DS_KIND_INT, 2, {.integer = {-40000, 100}}},
    {"", DS_KIND_INT, 1, {.integer = {0, 1}}},
    {"if-mtu", DS_KIND_INT, 2, {.integer = {68, 9216}}},
    {"full-i8", DS_KIND_INT, 1, {.integer = {-128, 127}}},
    {"full-u32", DS_KIND_INT, 4, {.integer = {0, 4294967295}}},
};
const uint16_t ds_type_count = COUNT(ds_types);

/* The children of top, in chain order. */
enum {
    K_TOP,
    K_SLASH,
    K_STAR,
    K_QUOTED_SLASH,
    K_OPEN_QUOTE,
    K_BELOW_OPEN,
    K_OPEN_LAST,
    K_EMPTY,
    K_TWIN,
    K_TWIN_AGAIN,
    K_TYPED,
    K_AFTER_TYPED,
    K_COUNT
};

const DsKeyNode ds_keys[K_COUNT] = {
    KEY(K_TOP, -1, K_SLASH, -1, "top", NULL, NULL),
    KEY(K_SLASH, K_TOP, -1, K_STAR, "a/b", NULL, BUILTIN_U8),
    KEY(K_STAR, K_TOP, -1, K_QUOTED_SLASH, "*", NULL, BUILTIN_U8),
    /* A "/" inside a quoted stretch does not separate: reachable. */
    KEY(K_QUOTED_SLASH, K_TOP, -1, K_OPEN_QUOTE, "\"q/ok\"", NULL, BUILTIN_U8),
    KEY(K_OPEN_QUOTE, K_TOP, K_BELOW_OPEN, K_OPEN_LAST, "open\"x", NULL, NULL),
    KEY(K_BELOW_OPEN, K_OPEN_QUOTE, -1, -1, "below", NULL, BUILTIN_U8),
    /* An open stretch runs to the end of the path: reachable as its last level. */
    KEY(K_OPEN_LAST, K_TOP, -1, K_EMPTY, "last\"y", NULL, BUILTIN_U8),
    KEY(K_EMPTY, K_TOP, -1, K_TWIN, "", NULL, BUILTIN_U8),
    KEY(K_TWIN, K_TOP, -1, K_TWIN_AGAIN, "twin", NULL, BUILTIN_U8),
    KEY(K_TWIN_AGAIN, K_TOP, -1, K_TYPED, "twin", NULL, BUILTIN_U8),
    KEY(K_TYPED, K_TOP, -1, K_AFTER_TYPED, "id", BUILTIN_U8, BUILTIN_U8),
    KEY(K_AFTER_TYPED, K_TOP, -1, -1, "late", NULL, BUILTIN_U8),
};

#endif
