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

// One exported call: runs it with allocations failing as armed, and gives
// its outcome as text ("" when it failed). failure_ok checks a failed call
// further (codes, log lines, what it left to the caller).
struct Call {
    const char *name;
    std::function<std::string(long n, bool persistent)> run;
    std::function<void(long n)> failure_ok = [](long) {};
};

template <class Fn>
auto
armed(long n, bool persistent, Fn fn)
{
    failalloc::arm(n, persistent);
    auto result = fn();
    failalloc::disarm();
    return result;
}

std::string
packed_text(const void *packed, size_t size)
{
    std::string out;
    for (size_t i = 0; packed != nullptr && i < size; ++i)
        out += std::to_string(static_cast<const uint8_t *>(packed)[i]) + " ";
    return out;
}

// A null canonical text always comes with a code: 2 when the copy of the
// text failed (and then nothing is logged), 50 with one line otherwise. A
// null result with the code untouched would read as the JSON literal null.
void
canonical_failure(int err, long n)
{
    EXPECT_TRUE(err == DS_ERR_NOMEM || err == DS_ERR_BAD_JSON)
        << "allocation " << n << " failing gave code " << err << " after "
        << (failalloc::failed_function() != nullptr ? failalloc::failed_function() : "nothing");
    EXPECT_EQ(log_record.lines, err == DS_ERR_NOMEM ? 0 : 1);
    if (err == DS_ERR_BAD_JSON) {
        EXPECT_EQ(log_record.last_id, DS_MSG_JSON);
    }
}

std::string
take_text(char *text)
{
    std::string out = text != nullptr ? text : "";
    std::free(text);
    return out;
}

// Levels /a/<interface>/b/<long-text>: the second component is longer than
// the stack copy of field extraction, so it is copied to the heap.
const DsKeyNode kKey[] = {
    {0, 1, 0, "a", nullptr, nullptr},
    {-1, 1, 0, "if", &kInterface, nullptr},
    {-1, 1, 0, "b", nullptr, nullptr},
    {-1, 0, 0, "text", &kLongText, &kU32},
};

void
count_call(void *ctx, const DsKeyNode *)
{
    ++*static_cast<int *>(ctx);
}

} // namespace

