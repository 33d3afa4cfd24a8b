// Lookups by key path across modules where the first module decides. pair0
// and pair1 hold the same paths in opposite roles (/one/k interior in pair0
// and a leaf in pair1, /two/k the reverse; alarm rows for /al1/k in pair0 and
// for /al2/k in pair1); shapes holds a leaf value and a leaf at a typed level.
// Which node each lookup finds is checked against a walk over every module by
// the key index test beside it; here the alarm rows and converted leaf values.
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace
{

// Whether the directory lists pair0 before pair1.
bool
zero_first()
{
    dstest::load_stderr();
    const std::vector<std::string> files = dstest::directory_order();
    return dstest::position_of(files, "dstest_mod_pair0.so") <
           dstest::position_of(files, "dstest_mod_pair1.so");
}

} // namespace

TEST(AlarmLookup, SearchesOnlyTheTableOfTheModuleHoldingTheKey)
{
    const bool zero = zero_first();
    const DsModule *first = dstest::module_named(zero ? "pair0" : "pair1");
    const DsModule *second = dstest::module_named(zero ? "pair1" : "pair0");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    // Row 0 belongs to the interior key; rows 1 and 2 both point at the key.
    const DsAlarm *alarm = ds_find_alarm(zero ? "/al1/k" : "/al2/k");
    ASSERT_EQ(alarm, &first->alarms[1]);
    EXPECT_EQ(alarm->key, &first->keys[zero ? 7 : 9]);
    // The first module holds the key but has no row for it; the second
    // module's rows are not searched, not even one pointing at that very node.
    auto *rows = static_cast<DsAlarm *>(dlsym(second->handle, "ds_alarms"));
    ASSERT_EQ(rows, second->alarms);
    const DsKeyNode *saved = rows[1].key;
    rows[1].key = &first->keys[zero ? 9 : 7];
    EXPECT_EQ(ds_find_alarm(zero ? "/al2/k" : "/al1/k"), nullptr);
    rows[1].key = saved;
    // Only leaf keys count: the interior key has a row of its own (row 0).
    EXPECT_EQ(ds_find_alarm(zero ? "/one/k" : "/two/k"), nullptr);
}

TEST(LeafToC, ConvertsIntoTheLeafTypeOrLeavesDstZero)
{
    const bool zero = zero_first();
    const char *leaf_first = zero ? "/two/k" : "/one/k";
    const char *interior_first = zero ? "/one/k" : "/two/k";
    const struct {
        const char *path;
        const char *text;
        size_t dstlen;
        const char *bytes; // what dst holds; "00.." for a failure
        int error;         // errno after the call, when not 0
    } cases[] = {
        {"/val/level", "42", 2, "2a 00", 0},       // the u16 leaf, little-endian
        {"/sib_typed/9", "3", 1, "03", 0},         // a leaf at a typed level
        {leaf_first, "7", 1, "07", 0},             // the first module's leaf
        {"/val/level", "101", 2, "00 00", EINVAL}, // out of range
        {"/val/level", nullptr, 2, "00 00", 0},    // no text
        {"/val/level", "{", 2, "00 00", 0},        // no JSON
        {"/val", "42", 2, "00 00", 0},             // interior key
        {"/val/nope", "42", 2, "00 00", 0},        // no such key
        {interior_first, "7", 1, "00", 0},         // the first module decides
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + (c.text == nullptr ? "(null)" : c.text));
        unsigned char dst[2];
        std::memset(dst, 0xAA, sizeof dst);
        errno = 0;
        bool ok = std::strncmp(c.bytes, "00", 2) != 0;
        EXPECT_EQ(ds_leaf_to_c(c.path, c.text, dst, c.dstlen), ok ? 1 : 0);
        EXPECT_EQ(dstest::hex(dst, c.dstlen), c.bytes);
        if (c.error != 0) {
            EXPECT_EQ(errno, c.error);
        }
    }
}
