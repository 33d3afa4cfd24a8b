/**
 * @file dstypes.h
 * @brief libdstypes: one typed schema for a network device's management data.
 *
 * Values are described by type descriptors (DsType). A value has a packed form,
 * the fixed-size byte image kept in a program's own structures, and a JSON form
 * (a json-c object or its text). The library converts between the two,
 * validates values, prints canonical JSON, loads schema modules from the module
 * directory, looks up types, keys and alarms across them, builds key paths and
 * takes typed values back out of key field text.
 *
 * This header is plain C and compiles as C and as C++. The records below are
 * the binary interface that schema modules are built against: their layout is
 * fixed and pinned by static assertions at the end of the file.
 *
 * Threads: the library creates no thread and takes no lock. Any number of
 * threads may call it at once on their own buffers and objects, the first
 * lookups included: a lookup that finds the module list empty builds a
 * complete list privately and publishes it with one compare-and-swap, so
 * lookups that start together may each build one, the first published list
 * is the one every caller sees, and the others are released (their modules
 * closed again). While the module directory cannot be opened, every lookup
 * tries again and prints the perror line again.
 */
#ifndef DSTYPES_H
#define DSTYPES_H

#include <stdarg.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct json_object;

/**
 * @defgroup types Type descriptors
 * @{
 */

/** Kind codes of DsType.kind. */
enum DsKind {
    DS_KIND_INT = 0,       /**< integer of 1, 2, 4 or 8 bytes, range min..max */
    DS_KIND_DOUBLE = 1,    /**< 8-byte IEEE 754 double */
    DS_KIND_STRING = 2,    /**< NUL-terminated text inside size bytes, checked by a pattern */
    DS_KIND_ENUM = 3,      /**< value of an int base type, listed in a name table */
    DS_KIND_ARRAY = 4,     /**< u16 count, then max_count element slots */
    DS_KIND_SEQUENCE = 5,  /**< fields back to back in table order */
    DS_KIND_CHOICE = 6,    /**< discriminator, then the fields of the selected arm */
    DS_KIND_BITMAP = 7,    /**< ceil(bit_count / 8) bytes, least significant bit first */
    DS_KIND_CONVERTED = 8, /**< another type's value in a converted form */
};
typedef enum DsKind DsKind;

/** Converter numbers of the converted kind. */
enum DsConverter {
    DS_CONVERT_BASE = 0, /**< the base type's packed and JSON forms (base not a string) */
    DS_CONVERT_IPV4 = 1, /**< 4 bytes in network order <-> dotted quad */
    DS_CONVERT_IPV6 = 2, /**< 16 bytes in network order <-> IPv6 text */
    DS_CONVERT_MAC = 3,  /**< 6 bytes, first octet first <-> "xx:xx:xx:xx:xx:xx" */
};

struct DsType;

/** One row of an enumeration table. Rows are searched in table order. */
typedef struct DsEnumValue {
    const char *name; /**< compared exactly (case-sensitive) */
    int64_t value;
} DsEnumValue;

/** One row of a field table of a sequence or choice. Names may repeat. */
typedef struct DsField {
    const char *name;
    const struct DsType *type;
} DsField;

/** One alternative of a choice: applies when the discriminator equals any value. */
typedef struct DsChoiceArm {
    const int64_t *values; /**< discriminator values of this arm */
    uint32_t value_count;
    uint16_t first_field; /**< index into the choice's field table */
    uint16_t field_count;
} DsChoiceArm;

/**
 * Parameters of a type, one view per kind over three 64-bit words. A count
 * lies in the low 32 bits of its word.
 */
typedef union DsTypeParams {
    uint64_t words[3];
    struct {
        int64_t min; /**< the type is signed when min is negative */
        int64_t max;
    } integer;
    struct {
        const char *regex; /**< POSIX extended, applied unanchored */
    } string;
    struct {
        const struct DsType *base; /**< an int type that holds the value */
        uint32_t count;
        const DsEnumValue *values;
    } enumeration;
    struct {
        uint32_t max_count;
        const struct DsType *element;
    } array;
    struct {
        uint32_t field_count;
        const DsField *fields;
    } sequence;
    struct {
        uint32_t arm_count;
        const DsField *fields; /**< field 0 is the discriminator */
        const DsChoiceArm *arms;
    } choice;
    struct {
        uint32_t bit_count;
    } bitmap;
    struct {
        const struct DsType *base;
        uint64_t converter; /**< DsConverter; 4 and above make every conversion fail */
    } converted;
} DsTypeParams;

