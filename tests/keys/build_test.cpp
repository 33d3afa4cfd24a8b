// Key building: the texts that ds_build_key and ds_build_jo_key make, their
// cut at the buffer's end, the log lines of misuse, the depth limit, and which
// json-c references the builders take over.
#include "dstest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{

const DsType *const kU32 = &ds_global_types[0];

// clang-format off
// /a/<u32 num>/b/<word tag>, /sys/host/name and /if/<interface name>/state.
const DsKeyNode kForest[] = {
    {0, 1, 4, "a", nullptr, nullptr}, {-1, 1, 0, "num", kU32, nullptr},
    {-1, 1, 0, "b", nullptr, nullptr}, {-1, 0, 0, "tag", &ds_global_types[8], kU32},
    {0, 1, 3, "sys", nullptr, nullptr}, {-1, 1, 0, "host", nullptr, nullptr},
    {-1, 0, 0, "name", nullptr, nullptr},
    {0, 1, 0, "if", nullptr, nullptr}, {-1, 1, 0, "name", &ds_global_types[28], nullptr},
    {-1, 0, 0, "state", nullptr, kU32},
};
// clang-format on
const DsKeyNode *const kTag = &kForest[3];
const DsKeyNode *const kName = &kForest[6];
const DsKeyNode *const kState = &kForest[9];

const uint32_t kSeven = 7;
const char kX[33] = "x";
const char kAwkward[33] = "a/b\"c\\"; // a slash, a quote, a trailing backslash
const uint8_t kPort[4] = {0x04, 0x01, 0x03, 0x01};
const uint8_t kBadChannel[4] = {0x07, 0x09, 0x00, 0x00}; // index 9 of 1..8

// How many json_object_put calls free the object: 1 when the builder released
// the reference it was handed (the test holds one more), 2 when it did not.
int
puts_until_freed(json_object *jo)
{
    int puts = 1;
    while (json_object_put(jo) != 1)
        ++puts;
    return puts;
}

enum Via { PACKED, JO }; // ds_build_jo_key is ds_build_jo_key_v behind va_start

using Arg = std::pair<const void *, size_t>; // a packed value and its size

} // namespace

