// Each broken module of broken.c and cxx_module.cpp, loaded beside the example
// module: every lookup gives its ordinary result, no walk hangs or leaves a
// table, and the example module works as if the others were not there.
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace
{

void
collect(void *ctx, const DsKeyNode *node)
{
    static_cast<std::vector<std::string> *>(ctx)->push_back(node->name);
}

std::string
name_of(const DsKeyNode *key)
{
    char buf[64];
    return key != nullptr && ds_key_name(buf, sizeof buf, key) != nullptr ? buf : "(none)";
}

std::string
built(const DsKeyNode *key)
{
    char buf[64];
    return key != nullptr && ds_build_key(buf, sizeof buf, key, nullptr) != nullptr ? buf
                                                                                    : "(null)";
}

} // namespace

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
    const ModuleTables *tables = reg_tables(*module);
    ASSERT_NE(tables, nullptr);
    EXPECT_EQ((std::vector<uint32_t>{(*module)->type_count, (*module)->alarm_count,
                                     tables->declared_types, tables->declared_alarms,
                                     tables->type_rows, tables->alarm_rows}),
              (std::vector<uint32_t>{4, 1, 9, 5, 4, 1}));
    const DsAlarm *alarm = ds_find_alarm("/over");
    ASSERT_NE(alarm, nullptr);
    EXPECT_EQ(alarm->key, over);
}

TEST(BrokenModules, TypeLookupsSeeOnlyWhatTheTablesHold)
{
    dstest::load_stderr();
    struct Case {
        const char *name;
        bool found;
    } cases[] = {
        {"typo-t", false}, // its count is misspelt
        {"cxx-t", false},  // its count has internal linkage
        {"over-a", true},  {"over-d", true}, {"over-e", false}, {"no-such-type", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ds_find_type(c.name) != nullptr, c.found) << c.name;
    EXPECT_EQ(ds_find_type("u32"), &ds_global_types[0]) << "a built-in hides a module type";
    const DsType *mtu = ds_find_type("if-mtu");
    ASSERT_NE(mtu, nullptr);
    std::vector<std::string> order = dstest::directory_order();
    bool example_first =
        dstest::position_of(order, "example.so") < dstest::position_of(order, "robust_shadow.so");
    EXPECT_EQ(mtu->size, example_first ? 2 : 1) << "the module listed first wins";
}

// Per forest: what the walk over all keys reaches, and for a few paths the
// node found, its name and the key built from it, as if each bad link were
// absent.
TEST(BrokenModules, BadKeyLinksActAsAbsent)
{
    dstest::load_stderr();
    std::vector<std::string> walked;
    ds__all_keys(collect, &walked);
    std::map<std::string, std::vector<std::string>> forests = {
        {"p5", {"p5", "leaf"}}, {"s6a", {"s6a", "s6b"}}, {"s7", {"s7"}}, {"c8", {"c8", "x", "y"}}};
    for (const auto &[top, expected] : forests) {
        size_t at = dstest::position_of(walked, top);
        ASSERT_LE(at + expected.size(), walked.size()) << top;
        EXPECT_EQ(
            std::vector<std::string>(walked.begin() + at, walked.begin() + at + expected.size()),
            expected);
    }
    struct Case {
        const char *path;
        const char *name; // of the node found, "(none)" when there is none
        const char *key;  // ds_build_key's text for it
    } cases[] = {
        {"/p5/leaf", "/leaf", "/leaf"}, // parent link before the table: a top-level key
        {"/s6b", "/s6b", "/s6b"},
        {"/s6c", "(none)", "(null)"},
        {"/s7", "/s7", "/s7"},
        {"/s8", "(none)", "(null)"},
        {"/c8/x", "/y/x", "/y/x"}, // the parent circle is cut at y, whose parent is x
        {"/c8/x/y", "/y", "/y"},
        {"/c8/x/y/c8", "(none)", "(null)"},
        {"/interfaces", "/interfaces", "/interfaces"}, // the example module is untouched
    };
    for (const Case &c : cases) {
        const DsKeyNode *key = ds_find_key(c.path, false);
        EXPECT_EQ(name_of(key), c.name) << c.path;
        EXPECT_EQ(built(key), c.key) << c.path;
        int calls = 0;
        EXPECT_EQ(ds__do_key(
                      c.path, false, [](void *n, const DsKeyNode *) { ++*static_cast<int *>(n); },
                      &calls),
                  key != nullptr ? 1 : 0);
    }
}