/**
 * A type descriptor. Descriptors are static, read-only data of the library or
 * of a schema module; tables of them are contiguous arrays.
 */
typedef struct DsType {
    const char *name; /**< null for anonymous types used only inside another */
    uint32_t kind;    /**< DsKind */
    uint16_t size;    /**< bytes of the packed form */
    DsTypeParams p;
} DsType;

/**
 * @brief The type's name.
 * @param[in] type a descriptor, or null.
 * @return the name (null for an anonymous type); "<unnamed type>" when type is null.
 */
const char *ds_type_name(const DsType *type);

/**
 * @brief The size of the type's packed form.
 * @param[in] type a descriptor, or null.
 * @return size in bytes; 0 when type is null.
 */
unsigned int ds_type_size(const DsType *type);

/**
 * @brief The name of a kind code.
 * @param[in] kind a kind code.
 * @return "int", "double", "string", "enum", "array", "sequence", "choice" or
 *         "bitmap" for codes 0 to 7; "invalid" for every other code, the
 *         converted kind 8 included.
 */
const char *ds__kind_name(uint32_t kind);

/**
 * Rows of ds_global_types, in row order. Each constant is its row's name in
 * capitals with "-" written "_" ("ipv4-str" is DS_BUILTIN_IPV4_STR). A schema
 * module refers to a built-in type by address, as in
 * &ds_global_types[DS_BUILTIN_U8]; the row numbers are part of the binary
 * interface and never change.
 */
enum DsBuiltin {
    /* Integers; there is no unsigned 64-bit row. */
    DS_BUILTIN_U32 = 0,
    DS_BUILTIN_U16 = 1,
    DS_BUILTIN_U8 = 2,
    DS_BUILTIN_I8 = 3,
    DS_BUILTIN_I16 = 4,
    DS_BUILTIN_I32 = 5,
    DS_BUILTIN_I64 = 6,
    /* Texts checked by patterns; "ipv4", "macaddress" and "ipv6" hold the
       addresses in binary and read and write them as the "-str" texts. */
    DS_BUILTIN_STRING = 7,
    DS_BUILTIN_WORD = 8,
    DS_BUILTIN_IPV4_STR = 9,
    DS_BUILTIN_IPV4 = 10,
    DS_BUILTIN_DNSNAME = 11,
    DS_BUILTIN_MACADDRESS_STR = 12,
    DS_BUILTIN_MACADDRESS = 13,
    DS_BUILTIN_IPV6_STR = 14,
    DS_BUILTIN_IPV6 = 15,
    DS_BUILTIN_URI = 16,
    /* "bool" is the one type whose JSON form is a JSON boolean. */
    DS_BUILTIN_DOUBLE = 17,
    DS_BUILTIN_BOOL = 18,
    DS_BUILTIN_UUID = 19,
    DS_BUILTIN_TIMESTAMP = 20,
    /* The alarm record and its enumerations. */
    DS_BUILTIN_ALARM_SEVERITY = 21,
    DS_BUILTIN_ALARM_CATEGORY = 22,
    DS_BUILTIN_ALARM = 23,
    /* The interface identifier: "interface" is the type to use; the others
       are its parts. */
    DS_BUILTIN_INTERFACE_TYPE = 24,
    DS_BUILTIN_STANDBY_INDEX_RANGE = 25,
    DS_BUILTIN_PORT_CHANNEL_INDEX_RANGE = 26,
    DS_BUILTIN_INTERFACE_IMPL = 27,
    DS_BUILTIN_INTERFACE = 28,
    /* Number of rows, the value of ds_global_type_count. */
    DS_BUILTIN_COUNT = 29
};
typedef enum DsBuiltin DsBuiltin;

/** The built-in types, indexed by DsBuiltin ("u32" ... "interface"). */
extern const DsType ds_global_types[];
/** Number of rows of ds_global_types: 29 (DS_BUILTIN_COUNT). */
extern const uint16_t ds_global_type_count;

/** @} */

