/*
 * The example schema module: the data of a small network device as a schema
 * module declares it. It exports its own types, a key forest and an alarm
 * table under the five symbol names that the registry looks up, laid out as
 * dstypes.h fixes them, and refers to the library's built-in types by address.
 *
 * Keys (a typed level is shown as its field type in angle brackets):
 *   /interfaces/<interface>/{state,admin,speed,mtu,description,counters,
 *                            utilization,vlans}
 *   /interfaces/<interface>/units/<if-unit>/{address,prefix-length}
 *   /system/{hostname,ipv4-address,ipv6-address,mac-address,router-id,
 *            dns-servers,management-address,boot-time}
 *   /vlans/<vlan-id>/{name,uplink}
 *   /users/<word>/role
 */
#include "dstypes.h"

/* A built-in type by its row name: BUILTIN(U8) is the "u8" row. */
#define BUILTIN(row) (&ds_global_types[DS_BUILTIN_##row])

/* Rows of this module's own type table. */
enum {
    T_OPER_STATE,
    T_IF_SPEED,
    T_IF_MTU,
    T_IF_DESCRIPTION,
    T_IF_COUNTERS,
    T_IF_UTILIZATION,
    T_VLAN_BITMAP,
    T_IF_UNIT,
    T_IF_PREFIX_LENGTH,
    T_SYS_ROUTER_ID,
    T_SYS_DNS_SERVERS,
    T_SYS_ADDRESS_FAMILY,
    T_SYS_ADDRESS,
    T_VLAN_ID,
    T_USER_ROLE,
    T_COUNT
};

extern const DsType ds_types[T_COUNT];
#define TYPE(row) (&ds_types[row])

static const DsEnumValue oper_states[] = {
    {"up", 1},
    {"down", 2},
    {"testing", 3},
};

static const DsEnumValue address_families[] = {
    {"ipv4", 4},
    {"ipv6", 6},
};

static const DsEnumValue user_roles[] = {
    {"admin", 1},
    {"operator", 2},
    {"viewer", 3},
};

/* 24 bytes: two 64-bit octet counters, then two 32-bit error counters. */
static const DsField counter_fields[] = {
    {"in-octets", BUILTIN(I64)},
    {"out-octets", BUILTIN(I64)},
    {"in-errors", BUILTIN(U32)},
    {"out-errors", BUILTIN(U32)},
};

/* The management address: a family byte, then an IPv4 or an IPv6 address. */
static const DsField address_fields[] = {
    {"family", TYPE(T_SYS_ADDRESS_FAMILY)},
    {"address", BUILTIN(IPV4)},
    {"address", BUILTIN(IPV6)},
};
static const int64_t family_ipv4[] = {4};
static const int64_t family_ipv6[] = {6};
static const DsChoiceArm address_arms[] = {
    {family_ipv4, 1, 1, 1},
    {family_ipv6, 1, 2, 1},
};

#define ARRAY_COUNT(a) ((uint32_t)(sizeof(a) / sizeof((a)[0])))

const DsType ds_types[T_COUNT] = {
    [T_OPER_STATE] = {"oper-state",
                      DS_KIND_ENUM,
                      1,
                      {.enumeration = {BUILTIN(U8), ARRAY_COUNT(oper_states), oper_states}}},
    /* Mbit/s, up to 400G. */
    [T_IF_SPEED] = {"if-speed", DS_KIND_INT, 4, {.integer = {0, 400000}}},
    [T_IF_MTU] = {"if-mtu", DS_KIND_INT, 2, {.integer = {68, 9216}}},
    /* Printable ASCII only: the pattern is anchored, since patterns match anywhere. */
    [T_IF_DESCRIPTION] = {"if-description", DS_KIND_STRING, 65, {.string = {"^[ -~]*$"}}},
    [T_IF_COUNTERS] = {"if-counters",
                       DS_KIND_SEQUENCE,
                       24,
                       {.sequence = {ARRAY_COUNT(counter_fields), counter_fields}}},
    /* Percent of line rate over the last interval. */
    [T_IF_UTILIZATION] = {"if-utilization", DS_KIND_DOUBLE, 8, {.words = {0, 0, 0}}},
    /* One bit per VLAN id 0 to 4095; bit n set when the port is a member of VLAN n. */
    [T_VLAN_BITMAP] = {"vlan-bitmap", DS_KIND_BITMAP, 512, {.bitmap = {4096}}},
    [T_IF_UNIT] = {"if-unit", DS_KIND_INT, 2, {.integer = {0, 4095}}},
    [T_IF_PREFIX_LENGTH] = {"if-prefix-length", DS_KIND_INT, 1, {.integer = {0, 32}}},
    /* A router id is written like an IPv4 address. */
    [T_SYS_ROUTER_ID] = {"sys-router-id",
                         DS_KIND_CONVERTED,
                         4,
                         {.converted = {BUILTIN(IPV4_STR), DS_CONVERT_IPV4}}},
    /* Up to four name servers: a u16 count and four 4-byte slots. */
    [T_SYS_DNS_SERVERS] = {"sys-dns-servers", DS_KIND_ARRAY, 18, {.array = {4, BUILTIN(IPV4)}}},
    [T_SYS_ADDRESS_FAMILY] = {"sys-address-family",
                              DS_KIND_ENUM,
                              1,
                              {.enumeration = {BUILTIN(U8), ARRAY_COUNT(address_families),
                                               address_families}}},
    /* The family byte and room for the larger (IPv6) arm. */
    [T_SYS_ADDRESS] = {"sys-address",
                       DS_KIND_CHOICE,
                       17,
                       {.choice = {ARRAY_COUNT(address_arms), address_fields, address_arms}}},
    /* 0 and 4095 are reserved. */
    [T_VLAN_ID] = {"vlan-id", DS_KIND_INT, 2, {.integer = {1, 4094}}},
    [T_USER_ROLE] = {"user-role",
                     DS_KIND_ENUM,
                     1,
                     {.enumeration = {BUILTIN(U8), ARRAY_COUNT(user_roles), user_roles}}},
};

