// The walk over every key of every module, in pre-order and list order. The
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