/**
 * @defgroup packed Packed-value primitives
 * @{
 */

/**
 * A position in a packed value. Every item read or written moves p forward and
 * remaining down by the item's size. Copying the record gives an independent
 * position over the same bytes.
 */
typedef struct DsCursor {
    uint8_t *p;         /**< next byte to read or write */
    uint32_t remaining; /**< bytes from p to the end of the buffer */
} DsCursor;

/**
 * @brief Read an integer of @p width bytes (host byte order) at the cursor.
 * @param[in] width 1, 2, 4 or 8.
 * @param[in] is_signed widen by sign extension (else zero extension); width 8
 *            is taken unchanged.
 * @param[out] out receives the value.
 * @param[in,out] cursor moved by width on success. The caller makes sure that
 *            width bytes remain: remaining is not compared.
 * @return true when read; false for any other width, with out and cursor untouched.
 */
bool ds__peek_int(uint32_t width, bool is_signed, int64_t *out, DsCursor *cursor);

/**
 * @brief Write the low @p width bytes of @p value at the cursor (host byte order).
 * @param[in] width 1, 2, 4 or 8; the value is truncated, never range-checked.
 * @param[in] value the value.
 * @param[in,out] cursor moved by width on success; null only checks (and succeeds).
 * @return true when written (or when cursor is null); false when fewer than
 *         width bytes remain or width is not 1, 2, 4 or 8, with nothing written.
 */
bool ds__pack_int(uint32_t width, int64_t value, DsCursor *cursor);

/**
 * @brief Read an int or enum value at the cursor and check it against its type.
 * @param[in] type a type of kind int or enum (any other kind is read as int).
 * @param[in,out] cursor moved past the value once it has been read.
 * @param[out] out receives the value read, also when it is out of range; may be null.
 * @return true when the value lies in min..max (int) or is listed (enum); false
 *         otherwise. When the size exceeds remaining or is not 1, 2, 4 or 8,
 *         false with the cursor not moved and out not written.
 */
bool ds__get_int_or_enum_val(const DsType *type, DsCursor *cursor, int64_t *out);

/** @} */

/**
 * @defgroup codec Conversion between packed form and JSON
 * @{
 */

/** Codes written to the err variable of the canonical-text functions. */
enum DsErrorCode {
    DS_ERR_NOMEM = 2,     /**< allocating the copy of the canonical text failed */
    DS_ERR_BAD_JSON = 50, /**< text not JSON, or value does not convert (either way) */
    DS_ERR_TOO_LONG = 58, /**< canonical text of 524288 characters or more */
};

/** Canonical texts are shorter than this many characters. */
#define DS_CANONICAL_MAX 524288

/**
 * @brief Convert a packed value to a new json-c object, validating it.
 * @param[in] type the value's type, not null.
 * @param[in] buf the packed bytes; only read.
 * @param[in] len bytes at buf. Strings read up to their NUL within
 *            min(len, size). Ints and enums are cut to size when longer and
 *            widened when shorter (unsigned: zero fill; signed: sign fill for
 *            len 1, 2 or 4, 0xFF fill for other lengths). Every other kind must
 *            consume exactly len bytes.
 * @return a new object, or null when buf is null, len is 0, the value is
 *         invalid (range, enum table, pattern, missing NUL, converter above 3)
 *         or bytes are left over.
 * Ownership: the caller releases the result with json_object_put.
 */
struct json_object *ds_c_to_jo(const DsType *type, const void *buf, size_t len);

/**
 * @brief Check a packed value against its type without building anything.
 * @param[in] type the value's type, not null.
 * @param[in] buf len readable bytes.
 * @param[in] len must be exactly what the value consumes.
 * @return true when valid and exactly len bytes long. Converted values are
 *         not examined (any bytes are valid for converters 0 to 3).
 */
bool ds_c_value_is_valid(const DsType *type, const void *buf, uint32_t len);

/**
 * @brief Convert a json-c object into the packed form of a type, validating it.
 * @param[in] type the target type, not null.
 * @param[in] jo the value; only read, never released. JSON null is no value.
 * @param[out] dst the destination of dstlen bytes.
 * @param[in] dstlen the type's size; or larger for a string (the tail is not
 *            written) or an int or enum (the value is widened with its sign,
 *            and dst is written only on success).
 * @return dst on success; null with errno set to EINVAL on every failure. A
 *         failed conversion may leave a partly written value in dst.
 */
