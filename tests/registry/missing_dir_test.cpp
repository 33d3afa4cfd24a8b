// Without a module directory the list stays empty: no type is found, not
// even a built-in one, and every lookup tries to build the list again and
// prints the perror line for the directory.
#include "dstest.h"
#include "registry/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

TEST(MissingModuleDirectory, EveryLookupFindsNothingAndPrintsOnePerrorLine)
{
    int calls = 0;
    auto count = [](void *ctx, const DsKeyNode *) { ++*static_cast<int *>(ctx); };
    unsigned char dst[4];
    const struct {
        const char *lookup;
        std::function<bool()> found_nothing;
    } cases[] = {
        {"load_modules", [] { return load_modules() == -1; }},
        {"ds_find_type u32", [] { return ds_find_type("u32") == nullptr; }},
        {"ds_find_type u32 again", [] { return ds_find_type("u32") == nullptr; }},
        {"ds_find_key", [] { return ds_find_key("/a", false) == nullptr; }},
        {"ds__all_keys", [&] { return ds__all_keys(count, &calls), calls == 0; }},
        {"ds__do_key", [&] { return ds__do_key("/a", false, count, &calls) == 0 && calls == 0; }},
        {"ds_find_alarm", [] { return ds_find_alarm("/a/b") == nullptr; }},
        {"ds_leaf_to_c",
         [&] {
             std::memset(dst, 0xAA, sizeof dst);
             return ds_leaf_to_c("/a", "1", dst, sizeof dst) == 0 &&
                    dstest::hex(dst, 4) == "00 00 00 00";
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.lookup);
        dstest::StderrCapture capture;
        EXPECT_TRUE(c.found_nothing());
        EXPECT_EQ(capture.text(), std::string(reg_module_dir) + ": No such file or directory\n");
        EXPECT_EQ(module_list, nullptr);
    }
}