TEST(KeyText, LevelsAreJoinedTopFirstCutAtTheBufferAndMisuseIsLogged)
{
    const struct {
        const char *name;
        size_t buflen;
        Via via;
        const DsKeyNode *key;
        std::vector<Arg> packed;        // (value, size) pairs, then a surplus value
        std::vector<const char *> json; // JSON texts of the object arguments
        bool builds;                    // the result is buf rather than null
        const char *text;               // what buf holds afterwards
        const char *log;                // "": nothing logged
        std::vector<int> puts;          // per object: 1 released by the builder, 2 kept
    } cases[] = {
        // clang-format off
        {"literal levels only", 64, PACKED, kName, {}, {}, true, "/sys/host/name", "", {}},
        {"packed int and string", 64, PACKED, kTag, {{&kSeven, 4}, {kX, 33}}, {}, true,
         "/a/7/b/\"x\"", "", {}},
        {"cut one short", 10, PACKED, kTag, {{&kSeven, 4}, {kX, 33}}, {}, true, "/a/7/b/\"x", "",
         {}},
        {"json cut at 5", 5, JO, kTag, {}, {"7", "\"x\""}, true, "/a/7", "", {1, 1}},
        {"buffer of one byte", 1, PACKED, kName, {}, {}, true, "", "", {}},
        {"slash, quote and trailing backslash are escaped", 64, PACKED, kTag,
         {{&kSeven, 4}, {kAwkward, 33}}, {}, true, "/a/7/b/\"a\\/b\\\"c\\\\\"", "", {}},
        {"packed interface becomes its object text", 128, PACKED, kState, {{kPort, 4}}, {}, true,
         "/if/{ \"kind\": \"InlinePort\", \"slot\": 1, \"port\": 3, \"direction\": \"wan\" }/state",
         "", {}},
        {"json: the largest u32 and an escaped slash", 64, JO, kTag, {}, {"4294967295", "\"a/b\""},
         true, "/a/4294967295/b/\"a\\/b\"", "", {1, 1}},
        {"no argument for the second typed level", 64, PACKED, kTag, {{&kSeven, 4}}, {}, false,
         "/a/7/b/", "Improperly built key for too few arguments at /a/7/b//tag\n", {}},
        {"a value of size 0", 64, PACKED, kTag, {{&kSeven, 0}}, {}, false, "/a/",
         "Improperly built key for bad argument at /a//num\n", {}},
        {"packed value out of its type's range", 64, PACKED, kState, {{kBadChannel, 4}}, {}, false,
         "/if/", "Improperly built key for bad argument at /if//name\n", {}},
        {"surplus argument after the last typed level", 64, PACKED, kTag,
         {{&kSeven, 4}, {kX, 33}, {&kSeven, 0}}, {}, true, "/a/7/b/\"x\"",
         "Improperly built key for too many arguments for /a/7/b/\"x\"\n", {}},
        {"json: no argument", 64, JO, kTag, {}, {}, false, "/a/",
         "Improperly built key for too few arguments at /a//num\n", {}},
        {"json: a rejected object is named by its text, the next one never read", 64, JO, kTag, {},
         {"\"a\\\"b\"", "\"x\""}, false, "/a/",
         "Improperly built key for bad argument \"a\\\"b\", at /a//num\n", {2, 2}},
        {"json: the second rejected", 64, JO, kTag, {}, {"7", "5"}, false, "/a/7/b/",
         "Improperly built key for bad argument 5, at /a/7/b//tag\n", {1, 2}},
        {"json: a surplus stays the caller's, the line shows the cut text", 5, JO, kName, {}, {"1"},
         true, "/sys", "Improperly built key for too many arguments for /sys\n", {2}},
        // clang-format on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        char buf[256];
        std::memset(buf, 'X', sizeof buf);
        Arg a[3] = {};
        std::copy(c.packed.begin(), c.packed.end(), a);
        json_object *jo[3] = {};
        for (size_t i = 0; i < c.json.size(); ++i)
            jo[i] = json_object_get(json_tokener_parse(c.json[i]));
        char *result = c.via == PACKED
                           ? ds_build_key(buf, c.buflen, c.key, a[0].first, a[0].second, a[1].first,
                                          a[1].second, a[2].first, nullptr)
                           : ds_build_jo_key(buf, c.buflen, c.key, jo[0], jo[1], jo[2], nullptr);
        EXPECT_EQ(result, c.builds ? buf : nullptr);
        EXPECT_STREQ(buf, c.text);
        EXPECT_EQ(buf[c.buflen], 'X') << "written past the buffer";
        if (*c.log == '\0')
            dstest::expect_no_log();
        else
            dstest::expect_one_log(DS_MSG_KEY_BUILD, c.log);
        for (size_t i = 0; i < c.json.size(); ++i)
            EXPECT_EQ(puts_until_freed(jo[i]), c.puts[i]) << c.json[i];
    }
}

TEST(KeyDepth, ThirtyTwoLevelsAreBuiltDeeperKeysGiveTheEmptyText)
{
    // A chain of 33 levels named "l", the top one typed "u8".
    std::vector<DsKeyNode> nodes(33, DsKeyNode{-1, 1, 0, "l", nullptr, nullptr});
    nodes.front() = {0, 1, 0, "l", &ds_global_types[2], nullptr};
    const uint8_t five = 5;
    std::string full = "/5";
    for (int i = 1; i < 32; ++i)
        full += "/l";
    char buf[256];
    EXPECT_EQ(ds_build_key(buf, sizeof buf, &nodes[31], &five, size_t{1}, nullptr), buf);
    EXPECT_EQ(std::string(buf), full);
    dstest::expect_no_log();
    // Too deep: no level is listed, so the value is taken as a surplus argument.
    EXPECT_EQ(ds_build_key(buf, sizeof buf, &nodes[32], &five, size_t{1}, nullptr), buf);
    EXPECT_STREQ(buf, "");
    dstest::expect_one_log(DS_MSG_KEY_BUILD, "Improperly built key for too many arguments for \n");
}