void *ds_jo_to_c(const DsType *type, struct json_object *jo, void *dst, size_t dstlen);

/**
 * @brief Check that a json-c object is a valid value of a type.
 * @param[in] type the type, not null.
 * @param[in] jo the value; only read.
 * @return true when ds_jo_to_c would accept it into a buffer of the type's size.
 */
bool ds_jo_value_is_valid(const DsType *type, struct json_object *jo);

/**
 * @brief Parse JSON text and convert it into the packed form of a type.
 * @param[in] type the target type, or null.
 * @param[in] text JSON text, or null.
 * @param[out] dst cleared to zero first (all dstlen bytes), then written.
 * @param[in] dstlen as for ds_jo_to_c.
 * @return 1 on success; 0 when type or text is null, the text does not parse
 *         (or is the literal null), or ds_jo_to_c fails (errno EINVAL).
 */
int ds_type_to_c(const DsType *type, const char *text, void *dst, size_t dstlen);

/**
 * @brief Parse JSON text, logging a syntax error.
 * @param[in] text JSON text, not null.
 * @param[out] err receives DS_ERR_BAD_JSON on a syntax error; untouched otherwise.
 * @return the new object; null on a syntax error, and also (without error) for
 *         the JSON literal null.
 * Ownership: the caller releases the result with json_object_put.
 * Logs: JSON translation family (0x2A862) on a syntax error.
 */
struct json_object *ds_json_to_jo(const char *text, int *err);

/**
 * @brief The canonical JSON text of a value: packed under the type, converted
 *        back and printed by json-c.
 * @param[in] jo the value, or null. Consumed: released with json_object_put
 *            before the call returns whenever it is not null, on every path.
 * @param[in] type the type, not null.
 * @param[out] err receives DS_ERR_BAD_JSON, DS_ERR_TOO_LONG or DS_ERR_NOMEM on
 *            failure; untouched on success and for a null jo.
 * @return a new NUL-terminated text shorter than DS_CANONICAL_MAX, or null.
 * Ownership: the caller releases the result with free.
 * Logs: JSON translation family (0x2A862) on every failure but DS_ERR_NOMEM.
 */
char *ds_canonical_jo(struct json_object *jo, const DsType *type, int *err);

/**
 * @brief The canonical JSON text of a JSON text (ds_json_to_jo, then ds_canonical_jo).
 * @param[in] text JSON text, not null.
 * @param[in] type the type, not null.
 * @param[out] err as for ds_json_to_jo and ds_canonical_jo.
 * @return a new text, or null (with err untouched for the JSON literal null).
 * Ownership: the caller releases the result with free.
 * Logs: JSON translation family (0x2A862).
 */
char *ds_canonical_json(const char *text, const DsType *type, int *err);

/** @} */

/**
 * @defgroup registry Schema modules and lookups
 *
 * A schema module is a shared object in the module directory whose file name
 * ends in ".so" with at least one character before it. Modules are loaded by
 * the first lookup, in the order the directory lists them, behind the
 * built-in table; every lookup takes the first match in that order, so a
 * built-in type hides a module type of the same name and an earlier module
 * hides a later one. A module exports up to five data objects, each the
 * object itself, declared exactly so (in C++ each one extern "C" on its own:
 * a const global otherwise has internal linkage, and a mangled name is not
 * found):
 *
 *     const DsType ds_types[];        // named rows, ds_type_count of them
 *     const uint16_t ds_type_count;
 *     const DsKeyNode ds_keys[];      // ds_keys[0] is the first top-level node
 *     const DsAlarm ds_alarms[];      // ds_alarm_count rows of 48 bytes
 *     const uint16_t ds_alarm_count;
 *
 * A missing count means 0 and its table is not looked at; a non-zero count
 * without its table makes the loader skip the module. The loader takes the
 * size of each table from the module's dynamic symbol table: a count larger
 * than its table is cut to the rows the table holds (the module declares
 * only what it has), a count object smaller than a u16 counts as missing,
 * and a "ds_keys" of unknown or zero size as no keys. Key links are relative
 * (see DsKeyNode); a link that leaves "ds_keys", closes a circle, or enters a
 * node that the pre-order walk from ds_keys[0] reached by another link first
 * is ignored by every lookup and walk, which therefore never read outside a
 * module's forest and always end. Nodes of forests that a caller made and
 * linked into the list itself are followed as written. "dstool check FILE"
 * names every such mistake before a module ships.
 * @{
 */

