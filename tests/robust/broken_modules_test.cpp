// The broken modules beside the example module: every lookup gives its ordinary
// result, no walk hangs or leaves a table, and the example module is untouched.
#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(BrokenModules, CountsAreCutToTheirTablesAndTheUnopenableIsSkipped)
{
    ASSERT_EQ(dstest::load_stderr(), "");
    // The module whose key names an undefined type does not open; all others are listed.
    std::vector<const DsModule *> records = dstest::module_records();
    EXPECT_EQ(records.size(), dstest::directory_order().size() - 1);
    const DsKeyNode *over = ds_find_key("/over", false);
    auto module = std::find_if(records.begin(), records.end(),
                               [&](const DsModule *m) { return m->keys == over; });
    ASSERT_NE(module, records.end());
    EXPECT_EQ((*module)->type_count, 4u) << "declared 9";
    EXPECT_EQ((*module)->alarm_count, 1u) << "declared 5";
    // Types whose count is misspelt, or has internal linkage, stay unseen.
    EXPECT_EQ(ds_find_type("typo-t"), nullptr);
    EXPECT_EQ(ds_find_type("cxx-t"), nullptr);
    EXPECT_EQ(ds_find_type("u32"), &ds_global_types[0]) << "a built-in hides a module type";
    const DsAlarm *alarm = ds_find_alarm("/over");
    EXPECT_EQ(alarm != nullptr ? alarm->key : nullptr, over);
}

// Per forest: what the walk over all keys reaches, and for a few paths the
// name of the node found and the key built from it, as if each bad link were
// absent.
TEST(BrokenModules, BadKeyLinksActAsAbsent)
{
    dstest::load_stderr();
    std::vector<std::string> walked;
    ds__all_keys(
        [](void *ctx, const DsKeyNode *node) {
            static_cast<std::vector<std::string> *>(ctx)->push_back(node->name);
        },
        &walked);
    for (const std::vector<std::string> &forest : std::vector<std::vector<std::string>>{
             {"p5", "leaf"}, {"s6a", "s6b"}, {"s7"}, {"c8", "x", "y"}}) {
        auto at = std::find(walked.begin(), walked.end(), forest[0]);
        ASSERT_LE(at + forest.size(), walked.end()) << forest[0];
        EXPECT_EQ(std::vector<std::string>(at, at + forest.size()), forest);
    }
    const struct {
        const char *path;
        const char *name; // of the node found and the key built for it; "" when none
    } cases[] = {
        {"/p5/leaf", "/leaf"}, // parent link before the table: a top-level key
        {"/s6b", "/s6b"},
        {"/s6c", ""},
        {"/s7", "/s7"},
        {"/s8", ""},
        {"/c8/x", "/y/x"}, // the parent circle is cut at y, whose parent is x
        {"/c8/x/y", "/y"},
        {"/c8/x/y/c8", ""},
        {"/interfaces", "/interfaces"}, // the example module is untouched
    };
    for (const auto &c : cases) {
        const DsKeyNode *key = ds_find_key(c.path, false);
        char name[64] = "", built[64] = "";
        EXPECT_EQ(key != nullptr && ds_key_name(name, sizeof name, key) != nullptr, *c.name != 0);
        EXPECT_EQ(key != nullptr && ds_build_key(built, sizeof built, key, nullptr) != nullptr,
                  *c.name != 0);
        EXPECT_STREQ(name, c.name) << c.path;
        EXPECT_STREQ(built, c.name) << c.path;
        int calls = 0;
        EXPECT_EQ(ds__do_key(
                      c.path, false, [](void *n, const DsKeyNode *) { ++*static_cast<int *>(n); },
                      &calls),
                  key != nullptr ? 1 : 0);
        EXPECT_EQ(calls, key != nullptr ? 1 : 0);
    }
}
