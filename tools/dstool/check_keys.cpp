// dstool check, key part: the exported forest's links, checked with the
// library's own link check, then the names that no key path can reach: the
// paths are cut as the library cuts them (input.cpp), and among siblings the
// first that fits a component is taken, a typed level fitting every one.
#include "check.h"
#include "keys/keys.h"

#include <climits>
#include <unordered_map>

namespace dstool
{

namespace
{

const char *
link_name(KeyLink link)
{
    switch (link) {
    case KeyLink::parent:
        return "parent";
    case KeyLink::first_child:
        return "first_child";
    case KeyLink::next_sibling:
        return "next_sibling";
    default:
        return "";
    }
}

struct ForestReport {
    const DsKeyNode *nodes;
    uint32_t count;
    Findings *out;
};

void
report_link(void *ctx, const KeyLinkProblem &problem)
{
    auto *report = static_cast<ForestReport *>(ctx);
    const DsKeyNode &node = report->nodes[problem.node];
    std::string where = check_record("ds_keys", problem.node, node.name);
    std::string link = std::string(link_name(problem.link)) + " link ";
    int16_t value = problem.link == KeyLink::parent        ? node.parent
                    : problem.link == KeyLink::first_child ? node.first_child
                                                           : node.next_sibling;
    link += std::to_string(value) + " (record " + std::to_string(problem.target) + ")";
    switch (problem.fault) {
    case KeyLinkFault::out_of_range:
        report->out->add(where, link + " leaves the forest of " + std::to_string(report->count) +
                                    " records; taken as absent");
        break;
    case KeyLinkFault::cycle:
        report->out->add(where, link + " closes a circle; taken as absent");
        break;
    case KeyLinkFault::rejoin:
        report->out->add(where, link + " leads to a node reached already; taken as absent");
        break;
    case KeyLinkFault::disagrees:
        report->out->add(where, link + " is not the node whose child it is");
        break;
    case KeyLinkFault::unreached:
        report->out->add(where, "not reached from the first node by child and sibling links");
        break;
    }
}

// Why no key path can end at the literal level node, or at a level below
// it; empty when one can.
std::string
unreachable_name(const KeyForest &forest, const DsKeyNode *node)
{
    std::string name = node->name;
    if (name.empty())
        return "empty name: no key path ends at it, since a \"/\" that ends a path adds no "
               "component";
    if (name == "*")
        return "named \"*\", as key names write a typed level: its key name reads as a typed one";
    // The name followed by one more level, cut where the library cuts paths.
    std::vector<std::string> parts = split_components(name + "/x");
    if (parts.size() == 1) {
        if (forest.first_child(node) == nullptr)
            return "";
        return "its double quote opens a quoted stretch that the name does not close, so the \"/\" "
               "after it separates nothing: no key path reaches the levels below it";
    }
    if (parts[0] != name)
        return "a key path cuts it at its \"/\" into " +
               std::to_string(split_components(name).size()) +
               " components: no key path reaches it";
    return "";
}

// Siblings are tried in chain order and the first that fits is kept: a
// literal level after a typed one, or after a literal of the same name, is
// never reached.
void
check_siblings(const KeyForest &forest, const DsKeyNode *first, Findings &out)
{
    const DsKeyNode *typed = nullptr;
    std::unordered_map<std::string_view, const DsKeyNode *> literals;
    for (const DsKeyNode *node = first; node != nullptr; node = forest.next_sibling(node)) {
        if (node->field_type != nullptr && typed == nullptr)
            typed = node;
        if (node->field_type != nullptr || node->name == nullptr)
            continue;
        std::string where = check_record("ds_keys", node - forest.nodes, node->name);
        if (typed != nullptr) {
            out.add(where, "comes after the typed level " +
                               check_record("ds_keys", typed - forest.nodes, typed->name) +
                               " among its siblings, which fits every component first: no key "
                               "path reaches it");
            continue;
        }
        auto [earlier, fresh] = literals.emplace(node->name, node);
        if (!fresh)
            out.add(where, "same name as its earlier sibling " +
                               check_record("ds_keys", earlier->second - forest.nodes,
                                            earlier->second->name) +
                               ", which a key path reaches first");
    }
}

} // namespace

void
check_keys(const Exported &keys, TypeChecker &types, Findings &out, std::vector<uint8_t> &links)
{
    if (keys.address == nullptr)
        return;
    if (keys.size % sizeof(DsKeyNode) != 0)
        out.add("ds_keys", std::to_string(keys.size) + " bytes, not a whole number of " +
                               std::to_string(sizeof(DsKeyNode)) + "-byte records");
    uint64_t count = keys.size / sizeof(DsKeyNode);
    if (count == 0 || count > UINT32_MAX) {
        out.add("ds_keys",
                "size " + std::to_string(keys.size) + ": the loader takes it as no keys");
        return;
    }
    const auto *nodes = static_cast<const DsKeyNode *>(keys.address);
    std::vector<uint8_t> &flags = links;
    flags.assign(count, 0);
    ForestReport report{nodes, static_cast<uint32_t>(count), &out};
    if (!keys_check_links(nodes, report.count, flags.data(), report_link, &report))
        throw std::bad_alloc();
    KeyForest forest{nodes, report.count, flags.data()};
    for (uint32_t i = 0; i < count; ++i) {
        std::string where = check_record("ds_keys", i, nodes[i].name);
        if (nodes[i].name == nullptr && nodes[i].field_type == nullptr)
            out.add(where, "literal level without a name");
        std::string unreachable = nodes[i].name == nullptr || nodes[i].field_type != nullptr
                                      ? ""
                                      : unreachable_name(forest, &nodes[i]);
        if (!unreachable.empty())
            out.add(where, unreachable);
        types.check(nodes[i].field_type, where + " field type");
        types.check(nodes[i].leaf_type, where + " leaf type");
    }
    check_siblings(forest, nodes, out);
    for (uint32_t i = 0; i < count; ++i)
        check_siblings(forest, forest.first_child(&nodes[i]), out);
}

} // namespace dstool