const uint16_t ds_type_count = T_COUNT;

/* Records of the key forest, in array order: each subtree follows its root. */
enum {
    K_INTERFACES,
    K_IF_NAME,
    K_IF_STATE,
    K_IF_ADMIN,
    K_IF_SPEED,
    K_IF_MTU,
    K_IF_DESCRIPTION,
    K_IF_COUNTERS,
    K_IF_UTILIZATION,
    K_IF_VLANS,
    K_IF_UNITS,
    K_IF_UNIT,
    K_IF_UNIT_ADDRESS,
    K_IF_UNIT_PREFIX_LENGTH,
    K_SYSTEM,
    K_SYS_HOSTNAME,
    K_SYS_IPV4_ADDRESS,
    K_SYS_IPV6_ADDRESS,
    K_SYS_MAC_ADDRESS,
    K_SYS_ROUTER_ID,
    K_SYS_DNS_SERVERS,
    K_SYS_MANAGEMENT_ADDRESS,
    K_SYS_BOOT_TIME,
    K_VLANS,
    K_VLAN,
    K_VLAN_NAME,
    K_VLAN_UPLINK,
    K_USERS,
    K_USER,
    K_USER_ROLE,
    K_COUNT,
    NONE = -1
};

/* Links are relative record counts within ds_keys; 0 means none. */
#define LINK(self, to) ((int16_t)((to) == NONE ? 0 : (to) - (self)))
#define KEY(self, parent, child, next, name, field_type, leaf_type)                                \
    [self] = {LINK(self, parent), LINK(self, child), LINK(self, next), name, field_type, leaf_type}

