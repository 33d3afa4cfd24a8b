// The nodes of a join's data tree, the index of its list entries, and the
// arenas that hold the nodes and the texts of their values (join_tree.h has
// the rest of a join). A node owns nothing: the arenas release everything
// with the join at once.
#ifndef DSTYPES_DOCUMENT_JOIN_NODES_H
#define DSTYPES_DOCUMENT_JOIN_NODES_H

#include "document/doc.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace doc
{

struct JoinNode;

// A list entry known by its list and its identity (its key levels' packed
// values, one after another, kept in the join's text arena).
struct EntryKey {
    const JoinNode *list;
    std::string_view identity;
    bool operator==(const EntryKey &) const = default;
};
struct EntryKeyHash {
    size_t
    operator()(const EntryKey &key) const
    {
        // The list, the identity's length and its first 64 bytes, a word a
        // step: identities are mostly texts in fields of hundreds of bytes
        // that end in zero filler.
        uint64_t h = reinterpret_cast<uintptr_t>(key.list) ^ key.identity.size() << 48;
        size_t n = std::min<size_t>(key.identity.size(), 64);
        for (size_t i = 0; i < n; i += 8) {
            uint64_t word = 0;
            if (n - i >= 8)
                std::memcpy(&word, key.identity.data() + i, 8);
            else
                for (size_t j = i; j < n; ++j)
                    word = word << 8 | static_cast<unsigned char>(key.identity[j]);
            h = (h ^ word) * 0x9E3779B97F4A7C15ull;
            h ^= h >> 29;
        }
        return static_cast<size_t>(h);
    }
};
// The entries of all lists of a join.
using EntryIndex = std::unordered_map<EntryKey, JoinNode *, EntryKeyHash>;

// One data node: a container, a list, a list entry, a leaf or a leaf-list.
// Texts are printed JSON values, several of them separated by NUL bytes
// (which a printed value never holds). The node's kind says what its shared
// members hold (no node has both values and keys, nor both children and
// list entries): a growing join writes each new node to memory that is not
// in the cache yet, so the node is kept small.
struct JoinNode {
    Node node;                // the schema node; for a list entry its last key level
    JoinNode *next = nullptr; // the next child of the parent, or the list's next entry
    // A list: its entries in the order in which they first came (the join
    // finds them by identity in its EntryIndex); any other node: its
    // children in print order (schema order).
    JoinNode *first = nullptr;
    JoinNode *last = nullptr;
    // A leaf, a leaf-list: the printed values; a list entry: the printed
    // key values in key order.
    std::string_view printed;
    uint32_t count = 0; // leaf: 1 once given; leaf-list: its elements; list entry: its key values
    bool given = false; // an entry named it (a presence container, a list entry)
};
static_assert(sizeof(JoinNode) <= 72, "a node's size is what the join writes per new node");

// Nodes made in chunks, growing to kChunk nodes, and released with the join
// at once: a node owns nothing, and each is made where it is first used.
class NodeArena
{
  public:
    JoinNode *
    make()
    {
        static_assert(std::is_trivially_destructible_v<JoinNode>, "chunks are released unvisited");
        if (used_ == size_)
            add_chunk();
        // Default-initialised: every member has its initialiser, and the
        // node is written member by member (value-initialising it would
        // clear all of it first, which GCC does with a slow string store).
        return new (chunks_.back().get() + used_++ * sizeof(JoinNode)) JoinNode;
    }

  private:
    void add_chunk();
    static constexpr size_t kFirst = 16;
    static constexpr size_t kChunk = 256;
    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    size_t used_ = 0;
    size_t size_ = 0;
};

// Texts copied into chunks, growing to kChunk bytes (or one text's size),
// and released with the join.
class TextArena
{
  public:
    std::string_view
    store(std::string_view text)
    {
        if (text.empty())
            return {};
        if (text.size() > size_ - used_)
            add_chunk(text.size());
        char *at = chunks_.back().get() + used_;
        std::memcpy(at, text.data(), text.size());
        used_ += text.size();
        return {at, text.size()};
    }

  private:
    void add_chunk(size_t least); // a new chunk of at least least bytes
    static constexpr size_t kFirst = 1024;
    static constexpr size_t kChunk = 64 * 1024;
    std::vector<std::unique_ptr<char[]>> chunks_;
    size_t used_ = 0;
    size_t size_ = 0;
};

} // namespace doc

#endif
