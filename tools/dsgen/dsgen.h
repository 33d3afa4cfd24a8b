// dsgen, the YANG compiler of schema modules: the records that its steps hand
// to one another. Loading gives a libyang context; the walk turns its data
// trees into a key forest of KeyLevel records and asks the type mapping for a
// GenType per leaf; the emitters print both as a C module and a C header.
#ifndef DSTYPES_TOOLS_DSGEN_DSGEN_H
#define DSTYPES_TOOLS_DSGEN_DSGEN_H

#include "dstypes.h"
#include "dstypes_doc_schema.h"

#include <libyang/libyang.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dsgen
{

// Exit statuses of the tool.
constexpr int kExitOk = 0;
constexpr int kExitModel = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::vector<std::string> search_dirs;
    std::map<std::string, std::vector<std::string>> features; // module -> enabled features
    std::string annotations;
    uint32_t string_size = 256;
    uint32_t max_elements = 16;
    bool strict = false;
    std::string out_c;
    std::string out_h;
    std::vector<std::string> yang_files;
};

// Diagnostics: one line each on standard error, "dsgen: error: ..." or
// "dsgen: warning: ...". Where names the YANG file (and line) and the schema
// node path; fix says what to do.
struct Where {
    std::string file;
    uint32_t line = 0;
    std::string path;
};
void report_error(const Where &where, const std::string &what, const std::string &fix);
void report_warning(const Where &where, const std::string &what, const std::string &fix);
bool had_errors();
void set_strict(bool strict);
Where where_of(const struct lysc_node *node);

// A reference to a type: a row of the built-in table, or a generated type.
struct TypeRef {
    enum class Table { none, builtin, generated } table = Table::none;
    int index = -1;
    bool
    is_set() const
    {
        return table != Table::none;
    }
    bool operator==(const TypeRef &) const = default;
    auto operator<=>(const TypeRef &) const = default;
};

// A built-in row (a DsBuiltin constant) as a type reference.
inline TypeRef
builtin_ref(DsBuiltin row)
{
    return {TypeRef::Table::builtin, row};
}

// One generated descriptor. Named ones go into the exported type table,
// anonymous ones into a private table; identical anonymous ones are shared.
struct GenType {
    std::string name; // empty: anonymous
    uint32_t kind = DS_KIND_INT;
    uint32_t size = 0;
    int64_t min = 0, max = 0;                            // int
    std::string regex;                                   // string
    TypeRef ref;                                         // enum base, array element, converted base
    std::vector<std::pair<std::string, int64_t>> values; // enum rows
    uint32_t count = 0;                                  // array max_count, bitmap bit_count
    uint32_t converter = 0;                              // converted
    bool identity = false;                               // enum of identities
    std::string c_name;                                  // mangled name for the header
    std::string describe() const;                        // identity of the descriptor's contents
};

struct TypeTable {
    std::vector<GenType> types;
    std::map<std::string, int> by_content; // anonymous types by their contents
    std::map<std::string, int> by_name;
    TypeRef add(GenType type);
    const GenType *get(TypeRef ref) const;
    uint32_t size_of(TypeRef ref) const;
    uint32_t kind_of(TypeRef ref) const;
};

// Annotations from the side file: per schema path, and alarm rows.
struct PathAnnotation {
    std::optional<uint32_t> string_size;
    std::optional<uint32_t> max_elements;
    std::optional<std::string> pattern;
    bool used = false;
};
struct AlarmRow {
    std::string key;
    std::string name;
    std::string description;
    std::string severity;
    std::string category;
};
struct Annotations {
    std::map<std::string, PathAnnotation> paths;
    std::vector<AlarmRow> alarms;
};
bool load_annotations(const std::string &file, Annotations &out);

// One level of the key forest as the walk builds it.
struct KeyLevel {
    std::string name;
    TypeRef field_type; // set for a typed level
    TypeRef leaf_type;  // set for a leaf key
    int parent = -1;
    std::vector<int> children;
    std::string key_name;    // "/a/*/b", as ds_key_name prints it
    std::string schema_path; // data path without typed levels, for annotations
    // The schema node of the level (a typed level: its key leaf; null for
    // the position of a keyless list), and a typed level's place among the
    // list's keys.
    const struct lysc_node *node = nullptr;
    int key_index = -1;
};

struct Model {
    struct ly_ctx *ctx = nullptr;
    std::vector<struct lys_module *> modules; // the named modules, command-line order
    std::vector<std::string> files;           // their files
};

// Loading: a context with every named module implemented and its features set.
int load_models(const Options &options, Model &model);

// The type mapping of one leaf or leaf-list node (its element type for a
// leaf-list).
class TypeMapper
{
  public:
    TypeMapper(TypeTable &table, const Options &options, Annotations &annotations,
               struct ly_ctx *ctx)
        : table_(table), options_(options), annotations_(annotations), ctx_(ctx)
    {
    }
    // Returns an unset reference after reporting an error.
    TypeRef map_leaf(const struct lysc_node *node, const std::string &schema_path);
    // The anchored expression that a string member of a mapped union was
    // given in the union's alternation; null when it takes every text or the
    // union did not need one.
    const std::string *member_pattern(const struct lysc_type *member) const;

  private:
    struct UnionText;

