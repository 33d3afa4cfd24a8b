// The data tree that a join gathers from its entries, shared by the builder
// (join.cpp) and the printer (join_print.cpp). Values are kept as the
// document writes them (doc::Scalar), checked and canonical when they enter,
// so that printing only lays them out.
#ifndef DSTYPES_DOCUMENT_JOIN_TREE_H
#define DSTYPES_DOCUMENT_JOIN_TREE_H

#include "document/doc.h"

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace doc
{

// One data node: a container, a list entry, a leaf or a leaf-list. The
// children of a container or list entry are its data nodes in the order in
// which they first came; a list keeps its entries in that order too, one
// JoinNode (the list) holding them.
struct JoinNode {
    Node node;                  // the schema node; for a list entry its last key level
    bool given = false;         // an entry named it (a presence container, a list entry)
    std::vector<Scalar> values; // leaf: one; leaf-list: its elements
    std::vector<Scalar> keys;   // list entry: its key values in key order
    std::vector<std::unique_ptr<JoinNode>> children;
    // A list: its entries and their identities (the packed key values).
    std::vector<std::unique_ptr<JoinNode>> entries;
    std::unordered_map<std::string, JoinNode *> by_identity;
};

// One level of an entry's path, resolved against the schema.
struct Level {
    Node node;
    std::string_view component; // the path's text of the level
};

// The levels of the key that path names, each with its document data, or
// false with reason.
bool resolve_levels(const char *path, std::vector<Level> &out, std::string &reason);
// Appends the packed value of a typed level's component to identity (the
// identity of a list entry is its key levels' packed values, one after
// another); with library, also its library JSON form, which the caller owns.
bool level_identity(const Level &level, std::string &identity, json_object **library,
                    std::string &reason);

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
    std::vector<Scalar> values;
    // The tree's entry of that identity and the list that holds it, once
    // found (a join never removes an entry).
    const JoinNode *list = nullptr;
    JoinNode *entry = nullptr;
};

// One node on an entry's way through the tree: its level and, for a list
// entry, what its keys gave.
struct JoinStep {
    size_t level = 0;           // index of the list's (or other node's) level
    EntryMemo *entry = nullptr; // a list entry: what its keys gave
};

} // namespace doc

// A join: its entries' data tree, and the node whose body it prints.
struct DsDocJoin {
    doc::Node at;                           // the printed body's node; key null: whole tree
    std::vector<const DsKeyNode *> at_keys; // at's levels, top first
    std::vector<std::string> at_ids;        // their identities (see level_identity)
    doc::JoinNode root;
    std::array<doc::EntryMemo, DS_MAX_KEY_LEVELS> memo; // by the step's place in an entry's walk
    // join_add's levels and steps of the entry at hand, kept for the next one.
    std::vector<doc::Level> levels;
    std::vector<doc::JoinStep> steps;
};

namespace doc
{

// Checks an entry against the join's tree and the schema, then adds it;
// the tree is changed only when every check passed. Returns 0 or -1.
int join_add(DsDocJoin &join, const char *path, const void *value, size_t value_len,
             DsDocError **error);

// Appends the document of the data tree below root (whose children are the
// top-level nodes) to out: compact, or indented as YANG tools print it.
void print_tree(const JoinNode &root, bool compact, std::string &out);
// Appends the body of the resource at (as a RESTCONF GET returns it): an
// object with the one member at, whose data is node (null: none was given).
void print_body(const JoinNode *node, const Node &at, bool compact, std::string &out);
// The data node that a join's at names, or null when no entry reached it.
const JoinNode *find_at(const DsDocJoin &join);

// Appends the text of a JSON string with the escapes YANG tools write:
// quote, backslash, and control characters as \u00XX.
void append_json_string(std::string &out, std::string_view text);

} // namespace doc

#endif