struct DsKeyNode;

/**
 * One row of a module's alarm table: 48 bytes, the key first. The rest of the
 * row belongs to the module and its users; the library never reads it.
 */
typedef struct DsAlarm {
    const struct DsKeyNode *key; /**< a node of the same module's key forest */
    union {
        unsigned char bytes[40];
        const void *pointers[5];
        uint64_t words[5];
    } data;
} DsAlarm;

/**
 * One record of the module list: the built-in table first, then one per
 * accepted schema module, in directory order. Never freed.
 */
typedef struct DsModule {
    struct DsModule *next;
    uint16_t type_count;
    uint16_t alarm_count;
    const DsType *types;          /**< null when type_count is 0 */
    const struct DsKeyNode *keys; /**< first top-level node, or null */
    const DsAlarm *alarms;        /**< null when alarm_count is 0 */
    void *handle;                 /**< dlopen handle; null for the built-in record */
} DsModule;

/**
 * Head of the module list; null until the first lookup has built it, then set
 * once (atomically) and never changed. Read-only for callers; a reader on
 * another thread loads it with acquire ordering to see the list complete.
 */
extern DsModule *module_list;

/**
 * @brief Find a type by name: built-in types first, then each module in list
 *        order, each table in table order. The first match wins.
 * @param[in] name NUL-terminated, not null.
 * @return the type, or null. Valid for the life of the process; never freed.
 */
const DsType *ds_find_type(const char *name);

/** Callback of the key walks: ctx as given by the caller, the node reached. */
typedef void (*DsKeyCallback)(void *ctx, const struct DsKeyNode *node);

/**
 * @brief Call back for every key node of every module: modules in list order,
 *        each forest in pre-order (parents first, siblings in chain order).
 * @param[in] callback called synchronously; its calls cannot stop the walk.
 * @param[in] ctx handed to every call.
 */
void ds__all_keys(DsKeyCallback callback, void *ctx);

/**
 * @brief Call back with the node that a key path names, once for every module
 *        whose forest has the path, in list order.
 * @param[in] path key path text.
 * @param[in] leaf_only skip (and go on past) a module whose node has no leaf type.
 * @param[in] callback, ctx as for ds__all_keys.
 * @return 1 when callback was called at least once, else 0.
 */
int ds__do_key(const char *path, bool leaf_only, DsKeyCallback callback, void *ctx);

/**
 * @brief The alarm row of the key that a path names (as ds_find_key(path, 1)),
 *        searched in that key's own module only.
 * @param[in] path key path text.
 * @return the first row whose key is the node, or null.
 */
const DsAlarm *ds_find_alarm(const char *path);

/**
 * @brief Convert JSON text into the packed form of the leaf type of the key
 *        that a path names (ds_find_key(keypath, 1), then ds_type_to_c).
 * @param[in] keypath key path text.
 * @param[in] text JSON text, or null.
 * @param[out] dst cleared to zero first (all dstlen bytes), then written.
 * @param[in] dstlen as for ds_jo_to_c.
 * @return 1 on success; 0 when no leaf key has the path, the text does not
 *         parse, or the value does not convert (errno EINVAL).
 */
int ds_leaf_to_c(const char *keypath, const char *text, void *dst, size_t dstlen);

/** @} */

/**
 * @defgroup keys Key trees, key paths, key building and field extraction
 * @{
 */

/**
 * One level of a key forest. A module's forest is one contiguous array; links
 * are relative, counted in records (L designates the record L positions after
 * this one), and 0 means none.
 */
typedef struct DsKeyNode {
    int16_t parent;           /**< 0 for a top-level node */
    int16_t first_child;      /**< 0 when the node has no children */
    int16_t next_sibling;     /**< 0 for the last node of its chain */
    const char *name;         /**< literal level: its component; typed level: the field's name */
    const DsType *field_type; /**< null: literal level; else its component is JSON of this type */
    const DsType *leaf_type;  /**< type of the value stored at this key, or null */
} DsKeyNode;

