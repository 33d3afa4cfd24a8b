// Key forests with broken links through the link check and the walks that
// rely on it: random trees of literal levels with up to three links then
// overwritten, shaped by the input and, past its end, a generator seeded by
// it. A consistent forest draws no problem and is walked, listed and matched
// as its tree; any forest is walked inside its (exactly sized) array, each
// node at most once, every level list ends inside it, and a cut link was reported.
#include "fuzz_support.h"
#include "registry/registry.h"

#include <string>
#include <vector>

namespace
{

// The input's bytes, then a generator seeded by them.
struct Stream {
    const uint8_t *p;
    const uint8_t *end;
    uint64_t seed = 0x9E3779B97F4A7C15u;

    uint8_t
    byte()
    {
        if (p < end) {
            seed = seed * 31 + *p;
            return *p++;
        }
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return static_cast<uint8_t>(seed >> 32);
    }
};

struct Tree {
    std::vector<int> parent; // -1 for top-level
    std::vector<uint32_t> depth;
    std::vector<std::string> names;
    std::vector<DsKeyNode> nodes;
    std::vector<uint32_t> preorder;
};

void
preorder(const Tree &tree, int parent, std::vector<uint32_t> &out)
{
    for (size_t i = 0; i < tree.parent.size(); ++i) {
        if (tree.parent[i] != parent)
            continue;
        out.push_back(static_cast<uint32_t>(i));
        preorder(tree, static_cast<int>(i), out);
    }
}

// Children chains and the top-level chain in index order, so node 0 is first.
Tree
make_tree(Stream &in, uint32_t n)
{
    Tree tree;
    tree.nodes.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        tree.parent.push_back(i == 0 ? -1 : static_cast<int>(in.byte() % (i + 1)) - 1);
        tree.names.push_back(std::to_string(i));
        tree.depth.push_back(tree.parent[i] < 0 ? 1 : tree.depth[tree.parent[i]] + 1);
    }
    for (uint32_t i = 0; i < n; ++i) {
        DsKeyNode &node = tree.nodes[i];
        node.name = tree.names[i].c_str();
        if (tree.parent[i] >= 0)
            node.parent = static_cast<int16_t>(tree.parent[i] - static_cast<int>(i));
        for (uint32_t j = i + 1; j < n; ++j) {
            if (tree.parent[j] == tree.parent[i] && node.next_sibling == 0)
                node.next_sibling = static_cast<int16_t>(j - i);
            if (tree.parent[j] == static_cast<int>(i) && node.first_child == 0)
                node.first_child = static_cast<int16_t>(j - i);
        }
    }
    preorder(tree, -1, tree.preorder);
    return tree;
}

void
check_forest(Stream &in)
{
    uint32_t n = 1 + in.byte() % 40;
    Tree tree = make_tree(in, n);
    std::vector<DsKeyNode> nodes(tree.nodes); // exactly n records
    bool consistent = true;
    for (uint32_t k = in.byte() % 4; k > 0; --k) {
        DsKeyNode &node = nodes[in.byte() % n];
        int16_t *link = in.byte() % 3 == 0 ? &node.parent
                        : in.byte() % 2    ? &node.first_child
                                           : &node.next_sibling;
        uint8_t wild = in.byte();
        int16_t was = *link;
        *link = wild < 32 ? static_cast<int16_t>(wild << 8 | in.byte())
                          : static_cast<int16_t>(wild % (2 * n + 1) - n);
        consistent = consistent && *link == was;
    }
    std::vector<uint8_t> flags(n);
    std::vector<KeyLinkProblem> problems;
    auto collect = [](void *ctx, const KeyLinkProblem &problem) {
        static_cast<std::vector<KeyLinkProblem> *>(ctx)->push_back(problem);
    };
    fuzz::require(keys_check_links(nodes.data(), n, flags.data(), collect, &problems),
                  "the check needs no failing allocation");
    KeyForest forest{nodes.data(), n, flags.data()};
    for (const KeyLinkProblem &p : problems) {
        uint8_t bit = p.link == KeyLink::parent        ? kKeyLinkParent
                      : p.link == KeyLink::first_child ? kKeyLinkChild
                                                       : kKeyLinkSibling;
        bool cut = p.fault == KeyLinkFault::out_of_range || p.fault == KeyLinkFault::cycle ||
                   p.fault == KeyLinkFault::rejoin;
        fuzz::require(!cut || (flags[p.node] & bit) == 0, "a reported bad link is cut");
    }
    std::vector<const DsKeyNode *> walked;
    auto record = [](void *ctx, const DsKeyNode *node) {
        static_cast<std::vector<const DsKeyNode *> *>(ctx)->push_back(node);
    };
    reg_walk_forest(forest, record, &walked);
    std::vector<bool> seen(n);
    for (const DsKeyNode *node : walked) {
        fuzz::require(node >= nodes.data() && node < nodes.data() + n, "the walk stays inside");
        fuzz::require(!seen[node - nodes.data()], "the walk enters each node once");
        seen[node - nodes.data()] = true;
    }
    for (uint32_t i = 0; i < n; ++i) {
        const DsKeyNode *levels[64];
        uint32_t depth = keys_levels(forest, &nodes[i], levels, 64);
        fuzz::require(depth >= 1 && depth <= n, "a level list ends inside the forest");
        std::string path;
        for (uint32_t l = 0; l < depth; ++l)
            path.append("/").append(levels[l]->name);
        PathComponents parts(path.c_str());
        const DsKeyNode *found = match_components(parts.data(), parts.count(), forest);
        fuzz::require(found == nullptr || std::string(found->name) == levels[depth - 1]->name,
                      "a match ends at a node of the last component's name");
        if (!consistent)
            continue;
        fuzz::require(found == &nodes[i], "a consistent key is found by its levels' names",
                      tree.names[i]);
        fuzz::require(depth == tree.depth[i], "a consistent key has its tree depth", tree.names[i]);
    }
    if (!consistent)
        return;
    fuzz::require(problems.empty(), "a consistent forest draws no problem");
    fuzz::require(walked.size() == n, "a consistent forest is walked whole");
    for (uint32_t i = 0; i < n; ++i)
        fuzz::require(walked[i] == &nodes[tree.preorder[i]], "pre-order of the tree");
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Stream in{data, data + size};
    for (int rounds = 1 + in.byte() % 64; rounds > 0; --rounds)
        check_forest(in);
    return 0;
}