const DsKeyNode ds_keys[K_COUNT] = {
    KEY(K_INTERFACES, NONE, K_IF_NAME, K_SYSTEM, "interfaces", NULL, NULL),
    KEY(K_IF_NAME, K_INTERFACES, K_IF_STATE, NONE, "name", BUILTIN(INTERFACE), NULL),
    KEY(K_IF_STATE, K_IF_NAME, NONE, K_IF_ADMIN, "state", NULL, TYPE(T_OPER_STATE)),
    KEY(K_IF_ADMIN, K_IF_NAME, NONE, K_IF_SPEED, "admin", NULL, BUILTIN(BOOL)),
    KEY(K_IF_SPEED, K_IF_NAME, NONE, K_IF_MTU, "speed", NULL, TYPE(T_IF_SPEED)),
    KEY(K_IF_MTU, K_IF_NAME, NONE, K_IF_DESCRIPTION, "mtu", NULL, TYPE(T_IF_MTU)),
    KEY(K_IF_DESCRIPTION, K_IF_NAME, NONE, K_IF_COUNTERS, "description", NULL,
        TYPE(T_IF_DESCRIPTION)),
    KEY(K_IF_COUNTERS, K_IF_NAME, NONE, K_IF_UTILIZATION, "counters", NULL, TYPE(T_IF_COUNTERS)),
    KEY(K_IF_UTILIZATION, K_IF_NAME, NONE, K_IF_VLANS, "utilization", NULL, TYPE(T_IF_UTILIZATION)),
    KEY(K_IF_VLANS, K_IF_NAME, NONE, K_IF_UNITS, "vlans", NULL, TYPE(T_VLAN_BITMAP)),
    KEY(K_IF_UNITS, K_IF_NAME, K_IF_UNIT, NONE, "units", NULL, NULL),
    KEY(K_IF_UNIT, K_IF_UNITS, K_IF_UNIT_ADDRESS, NONE, "unit", TYPE(T_IF_UNIT), NULL),
    KEY(K_IF_UNIT_ADDRESS, K_IF_UNIT, NONE, K_IF_UNIT_PREFIX_LENGTH, "address", NULL,
        BUILTIN(IPV4)),
    KEY(K_IF_UNIT_PREFIX_LENGTH, K_IF_UNIT, NONE, NONE, "prefix-length", NULL,
        TYPE(T_IF_PREFIX_LENGTH)),

    KEY(K_SYSTEM, NONE, K_SYS_HOSTNAME, K_VLANS, "system", NULL, NULL),
    KEY(K_SYS_HOSTNAME, K_SYSTEM, NONE, K_SYS_IPV4_ADDRESS, "hostname", NULL, BUILTIN(DNSNAME)),
    KEY(K_SYS_IPV4_ADDRESS, K_SYSTEM, NONE, K_SYS_IPV6_ADDRESS, "ipv4-address", NULL,
        BUILTIN(IPV4)),
    KEY(K_SYS_IPV6_ADDRESS, K_SYSTEM, NONE, K_SYS_MAC_ADDRESS, "ipv6-address", NULL, BUILTIN(IPV6)),
    KEY(K_SYS_MAC_ADDRESS, K_SYSTEM, NONE, K_SYS_ROUTER_ID, "mac-address", NULL,
        BUILTIN(MACADDRESS)),
    KEY(K_SYS_ROUTER_ID, K_SYSTEM, NONE, K_SYS_DNS_SERVERS, "router-id", NULL,
        TYPE(T_SYS_ROUTER_ID)),
    KEY(K_SYS_DNS_SERVERS, K_SYSTEM, NONE, K_SYS_MANAGEMENT_ADDRESS, "dns-servers", NULL,
        TYPE(T_SYS_DNS_SERVERS)),
    KEY(K_SYS_MANAGEMENT_ADDRESS, K_SYSTEM, NONE, K_SYS_BOOT_TIME, "management-address", NULL,
        TYPE(T_SYS_ADDRESS)),
    KEY(K_SYS_BOOT_TIME, K_SYSTEM, NONE, NONE, "boot-time", NULL, BUILTIN(TIMESTAMP)),

    KEY(K_VLANS, NONE, K_VLAN, K_USERS, "vlans", NULL, NULL),
    KEY(K_VLAN, K_VLANS, K_VLAN_NAME, NONE, "id", TYPE(T_VLAN_ID), NULL),
    KEY(K_VLAN_NAME, K_VLAN, NONE, K_VLAN_UPLINK, "name", NULL, BUILTIN(WORD)),
    KEY(K_VLAN_UPLINK, K_VLAN, NONE, NONE, "uplink", NULL, BUILTIN(INTERFACE)),

    KEY(K_USERS, NONE, K_USER, NONE, "users", NULL, NULL),
    KEY(K_USER, K_USERS, K_USER_ROLE, NONE, "user", BUILTIN(WORD), NULL),
    KEY(K_USER_ROLE, K_USER, NONE, NONE, "role", NULL, TYPE(T_USER_ROLE)),
};

/*
 * Alarm rows: the key they are raised on, then four texts in data.pointers:
 * the alarm's name, its description, its "alarm_severity" name and its
 * "alarm_category" name (the built-in enumerations' names).
 */
#define ALARM(key, name, text, severity, category)                                                 \
    {                                                                                              \
        &ds_keys[key],                                                                             \
        {                                                                                          \
            .pointers = { name, text, severity, category, NULL }                                   \
        }                                                                                          \
    }

const DsAlarm ds_alarms[] = {
    ALARM(K_IF_STATE, "link-down", "Interface left the up state", "major", "communications"),
    ALARM(K_IF_COUNTERS, "input-errors", "Interface receive errors above threshold", "minor",
          "service_quality"),
    ALARM(K_SYS_BOOT_TIME, "unexpected-restart", "System restarted without a reload request",
          "critical", "processing_error"),
};

const uint16_t ds_alarm_count = ARRAY_COUNT(ds_alarms);
