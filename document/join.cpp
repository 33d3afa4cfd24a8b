// The C calls of the join side: a join gathers entries into a data tree
// (join_entry.cpp checks and adds each one) and prints it as one RFC 7951
// document (join_print.cpp), whole or as the body of one node.
#include "document/join_text.h"
#include "document/join_tree.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace doc
{

void
NodeArena::add_chunk()
{
    // Small joins stay small; big ones take chunks of kChunk nodes.
    size_t size = std::min(kChunk, kFirst << std::min<size_t>(chunks_.size(), 8));
    chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size * sizeof(JoinNode)));
    used_ = 0;
    size_ = size;
}

void
TextArena::add_chunk(size_t least)
{
    size_t size = std::max(std::min(kChunk, kFirst << std::min<size_t>(chunks_.size(), 8)), least);
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    used_ = 0;
    size_ = size;
}

// The data node that a join's at names, or null when no entry reached it.
const JoinNode *
find_at(const DsDocJoin &join)
{
    const JoinNode *node = &join.root;
    std::string identity;
    for (size_t i = 0; i < join.at_keys.size() && node != nullptr; ++i) {
        if (join.at_keys[i]->field_type != nullptr) {
            identity += join.at_ids[i];
            bool last_key =
                i + 1 == join.at_keys.size() || join.at_keys[i + 1]->field_type == nullptr;
            if (last_key) {
                node = find_entry(join, node, identity);
                identity.clear();
            }
            continue;
        }
        node = find_child(node, join.at_keys[i]);
    }
    return node;
}

} // namespace doc

extern "C" {

DOC_EXPORT DsDocJoin *
ds_doc_join_new(const char *at, DsDocError **error)
{
    try {
        auto join = std::make_unique<DsDocJoin>();
        if (at != nullptr && at[0] != '\0') {
            std::string reason;
            std::vector<doc::Level> levels;
            if (!doc::resolve_levels(at, levels, reason)) {
                doc::set_error(error, at, reason);
                return nullptr;
            }
            join->at = levels.back().node;
            for (const doc::Level &level : levels) {
                std::string identity;
                if (level.node.key->field_type != nullptr &&
                    !doc::level_identity(level, identity, nullptr, reason)) {
                    doc::set_error(error, at, reason);
                    return nullptr;
                }
                join->at_ids.push_back(std::move(identity));
                join->at_keys.push_back(level.node.key);
            }
            if (join->at.doc->kind == DS_DOC_LIST)
                doc::set_error(error, at, "names a list, not one of its entries");
            if (join->at.doc->kind == DS_DOC_LIST)
                return nullptr;
        }
        return join.release();
    } catch (const std::bad_alloc &) {
        doc::set_error(error, at != nullptr ? at : "", "out of memory");
        return nullptr;
    }
}

DOC_EXPORT int
ds_doc_join_add(DsDocJoin *join, const char *path, const void *value, size_t value_len,
                DsDocError **error)
{
    if (join == nullptr || path == nullptr)
        return doc::set_error(error, path != nullptr ? path : "", "no join or no path");
    try {
        return doc::join_add(*join, path, value, value_len, error);
    } catch (const std::bad_alloc &) {
        return doc::set_error(error, path, "out of memory");
    }
}

DOC_EXPORT char *
ds_doc_join_print(const DsDocJoin *join, unsigned flags, DsDocError **error)
{
    if (join == nullptr) {
        doc::set_error(error, "", "no join");
        return nullptr;
    }
    try {
        doc::PrintedText out;
        bool compact = (flags & DS_DOC_PRINT_COMPACT) != 0;
        if (join->at.key == nullptr)
            doc::print_tree(join->root, compact, out);
        else
            doc::print_body(doc::find_at(*join), join->at, compact, out);
        return out.release();
    } catch (const std::bad_alloc &) {
        doc::set_error(error, "", "out of memory");
        return nullptr;
    }
}

DOC_EXPORT void
ds_doc_join_free(DsDocJoin *join)
{
    delete join;
}

} // extern "C"
