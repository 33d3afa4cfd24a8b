// Which directory entries become module records, what the records hold, and
// the first-match rule of the type lookup across them. The directory holds
// two modules defining "h3a_dup" (a.so, size 1; b.so, size 2), modules with
// and without counts and tables, a text file named x.so and a valid module
// under the names ".so", "libfoo.so.2" and "x.SO".
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <map>
#include <string>
#include <vector>

namespace
{

std::string
installed(const std::string &file)
{
    return std::string(reg_module_dir) + "/" + file;
}

// True when the dynamic loader still holds the file open.
bool
still_open(const std::string &file)
{
    void *handle = dlopen(installed(file).c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr)
        return false;
    dlclose(handle);
    return true;
}

} // namespace

TEST(ModuleLoading, BuiltInRecordComesFirstAndNothingIsPrinted)
{
    EXPECT_EQ(dstest::load_stderr(), "");
    ASSERT_NE(module_list, nullptr);
    EXPECT_EQ(module_list->types, ds_global_types);
    EXPECT_EQ(module_list->type_count, 29);
    EXPECT_EQ(module_list->alarm_count, 0);
    EXPECT_EQ(module_list->keys, nullptr);
    EXPECT_EQ(module_list->alarms, nullptr);
    EXPECT_EQ(module_list->handle, nullptr);
}

TEST(ModuleLoading, RecordsFollowTheDirectoryListingUnsorted)
{
    dstest::load_stderr();
    const std::map<std::string, std::string> accepted = {
        {"a.so", "dup_a"},
        {"b.so", "dup_b"},
        {"dstest_mod_counts_zero.so", "counts_zero"},
        {"dstest_mod_tables_without_counts.so", "tables_without_counts"},
        {"dstest_mod_none.so", "none"},
    };
    std::vector<std::string> expected;
    for (const std::string &file : dstest::directory_order()) {
        auto it = accepted.find(file);
        if (it != accepted.end())
            expected.push_back(it->second);
    }
    std::vector<std::string> names;
    for (const DsModule *module : dstest::module_records())
        names.push_back(dstest::module_name(module));
    EXPECT_EQ(names, expected);
}

TEST(ModuleLoading, CountsDecideWhetherTablesAreReadOrTheModuleIsRejected)
{
    dstest::load_stderr();
    const struct {
        const char *file;
        const char *name;
        bool in_list;
    } cases[] = {
        {"dstest_mod_counts_zero.so", "counts_zero", true},
        {"dstest_mod_tables_without_counts.so", "tables_without_counts", true},
        {"dstest_mod_none.so", "none", true},
        {"dstest_mod_count_without_types.so", "count_without_types", false},
        {"dstest_mod_count_without_alarms.so", "count_without_alarms", false},
        {"x.so", "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(still_open(c.file), c.in_list);
        if (!c.in_list)
            continue;
        const DsModule *module = dstest::module_named(c.name);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module->type_count, 0);
        EXPECT_EQ(module->alarm_count, 0);
        EXPECT_EQ(module->types, nullptr);
        EXPECT_EQ(module->alarms, nullptr);
        EXPECT_EQ(module->keys, nullptr);
        EXPECT_NE(module->handle, nullptr);
    }
    // Types of a rejected module, or behind a missing count, stay unknown.
    EXPECT_EQ(ds_find_type("h3a_rejected"), nullptr);
    EXPECT_EQ(ds_find_type("h3a_uncounted"), nullptr);
}

TEST(ModuleLoading, OnlyNamesEndingInDotSoAfterAtLeastOneCharacterAreLoaded)
{
    dstest::load_stderr();
    const std::vector<std::string> files = dstest::directory_order();
    for (const char *file : {".so", "libfoo.so.2", "x.SO"}) {
        ASSERT_LT(dstest::position_of(files, file), files.size()) << file << " not installed";
        EXPECT_FALSE(still_open(file)) << file;
    }
    EXPECT_EQ(dstest::module_named("misnamed"), nullptr);
    EXPECT_EQ(ds_find_type("h3a_misnamed"), nullptr);
}

TEST(TypeLookup, FirstMatchInListOrderWins)
{
    dstest::load_stderr();
    const std::vector<std::string> files = dstest::directory_order();
    bool a_first = dstest::position_of(files, "a.so") < dstest::position_of(files, "b.so");
    const DsModule *winner = dstest::module_named(a_first ? "dup_a" : "dup_b");
    ASSERT_NE(winner, nullptr);

    const DsType *dup = ds_find_type("h3a_dup");
    EXPECT_EQ(dup, &winner->types[0]);
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(dup->size, a_first ? 1 : 2);

    // Both modules define a "u32" of size 2; the built-in one comes first.
    EXPECT_EQ(ds_find_type("u32"), &ds_global_types[0]);
    EXPECT_EQ(ds_find_type("u32")->size, 4);
    EXPECT_EQ(ds_find_type("interface"), &ds_global_types[28]);
}

TEST(TypeLookup, NamesCompareExactly)
{
    dstest::load_stderr();
    for (const char *name : {"U32", "u3", "u32 ", "", "h3a_dup2"})
        EXPECT_EQ(ds_find_type(name), nullptr) << '"' << name << '"';
}