/** One component of a split key path, pointing into the path text (not copied). */
typedef struct DsPathComponent {
    const char *text;
    uint32_t length;
} DsPathComponent;

/** Operations that list a key's levels hold at most this many. */
#define DS_MAX_KEY_LEVELS 32

/**
 * @brief List a key's levels, top-level ancestor first, the key last.
 * @param[in] key a node, not null.
 * @param[out] levels room for max pointers.
 * @param[in] max capacity of levels.
 * @return the number of levels d; 0 when max is 0 or the key has more than max
 *         levels (nothing is written at or beyond levels[max]).
 */
uint32_t ds__get_key_levels(const DsKeyNode *key, const DsKeyNode **levels, uint32_t max);

/**
 * @brief Write a key's name: for each level top first, "/" and the level's
 *        name, or an asterisk for a typed level. No depth limit.
 * @param[out] buf the buffer; nothing is written at or beyond buf[size].
 * @param[in] size the buffer's size.
 * @param[in] key a node, not null.
 * @return buf; null when the name and its NUL do not fit (buf then unspecified).
 */
char *ds_key_name(char *buf, size_t size, const DsKeyNode *key);

/**
 * @brief The type of the value stored at a key.
 * @return key's leaf_type; null when key is null or stores no value.
 */
const DsType *ds_key_leaf_type(const DsKeyNode *key);

/**
 * @brief The field type of a key's n-th typed level (counted from 1, top first).
 * @return the type; null when n is 0, the key has fewer than n typed levels or
 *         is deeper than DS_MAX_KEY_LEVELS levels.
 */
const DsType *ds_key_field_type(const DsKeyNode *key, uint32_t n);

/**
 * @brief Find the key that a key path names: the first module in list order
 *        whose forest has the path decides.
 * @param[in] path key path text ("/" and one component per level; typed levels
 *            as JSON text, quoted stretches kept whole).
 * @param[in] leaf_only when set, a node without leaf type yields null.
 * @return the node, or null. Never freed.
 */
const DsKeyNode *ds_find_key(const char *path, bool leaf_only);

/**
 * @brief Build a key path from packed values of the typed levels.
 * @param[out] buf cleared first; the text is cut silently at buflen - 1 characters.
 * @param[in] buflen at least 1.
 * @param[in] key a node of at most DS_MAX_KEY_LEVELS levels (a deeper key
 *            builds the empty text), not null.
 * @param ... for each typed level, top first: const void *value, size_t size;
 *            then a null pointer.
 * @return buf; null when a typed level finds a null value (too few arguments)
 *         or ds_c_to_jo rejects its value, buf holding the text up to and
 *         including that level's "/". A surplus argument is logged, result buf.
 * Logs: key building family (0xB6348).
 */
char *ds_build_key(char *buf, size_t buflen, const DsKeyNode *key, ...);

/**
 * @brief Build a key path from json-c objects of the typed levels.
 * @param ... for each typed level, top first: struct json_object *; then null.
 * @return as ds_build_key; an object that ds_jo_value_is_valid rejects fails.
 * Ownership: every object whose text was appended is released (json_object_put);
 *            a rejected object, those after it and a surplus one stay the caller's.
 * Logs: key building family (0xB6348).
 */
char *ds_build_jo_key(char *buf, size_t buflen, const DsKeyNode *key, ...);

/**
 * @brief ds_build_jo_key with a va_list positioned at the first object; the
 *        list is not ended here.
 */
char *ds_build_jo_key_v(char *buf, size_t buflen, const DsKeyNode *key, va_list args);

/**
 * @brief The JSON value of field n of a field text (the typed levels' JSON texts
 *        joined by "/", no leading "/"), not validated against the field type.
 * @param[in] text field text, not null.
 * @param[in] key the key, not null.
 * @param[in] n field number, from 1.
 * @return a new object, or null (no such field, or the component does not parse).
 * Ownership: the caller releases the result with json_object_put.
 * Logs: key field extraction family (0x4E170).
 */
struct json_object *ds_key_field_jo(const char *text, const DsKeyNode *key, uint32_t n);