    // One mapper per YANG type family, each in its own file (types_*.cpp);
    // map_type dispatches on the base type. gen carries the typedef name
    // (empty for a type restricted in place).
    TypeRef map_type(const struct lysc_node *node, const struct lysc_type *type,
                     const std::string &schema_path, bool named_allowed);
    TypeRef map_int(const struct lysc_node *node, const struct lysc_type *type, GenType gen);
    TypeRef map_enum(const struct lysc_type_enum *type, GenType gen);
    TypeRef map_bits(const struct lysc_node *node, const struct lysc_type_bits *type, GenType gen);
    TypeRef map_identityref(const struct lysc_node *node, const struct lysc_type_identityref *type,
                            GenType gen);
    TypeRef map_decimal64(const struct lysc_node *node);
    TypeRef map_binary(const struct lysc_node *node, const struct lysc_type_bin *type,
                       const std::string &schema_path, GenType gen);
    TypeRef map_instance_identifier(const struct lysc_node *node, GenType gen);
    // A string, or an address string of ietf-inet-types or ietf-yang-types
    // (typedef_chain names it) that becomes a converted type.
    TypeRef map_string_family(const struct lysc_node *node, const struct lysc_type_str *type,
                              const std::vector<std::string> &chain, const std::string &schema_path,
                              GenType gen);
    TypeRef map_string(const struct lysc_node *node, const struct lysc_type_str *type,
                       const std::string &name, const std::string &schema_path);
    TypeRef map_union(const struct lysc_node *node, const struct lysc_type_union *type,
                      const std::string &name, const std::string &schema_path);
    // The steps of map_union.
    std::optional<TypeRef> union_of_enums(const struct lysc_type_union *type, GenType gen);
    bool add_union_member(const struct lysc_node *node, const struct lysc_type *member,
                          UnionText &text);
    bool add_union_string(const struct lysc_node *node, const struct lysc_type_str *member,
                          UnionText &text);
    std::string union_ere(const struct lysc_node *node, const UnionText &text);
    // The expression of a string type; with_upper_bounds also writes the
    // upper bounds of its length, which a union member needs.
    std::optional<std::string> string_ere(const struct lysc_node *node,
                                          const struct lysc_type_str *type,
                                          const std::string &schema_path,
                                          bool with_upper_bounds = false);
    uint32_t string_size(const struct lysc_node *node, const struct lysc_type_str *type,
                         const std::string &schema_path);

    TypeTable &table_;
    const Options &options_;
    Annotations &annotations_;
    struct ly_ctx *ctx_;
    std::map<const struct lysc_type *, std::string> member_patterns_;
};

// Shared by the files of the type mapping (types*.cpp).
inline constexpr char kAnyText[] = ".*"; // the expression of every text
inline constexpr char kBase64[] = "^([A-Za-z0-9+/]{4})*([A-Za-z0-9+/]{2}==|[A-Za-z0-9+/]{3}=)?$";

// A built-in int row with its size and bounds.
struct IntRow {
    DsBuiltin row;
    uint32_t size;
    int64_t min, max;
};
// The smallest built-in int row that holds min..max ("i64" when none does).
const IntRow &smallest_int(int64_t min, int64_t max);

// The name of the typedef that a leaf's type is, exactly ("module:typedef"),
// and the names of the typedefs it derives from, outermost first; empty when
// the leaf restricts its type or uses a built-in type.
std::vector<std::string> typedef_chain(const struct lysc_node *node);

// The leaf or leaf-list that a leafref node points to.
const struct lysc_node *leafref_target(const struct lysc_node *node);

// XSD pattern translation. translate_pattern gives the anchored ERE of one
// XSD pattern, or an error text; known_intersection the hand-written ERE of a
// pattern set that a typedef of ietf-inet-types or ietf-yang-types ANDs.
std::optional<std::string> translate_pattern(const std::string &xsd, std::string &error);
std::optional<std::string> known_intersection(struct ly_ctx *ctx, const struct lysc_type_str *type);
bool ere_compiles(const std::string &ere, std::string &error);
bool ere_matches(const std::string &ere, const std::string &text);

// The forest walk.
struct Forest {
    std::vector<KeyLevel> levels; // roots and subtrees in pre-order
    std::vector<int> roots;
};
bool walk_models(const Model &model, TypeMapper &mapper, Forest &forest);

// The levels of a forest in the order of the exported key table: pre-order,
// each subtree after its root.
std::vector<int> preorder(const Forest &forest);

// The document data (dstypes_doc_schema.h) of a forest, as C++ records
// that emit_doc_schema prints; one DocNode per level, in preorder.
struct DocValue {
    uint8_t base = 0, canon = 0, fraction_digits = 0;
    std::vector<std::pair<std::string, uint32_t>> bits; // in position order
    std::vector<DocValue> members;
    std::vector<int64_t> ranges; // min, max pairs; empty: none
    std::optional<std::string> pattern;
};
struct DocNode {
    uint8_t kind = 0, flags = 0;
    uint16_t module = 0;
    uint32_t order = 0;
    std::string name;
    std::optional<DocValue> value;
    std::optional<std::string> default_json, choices;
    uint16_t key_count = 0, key_index = 0;
};
struct DocSchema {
    std::vector<DocNode> nodes;
    std::vector<std::string> modules;
};
DocSchema build_doc_schema(const Forest &forest, const TypeMapper &mapper);
// The encoding of a leaf's type (member: a union's member), and a leaf's or
// leaf-list's default as compact JSON text.
DocValue doc_value(const struct lysc_type *type, const TypeMapper &mapper, bool member);
std::optional<std::string> doc_default(const struct lysc_node *node);

// Output.
std::string mangle(const std::string &name);
std::string c_string_literal(const std::string &text);
std::string emit_module(const Model &model, const TypeTable &table, const Forest &forest,
                        const Annotations &annotations, const DocSchema &doc);
// The definitions of "ds_doc_schema" and its tables, for the module's source.
std::string emit_doc_schema(const DocSchema &doc);
std::string emit_header(const Model &model, const TypeTable &table, const Forest &forest,
                        const std::string &guard_name);

} // namespace dsgen

#endif
