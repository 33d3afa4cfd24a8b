// Which directory entries become module records, what the records hold, the
// first-match rule of the type lookup and the walk over every forest. The
// directory holds two modules defining "h3a_dup" (a.so, size 1; b.so, size 2),
// two key forests (walk_a, walk_b), modules with and without counts and
// tables, a text file named x.so and a valid module under the names ".so",
// "libfoo.so.2" and "x.SO".
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace
{

// True when the dynamic loader still holds the installed file open.
bool
still_open(const std::string &file)
{
    std::string path = std::string(reg_module_dir) + "/" + file;
    void *handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}

} // namespace

TEST(ModuleLoading, RecordsFollowTheBuiltInOneInDirectoryOrderAndNothingIsPrinted)
{
    EXPECT_EQ(dstest::load_stderr(), "");
    ASSERT_NE(module_list, nullptr);
    const DsModule &b = *module_list; // the built-in record
    EXPECT_EQ(std::tie(b.types, b.type_count, b.alarm_count, b.keys, b.alarms, b.handle),
              std::make_tuple(ds_global_types, 29, 0, nullptr, nullptr, nullptr));
    // Each installed file, and the name of its module when it is kept open and
    // listed; the modules other than dup_* and walk_* have empty records.
    const std::map<std::string, std::string> files = {
        // clang-format off
        {"a.so", "dup_a"}, {"b.so", "dup_b"},
        {"dstest_mod_walk_a.so", "walk_a"}, {"dstest_mod_walk_b.so", "walk_b"},
        {"dstest_mod_counts_zero.so", "counts_zero"}, {"dstest_mod_none.so", "none"},
        {"dstest_mod_tables_without_counts.so", "tables_without_counts"},
        {"dstest_mod_count_without_types.so", ""}, {"dstest_mod_count_without_alarms.so", ""},
        {"x.so", ""}, {".so", ""}, {"libfoo.so.2", ""}, {"x.SO", ""},
        // clang-format on
    };
    std::vector<std::string> expected, names;
    for (const std::string &file : dstest::directory_order()) {
        ASSERT_EQ(files.count(file), 1u) << file;
        EXPECT_EQ(still_open(file), !files.at(file).empty()) << file;
        if (!files.at(file).empty())
            expected.push_back(files.at(file));
    }
    ASSERT_EQ(dstest::directory_order().size(), files.size());
    for (const DsModule *module : dstest::module_records()) {
        names.push_back(dstest::module_name(module));
        if (names.back().find("dup_") == 0 || names.back().find("walk_") == 0)
            continue;
        const DsModule &m = *module;
        EXPECT_EQ(std::tie(m.types, m.type_count, m.alarm_count, m.keys, m.alarms),
                  std::make_tuple(nullptr, 0, 0, nullptr, nullptr))
            << names.back();
        EXPECT_NE(m.handle, nullptr) << names.back();
    }
    EXPECT_EQ(names, expected);
}

TEST(TypeLookup, FirstMatchInListOrderWinsAndNamesCompareExactly)
{
    dstest::load_stderr();
    const std::vector<std::string> files = dstest::directory_order();
    bool a_first = dstest::position_of(files, "a.so") < dstest::position_of(files, "b.so");
    const DsModule *winner = dstest::module_named(a_first ? "dup_a" : "dup_b");
    ASSERT_NE(winner, nullptr);
    const DsType *dup = ds_find_type("h3a_dup");
    ASSERT_EQ(dup, &winner->types[0]);
    EXPECT_EQ(dup->size, a_first ? 1 : 2);
    // Both modules define a "u32" of size 2; the built-in one comes first.
    EXPECT_EQ(ds_find_type("u32"), &ds_global_types[0]);
    EXPECT_EQ(ds_find_type("interface"), &ds_global_types[28]);
    // Types of rejected, misnamed or uncounted tables stay unknown.
    for (const char *name :
         {"U32", "u3", "u32 ", "", "h3a_dup2", "h3a_rejected", "h3a_uncounted", "h3a_misnamed"})
        EXPECT_EQ(ds_find_type(name), nullptr) << '"' << name << '"';
}

TEST(KeyWalk, VisitsParentsBeforeChildrenAndModulesInListOrder)
{
    dstest::load_stderr();
    std::vector<std::string> expected, visited;
    for (const std::string &file : dstest::directory_order()) {
        if (file == "dstest_mod_walk_a.so")
            expected.insert(expected.end(), {"A", "A1", "A1a", "A2", "B"});
        if (file == "dstest_mod_walk_b.so")
            expected.insert(expected.end(), {"C", "C1", "D"});
    }
    ds__all_keys(
        [](void *ctx, const DsKeyNode *node) {
            static_cast<std::vector<std::string> *>(ctx)->push_back(node->name);
        },
        &visited);
    EXPECT_EQ(visited, expected);
}