/**
 * @brief Field n of a field text in the packed form of its field type.
 * @param[out] size_out receives the buffer's size (the field type's size) on
 *             success only.
 * @return a new buffer, or null (no such field, the component does not parse,
 *         allocation fails, or the value does not convert: errno EINVAL).
 * Ownership: the caller releases the result with free.
 * Logs: key field extraction family (0x4E170) for a missing or unparsable field.
 */
void *ds_key_field_c(const char *text, const DsKeyNode *key, uint32_t n, uint32_t *size_out);

/** @} */

/**
 * @defgroup diag Log message identifiers
 * Failures are logged through the platform's rk_syslog(3, 2, 0, id, format, ...).
 * @{
 */
#define DS_MSG_KEY_FIELD 0x4E170u /**< key field extraction */
#define DS_MSG_KEY_BUILD 0xB6348u /**< key building */
#define DS_MSG_JSON 0x2A862u      /**< JSON translation */
/** @} */

#ifdef __cplusplus
} /* extern "C" */
#endif

/* The layouts below are binary interface on LP64 targets. */
#if defined(__LP64__)
#ifdef __cplusplus
#define DS_STATIC_ASSERT static_assert
#else
#define DS_STATIC_ASSERT _Static_assert
#endif
DS_STATIC_ASSERT(sizeof(DsType) == 40, "DsType is 40 bytes");
DS_STATIC_ASSERT(offsetof(DsType, kind) == 8, "DsType.kind at 8");
DS_STATIC_ASSERT(offsetof(DsType, size) == 12, "DsType.size at 12");
DS_STATIC_ASSERT(offsetof(DsType, p) == 16, "DsType parameters at 16");
DS_STATIC_ASSERT(offsetof(DsTypeParams, enumeration.count) == 8, "enum count in word 2");
DS_STATIC_ASSERT(offsetof(DsTypeParams, enumeration.values) == 16, "enum table in word 3");
DS_STATIC_ASSERT(offsetof(DsTypeParams, array.element) == 8, "array element in word 2");
DS_STATIC_ASSERT(offsetof(DsTypeParams, choice.arms) == 16, "choice arms in word 3");
DS_STATIC_ASSERT(offsetof(DsTypeParams, converted.converter) == 8, "converter in word 2");
DS_STATIC_ASSERT(sizeof(DsEnumValue) == 16, "DsEnumValue is 16 bytes");
DS_STATIC_ASSERT(sizeof(DsField) == 16, "DsField is 16 bytes");
DS_STATIC_ASSERT(sizeof(DsChoiceArm) == 16, "DsChoiceArm is 16 bytes");
DS_STATIC_ASSERT(offsetof(DsChoiceArm, first_field) == 12, "DsChoiceArm.first_field at 12");
DS_STATIC_ASSERT(sizeof(DsCursor) == 16, "DsCursor is 16 bytes");
DS_STATIC_ASSERT(offsetof(DsCursor, remaining) == 8, "DsCursor.remaining at 8");
DS_STATIC_ASSERT(sizeof(DsKeyNode) == 32, "DsKeyNode is 32 bytes");
DS_STATIC_ASSERT(offsetof(DsKeyNode, next_sibling) == 4, "DsKeyNode.next_sibling at 4");
DS_STATIC_ASSERT(offsetof(DsKeyNode, name) == 8, "DsKeyNode.name at 8");
DS_STATIC_ASSERT(offsetof(DsKeyNode, leaf_type) == 24, "DsKeyNode.leaf_type at 24");
DS_STATIC_ASSERT(sizeof(DsPathComponent) == 16, "DsPathComponent is 16 bytes");
DS_STATIC_ASSERT(sizeof(DsModule) == 48, "DsModule is 48 bytes");
DS_STATIC_ASSERT(offsetof(DsModule, alarm_count) == 10, "DsModule.alarm_count at 10");
DS_STATIC_ASSERT(offsetof(DsModule, types) == 16, "DsModule.types at 16");
DS_STATIC_ASSERT(offsetof(DsModule, handle) == 40, "DsModule.handle at 40");
DS_STATIC_ASSERT(sizeof(DsAlarm) == 48, "DsAlarm rows are 48 bytes");
DS_STATIC_ASSERT(offsetof(DsAlarm, key) == 0, "DsAlarm.key first");
#undef DS_STATIC_ASSERT
#endif

#endif /* DSTYPES_H */
