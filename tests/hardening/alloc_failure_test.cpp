// Every allocation of an exported call, failed in turn, then that one and
// every later one: the call gives its failure result (or, when the failed
// allocation did not matter, its normal result), leaves no block allocated and
// hands the log only complete texts. A null canonical text always comes with
// a code: 2 with nothing logged, or 50 with one line; never the code untouched,
// which would read as the JSON literal null.
#include "fail_alloc.h"

#include "codec/codec.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{

// The log capture of this executable: no heap, since it runs while
// allocations fail. Every conversion in the library's formats is %s.
struct LogRecord {
    int lines = 0;
    bool null_text = false;
    uint32_t last_id = 0;
} log_record;

} // namespace

extern "C" void
rk_syslog(int, int, int, uint32_t message_id, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    for (const char *p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p + 2, '%'))
        if (p[1] != '%' && va_arg(args, const char *) == nullptr)
            log_record.null_text = true;
    va_end(args);
    ++log_record.lines;
    log_record.last_id = message_id;
}

namespace
{

const DsType &kU32 = ds_global_types[0];
const DsType &kIpv4 = ds_global_types[10];
const DsType &kUri = ds_global_types[16];
const DsType &kAlarm = ds_global_types[23];
const DsType &kInterface = ds_global_types[28];
const DsType kWords = {"words", DS_KIND_ARRAY, 2 + 3 * 33, {.array = {3, &ds_global_types[8]}}};
const DsType kAddresses = {"addresses", DS_KIND_ARRAY, 2 + 4 * 4, {.array = {4, &kIpv4}}};
// Every other bit set: a bit range text far too long for the stack buffer.
const DsType kWideBitmap = {"wide", DS_KIND_BITMAP, 5000, {.bitmap = {40000}}};
const DsType kLongText = {"long-text", DS_KIND_STRING, 400, {.string = {".*"}}};
// Levels /a/<interface>/b/<long-text>: the second field is longer than the
// stack copy of field extraction.
const DsKeyNode kKey[] = {
    {0, 1, 0, "a", nullptr, nullptr},
    {-1, 1, 0, "if", &kInterface, nullptr},
    {-1, 1, 0, "b", nullptr, nullptr},
    {-1, 0, 0, "text", &kLongText, &kU32},
};

struct Fail {
    long at;
    bool persistent;
};

// Runs fn with the failure armed; fn makes each call of the library with lib.
template <class Fn>
auto
armed(Fail fail, Fn fn)
{
    failalloc::arm(fail.at, fail.persistent);
    auto result = fn();
    failalloc::disarm();
    return result;
}

template <class Fn>
auto
lib(Fn fn)
{
    failalloc::live(true);
    auto result = fn();
    failalloc::live(false);
    return result;
}

// Failed expectations keep their messages on the heap, so blocks are
// compared only across attempts that record none.
int
recorded_parts()
{
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// Runs attempt for every allocation it makes, in both modes, after one clean
// run (threads keep their tokener and compiled patterns); attempt returns
// whether an allocation was made to fail.
void
fail_each_allocation(const std::function<bool(Fail)> &attempt)
{
    attempt({LONG_MAX, false});
    for (bool persistent : {false, true}) {
        for (long n = 0;; ++n) {
            ASSERT_LT(n, 100000) << "the attempt never stops allocating";
            log_record = LogRecord{};
            int parts = recorded_parts();
            long before = failalloc::blocks_in_use();
            bool injected = attempt({n, persistent});
            if (recorded_parts() == parts) {
                EXPECT_EQ(failalloc::blocks_in_use(), before) << "leak, failing allocation " << n;
            }
            EXPECT_FALSE(log_record.null_text) << "null text logged, allocation " << n;
            if (!injected)
                break;
        }
    }
}

// Outcomes as text, "" for a failed call; each releases what the call made.
std::string
jo_text(json_object *jo)
{
    JsonRef ref(jo);
    return jo != nullptr ? json_object_to_json_string(jo) : "";
}

std::string
bytes_text(const void *packed, size_t size)
{
    std::string out;
    for (size_t i = 0; packed != nullptr && i < size; ++i)
        out += std::to_string(static_cast<const uint8_t *>(packed)[i]) + " ";
    return out;
}

std::string
owned_text(char *text)
{
    std::string out = text != nullptr ? text : "";
    std::free(text);
    return out;
}

// The packed value of a row as JSON, back to packed form, and its canonical
// text from the text and from the object: the outcome of each call, "" when
// it failed. The JSON text is what ds_c_to_jo gives with nothing failing.
struct Row {
    const DsType *type;
    std::vector<uint8_t> packed;
};

std::vector<std::string>
round_trip(const Row &row, const std::string &json, int codes[3])
{
    std::vector<uint8_t> dst(row.type->size, 0xA5);
    std::vector<std::string> out = {
        jo_text(lib([&] { return ds_c_to_jo(row.type, row.packed.data(), row.packed.size()); })),
        lib([&] { return ds_type_to_c(row.type, json.c_str(), dst.data(), dst.size()); }) == 1
            ? bytes_text(dst.data(), dst.size())
            : "",
        owned_text(lib([&] { return ds_canonical_json(json.c_str(), row.type, &codes[0]); }))};
    json_object *jo = lib([&] { return ds_json_to_jo(json.c_str(), &codes[1]); });
    out.push_back(jo != nullptr ? json_object_to_json_string(jo) : "");
    out.push_back(owned_text(lib([&] { return ds_canonical_jo(jo, row.type, &codes[2]); })));
    return out;
}

// A null text or object comes with a code: 2 with nothing logged, or 50
// with one line; a code left untouched would read as the JSON literal null.
void
expect_codes(const std::vector<std::string> &out, const int codes[3])
{
    int lines = 0;
    for (int i = 0; i < 3; ++i) {
        if (!out[2 + i].empty() || (i == 2 && out[3].empty()))
            continue;
        EXPECT_TRUE(codes[i] == DS_ERR_NOMEM || codes[i] == DS_ERR_BAD_JSON) << codes[i];
        lines += codes[i] == DS_ERR_BAD_JSON;
    }
    EXPECT_EQ(log_record.lines, lines);
}

TEST(AllocationFailure, ConversionsGiveTheirResultOrTheirFailureAndLeakNothing)
{
    std::vector<uint8_t> words(kWords.size, 0), uri(kUri.size, 0), text(kLongText.size, 0);
    std::memcpy(words.data(), "\x03\0ab", 4);
    std::memcpy(&words[2 + 33], "c d", 3);
    std::memcpy(&words[2 + 66], "e!", 2);
    std::strcpy(reinterpret_cast<char *>(uri.data()), "https://[fe80::1]:8080/a/b?c=d#e");
    std::memset(text.data(), 'y', 300);
    const Row rows[] = {
        {&kInterface, {4, 1, 3, 1}},
        {&kAlarm, {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f}},
        {&ds_global_types[15], std::vector<uint8_t>(16, 0xfe)},
        {&kWords, words},
        {&kAddresses, {3, 0, 10, 0, 0, 1, 192, 168, 1, 254, 8, 8, 8, 8, 0, 0, 0, 0}},
        {&kWideBitmap, std::vector<uint8_t>(kWideBitmap.size, 0x55)},
        {&kUri, uri},
        {&kLongText, text},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.type->name);
        std::string json = jo_text(ds_c_to_jo(row.type, row.packed.data(), row.packed.size()));
        int codes[3];
        std::vector<std::string> clean = round_trip(row, json, codes);
        for (const std::string &outcome : clean)
            ASSERT_NE(outcome, "");
        fail_each_allocation([&](Fail f) {
            std::fill(codes, codes + 3, -1);
            std::vector<std::string> got = armed(f, [&] { return round_trip(row, json, codes); });
            expect_codes(got, codes);
            for (size_t i = 0; i < got.size(); ++i)
                EXPECT_TRUE(got[i].empty() || got[i] == clean[i]) << i << ": " << got[i];
            return failalloc::disarm();
        });
    }
}

// Levels /a/<interface>/b/<long-text>, the second field longer than the
// stack copy of field extraction: both fields, and a key built from packed
// values and from objects, which the call takes over when it appends them.
std::vector<std::string>
key_calls(std::vector<json_object *> &args)
{
    const std::string field = R"({"kind": "Virtual", "index": 2}/")" + std::string(300, 'y') + "\"";
    std::vector<std::string> out;
    for (uint32_t n : {1u, 2u}) {
        uint32_t size = 12345;
        void *packed = lib([&] { return ds_key_field_c(field.c_str(), &kKey[3], n, &size); });
        out.push_back(packed != nullptr ? bytes_text(packed, size) + std::to_string(size)
                      : size != 12345   ? "size written"
                                        : "");
        std::free(packed);
        out.push_back(jo_text(lib([&] { return ds_key_field_jo(field.c_str(), &kKey[3], n); })));
    }
    char buf[128];
    uint8_t virtual2[] = {1, 2, 0, 0};
    const char *key = lib([&] {
        return ds_build_key(buf, sizeof buf, &kKey[3], virtual2, sizeof virtual2, "bob", size_t{4},
                            nullptr);
    });
    out.push_back(key != nullptr ? key : "");
    key =
        lib([&] { return ds_build_jo_key(buf, sizeof buf, &kKey[3], args[0], args[1], nullptr); });
    out.push_back(key != nullptr ? key : "");
    return out;
}

