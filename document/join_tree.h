// The data tree that a join gathers from its entries, shared by the builder
// (join_entry.cpp) and the printer (join_print.cpp). Nodes and the texts of
// their values live in arenas that the join releases at once. Values are kept
// as the document prints them, checked and canonical when they enter, and a
// node's children are kept in print order, so that printing only walks the
// tree.
#ifndef DSTYPES_DOCUMENT_JOIN_TREE_H
#define DSTYPES_DOCUMENT_JOIN_TREE_H

#include "document/doc.h"
#include "document/join_nodes.h"
#include "document/known_patterns.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace doc
{

// One level of an entry's path, resolved against the schema.
struct Level {
    Node node;
    std::string_view component; // the path's text of the level
};

// The path resolved last in the first module's forest: its text and where
// each component ends (empty: none). Consecutive entries mostly share the
// beginning of their paths, whose levels need not be matched again.
// Where a path's levels are cut and matched: its components, where each
// ends, and the key node of each level.
struct PathCut {
    std::string_view components[DS_MAX_KEY_LEVELS];
    size_t ends[DS_MAX_KEY_LEVELS];
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
};

struct PathMemo {
    size_t shared = 0; // the levels that the path resolved last shares with the one before
    size_t depth = 0;  // its levels (0: none resolved, nothing to share)
    // Its copy, into which the texts of its levels point: a level shared with
    // the next path keeps its text, as the shared beginning is copied again
    // in place.
    std::string path;
    PathCut cut; // its ends; kept, so that each path does not set up the arrays again
    // The literal node that a component names among the siblings that
    // begin with a node: (first sibling, its name) -> that node. A literal
    // name is static data of the module, and the schema bounds the table.
    struct Sibling {
        const DsKeyNode *first;
        std::string_view name;
        bool
        operator==(const Sibling &other) const
        {
            return first == other.first && name == other.name;
        }
    };
    struct SiblingHash {
        size_t
        operator()(const Sibling &s) const
        {
            // Sibling names mostly differ in length or at their ends; a
            // full hash of the text would cost more than the few collisions.
            size_t n = s.name.size();
            size_t h = reinterpret_cast<uintptr_t>(s.first) * 0x9E3779B97F4A7C15ull ^ n;
            if (n != 0)
                h ^= size_t(uint8_t(s.name[0])) << 8 ^ size_t(uint8_t(s.name[n / 2])) << 16 ^
                     size_t(uint8_t(s.name[n - 1])) << 24;
            return h;
        }
    };
    std::unordered_map<Sibling, const DsKeyNode *, SiblingHash> literals;
    // Entries come in schema order, so a component mostly names the sibling
    // after the one that the component before named among the same siblings,
    // or the first of them for the next list entry: the node named last in a
    // chain is kept in the chain's slot of last_in_chain (first node, last).
    // A literal node that the table gave is the first of its chain that fits
    // its name: it is kept in its slot of verified with its name's length,
    // and taken again at once when predicted and named.
    std::array<std::pair<const DsKeyNode *, const DsKeyNode *>, 64> last_in_chain{};
    struct Verified {
        const DsKeyNode *node;
        size_t length;
    };
    std::array<Verified, 256> verified{};
};

// The levels of the key that path names, each with its document data, in
// out, or false with reason. With memo, out holds what the call before left
// in it: the levels that path shares with memo's path are kept, and memo is
// kept for the next path.
bool resolve_levels(const char *path, std::vector<Level> &out, std::string &reason,
                    PathMemo *memo = nullptr);
// Appends the packed value of a typed level's component to identity (the
// identity of a list entry is its key levels' packed values, one after
// another); with library, also its library JSON form, which the caller owns.
bool level_identity(const Level &level, std::string &identity, json_object **library,
                    std::string &reason);
// Why a typed level's component is refused as a key value.
std::string invalid_key(const Level &level);

// The child of parent (null: none) that stands for the schema node key.
JoinNode *find_child(const JoinNode *parent, const DsKeyNode *key);

// The list entry that one position of an entry's path named last: the list's
// level, the key nodes of the list and its key levels, the key levels' texts,
// and what they gave (the entry's identity and key values). Entries come
// grouped by list entry, so the next entry's path mostly names it again and
// its keys need not be read again.
struct EntryMemo {
    bool valid = false;
    size_t level = 0;
    std::vector<const DsKeyNode *> keys;
    std::vector<std::string> components;
    std::string identity;
    std::string printed; // the key values as the entry prints them
    uint32_t printed_count = 0;
    // The list looked in for that identity, once looked in, and its entry
    // there (null: none yet; a join never removes an entry).
    const JoinNode *list = nullptr;
    JoinNode *entry = nullptr;
};

// Makes memo hold the list entry whose list is levels[list] and whose count
// key levels follow it: its identity and key values; false with reason when a
// key is no valid value, or when the entry is not the one that join's at_ids
// names (join_list_entries.cpp).
bool entry_step(DsDocJoin &join, const std::vector<Level> &levels, size_t list, size_t count,
                EntryMemo &memo, std::string &reason);

// One node on an entry's way through the tree: its level and, for a list
// entry, what its keys gave.
struct JoinStep {
    size_t level = 0;           // index of the list's (or other node's) level
    JoinNode *node = nullptr;   // the node that exists already; null: to be made
    EntryMemo *entry = nullptr; // a list entry: what its keys gave
};

// A member that validation adds where no data gives it: a state leaf's or
// leaf-list's default, or a container holding such defaults
// (join_defaults.cpp).
struct Default {
    Node node;
    std::string values; // printed, NUL between two
    uint32_t count = 0;
    bool container = false;
};

// The defaults that validation may add among the children of the schema
// node parent (null: the top-level nodes), in print order.
std::vector<Default> defaults_below(const DsKeyNode *parent);
// Whether validation adds the default d among the members of data (null:
// an added container).
bool default_applies(const Default &d, const JoinNode *data);

// Where one step of the entry added last went: the step's last level, the
// node of its first level (a list, or another node) and, for a list, the
// entry. The next entry whose path shares those levels goes there too.
struct Walked {
    size_t end = 0;
    JoinNode *node = nullptr;
    JoinNode *entry = nullptr;
};

// What one step of an entry makes before any of it is linked into the tree:
// its node (null: it exists) and, for a list entry that does not exist yet,
// the entry's node, its printed keys and its identity.
struct Made {
    JoinNode *node = nullptr;
    JoinNode *entry = nullptr;
    std::string_view keys;
    std::string_view identity;
    JoinNode **slot = nullptr; // the entry's slot in the entry index
};

// The printed values of leaves by their packed bytes, type and document
// form (join_values.cpp): a fixed table, each slot keeping the value seen
// last there. A value converts and prints the same every time.
class ValueMemo
{
  public:
    // The printed value remembered for the bytes; empty when there is none.
    // at: the bytes' slot, for keep.
    std::string_view find(const DsType *type, const DsDocValue *value, const void *bytes,
                          size_t size, size_t &at) const;
    // Remembers printed, which must outlive the memo, for the bytes, in
    // the slot that find gave for them.
    void keep(size_t at, const DsType *type, const DsDocValue *value, const void *bytes,
              size_t size, std::string_view printed);

  private:
    static constexpr size_t kSlots = 256;
    static constexpr size_t kBytes = 32;
    struct Slot {
        const DsType *type = nullptr;
        const DsDocValue *value = nullptr;
        size_t size = 0;
        char bytes[kBytes] = {};
        std::string_view printed;
    };
    static size_t slot_of(const DsType *type, const DsDocValue *value, const void *bytes,
                          size_t size);
    std::array<Slot, kSlots> slots_;
};

// Appends a document value as it prints.
void append_scalar(std::string &out, const Scalar &scalar);

// --- Values printed straight from packed bytes (join_direct.cpp) ---

// Where printed values go: their texts, NUL between two, and what came of
// them. A value the library refuses is invalid; one that has no document
// form leaves the first such reason.
struct PrintedValues {
    PrintedValues(std::string &out, Scalar &scratch, std::vector<std::string> *texts)
        : printed(out), scalar(scratch), elements(texts)
    {
    }
    std::string &printed;
    Scalar &scalar;                     // scratch for each value's document form
    std::vector<std::string> *elements; // null, or each value's document text
    uint32_t count = 0;                 // the values printed
    bool invalid = false;
    std::string reason;
};

// Whether the packed values of type (a leaf-list's array type with list)
// print here, as the general path prints them, for the document type value
// (null: none). It depends on the types only.
bool prints_directly(const DsDocValue *value, const DsType *type, bool list);
// Checks the packed value of len bytes as ds_c_to_jo does and appends the
// document forms of its values to out; false when it is invalid or a value
// has no document form. Only for types that prints_directly takes.
// patterns: the join's known string patterns.
bool print_packed(const DsDocValue &value, const DsType *type, const void *bytes, size_t len,
                  bool list, PatternKinds &patterns, PrintedValues &out);

// A key component that json-c's parser reads as a string without escapes
// (its text between the quotes in text), or as a plain integer of at most
// 18 digits (in number).
bool plain_string(std::string_view component, std::string_view &text);
bool plain_integer(std::string_view component, int64_t &number);

// Packing a key component here: done, refused (the general path would refuse
// it too), or left to the general path.
enum class KeyPack { packed, refused, general };
// Appends the packed value of a typed level's component of type to identity
// as ds_jo_to_c packs the component's JSON value, for plain strings of
// string and address types and plain integers of int types.
KeyPack pack_key(const DsType *type, std::string_view component, PatternKinds &patterns,
                 std::string &identity);

} // namespace doc