TEST(AllocationFailure, EveryCallGivesItsResultOrItsFailureAndLeaksNothing)
{
    std::vector<uint8_t> words(kWords.size, 0);
    words[0] = 3;
    std::memcpy(&words[2], "ab", 3);
    std::memcpy(&words[2 + 33], "c d", 4);
    std::memcpy(&words[2 + 66], "e!", 3);
    std::vector<uint8_t> wide(kWideBitmap.size, 0x55);
    std::vector<uint8_t> uri(kUri.size, 0);
    std::strcpy(reinterpret_cast<char *>(uri.data()), "https://[fe80::1]:8080/a/b?c=d#e");
    const std::vector<uint8_t> port = {0x04, 0x01, 0x03, 0x01};
    const std::vector<uint8_t> alarm = {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f};
    const std::string long_value(300, 'y');
    const std::string long_json = "\"" + long_value + "\"";
    const std::string field_text = R"({"kind": "Virtual", "index": 2}/)" + long_json;
    const char *iface_text = R"({"port": 3, "direction": 1, "kind": "InlinePort", "slot": 1})";
    // Codes and sizes the calls write, read back by their failure checks.
    int err = -1;
    uint32_t size = 12345;
    std::vector<Call> calls;
    for (auto [type, bytes] : {std::pair{&kInterface, port},
                               {&kAlarm, alarm},
                               {&kIpv6, std::vector<uint8_t>(16, 0xfe)},
                               {&kWords, words},
                               {&kWideBitmap, wide},
                               {&kUri, uri}})
        calls.push_back({type->name, [type, bytes](long n, bool p) {
                             JsonRef jo(armed(n, p, [&] {
                                 return ds_c_to_jo(type, bytes.data(), bytes.size());
                             }));
                             return jo ? text_of(jo.get()) : "";
                         }});
    for (auto [type, text] :
         {std::pair{&kInterface, std::string(iface_text)},
          {&kAlarm, std::string(R"({"timestamp": 2, "eventId": 7})")},
          {&kAddresses, std::string(R"(["10.0.0.1", "192.168.1.254", "8.8.8.8"])")},
          {&kUri, std::string(R"("bootflash:config.txt")")},
          {&kLongText, long_json}}) {
        // json-c cuts a string short when its buffer cannot grow.
        calls.push_back({"ds_type_to_c", [type, text](long n, bool p) {
                             std::vector<uint8_t> dst(type->size, 0xA5);
                             int ok = armed(n, p, [&] {
                                 return ds_type_to_c(type, text.c_str(), dst.data(), dst.size());
                             });
                             return ok == 1 ? packed_text(dst.data(), dst.size()) : "";
                         }});
        calls.push_back({"ds_canonical_json",
                         [type, text, &err](long n, bool p) {
                             err = -1;
                             return take_text(armed(n, p, [&] {
                                 return ds_canonical_json(text.c_str(), type, &err);
                             }));
                         },
                         [&err](long n) { canonical_failure(err, n); }});
        calls.push_back({"ds_canonical_jo",
                         [type, text, &err](long n, bool p) {
                             json_object *jo = json_tokener_parse(text.c_str());
                             err = -1;
                             return take_text(
                                 armed(n, p, [&] { return ds_canonical_jo(jo, type, &err); }));
                         },
                         [&err](long n) { canonical_failure(err, n); }});
    }
    int parse_err = -1;
    calls.push_back({"ds_json_to_jo",
                     [&parse_err](long n, bool p) {
                         parse_err = -1;
                         JsonRef jo(armed(n, p, [&] {
                             return ds_json_to_jo(
                                 R"({"a": [1, 2.5, "three", {"four": null}], "b": true})",
                                 &parse_err);
                         }));
                         return jo ? text_of(jo.get()) : "";
                     },
                     [&parse_err](long n) {
                         EXPECT_TRUE(parse_err == DS_ERR_NOMEM || parse_err == DS_ERR_BAD_JSON)
                             << n << ": " << parse_err;
                     }});
    for (uint32_t field : {1u, 2u}) {
        calls.push_back({"ds_key_field_c",
                         [&, field](long n, bool p) {
                             size = 12345;
                             void *packed = armed(n, p, [&] {
                                 return ds_key_field_c(field_text.c_str(), &kKey[3], field, &size);
                             });
                             std::string out = packed_text(packed, size);
                             std::free(packed);
                             return out;
                         },
                         [&size](long) { EXPECT_EQ(size, 12345u); }});
        calls.push_back({"ds_key_field_jo", [&, field](long n, bool p) {
                             JsonRef jo(armed(n, p, [&] {
                                 return ds_key_field_jo(field_text.c_str(), &kKey[3], field);
                             }));
                             return jo ? text_of(jo.get()) : "";
                         }});
    }
    calls.push_back({"ds_build_key", [](long n, bool p) {
                         char buf[128];
                         uint8_t virtual2[] = {0x01, 0x02, 0x00, 0x00};
                         const char *text = armed(n, p, [&] {
                             return ds_build_key(buf, sizeof buf, &kKey[3], virtual2,
                                                 sizeof virtual2, "bob", size_t{4}, nullptr);
                         });
                         return std::string(text != nullptr ? text : "");
                     }});
    calls.push_back(
        {"ds_build_jo_key", [](long n, bool p) {
             json_object *args[] = {json_tokener_parse(R"({ "kind": "Virtual", "index": 2 })"),
                                    json_object_new_string("bob")};
             // A reference of our own on each, to learn which ones the call took.
             for (json_object *arg : args)
                 json_object_get(arg);
             char buf[128];
             const char *text = armed(n, p, [&] {
                 return ds_build_jo_key(buf, sizeof buf, &kKey[3], args[0], args[1], nullptr);
             });
             bool refused = false;
             for (json_object *arg : args) {
                 bool taken = json_object_put(arg) == 1;
                 if (!taken)
                     json_object_put(arg);
                 EXPECT_FALSE(taken && refused) << "an argument after a refused one was released";
                 EXPECT_TRUE(taken || text == nullptr) << "allocation " << n;
                 refused = refused || !taken;
             }
             return std::string(text != nullptr ? text : "");
         }});
    for (Call &call : calls) {
        SCOPED_TRACE(call.name);
        std::string clean = call.run(LONG_MAX, false);
        ASSERT_NE(clean, "");
        fail_each_allocation([&](long n, bool persistent) {
            std::string got = call.run(n, persistent);
            bool injected = failalloc::failed_function() != nullptr;
            if (got.empty())
                call.failure_ok(n);
            else
                EXPECT_EQ(got, clean) << "allocation " << n;
            return injected;
        });
    }
}

// The copy of the canonical text is the last allocation of a successful call.
TEST(AllocationFailure, FailedCopyOfTheCanonicalTextGivesCode2)
{
    int err = -1;
    // Warmed up first: the thread's parser is made by its first text.
    std::free(ds_canonical_json(R"({"timestamp": 2, "eventId": 7})", &kAlarm, &err));
    failalloc::arm(LONG_MAX, false);
    std::free(ds_canonical_json(R"({"timestamp": 2, "eventId": 7})", &kAlarm, &err));
    failalloc::disarm();
    failalloc::arm(failalloc::allocations_made() - 1, false);
    log_record = LogRecord{};
    EXPECT_EQ(ds_canonical_json(R"({"timestamp": 2, "eventId": 7})", &kAlarm, &err), nullptr);
    failalloc::disarm();
    EXPECT_STREQ(failalloc::failed_function(), "strdup");
    EXPECT_EQ(err, DS_ERR_NOMEM);
    EXPECT_EQ(log_record.lines, 0);
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
    fail_each_allocation([&](long n, bool persistent) {
        const DsKeyNode *node =
            armed(n, persistent, [&] { return ds_find_key(path.c_str(), true); });
        bool injected = failalloc::failed_function() != nullptr;
        EXPECT_EQ(node, injected ? nullptr : &nodes[39]);
        int count = 0;
        failalloc::arm(n, persistent);
        int result = ds__do_key(path.c_str(), false, count_call, &count);
        failalloc::disarm();
        EXPECT_EQ(result, injected ? 0 : 1);
        EXPECT_EQ(count, result);
        injections += injected;
        return injected;
    });
    module_list = saved;
    EXPECT_EQ(injections, 2) << "the split should allocate exactly once";
}

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