TEST(AllocationFailure, KeyCallsGiveTheirResultOrTheirFailureAndLeakNothing)
{
    auto run = [](Fail f) {
        std::vector<json_object *> args = {json_tokener_parse(R"({"kind": "Virtual", "index": 2})"),
                                           json_object_new_string("bob")};
        // A reference of our own on each, to learn which ones the call took.
        for (json_object *arg : args)
            json_object_get(arg);
        std::vector<std::string> out = armed(f, [&] { return key_calls(args); });
        bool refused = false;
        for (json_object *arg : args) {
            bool taken = json_object_put(arg) == 1;
            if (!taken)
                json_object_put(arg);
            EXPECT_FALSE(taken && refused) << "an argument after a refused one was released";
            EXPECT_TRUE(taken || out.back().empty());
            refused = refused || !taken;
        }
        return out;
    };
    std::vector<std::string> clean = run({LONG_MAX, false});
    for (const std::string &outcome : clean)
        ASSERT_NE(outcome, "");
    fail_each_allocation([&](Fail f) {
        std::vector<std::string> got = run(f);
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(got[i].empty() || got[i] == clean[i]) << i << ": " << got[i];
        return failalloc::disarm();
    });
}

// A chain of 40 literal levels named x: its path splits into more components
// than the stack holds, so the split takes the heap, once.
TEST(AllocationFailure, LongPathLookupFindsNothingWithoutRoom)
{
    std::vector<DsKeyNode> nodes(40, DsKeyNode{-1, 1, 0, "x", nullptr, &kU32});
    nodes.front().parent = 0;
    nodes.back().first_child = 0;
    DsModule forest{nullptr, 0, 0, nullptr, nodes.data(), nullptr, nullptr};
    DsModule builtin{&forest, ds_global_type_count, 0, ds_global_types, nullptr, nullptr, nullptr};
    DsModule *saved = module_list;
    module_list = &builtin;
    std::string path;
    for (int i = 0; i < 40; ++i)
        path += "/x";
    int injections = 0;
    fail_each_allocation([&](Fail f) {
        auto failing = [f](auto fn) { return armed(f, [&] { return lib(fn); }); };
        const DsKeyNode *node = failing([&] { return ds_find_key(path.c_str(), true); });
        bool injected = failalloc::disarm();
        EXPECT_EQ(node, injected ? nullptr : &nodes[39]);
        int count = 0;
        int found = failing([&] {
            return ds__do_key(
                path.c_str(), false, [](void *n, const DsKeyNode *) { ++*static_cast<int *>(n); },
                &count);
        });
        EXPECT_EQ(found, injected ? 0 : 1);
        EXPECT_EQ(count, found);
        uint32_t leaf = 1;
        int ok = failing([&] { return ds_leaf_to_c(path.c_str(), "7", &leaf, 4); });
        bool leaf_hit = failalloc::disarm();
        EXPECT_EQ(leaf, ok == 1 ? 7u : 0u);
        EXPECT_TRUE(ok == 1 || leaf_hit);
        injections += injected;
        return injected || leaf_hit;
    });
    module_list = saved;
    EXPECT_EQ(injections, 2) << "the split should allocate exactly once";
}

} // namespace

// Patterns are compiled once per thread and kept: compile the ones used here
// before any block is counted, so that the cache is not taken for a leak.
int
main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (const DsType *type : {&ds_global_types[8], &kUri, &ds_global_types[9],
                               &ds_global_types[12], &ds_global_types[14], &kLongText})
        pattern_matches(type, "");
    return RUN_ALL_TESTS();
}
