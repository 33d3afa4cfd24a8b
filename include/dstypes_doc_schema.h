/**
 * @file dstypes_doc_schema.h
 * @brief What a schema module says about its YANG data, for documents.
 *
 * A key forest (DsKeyNode, dstypes.h) names where values live; it does not
 * say what the YANG data tree around them looks like. A module that dsgen
 * compiles also exports the data below, one DsDocNode per DsKeyNode of
 * "ds_keys" (same index), so that RFC 7951 documents can be split into key
 * paths and packed values and joined back, and so that tools can draw the
 * schema. Hand-written modules need not export it: they load and work as
 * before, and the document functions refuse their keys.
 *
 * The data is exported as one object, "ds_doc_schema", of type DsDocSchema.
 * Its version says which members exist: a later compiler may append members
 * to DsDocSchema (never to the other records) and raise the version; readers
 * use what they know and refuse a version below the one they need.
 *
 * This header is plain C, compiles as C and as C++, and declares records
 * only: nothing here is a function of any library.
 */
#ifndef DSTYPES_DOC_SCHEMA_H
#define DSTYPES_DOC_SCHEMA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** The version that this header describes. */
#define DS_DOC_SCHEMA_VERSION 1u

/** What a key node is in the YANG data tree (DsDocNode.kind). */
enum DsDocKind {
    DS_DOC_CONTAINER = 1, /**< container without presence: a literal level, no entry */
    DS_DOC_PRESENCE = 2,  /**< container with presence: a literal level with an entry */
    DS_DOC_LIST = 3,      /**< list: the literal level that its key levels follow */
    DS_DOC_LIST_KEY = 4,  /**< typed level: one key of the list above (its position for a
                               keyless list); a list entry is an entry at its last key level */
    DS_DOC_LEAF = 5,      /**< leaf: a leaf key */
    DS_DOC_LEAF_LIST = 6, /**< leaf-list: a leaf key whose value is the array of its elements */
};

/** YANG built-in type of a value (DsDocValue.base); a leafref has its target's. */
enum DsDocBase {
    DS_DOC_BINARY = 1,
    DS_DOC_BITS = 2,
    DS_DOC_BOOLEAN = 3,
    DS_DOC_DECIMAL64 = 4,
    DS_DOC_EMPTY = 5,
    DS_DOC_ENUMERATION = 6,
    DS_DOC_IDENTITYREF = 7,
    DS_DOC_INSTANCE_IDENTIFIER = 8,
    DS_DOC_INT8 = 9,
    DS_DOC_INT16 = 10,
    DS_DOC_INT32 = 11,
    DS_DOC_INT64 = 12,
    DS_DOC_STRING = 13,
    DS_DOC_UINT8 = 14,
    DS_DOC_UINT16 = 15,
    DS_DOC_UINT32 = 16,
    DS_DOC_UINT64 = 17,
    DS_DOC_UNION = 18,
};

/**
 * The canonical form of a text (DsDocValue.canon): the texts that YANG tools
 * (libyang 2's type plugins) rewrite when they store a value. Every other
 * text, of any typedef, is stored and printed as it was written: IPv4
 * addresses (with or without a zone), MAC and hex strings, UUIDs and domain
 * names keep their text and case.
 */
enum DsDocCanon {
    DS_DOC_CANON_NONE = 0,          /**< the text as it is */
    DS_DOC_CANON_IPV6_ADDRESS = 1,  /**< ietf-inet-types ipv6-address(-no-zone): lower case,
                                         compressed as inet_ntop writes it, a zone kept as
                                         it is */
    DS_DOC_CANON_IPV4_PREFIX = 2,   /**< ietf-inet-types ipv4-prefix: the bits past the
                                         prefix length cleared (192.0.2.1/24 is 192.0.2.0/24) */
    DS_DOC_CANON_IPV6_PREFIX = 3,   /**< ietf-inet-types ipv6-prefix: the bits past the
                                         prefix length cleared, then as an IPv6 address */
    DS_DOC_CANON_DATE_AND_TIME = 4, /**< ietf-yang-types date-and-time: the same instant in
                                         the local time zone ("Z" and "-05:00" become the
                                         local offset; "-00:00", an unknown offset, stays),
                                         fraction digits kept */
};

/** Flags of a node (DsDocNode.flags). */
enum DsDocFlag {
    DS_DOC_CONFIG = 1u,       /**< config true (clear: state data) */
    DS_DOC_MANDATORY = 2u,    /**< a leaf marked mandatory, or a list key */
    DS_DOC_USER_ORDERED = 4u, /**< config list or leaf-list ordered-by user (state data has
                                   no order of its own) */
    DS_DOC_WHEN = 8u,         /**< the node, or a choice, case, uses or augment it comes
                                   from, has a "when" condition: it exists only where that
                                   holds, and its defaults only appear then */
};

