// The data tree that a join gathers from its entries, shared by the builder
// (join.cpp) and the printer (join_print.cpp). Values are kept as the
// document writes them (doc::Scalar), checked and canonical when they enter,
// so that printing only lays them out.
#ifndef DSTYPES_DOCUMENT_JOIN_TREE_H
#define DSTYPES_DOCUMENT_JOIN_TREE_H

#include "document/doc.h"

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
