/**
 * @file dstypes_doc.h
 * @brief libdstypes-doc: RFC 7951 JSON documents in and out of key paths.
 *
 * A document (a RESTCONF body, a NETCONF or gNMI payload, a saved
 * configuration) is split into entries, each a key path of the module
 * directory's key forest with the packed value stored there, and entries are
 * joined back into the document as YANG tools print it. The schema comes
 * from the modules' "ds_doc_schema" data (dstypes_doc_schema.h), which dsgen
 * writes; keys of a module without it are refused.
 *
 * This header is plain C and compiles as C and as C++. Link with
 * libdstypes-doc (pkg-config dstypes-doc, CMake dstypes::doc), which uses
 * libdstypes. Nothing here takes a lock; the functions may be called from
 * any number of threads at once on their own objects, after the rules of
 * dstypes.h for the first lookup.
 */
#ifndef DSTYPES_DOC_H
#define DSTYPES_DOC_H

#include "dstypes.h"
#include "dstypes_doc_schema.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** One entry of a document. */
typedef struct DsDocEntry {
    const char *path;     /**< the key path text, NUL-terminated */
    size_t path_len;      /**< its length */
    const DsKeyNode *key; /**< the key node of the path */
    const void *value;    /**< the packed value; null for an entry without one
                                 (a list entry, a presence container) */
    size_t value_len;     /**< bytes at value: its leaf type's size, or 0 */
} DsDocEntry;

/**
 * Receives one entry; the entry and what it points to are valid during the
 * call only. Return 0 to go on, anything else to stop the split (which then
 * returns that value).
 */
typedef int (*DsDocEntryFn)(const DsDocEntry *entry, void *arg);

/**
 * Why a document or an entry was refused: the place (a JSON pointer into the
 * document, or the key path of an entry) and the reason, as one line of text.
 * Owned by the caller, who releases it with ds_doc_error_free.
 */
typedef struct DsDocError DsDocError;

/** The place of an error (never null); valid until the error is released. */
const char *ds_doc_error_where(const DsDocError *error);
/** The reason of an error (never null); valid until the error is released. */
const char *ds_doc_error_reason(const DsDocError *error);
/** Releases an error; null is allowed. */
void ds_doc_error_free(DsDocError *error);

/**
 * Splits the document text[0..len) into entries and hands each, in document
 * order, to fn: a presence container's and a list entry's (at its last key
 * level, the keys in its path) before their members'; a leaf's and a
 * leaf-list's (its array) with the packed value. An empty leaf-list ([]) is
 * no data and gives no entry.
 *
 * at: null or "" for a whole data tree, an RFC 7951 JSON object whose
 * members are top-level nodes qualified by their modules. Else the key path
 * of the node whose body the text is, as a RESTCONF resource body: an object
 * with that node as its one member, "module:name", or the empty object for a
 * node that holds nothing (as YANG tools print one). A list entry's path names
 * it by all its keys, and its body is the list with that one entry, whose
 * keys must be those of the path.
 *
 * Entry paths are key paths as ds_build_key writes them: typed components
 * are the JSON texts of the packed values (so canonical, "/" escaped), and
 * the level of a keyless list is the entry's position counted from 1.
 * Values are checked as the library checks them and as YANG does where the
 * module says how (ranges, fraction digits, bit and identity names, list
 * keys, no unknown or repeated member, no member of a second case, no
 * repeated list entry or config leaf-list value), and stored in the
 * canonical form (dstypes_doc_schema.h, DsDocCanon). Values that the library
 * cannot hold are refused with that reason: integers above 2^63-1, texts
 * longer than the leaf type holds or with a NUL character, decimal64 values
 * beyond 2^53 units, more leaf-list values than its array holds.
 *
 * The whole document is checked before the first entry is handed out, so a
 * refused document gives no entry. Memory held grows with the document's
 * nesting depth, not with its size, but for the check of repeated list
 * entries: 8 bytes a slot (at most 22 bytes an entry, the table three
 * quarters full at most and doubling) for each list open around the member
 * being read.
 *
 * Returns 0 when every entry was handed out, fn's non-zero result when fn
 * stopped the split, -1 when the document is refused (with *error set when
 * error is not null; the caller releases it). The error's place is a JSON
 * pointer (RFC 6901) into the document ("" for the document itself), or the
 * text of at when at names no node that has a body. -1 with the reason "out
 * of memory" (or *error null, when not even the error could be made) when
 * memory runs out; that may come after some entries were handed out, never
 * for a value that was not refused.
 */
int ds_doc_split(const char *text, size_t len, const char *at, DsDocEntryFn fn, void *arg,
                 DsDocError **error);

/** Flags of ds_doc_join_print. */
enum DsDocPrintFlag {
    DS_DOC_PRINT_COMPACT = 1u, /**< no indentation and no final newline */
};

/** Entries gathered to be printed as one document. */
typedef struct DsDocJoin DsDocJoin;

/**
 * Starts a join. at: null or "" for a whole data tree; else the key path of
 * the node whose body is printed (a container, a list entry, a leaf), and
 * every entry must lie at or below it. Returns null when at names no node of
 * a module with document data or names a list rather than one of its entries
 * (with *error set), or when memory runs out. The caller releases the join
 * with ds_doc_join_free.
 */
DsDocJoin *ds_doc_join_new(const char *at, DsDocError **error);

/**
 * Adds one entry: its key path text and packed value (null and 0 for an entry
 * without a value: a list entry, a presence container). Entries may come in
 * any order; a list's entries print in the order in which the first entry
 * at or below each of them came, a leaf-list's elements in the order of its
 * array; a leaf-list entry of no elements is checked and adds nothing.
 * Returns 0, or -1 when the entry is refused (with *error set, its
 * place being path) or memory runs out (the reason "out of memory", or
 * *error null when not even the error could be made); a refused entry
 * leaves the join as it was, also for want of memory. Refused: a
 * path that names no key of a module with document data, or a container
 * without presence or a list rather than an entry; a value of another size
 * than its leaf type's, one that the type does not accept, or a value for
 * an entry without one; a key level that its field type does not accept; an
 * entry given twice; a repeated element of a configuration leaf-list; a node
 * in a case of a choice beside data of another case; with at, an entry that
 * is not at or below it.
 */
int ds_doc_join_add(DsDocJoin *join, const char *path, const void *value, size_t value_len,
                    DsDocError **error);

/**
 * Prints the document of the entries added so far as YANG tools (libyang 2)
 * print the same data after validating it: members in schema order, names
 * qualified with their module at the top and where the module changes,
 * values in their canonical text, and the defaults of state leaves that no
 * entry gave (validation adds them). Indented by two blanks per level with a
 * final newline, or compact without one (DS_DOC_PRINT_COMPACT). flags:
 * DsDocPrintFlag bits. Returns the NUL-terminated text, which the caller
 * releases with free(), or null (with *error set) when memory runs out.
 */
char *ds_doc_join_print(const DsDocJoin *join, unsigned flags, DsDocError **error);

/** Releases a join; null is allowed. */
void ds_doc_join_free(DsDocJoin *join);

#ifdef __cplusplus
}
#endif

#endif