/** One bit of a bits type. */
typedef struct DsDocBit {
    const char *name;
    uint32_t position;
} DsDocBit;

/**
 * How a value is written in an RFC 7951 document. int64, uint64 and decimal64
 * values are JSON strings, the smaller integers numbers; bits are their names
 * separated by a space; identities are "module:identity"; empty is [null].
 */
typedef struct DsDocValue {
    uint8_t base;                     /**< DsDocBase */
    uint8_t canon;                    /**< DsDocCanon, for a string */
    uint8_t fraction_digits;          /**< decimal64: 1..18; else 0 */
    uint8_t reserved;                 /**< 0 */
    uint32_t count;                   /**< rows of bits, members or range pairs, by base */
    const DsDocBit *bits;             /**< bits: the bits in position order */
    const struct DsDocValue *members; /**< union: the member types in the order in which
                                           they are tried (nested unions flattened) */
    const int64_t *ranges;            /**< integer or decimal64: count pairs min, max, in
                                           ascending order (decimal64 in units of
                                           10^-fraction_digits; uint64: the bits of the
                                           uint64_t bounds, to be read as uint64_t); null:
                                           the whole type */
    const char *pattern;              /**< string or enumeration member of a union: the
                                           anchored POSIX extended expression of its texts
                                           (its patterns and length, or its names); null:
                                           every text, or not a union member (a leaf's own
                                           type checks its texts) */
} DsDocValue;

/** The YANG side of one key node (same index as its DsKeyNode). */
typedef struct DsDocNode {
    uint8_t kind;             /**< DsDocKind */
    uint8_t flags;            /**< DsDocFlag bits */
    uint16_t module;          /**< index into DsDocSchema.modules: the node's YANG module */
    uint32_t order;           /**< place among the members of its JSON object in print
                                    order (0 first), as YANG tools print: a list
                                    entry's keys first (a key level's order is its
                                    key_index, the entry's other members follow from
                                    key_count on), then schema order, a module's own
                                    nodes before the ones that other modules augment.
                                    Top-level nodes print by module name (strcmp of
                                    modules[module]), then in schema order; their
                                    order counts this forest's top-level nodes so */
    const char *name;         /**< the YANG identifier, without its module (the key
                                    node's name without "module:"; "position" for
                                    the level of a keyless list) */
    const DsDocValue *value;  /**< leaf, leaf-list, list key: how its values are
                                    written; null for the other kinds and for the
                                    position level of a keyless list */
    const char *default_json; /**< leaf: its default value as YANG tools print it,
                                    compact RFC 7951 JSON text (a leaf-list: an array
                                    of its defaults); null: none */
    const char *choices;      /**< the choices and cases between the node and its
                                    parent in the data tree, outermost first, as
                                    "choice/case" pairs joined by "/", a mandatory
                                    choice's name followed by "!" (a case written as
                                    a shorthand has the name of its node); null:
                                    none */
    uint16_t key_count;       /**< list: the number of its keys, whose levels follow
                                    in order; 0 for a keyless list, whose one
                                    level (a "u32", the entry's position) follows */
    uint16_t key_index;       /**< list key: its place among the list's keys (0 first) */
    uint32_t reserved;        /**< 0 */
} DsDocNode;

/** The object that a module exports as "ds_doc_schema". */
typedef struct DsDocSchema {
    uint32_t version;           /**< DS_DOC_SCHEMA_VERSION of the writer */
    uint32_t node_count;        /**< the number of records of "ds_keys" and of nodes */
    const DsDocNode *nodes;     /**< one per key node, same index */
    const char *const *modules; /**< YANG module names that nodes refer to */
    uint32_t module_count;      /**< rows of modules */
    uint32_t reserved;          /**< 0 */
} DsDocSchema;

#ifdef __cplusplus
}
#endif

/* The layouts are binary interface on LP64 targets: modules are built
   against them. */
#if defined(__LP64__)
#ifdef __cplusplus
#define DS_DOC_STATIC_ASSERT static_assert
#else
#define DS_DOC_STATIC_ASSERT _Static_assert
#endif
DS_DOC_STATIC_ASSERT(sizeof(DsDocBit) == 16, "DsDocBit is 16 bytes");
DS_DOC_STATIC_ASSERT(sizeof(DsDocValue) == 40, "DsDocValue is 40 bytes");
DS_DOC_STATIC_ASSERT(sizeof(DsDocNode) == 48, "DsDocNode is 48 bytes");
DS_DOC_STATIC_ASSERT(sizeof(DsDocSchema) == 32, "DsDocSchema is 32 bytes");
#undef DS_DOC_STATIC_ASSERT
#endif

#endif
