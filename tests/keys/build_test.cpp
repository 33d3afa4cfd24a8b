// Key building: the texts that ds_build_key and ds_build_jo_key make, their
// cut at the buffer's end, the log lines of misuse, the depth limit, and which
// json-c references the builders take over.
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{

const DsType *const kU32 = &ds_global_types[0];
const DsType *const kWord = &ds_global_types[8];
const DsType *const kSeverity = &ds_global_types[21];
const DsType *const kInterface = &ds_global_types[28];

// clang-format off
// /a/<u32 num>/b/<word tag>, /sys/host/name, /if/<interface name>/state and
// /alarm/<alarm_severity level>.
const DsKeyNode kForest[] = {
    /* 0 */ {0, 1, 4, "a", nullptr, nullptr},
    /* 1 */ {-1, 1, 0, "num", kU32, nullptr},
    /* 2 */ {-1, 1, 0, "b", nullptr, nullptr},
    /* 3 */ {-1, 0, 0, "tag", kWord, kU32},
    /* 4 */ {0, 1, 3, "sys", nullptr, nullptr},
    /* 5 */ {-1, 1, 0, "host", nullptr, nullptr},
    /* 6 */ {-1, 0, 0, "name", nullptr, kWord},
    /* 7 */ {0, 1, 3, "if", nullptr, nullptr},
    /* 8 */ {-1, 1, 0, "name", kInterface, nullptr},
    /* 9 */ {-1, 0, 0, "state", nullptr, kU32},
    /* 10 */ {0, 1, 0, "alarm", nullptr, nullptr},
    /* 11 */ {-1, 0, 0, "level", kSeverity, kU32},
};
// clang-format on
const DsKeyNode *const kTagKey = &kForest[3];
const DsKeyNode *const kNameKey = &kForest[6];
const DsKeyNode *const kStateKey = &kForest[9];
const DsKeyNode *const kLevelKey = &kForest[11];

const uint32_t kSeven = 7;
const char kPlainWord[33] = "x";
const char kAwkwardWord[33] = "a/b\"c\\"; // a slash, a quote, a trailing backslash
const uint8_t kInlinePort[4] = {0x04, 0x01, 0x03, 0x01};
const uint8_t kBadPortChannel[4] = {0x07, 0x09, 0x00, 0x00}; // index 9 of 1..8
const uint8_t kMajor = 2;

// The va_list entry, reached the way a variadic wrapper of a caller would.
char *
build_jo_key_through_v(char *buf, size_t buflen, const DsKeyNode *key, ...)
{
    va_list args;
    va_start(args, key);
    char *result = ds_build_jo_key_v(buf, buflen, key, args);
    va_end(args);
    return result;
}

// A chain of depth levels named "l", the top one typed "u8" when asked.
std::vector<DsKeyNode>
chain(size_t depth, bool typed_top)
{
    std::vector<DsKeyNode> nodes(depth);
    for (size_t i = 0; i < depth; ++i) {
        nodes[i] = {static_cast<int16_t>(i == 0 ? 0 : -1),
                    static_cast<int16_t>(i + 1 < depth ? 1 : 0),
                    0,
                    "l",
                    nullptr,
                    nullptr};
    }
    if (typed_top)
        nodes[0].field_type = &ds_global_types[2];
    return nodes;
}

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

} // namespace

TEST(KeyText, IsCutSilentlyAtTheBufferSize)
{
    const std::string full = "/a/7/b/\"x\"";
    const size_t sizes[] = {1, 5, full.size(), full.size() + 1};
    for (size_t buflen : sizes) {
        SCOPED_TRACE(buflen);
        char packed[64];
        char json[64];
        std::memset(packed, 'X', sizeof packed);
        std::memset(json, 'X', sizeof json);
        EXPECT_EQ(ds_build_key(packed, buflen, kTagKey, &kSeven, sizeof kSeven, kPlainWord,
                               sizeof kPlainWord, nullptr),
                  packed);
        EXPECT_EQ(ds_build_jo_key(json, buflen, kTagKey, json_object_new_int64(7),
                                  json_object_new_string("x"), nullptr),
                  json);
        std::string expected = full.substr(0, buflen - 1);
        EXPECT_EQ(std::string(packed), expected);
        EXPECT_EQ(std::string(json), expected);
        // Nothing past the buffer's end is touched.
        EXPECT_EQ(packed[buflen], 'X');
        EXPECT_EQ(json[buflen], 'X');
        dstest::expect_no_log();
    }
}

