// Checking the links of a key forest whose size is known: which links the
// walks may follow, and what is wrong with the others. The loader runs it
// once per module and keeps the result beside the module record, so that no
// walk ever leaves a module's forest or goes round in circles; dstool check
// runs it to name every bad link. Nothing here reads a record outside the
// forest or depends on the rest of the library.
#include "keys/keys.h"

#include <cstdlib>

namespace
{

// Scratch bits in the link flags, cleared again before the check returns.
constexpr uint8_t kOnChain = 8;  // on the parent chain being followed
constexpr uint8_t kSettled = 16; // parent chain known to end
constexpr uint8_t kReached = 32; // reached by the walk from the first node
constexpr uint8_t kOnWay = 64;   // on the walk's way from the first node to where it is
constexpr uint8_t kScratch = kOnChain | kSettled | kReached | kOnWay;

// The index a link designates, or -1 when it is 0 or leaves the forest.
int64_t
target(uint32_t index, int16_t link, uint32_t count)
{
    if (link == 0)
        return -1;
    int64_t to = int64_t{index} + link;
    return to >= 0 && to < int64_t{count} ? to : -1;
}

struct Checker {
    const DsKeyNode *nodes;
    uint32_t count;
    uint8_t *flags;
    KeyLinkReport report;
    void *ctx;

    void
    tell(uint32_t node, KeyLink link, KeyLinkFault fault, int64_t to) const
    {
        if (report != nullptr)
            report(ctx, KeyLinkProblem{node, link, fault, to});
    }

    // Parent links form one chain per node; each chain is followed until it
    // ends or meets a node already on it, whose link is then cut. Chains
    // that join a settled one stop there, so every node is passed once.
    void
    check_parents()
    {
        for (uint32_t i = 0; i < count; ++i) {
            int16_t link = nodes[i].parent;
            if (link == 0)
                continue;
            if (target(i, link, count) < 0)
                tell(i, KeyLink::parent, KeyLinkFault::out_of_range, int64_t{i} + link);
            else
                flags[i] |= kKeyLinkParent;
        }
        for (uint32_t start = 0; start < count; ++start) {
            uint32_t node = start;
            while ((flags[node] & (kOnChain | kSettled)) == 0) {
                flags[node] |= kOnChain;
                if ((flags[node] & kKeyLinkParent) == 0)
                    break;
                uint32_t up = static_cast<uint32_t>(node + nodes[node].parent);
                if (flags[up] & kOnChain) {
                    flags[node] &= static_cast<uint8_t>(~kKeyLinkParent);
                    tell(node, KeyLink::parent, KeyLinkFault::cycle, up);
                    break;
                }
                node = up;
            }
            for (node = start; flags[node] & kOnChain;) {
                flags[node] = static_cast<uint8_t>((flags[node] & ~kOnChain) | kSettled);
                if ((flags[node] & kKeyLinkParent) == 0)
                    break;
                node = static_cast<uint32_t>(node + nodes[node].parent);
            }
        }
    }

    // The walk's state: the chain parent of each reached node (the node whose
    // child chain holds it, kNone for the top-level chain), and the way, the
    // nodes that the links followed from node 0 to the current node pass
    // through, marked kOnWay. A link into the way closes a circle; a link
    // into any other reached node joins another branch.
    static constexpr uint32_t kNone = UINT32_MAX;
    struct Walk {
        uint32_t *chain_parent; // per node
        uint32_t *way;          // the way, node 0 first
        uint32_t way_length;
    };

    // Follows a child or sibling link of node (the way's last node) when it
    // designates a node not reached yet, and puts that node on the way;
    // returns it, or -1 with the link left cut.
    int64_t
    follow(uint32_t node, KeyLink link, Walk &walk)
    {
        int16_t offset =
            link == KeyLink::first_child ? nodes[node].first_child : nodes[node].next_sibling;
        if (offset == 0)
            return -1;
        int64_t to = target(node, offset, count);
        if (to < 0) {
            tell(node, link, KeyLinkFault::out_of_range, int64_t{node} + offset);
            return -1;
        }
        if (flags[to] & kReached) {
            bool cycle = (flags[to] & kOnWay) != 0;
            tell(node, link, cycle ? KeyLinkFault::cycle : KeyLinkFault::rejoin, to);
            return -1;
        }
        flags[node] |= link == KeyLink::first_child ? kKeyLinkChild : kKeyLinkSibling;
        flags[to] |= kReached | kOnWay;
        walk.chain_parent[to] = link == KeyLink::first_child ? node : walk.chain_parent[node];
        walk.way[walk.way_length++] = static_cast<uint32_t>(to);
        return to;
    }

