// Every allocation of a call, failed in turn: the call must give its failure
// result (or, when the failed allocation did not matter, its normal result),
// leave nothing allocated behind, and hand the log only complete texts. Each
// case runs twice over its allocations: failing one of them, and failing one
// and every later one. The bytes in use before and after each run must agree,
// so a leak is caught in the plain build too, at the allocation that caused it.
#include "fail_alloc.h"

#include "codec/codec.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{

// The log capture of this executable: no heap, since it runs while
// allocations are failing. It records the number of lines and whether any
// text argument was null (every conversion in the library's formats is %s).
struct LogRecord {
    int lines = 0;
    bool null_text = false;
    uint32_t last_id = 0;
};
LogRecord log_record;

} // namespace

extern "C" void
rk_syslog(int, int, int, uint32_t message_id, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    for (const char *p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p + 1, '%')) {
        if (p[1] == '%') {
            ++p;
            continue;
        }
        if (va_arg(args, const char *) == nullptr)
            log_record.null_text = true;
    }
    va_end(args);
    ++log_record.lines;
    log_record.last_id = message_id;
}

namespace
{

const DsType &kU32 = ds_global_types[0];
const DsType &kWord = ds_global_types[8];
const DsType &kIpv4 = ds_global_types[10];
const DsType &kIpv6 = ds_global_types[15];
const DsType &kUri = ds_global_types[16];
const DsType &kAlarm = ds_global_types[23];
const DsType &kInterface = ds_global_types[28];

const DsType kWords = {"words", DS_KIND_ARRAY, 2 + 3 * 33, {.array = {3, &kWord}}};
const DsType kAddresses = {"addresses", DS_KIND_ARRAY, 2 + 4 * 4, {.array = {4, &kIpv4}}};
// Every other bit set: a bit range text far too long for the stack buffer.
const DsType kWideBitmap = {"wide", DS_KIND_BITMAP, 5000, {.bitmap = {40000}}};
const DsType kLongText = {"long-text", DS_KIND_STRING, 400, {.string = {".*"}}};

// Runs one attempt with allocation fail_at failing; returns whether any
// allocation was made to fail.
using Attempt = std::function<bool(long fail_at, bool persistent)>;

// Failed expectations recorded so far in this test; each keeps its message
// on the heap, so the byte count is compared only across attempts that
// record none.
int
recorded_parts()
{
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// Repeats the attempt for every allocation it makes, in both modes, and
// checks that each attempt leaves the heap as it found it.
void
fail_each_allocation(const Attempt &attempt)
{
    // One clean run first: compiled patterns keep the matching states that
    // glibc builds as it goes, and those must exist before bytes are counted.
    attempt(LONG_MAX, false);
    for (bool persistent : {false, true}) {
        for (long n = 0;; ++n) {
            ASSERT_LT(n, 100000) << "the attempt never stops allocating";
            log_record = LogRecord{};
            int parts_before = recorded_parts();
            size_t before = failalloc::bytes_in_use();
            bool injected = attempt(n, persistent);
            size_t after = failalloc::bytes_in_use();
            if (recorded_parts() == parts_before) {
                EXPECT_EQ(after, before) << "leak with allocation " << n << " failing"
                                         << (persistent ? " and every later one" : "");
            }
            EXPECT_FALSE(log_record.null_text) << "null text logged, allocation " << n;
            if (!injected)
                break;
        }
    }
}

std::string
text_of(json_object *jo)
{
    return jo != nullptr ? json_object_to_json_string(jo) : "(null)";
}

// Results of the clean run, against which the attempts are compared.
std::string
clean_c_to_jo(const DsType *type, const std::vector<uint8_t> &bytes)
{
    json_object *jo = ds_c_to_jo(type, bytes.data(), bytes.size());
    std::string text = text_of(jo);
    json_object_put(jo);
    return text;
}

TEST(AllocationFailure, PackedToJsonReleasesPartialObjects)
{
    std::vector<uint8_t> words(kWords.size, 0);
    words[0] = 3;
    std::memcpy(&words[2], "ab", 3);
    std::memcpy(&words[2 + 33], "c d", 4);
    std::memcpy(&words[2 + 66], "e!", 3);
    std::vector<uint8_t> wide(kWideBitmap.size, 0x55);
    std::vector<uint8_t> uri(kUri.size, 0);
    std::strcpy(reinterpret_cast<char *>(uri.data()), "https://[fe80::1]:8080/a/b?c=d#e");
    const struct {
        const DsType *type;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {&kInterface, {0x04, 0x01, 0x03, 0x01}},
        {&kAlarm, {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f}},
        {&kIpv6, std::vector<uint8_t>(16, 0xfe)},
        {&kWords, words},
        {&kWideBitmap, wide},
        {&kUri, uri},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type->name);
        std::string expected = clean_c_to_jo(c.type, c.bytes);
        ASSERT_NE(expected, "(null)");
        fail_each_allocation([&](long n, bool persistent) {
            failalloc::arm(n, persistent);
            json_object *jo = ds_c_to_jo(c.type, c.bytes.data(), c.bytes.size());
            bool injected = failalloc::disarm();
            if (jo != nullptr) {
                EXPECT_EQ(text_of(jo), expected) << "allocation " << n;
            }
            json_object_put(jo);
            return injected;
        });
    }
}

TEST(AllocationFailure, TextToPackedGivesZeroOrTheValue)
{
    const std::string long_text = "\"" + std::string(300, 'y') + "\"";
    const struct {
        const DsType *type;
        const char *text;
    } cases[] = {
        {&kInterface, R"({"port": 3, "direction": "wan", "kind": "InlinePort", "slot": 1})"},
        {&kAlarm, R"({"timestamp": 2, "eventId": 7})"},
        {&kAddresses, R"(["10.0.0.1", "192.168.1.254", "8.8.8.8"])"},
        {&kUri, R"("bootflash:config.txt")"},
        // json-c cuts a string short when its buffer cannot grow.
        {&kLongText, long_text.c_str()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<uint8_t> expected(c.type->size);
        ASSERT_EQ(ds_type_to_c(c.type, c.text, expected.data(), expected.size()), 1);
        fail_each_allocation([&](long n, bool persistent) {
            std::vector<uint8_t> dst(c.type->size, 0xA5);
            failalloc::arm(n, persistent);
            int result = ds_type_to_c(c.type, c.text, dst.data(), dst.size());
            bool injected = failalloc::disarm();
            if (result == 1) {
                EXPECT_EQ(dst, expected) << "allocation " << n;
            } else {
                EXPECT_EQ(result, 0);
            }
            return injected;
        });
    }
}

// A null result always comes with a code: 2 when the allocation that failed
// was the copy of the text (and then nothing is logged), 50 with one line
// otherwise. A null result with the code untouched would read as the JSON
// literal null.
void
expect_canonical_outcome(char *text, int err, const char *expected, long n)
{
    if (text != nullptr) {
        EXPECT_STREQ(text, expected) << "allocation " << n;
        EXPECT_EQ(err, -1);
        std::free(text);
        return;
    }
    EXPECT_TRUE(err == DS_ERR_NOMEM || err == DS_ERR_BAD_JSON)
        << "allocation " << n << " failing gave code " << err << " after "
        << (failalloc::failed_function() != nullptr ? failalloc::failed_function() : "nothing");
    if (err == DS_ERR_NOMEM) {
        EXPECT_EQ(log_record.lines, 0);
    }
    if (err == DS_ERR_BAD_JSON) {
        EXPECT_EQ(log_record.lines, 1);
        EXPECT_EQ(log_record.last_id, DS_MSG_JSON);
    }
}

const struct {
    const DsType *type;
    const char *text;
    const char *canonical;
} kCanonicalCases[] = {
    {&kInterface, R"({"port": 3, "direction": 1, "kind": "InlinePort", "slot": 1})",
     R"({ "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" })"},
    {&kAlarm, R"({"timestamp": 2, "eventId": 7})", R"({ "eventId": 7, "timestamp": 2.0 })"},
    {&ds_global_types[18], R"("true")", "true"},
};

// The copy of the text is the last allocation of a successful call.
TEST(AllocationFailure, CanonicalTextFromTextReportsEveryFailure)
{
    for (const auto &c : kCanonicalCases) {
        SCOPED_TRACE(c.text);
        int err = -1;
        failalloc::arm(LONG_MAX, false);
        std::free(ds_canonical_json(c.text, c.type, &err));
        failalloc::disarm();
        long last = failalloc::allocations_made() - 1;
        fail_each_allocation([&](long n, bool persistent) {
            int err = -1;
            failalloc::arm(n, persistent);
            char *text = ds_canonical_json(c.text, c.type, &err);
            bool injected = failalloc::disarm();
            if (n == last && !persistent) {
                EXPECT_STREQ(failalloc::failed_function(), "strdup");
                EXPECT_EQ(err, DS_ERR_NOMEM);
                EXPECT_EQ(log_record.lines, 0);
            }
            expect_canonical_outcome(text, err, c.canonical, n);
            return injected;
        });
    }
}

TEST(AllocationFailure, CanonicalTextFromObjectAlwaysConsumesIt)
{
    for (const auto &c : kCanonicalCases) {
        SCOPED_TRACE(c.text);
        fail_each_allocation([&](long n, bool persistent) {
            json_object *jo = json_tokener_parse(c.text);
            int err = -1;
            failalloc::arm(n, persistent);
            char *text = ds_canonical_jo(jo, c.type, &err);
            bool injected = failalloc::disarm();
            expect_canonical_outcome(text, err, c.canonical, n);
            return injected;
        });
    }
}

TEST(AllocationFailure, ParsingGivesTheObjectOrACode)
{
    const char *text = R"({"a": [1, 2.5, "three", {"four": null}], "b": true})";
    json_object *clean = json_tokener_parse(text);
    std::string expected = text_of(clean);
    json_object_put(clean);
    fail_each_allocation([&](long n, bool persistent) {
        int err = -1;
        failalloc::arm(n, persistent);
        json_object *jo = ds_json_to_jo(text, &err);
        bool injected = failalloc::disarm();
        if (jo != nullptr) {
            EXPECT_EQ(text_of(jo), expected);
            EXPECT_EQ(err, -1);
        } else {
            EXPECT_TRUE(err == DS_ERR_NOMEM || err == DS_ERR_BAD_JSON)
                << "allocation " << n << " failing: null object, code " << err;
        }
        json_object_put(jo);
        return injected;
    });
}

// Levels /a/<u32>/b/<long-text>: the second field's component is longer
// than the stack copy, so it is copied to the heap.
const DsKeyNode kFieldKey[] = {
    {0, 1, 0, "a", nullptr, nullptr},
    {-1, 1, 0, "number", &kU32, nullptr},
    {-1, 1, 0, "b", nullptr, nullptr},
    {-1, 0, 0, "text", &kLongText, &kU32},
};

TEST(AllocationFailure, FieldExtractionGivesTheValueOrNull)
{
    std::string long_value(300, 'x');
    std::string text = "7/\"" + long_value + "\"";
    std::vector<uint8_t> number = {7, 0, 0, 0};
    std::vector<uint8_t> long_text(kLongText.size, 0);
    std::memcpy(long_text.data(), long_value.c_str(), long_value.size());
    const struct {
        uint32_t n;
        std::vector<uint8_t> expected;
        std::string json;
    } cases[] = {{1, number, "7"}, {2, long_text, "\"" + long_value + "\""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.n);
        fail_each_allocation([&](long n, bool persistent) {
            uint32_t size = 12345;
            failalloc::arm(n, persistent);
            auto *packed =
                static_cast<uint8_t *>(ds_key_field_c(text.c_str(), &kFieldKey[3], c.n, &size));
            bool injected = failalloc::disarm();
            if (packed != nullptr) {
                EXPECT_EQ(std::vector<uint8_t>(packed, packed + size), c.expected);
            } else {
                EXPECT_EQ(size, 12345u);
            }
            std::free(packed);
            return injected;
        });
        fail_each_allocation([&](long n, bool persistent) {
            failalloc::arm(n, persistent);
            json_object *jo = ds_key_field_jo(text.c_str(), &kFieldKey[3], c.n);
            bool injected = failalloc::disarm();
            if (jo != nullptr) {
                EXPECT_EQ(text_of(jo), c.json);
            }
            json_object_put(jo);
            return injected;
        });
    }
}

// Levels /a/<interface>/b/<word>.
const DsKeyNode kBuildKey[] = {
    {0, 1, 0, "a", nullptr, nullptr},
    {-1, 1, 0, "if", &kInterface, nullptr},
    {-1, 1, 0, "b", nullptr, nullptr},
    {-1, 0, 0, "user", &kWord, &kU32},
};

TEST(AllocationFailure, KeyBuildingReleasesExactlyTheAppendedArguments)
{
    const char *full = R"(/a/{ "kind": "Virtual", "index": 2 }/b/"bob")";
    fail_each_allocation([&](long n, bool persistent) {
        json_object *args[] = {json_tokener_parse(R"({ "kind": "Virtual", "index": 2 })"),
                               json_object_new_string("bob")};
        // A reference of our own on each, to learn which ones the call took.
        for (json_object *arg : args)
            json_object_get(arg);
        char buf[128];
        failalloc::arm(n, persistent);
        char *result = ds_build_jo_key(buf, sizeof buf, &kBuildKey[3], args[0], args[1], nullptr);
        bool injected = failalloc::disarm();
        if (result != nullptr) {
            EXPECT_STREQ(result, full);
        }
        bool taken_after_refusal = false;
        bool refused = false;
        for (json_object *arg : args) {
            bool taken = json_object_put(arg) == 1;
            if (!taken)
                json_object_put(arg);
            taken_after_refusal = taken_after_refusal || (taken && refused);
            refused = refused || !taken;
            if (result != nullptr) {
                EXPECT_TRUE(taken) << "allocation " << n;
            }
        }
        EXPECT_FALSE(taken_after_refusal) << "an argument after a refused one was released";
        return injected;
    });
    uint8_t interface[] = {0x01, 0x02, 0x00, 0x00};
    fail_each_allocation([&](long n, bool persistent) {
        char buf[128];
        failalloc::arm(n, persistent);
        char *result = ds_build_key(buf, sizeof buf, &kBuildKey[3], interface, sizeof interface,
                                    "bob", size_t{4}, nullptr);
        bool injected = failalloc::disarm();
        if (result != nullptr) {
            EXPECT_STREQ(result, full);
        }
        return injected;
    });
}

// A chain of 40 literal levels named x: its path splits into more components
// than the stack holds, so the split takes the heap.
std::vector<DsKeyNode>
chain(size_t depth)
{
    std::vector<DsKeyNode> nodes(depth);
    for (size_t i = 0; i < depth; ++i)
        nodes[i] = {static_cast<int16_t>(i > 0 ? -1 : 0),
                    static_cast<int16_t>(i + 1 < depth),
                    0,
                    "x",
                    nullptr,
                    &kU32};
    return nodes;
}

TEST(AllocationFailure, LongPathLookupFindsNothingWithoutRoom)
{
    std::vector<DsKeyNode> nodes = chain(40);
    std::string path;
    for (int i = 0; i < 40; ++i)
        path += "/x";
    int injections = 0;
    fail_each_allocation([&](long n, bool persistent) {
        failalloc::arm(n, persistent);
        PathComponents parts(path.c_str());
        const DsKeyNode *node = parts.count() == 0
                                    ? nullptr
                                    : match_components(parts.data(), parts.count(), nodes.data());
        bool injected = failalloc::disarm();
        EXPECT_EQ(node, injected ? nullptr : &nodes[39]);
        EXPECT_EQ(parts.failed(), injected);
        injections += injected;
        return injected;
    });
    EXPECT_EQ(injections, 2) << "the split should allocate exactly once";
}

} // namespace

// Patterns are compiled once per thread and kept; compile the ones used here
// before any allocation is counted, so that the cache is not mistaken for a
// leak. glibc counts the chunks in its per-thread cache as in use, which
// would blur the byte count; outside ASan the test runs again without it.
int
main(int argc, char **argv)
{
#if !defined(__SANITIZE_ADDRESS__)
    if (std::getenv("GLIBC_TUNABLES") == nullptr) {
        setenv("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0", 1);
        execv("/proc/self/exe", argv);
        std::perror("execv /proc/self/exe");
        return 1;
    }
#endif
    ::testing::InitGoogleTest(&argc, argv);
    for (const DsType *type : {&kWord, &kUri, &ds_global_types[9], &ds_global_types[12],
                               &ds_global_types[14], &kLongText})
        pattern_matches(type, "");
    return RUN_ALL_TESTS();
}