struct MisuseCase {
    const char *name;
    std::function<char *(char *, size_t)> build;
    bool builds;      // the result is buf rather than null
    const char *text; // what buf holds afterwards
    const char *log;  // "": nothing logged
};

TEST(KeyText, LevelsAreJoinedTopFirstAndMisuseIsLoggedWithTheTextBuiltSoFar)
{
    const MisuseCase cases[] = {
        {"literal levels only",
         [](char *b, size_t n) { return ds_build_key(b, n, kNameKey, nullptr); }, true,
         "/sys/host/name", ""},
        {"packed int and string",
         [](char *b, size_t n) {
             return ds_build_key(b, n, kTagKey, &kSeven, sizeof kSeven, kPlainWord,
                                 sizeof kPlainWord, nullptr);
         },
         true, "/a/7/b/\"x\"", ""},
        {"string with slash, quote and trailing backslash is escaped JSON",
         [](char *b, size_t n) {
             return ds_build_key(b, n, kTagKey, &kSeven, sizeof kSeven, kAwkwardWord,
                                 sizeof kAwkwardWord, nullptr);
         },
         true, "/a/7/b/\"a\\/b\\\"c\\\\\"", ""},
        {"packed interface becomes its object text",
         [](char *b, size_t n) {
             return ds_build_key(b, n, kStateKey, kInlinePort, sizeof kInlinePort, nullptr);
         },
         true,
         "/if/{ \"kind\": \"InlinePort\", \"slot\": 1, \"port\": 3, \"direction\": \"wan\" "
         "}/state",
         ""},
        {"packed enum is written as its name",
         [](char *b, size_t n) {
             return ds_build_key(b, n, kLevelKey, &kMajor, size_t{1}, nullptr);
         },
         true, "/alarm/\"major\"", ""},
        {"json enum given as an int stays an int",
         [](char *b, size_t n) {
             return ds_build_jo_key(b, n, kLevelKey, json_object_new_int64(2), nullptr);
         },
         true, "/alarm/2", ""},
        {"json enum given as a name stays a name",
         [](char *b, size_t n) {
             return ds_build_jo_key(b, n, kLevelKey, json_object_new_string("major"), nullptr);
         },
         true, "/alarm/\"major\"", ""},
        {"json arguments through the va_list entry",
         [](char *b, size_t n) {
             return build_jo_key_through_v(b, n, kTagKey, json_object_new_int64(4294967295),
                                           json_object_new_string("a/b"), nullptr);
         },
         true, "/a/4294967295/b/\"a\\/b\"", ""},
        {"no argument for the first typed level",
         [](char *b, size_t n) { return ds_build_key(b, n, kTagKey, nullptr); }, false, "/a/",
         "Improperly built key for too few arguments at /a//num\n"},
        {"no argument for the second typed level",
         [](char *b, size_t n) {
             return ds_build_key(b, n, kTagKey, &kSeven, sizeof kSeven, nullptr);
         },
         false, "/a/7/b/", "Improperly built key for too few arguments at /a/7/b//tag\n"},
        {"value followed by the terminator has size 0",
         [](char *b, size_t n) { return ds_build_key(b, n, kTagKey, &kSeven, nullptr); }, false,
         "/a/", "Improperly built key for bad argument at /a//num\n"},
        {"packed value out of its type's range",
         [](char *b, size_t n) {
             return ds_build_key(b, n, kStateKey, kBadPortChannel, sizeof kBadPortChannel, nullptr);
         },
         false, "/if/", "Improperly built key for bad argument at /if//name\n"},
        {"surplus argument after a literal-only key",
         [](char *b, size_t n) { return ds_build_key(b, n, kNameKey, &kSeven, nullptr); }, true,
         "/sys/host/name", "Improperly built key for too many arguments for /sys/host/name\n"},
        {"surplus argument after the last typed level",
         [](char *b, size_t n) {
             return ds_build_key(b, n, kTagKey, &kSeven, sizeof kSeven, kPlainWord,
                                 sizeof kPlainWord, &kSeven, nullptr);
         },
         true, "/a/7/b/\"x\"", "Improperly built key for too many arguments for /a/7/b/\"x\"\n"},
        {"json: no argument",
         [](char *b, size_t n) { return ds_build_jo_key(b, n, kTagKey, nullptr); }, false, "/a/",
         "Improperly built key for too few arguments at /a//num\n"},
        {"json: a rejected object is named by its text",
         [](char *b, size_t n) {
             json_object *rejected = json_object_new_string("a\"b");
             char *result = ds_build_jo_key(b, n, kTagKey, rejected, nullptr);
             json_object_put(rejected);
             return result;
         },
         false, "/a/", "Improperly built key for bad argument \"a\\\"b\", at /a//num\n"},
        {"json: surplus line shows the cut text",
         [](char *b, size_t) {
             json_object *surplus = json_object_new_int64(1);
             char *result = ds_build_jo_key(b, 5, kNameKey, surplus, nullptr);
             json_object_put(surplus);
             return result;
         },
         true, "/sys", "Improperly built key for too many arguments for /sys\n"},
    };
    for (const MisuseCase &c : cases) {
        SCOPED_TRACE(c.name);
        char buf[256];
        std::memset(buf, 'X', sizeof buf);
        char *result = c.build(buf, sizeof buf);
        EXPECT_EQ(result, c.builds ? buf : nullptr);
        EXPECT_STREQ(buf, c.text);
        if (*c.log == '\0')
            dstest::expect_no_log();
        else
            dstest::expect_one_log(DS_MSG_KEY_BUILD, c.log);
    }
}

