// Building the module list when memory runs out: calloc is wrapped so that the
// test fails every call from a chosen one on. A build allocates, in order, the
// block of the built-in record, one record per accepted module and the
// indexes. The directory holds a.so and b.so, both defining "h3a_dup" and "u32".
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>

extern "C" void *__real_calloc(size_t count, size_t size);

// Calls counted from 1 while fail_at is not 0; from call fail_at on, they fail.
static int calls = 0;
static int fail_at = 0;

extern "C" void *
__wrap_calloc(size_t count, size_t size)
{
    if (fail_at != 0 && ++calls >= fail_at)
        return nullptr;
    return __real_calloc(count, size);
}

// Both cases in one test: the first leaves the list empty, the second builds
// it, and a list is built only once per process.
TEST(LoadWithoutMemory, BuiltInRecordFailsSilentlyAndIndexFallsBackToTheWalk)
{
    {
        SCOPED_TRACE("built-in record");
        fail_at = 1;
        dstest::StderrCapture capture;
        EXPECT_EQ(load_modules(), -1);
        EXPECT_EQ(ds_find_type("u32"), nullptr);
        fail_at = 0;
        EXPECT_EQ(calls, 2);
        EXPECT_EQ(capture.text(), "");
        EXPECT_EQ(module_list, nullptr);
    }
    {
        SCOPED_TRACE("name and key indexes");
        calls = 0;
        fail_at = 4;
        dstest::StderrCapture capture;
        EXPECT_EQ(load_modules(), 0);
        fail_at = 0;
        EXPECT_EQ(calls, 5);
        EXPECT_EQ(capture.text(), "");
        ASSERT_NE(module_list, nullptr);
        ASSERT_EQ(dstest::module_records().size(), 2u);
        EXPECT_FALSE(reg_has_type_index(module_list));
        EXPECT_EQ(reg_key_index(module_list), nullptr);
    }
    const DsModule *winner = dstest::module_records()[0];
    EXPECT_EQ(ds_find_type("h3a_dup"), &winner->types[0]);
    EXPECT_EQ(ds_find_type("u32"), &ds_global_types[0]);
    EXPECT_EQ(ds_find_type("interface"), &ds_global_types[28]);
    EXPECT_EQ(ds_find_type("h3a_dupx"), nullptr);
}
