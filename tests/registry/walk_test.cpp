// The walk over every key of every module, and the per-path callback. The
// directory holds walk_a (A with A1 (A1a) and A2, then B), walk_b (C with C1,
// then D) and a module without keys.
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

void
record_name(void *ctx, const DsKeyNode *node)
{
    static_cast<std::vector<std::string> *>(ctx)->push_back(node->name);
}

void
record_node(void *ctx, const DsKeyNode *node)
{
    static_cast<std::vector<const DsKeyNode *> *>(ctx)->push_back(node);
}

} // namespace

TEST(KeyWalk, VisitsParentsBeforeChildrenAndModulesInListOrder)
{
    ASSERT_EQ(dstest::load_stderr(), "");
    std::vector<std::string> expected;
    for (const std::string &file : dstest::directory_order()) {
        if (file == "dstest_mod_walk_a.so")
            expected.insert(expected.end(), {"A", "A1", "A1a", "A2", "B"});
        if (file == "dstest_mod_walk_b.so")
            expected.insert(expected.end(), {"C", "C1", "D"});
    }
    std::vector<std::string> visited;
    ds__all_keys(record_name, &visited);
    EXPECT_EQ(visited, expected);
}

TEST(KeyWalk, DoKeyCallsBackWithTheNodeThePathNames)
{
    dstest::load_stderr();
    struct Case {
        const char *path;
        bool leaf_only;
        const char *name; // null: no callback
    };
    const Case cases[] = {
        {"/A/A1/A1a", false, "A1a"},     // three levels down
        {"/A/A2", false, "A2"},          // the second child
        {"/B", false, "B"},              // a later top-level node
        {"/C/C1", false, "C1"},          // the second module
        {"/A/A1", false, "A1"},          // interior counts without leaf_only
        {"/A/A1", true, nullptr},        // but not with it
        {"/A/B", false, nullptr},        // B is not a child of A
        {"/A/A1/A1a/x", false, nullptr}, // deeper than the forest
        {"/Z", false, nullptr},          // in no module
        {"/", false, nullptr},           // no components
        {"", false, nullptr},            // no components
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<const DsKeyNode *> nodes;
        int result = ds__do_key(c.path, c.leaf_only, record_node, &nodes);
        if (c.name == nullptr) {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(nodes.empty());
            continue;
        }
        EXPECT_EQ(result, 1);
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_STREQ(nodes[0]->name, c.name);
        EXPECT_EQ(nodes[0], ds_find_key(c.path, c.leaf_only));
    }
}