TEST(KeyBuildOwnership, OnlyAppendedJsonArgumentsAreReleased)
{
    struct Outcome {
        const char *name;
        json_object *num;
        json_object *tag;
        json_object *surplus; // may be null
        int num_puts;
        int tag_puts;
        int surplus_puts;
    };
    Outcome cases[] = {
        {"all appended", json_object_new_int64(7), json_object_new_string("x"), nullptr, 1, 1, 0},
        {"second rejected", json_object_new_int64(7), json_object_new_int64(5), nullptr, 1, 2, 0},
        {"first rejected, the next one never read", json_object_new_string("7"),
         json_object_new_string("x"), nullptr, 2, 2, 0},
        {"surplus stays", json_object_new_int64(7), json_object_new_string("x"),
         json_object_new_int64(1), 1, 1, 2},
    };
    for (Outcome &c : cases) {
        SCOPED_TRACE(c.name);
        json_object_get(c.num);
        json_object_get(c.tag);
        if (c.surplus != nullptr)
            json_object_get(c.surplus);
        char buf[64];
        ds_build_jo_key(buf, sizeof buf, kTagKey, c.num, c.tag, c.surplus, nullptr);
        dstest::clear_logs();
        EXPECT_EQ(puts_until_freed(c.num), c.num_puts);
        EXPECT_EQ(puts_until_freed(c.tag), c.tag_puts);
        if (c.surplus != nullptr) {
            EXPECT_EQ(puts_until_freed(c.surplus), c.surplus_puts);
        }
    }
}

TEST(KeyDepth, ThirtyTwoLevelsAreBuiltDeeperKeysGiveTheEmptyText)
{
    const uint8_t five = 5;
    std::vector<DsKeyNode> nodes = chain(33, true);
    std::string full = "/5";
    for (int i = 1; i < 32; ++i)
        full += "/l";

    char buf[256];
    EXPECT_EQ(ds_build_key(buf, sizeof buf, &nodes[31], &five, size_t{1}, nullptr), buf);
    EXPECT_EQ(std::string(buf), full);
    dstest::expect_no_log();

    // Too deep: no level is listed, so the value is taken as a surplus argument.
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(ds_build_key(buf, sizeof buf, &nodes[32], &five, size_t{1}, nullptr), buf);
    EXPECT_STREQ(buf, "");
    dstest::expect_one_log(DS_MSG_KEY_BUILD, "Improperly built key for too many arguments for \n");
}
