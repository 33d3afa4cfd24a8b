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

/** The canonical form of a text (DsDocValue.canon), as YANG tools print it. */
enum DsDocCanon {
    DS_DOC_CANON_NONE = 0,          /**< the text as it is */
    DS_DOC_CANON_IPV4_ADDRESS = 1,  /**< ietf-inet-types ipv4-address(-no-zone) */
    DS_DOC_CANON_IPV6_ADDRESS = 2,  /**< ietf-inet-types ipv6-address(-no-zone) */
    DS_DOC_CANON_IPV4_PREFIX = 3,   /**< ietf-inet-types ipv4-prefix */
    DS_DOC_CANON_IPV6_PREFIX = 4,   /**< ietf-inet-types ipv6-prefix */
    DS_DOC_CANON_DATE_AND_TIME = 5, /**< ietf-yang-types date-and-time */
    DS_DOC_CANON_HEX_STRING = 6,    /**< ietf-yang-types hex-string, phys-address, mac-address */
    DS_DOC_CANON_UUID = 7,          /**< ietf-yang-types uuid */
};

/** Flags of a node (DsDocNode.flags). */
enum DsDocFlag {
    DS_DOC_CONFIG = 1u,       /**< config true (clear: state data) */
    DS_DOC_MANDATORY = 2u,    /**< leaf or choice marked mandatory */
    DS_DOC_USER_ORDERED = 4u, /**< list or leaf-list ordered-by user */
};

/** One bit of a bits type. */
typedef struct DsDocBit {
    const char *name;
    uint32_t position;
} DsDocBit;

/** How a value is written in an RFC 7951 document. */
typedef struct DsDocValue {
    uint8_t base;                     /**< DsDocBase */
    uint8_t canon;                    /**< DsDocCanon, for a string */
    uint8_t fraction_digits;          /**< decimal64: 1..18; else 0 */
    uint8_t reserved;                 /**< 0 */
    uint32_t count;                   /**< rows of bits, members or ranges (pairs), by base */
    const DsDocBit *bits;             /**< bits: the bits in position order */
    const struct DsDocValue *members; /**< union: the member types in order */
    const int64_t *ranges;            /**< decimal64: count pairs min, max in units of
                                  10^-fraction_digits; null: the whole type */
} DsDocValue;

/** The YANG side of one key node (same index as its DsKeyNode). */
typedef struct DsDocNode {
    uint8_t kind;             /**< DsDocKind */
    uint8_t flags;            /**< DsDocFlag bits */
    uint16_t module;          /**< index into DsDocSchema.modules: the node's YANG module */
    uint32_t order;           /**< place among its siblings in print order (0 first):
                                    list keys first, a module's own nodes before the
                                    ones other modules augment, as YANG tools print */
    const char *name;         /**< the YANG identifier, without its module */
    const DsDocValue *value;  /**< leaf, leaf-list, list key: how its values are
                                    written; null for the other kinds */
    const char *default_json; /**< leaf: its default value as compact RFC 7951 JSON
                                    text (a leaf-list: an array); null: none */
    const char *choices;      /**< choices and cases the node sits in, outermost first,
                                    "choice/case" pairs joined by "/", a mandatory
                                    choice's name followed by "!"; null: none */
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

#endif