// A join: its entries' data tree, and the node whose body it prints.
struct DsDocJoin {
    doc::Node at;                           // the printed body's node; key null: whole tree
    std::vector<const DsKeyNode *> at_keys; // at's levels, top first
    std::vector<std::string> at_ids;        // their identities (see level_identity)
    doc::JoinNode root;
    doc::NodeArena nodes;
    doc::TextArena texts;
    std::array<doc::EntryMemo, DS_MAX_KEY_LEVELS> memo; // by the step's place in an entry's walk
    doc::PathMemo path_memo;
    doc::ValueMemo value_memo;
    // join_add's levels, steps and values of the entry at hand, kept for the next one.
    std::vector<doc::Level> levels;
    std::vector<doc::JoinStep> steps;
    // The steps of the entry added last (walked_count of them); an entry
    // has at most one step a level.
    std::array<doc::Walked, DS_MAX_KEY_LEVELS> walked;
    size_t walked_count = 0;
    std::array<doc::Made, DS_MAX_KEY_LEVELS> made; // what the entry at hand makes, step by step
    bool walked_valid = false;                     // no entry was refused since
    doc::Scalar scalar;
    std::string printed;
    std::vector<std::string> elements;
    doc::EntryIndex entries; // the entries of every list
    doc::PatternKinds patterns;
};