    // Takes the nodes after the first `length` off the way.
    void
    shorten_way(Walk &walk, uint32_t length)
    {
        while (walk.way_length > length)
            flags[walk.way[--walk.way_length]] &= static_cast<uint8_t>(~kOnWay);
    }

    // The pre-order walk from the first node, entering every node at most
    // once: what it follows is what the library's walks will follow. pending
    // holds the nodes whose siblings come after their children, and
    // pending_way how long the way was when each of them was its end. Every
    // node goes on the way and off it at most once.
    bool
    check_tree()
    {
        auto *chain_parent = static_cast<uint32_t *>(std::malloc(count * sizeof(uint32_t)));
        auto *way = static_cast<uint32_t *>(std::malloc(count * sizeof(uint32_t)));
        auto *pending = static_cast<uint32_t *>(std::malloc(count * sizeof(uint32_t)));
        auto *pending_way = static_cast<uint32_t *>(std::malloc(count * sizeof(uint32_t)));
        bool ok = chain_parent != nullptr && way != nullptr && pending != nullptr &&
                  pending_way != nullptr;
        if (ok) {
            Walk walk{chain_parent, way, 1};
            uint32_t depth = 0;
            uint32_t node = 0;
            flags[0] |= kReached | kOnWay;
            chain_parent[0] = kNone;
            way[0] = 0;
            for (;;) {
                int64_t next = follow(node, KeyLink::first_child, walk);
                if (next >= 0) {
                    pending[depth] = node;
                    pending_way[depth++] = walk.way_length - 1;
                    node = static_cast<uint32_t>(next);
                    continue;
                }
                for (;;) {
                    next = follow(node, KeyLink::next_sibling, walk);
                    if (next >= 0 || depth == 0)
                        break;
                    node = pending[--depth];
                    shorten_way(walk, pending_way[depth]);
                }
                if (next < 0)
                    break;
                node = static_cast<uint32_t>(next);
            }
            check_parent_agreement(chain_parent);
        }
        std::free(chain_parent);
        std::free(way);
        std::free(pending);
        std::free(pending_way);
        return ok;
    }

    // A reached node's parent link should lead to the node whose children it
    // is among (0 for the top-level chain). A wrong one stays followed: it is
    // in the forest and cannot loop, but its key gets another node's levels.
    void
    check_parent_agreement(const uint32_t *chain_parent)
    {
        for (uint32_t i = 1; i < count; ++i) {
            if ((flags[i] & kReached) == 0) {
                tell(i, KeyLink::none, KeyLinkFault::unreached, -1);
                continue;
            }
            int64_t expected = chain_parent[i] == kNone ? -1 : int64_t{chain_parent[i]};
            int64_t actual = (flags[i] & kKeyLinkParent) ? int64_t{i} + nodes[i].parent : -1;
            if (actual != expected && (nodes[i].parent == 0 || (flags[i] & kKeyLinkParent)))
                tell(i, KeyLink::parent, KeyLinkFault::disagrees, actual);
        }
        if (count > 0 && nodes[0].parent != 0 && (flags[0] & kKeyLinkParent))
            tell(0, KeyLink::parent, KeyLinkFault::disagrees, int64_t{nodes[0].parent});
    }
};

} // namespace

bool
keys_check_links(const DsKeyNode *nodes, uint32_t count, uint8_t *flags, KeyLinkReport report,
                 void *ctx)
{
    for (uint32_t i = 0; i < count; ++i)
        flags[i] = 0;
    if (count == 0)
        return true;
    Checker checker{nodes, count, flags, report, ctx};
    checker.check_parents();
    bool ok = checker.check_tree();
    for (uint32_t i = 0; i < count; ++i)
        flags[i] &= static_cast<uint8_t>(~kScratch);
    return ok;
}
