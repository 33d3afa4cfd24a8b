// Lookups by key path across modules. pair0 and pair1 hold the same paths in
// opposite roles (/one/k interior in pair0 and a leaf in pair1, /two/k the
// reverse; alarm rows for /al1/k in pair0 and for /al2/k in pair1), so that
// whichever of them the directory lists first, each situation is met once.
// shapes holds a leaf value and a leaf at a typed level.
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace
{

// Node indices of the forests, as the modules lay them out.
enum PairNode { ONE_K = 1, ONE_Z = 2, TWO_K = 4, AL1_K = 7, AL2_K = 9 };

// The pair modules in list order, and the paths whose roles follow from it.
struct Pair {
    const DsModule *first;
    const DsModule *second;
    const char *interior_first; // interior in first, leaf in second
    int interior_first_node;
    const char *leaf_first; // leaf in first, interior in second
    int leaf_first_node;
    const char *first_alarm; // the path that only first has alarm rows for
    int first_alarm_node;
    const char *second_alarm;
    int second_alarm_node;
};

Pair
pair()
{
    dstest::load_stderr();
    const std::vector<std::string> files = dstest::directory_order();
    bool zero_first = dstest::position_of(files, "dstest_mod_pair0.so") <
                      dstest::position_of(files, "dstest_mod_pair1.so");
    const DsModule *zero = dstest::module_named("pair0");
    const DsModule *one = dstest::module_named("pair1");
    if (zero_first)
        return {zero, one, "/one/k", ONE_K, "/two/k", TWO_K, "/al1/k", AL1_K, "/al2/k", AL2_K};
    return {one, zero, "/two/k", TWO_K, "/one/k", ONE_K, "/al2/k", AL2_K, "/al1/k", AL1_K};
}

void
record_node(void *ctx, const DsKeyNode *node)
{
    static_cast<std::vector<const DsKeyNode *> *>(ctx)->push_back(node);
}

std::vector<const DsKeyNode *>
do_key(const char *path, bool leaf_only)
{
    std::vector<const DsKeyNode *> nodes;
    int result = ds__do_key(path, leaf_only, record_node, &nodes);
    EXPECT_EQ(result, nodes.empty() ? 0 : 1) << path;
    return nodes;
}

} // namespace

TEST(KeyLookupAcrossModules, InteriorNodeOfEarlierModuleHidesLaterLeafFromFindKeyOnly)
{
    const Pair p = pair();
    ASSERT_NE(p.first, nullptr);
    ASSERT_NE(p.second, nullptr);
    const DsKeyNode *first_node = &p.first->keys[p.interior_first_node];
    const DsKeyNode *second_node = &p.second->keys[p.interior_first_node];
    using Nodes = std::vector<const DsKeyNode *>;

    EXPECT_EQ(ds_find_key(p.interior_first, true), nullptr);
    EXPECT_EQ(ds_find_key(p.interior_first, false), first_node);
    EXPECT_EQ(do_key(p.interior_first, true), Nodes{second_node});
    EXPECT_EQ(do_key(p.interior_first, false), (Nodes{first_node, second_node}));

    first_node = &p.first->keys[p.leaf_first_node];
    second_node = &p.second->keys[p.leaf_first_node];
    EXPECT_EQ(ds_find_key(p.leaf_first, true), first_node);
    EXPECT_EQ(do_key(p.leaf_first, true), Nodes{first_node});
    EXPECT_EQ(do_key(p.leaf_first, false), (Nodes{first_node, second_node}));

    EXPECT_EQ(do_key("/one/k/z", true), (Nodes{&p.first->keys[ONE_Z], &p.second->keys[ONE_Z]}));
    EXPECT_EQ(do_key("/one/z", false), Nodes{});
}

TEST(AlarmLookup, SearchesOnlyTheTableOfTheModuleHoldingTheKey)
{
    const Pair p = pair();
    ASSERT_NE(p.first, nullptr);
    ASSERT_NE(p.second, nullptr);

    // Row 0 belongs to the interior key; rows 1 and 2 both point at the key.
    const DsAlarm *alarm = ds_find_alarm(p.first_alarm);
    ASSERT_EQ(alarm, &p.first->alarms[1]);
    EXPECT_EQ(reinterpret_cast<const char *>(alarm) -
                  reinterpret_cast<const char *>(p.first->alarms),
              48);
    EXPECT_EQ(alarm->key, &p.first->keys[p.first_alarm_node]);
    EXPECT_EQ(alarm->data.words[0], 1u);

    // The first module holds the key but has no row for it; the second
    // module's rows are not searched, not even one pointing at that very node.
    EXPECT_EQ(ds_find_alarm(p.second_alarm), nullptr);
    auto *rows = static_cast<DsAlarm *>(dlsym(p.second->handle, "ds_alarms"));
    ASSERT_EQ(rows, p.second->alarms);
    const DsKeyNode *saved = rows[1].key;
    rows[1].key = &p.first->keys[p.second_alarm_node];
    EXPECT_EQ(ds_find_alarm(p.second_alarm), nullptr);
    rows[1].key = saved;

    // Only leaf keys count: the interior key has a row of its own (row 0).
    EXPECT_EQ(ds_find_alarm(p.interior_first), nullptr);
    EXPECT_EQ(ds_find_alarm("/al1"), nullptr);
    EXPECT_EQ(ds_find_alarm("/al3/k"), nullptr);
}

TEST(LeafToC, ConvertsIntoTheLeafTypeOrLeavesDstZero)
{
    const Pair p = pair();
    const struct {
        const char *path;
        const char *text;
        size_t dstlen;
        int result;
        const char *bytes;
        int error; // errno after the call, when not 0
    } cases[] = {
        {"/val/level", "42", 2, 1, "2a 00", 0},       // the u16 leaf, little-endian
        {"/val/level", "100", 2, 1, "64 00", 0},      // its upper bound
        {"/sib_typed/9", "3", 1, 1, "03", 0},         // a leaf at a typed level
        {p.leaf_first, "7", 1, 1, "07", 0},           // the first module's leaf
        {"/val/level", "101", 2, 0, "00 00", EINVAL}, // out of range
        {"/val/level", nullptr, 2, 0, "00 00", 0},    // no text
        {"/val/level", "{", 2, 0, "00 00", 0},        // no JSON
        {"/val", "42", 2, 0, "00 00", 0},             // interior key
        {"/val/nope", "42", 2, 0, "00 00", 0},        // no such key
        {p.interior_first, "7", 1, 0, "00", 0},       // the first module decides
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + (c.text == nullptr ? "(null)" : c.text));
        unsigned char dst[2];
        std::memset(dst, 0xAA, sizeof dst);
        errno = 0;
        EXPECT_EQ(ds_leaf_to_c(c.path, c.text, dst, c.dstlen), c.result);
        EXPECT_EQ(dstest::hex(dst, c.dstlen), c.bytes);
        if (c.error != 0) {
            EXPECT_EQ(errno, c.error);
        }
    }
}