namespace doc
{

// The entry of list (null: none) of that identity in join, or null.
JoinNode *find_entry(const DsDocJoin &join, const JoinNode *list, std::string_view identity);

// The document form of a value of node in the library's JSON form,
// canonical as YANG tools print it; false with reason.
bool document_scalar(const Node &node, json_object *library, Scalar &out, std::string &reason);
// The document values of a leaf's or leaf-list's packed value, checked as
// its type and YANG require, printed (NUL between two) into the join's text
// arena, where printed shows them; their number, or -1 with reason.
int64_t entry_values(DsDocJoin &join, const Node &owner, const DsType *type, const void *value,
                     size_t value_len, std::string_view &printed, std::string &reason);

// Checks an entry against the join's tree and the schema, then adds it;
// the tree is changed only when every check passed. Returns 0 or -1.
int join_add(DsDocJoin &join, const char *path, const void *value, size_t value_len,
             DsDocError **error);

class PrintedText; // join_text.h

// Appends the document of the data tree below root (whose children are the
// top-level nodes) to out: compact, or indented as YANG tools print it.
void print_tree(const JoinNode &root, bool compact, PrintedText &out);
// Appends the body of the resource at (as a RESTCONF GET returns it): an
// object with the one member at, whose data is node (null: none was given).
void print_body(const JoinNode *node, const Node &at, bool compact, PrintedText &out);
// The data node that a join's at names, or null when no entry reached it.
const JoinNode *find_at(const DsDocJoin &join);

// Appends the text of a JSON string with the escapes YANG tools write:
// quote, backslash, and control characters as \u00XX.
void append_json_string(std::string &out, std::string_view text);

} // namespace doc

#endif
