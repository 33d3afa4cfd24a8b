// Every allocation of the exported calls that allocate, failed in turn, then
// that one and every later one: each call gives its failure result (or its
// normal result, when the failed allocation did not matter), leaves no block
// allocated and hands the log only complete texts. The executable defines the
// allocation functions, so that the library's objects and json-c (a shared
// library, out of reach of link-time wrapping) both allocate through them;
// each forwards to the next definition (libc's, or the sanitizer runtime's)
// unless it is the one chosen to fail, and counts the blocks it hands out.
#include "codec/codec.h"
#include "keys/keys.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace
{

void *(*next_malloc)(size_t);
void *(*next_realloc)(void *, size_t);
void (*next_free)(void *);
bool resolving;

// Of the allocations made while armed since the count was reset, number
// fail_at (from 0) fails, and with persistent every later one; blocks counts
// those handed out and not yet freed.
bool armed, persistent, failed;
long fail_at = LONG_MAX, calls, blocks;
// json-c 0.16's tokener copies member names with strdup and checks neither
// the copy nor the insertion of the member: no caller survives such a
// failure, so copies made inside the tokener never fail (its other
// allocations do).
int in_tokener;
int log_lines;
bool log_null_text;

// False until the next definitions are found; should dlsym allocate while
// looking them up, it is refused.
bool
resolved()
{
    if (next_free == nullptr && !resolving) {
        resolving = true;
        next_malloc = reinterpret_cast<decltype(next_malloc)>(dlsym(RTLD_NEXT, "malloc"));
        next_realloc = reinterpret_cast<decltype(next_realloc)>(dlsym(RTLD_NEXT, "realloc"));
        next_free = reinterpret_cast<decltype(next_free)>(dlsym(RTLD_NEXT, "free"));
        resolving = false;
    }
    return next_free != nullptr;
}

bool
fails()
{
    bool fail = armed && (calls == fail_at || (persistent && calls > fail_at));
    calls += armed;
    failed = failed || fail;
    if (fail)
        errno = ENOMEM; // only then: errno is out of reach before the sanitizer starts
    return fail;
}

} // namespace

extern "C" void *
malloc(size_t n)
{
    if (!resolved())
        return nullptr;
    void *p = fails() ? nullptr : next_malloc(n);
    blocks += p != nullptr;
    return p;
}

extern "C" void *
calloc(size_t count, size_t n)
{
    size_t bytes = 0;
    void *p = __builtin_mul_overflow(count, n, &bytes) ? nullptr : malloc(bytes);
    return p != nullptr ? std::memset(p, 0, bytes) : nullptr;
}

extern "C" void *
realloc(void *p, size_t n)
{
    if (p == nullptr)
        return malloc(n);
    return resolved() && !fails() ? next_realloc(p, n) : nullptr;
}

// Made here, since the sanitizer runtime's strdup allocates without malloc.
extern "C" char *
strdup(const char *text)
{
    size_t n = std::strlen(text) + 1;
    bool was_armed = armed;
    armed = armed && in_tokener == 0;
    void *copy = malloc(n);
    armed = was_armed;
    return copy != nullptr ? static_cast<char *>(std::memcpy(copy, text, n)) : nullptr;
}

extern "C" void
free(void *p)
{
    if (p == nullptr || !resolved())
        return;
    --blocks;
    next_free(p);
}

// The tokener entry points that the library uses; json-c calls between them
// directly, so each one is wrapped.
extern "C" json_object *
json_tokener_parse_verbose(const char *text, json_tokener_error *error)
{
    static auto next = reinterpret_cast<decltype(&json_tokener_parse_verbose)>(
        dlsym(RTLD_NEXT, "json_tokener_parse_verbose"));
    ++in_tokener;
    json_object *jo = next(text, error);
    --in_tokener;
    return jo;
}

extern "C" json_object *
json_tokener_parse_ex(json_tokener *tok, const char *text, int len)
{
    static auto next = reinterpret_cast<decltype(&json_tokener_parse_ex)>(
        dlsym(RTLD_NEXT, "json_tokener_parse_ex"));
    ++in_tokener;
    json_object *jo = next(tok, text, len);
    --in_tokener;
    return jo;
}

// The log capture of this executable: no heap, since it runs while
// allocations fail. Every conversion in the library's formats is %s.
extern "C" void
rk_syslog(int, int, int, uint32_t, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    for (const char *p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p + 2, '%'))
        if (p[1] != '%' && va_arg(args, const char *) == nullptr)
            log_null_text = true;
    va_end(args);
    ++log_lines;
}

namespace
{

const DsType &kU32 = ds_global_types[0];
const DsType &kUri = ds_global_types[16];
const DsType &kInterface = ds_global_types[28];
const DsType kWords = {"words", DS_KIND_ARRAY, 2 + 3 * 33, {.array = {3, &ds_global_types[8]}}};
// Every other bit set: a bit range text far too long for the stack buffer.
const DsType kWideBitmap = {"wide", DS_KIND_BITMAP, 5000, {.bitmap = {40000}}};
const DsType kLongText = {"long-text", DS_KIND_STRING, 400, {.string = {".*"}}};
// Levels /a/<interface>/b/<long-text>: the second field is longer than the
// stack copy of field extraction.
const DsKeyNode kKey[] = {{0, 1, 0, "a", nullptr, nullptr},
                          {-1, 1, 0, "if", &kInterface, nullptr},
                          {-1, 1, 0, "b", nullptr, nullptr},
                          {-1, 0, 0, "text", &kLongText, &kU32}};

// Each call of the library goes through here: the test's own allocations never fail.
template <class Fn>
auto
lib(Fn fn)
{
    armed = true;
    auto result = fn();
    armed = false;
    return result;
}

// Outcomes as text, "" for a failed call; each releases what the call made.
std::string
jo_text(json_object *jo)
{
    JsonRef ref(jo);
    return jo != nullptr ? json_object_to_json_string(jo) : "";
}

std::string
owned_text(char *text)
{
    std::string out = text != nullptr ? text : "";
    std::free(text);
    return out;
}

// Runs script once with nothing failing (threads keep their tokener and
// compiled patterns), then with each of its allocations failed in turn.
void
fail_each_allocation(const std::function<std::vector<std::string>()> &script)
{
    const std::vector<std::string> clean = script();
    for (const std::string &outcome : clean)
        ASSERT_NE(outcome, "");
    for (bool keep_failing : {false, true}) {
        for (long n = 0;; ++n) {
            ASSERT_LT(n, 100000) << "the script never stops allocating";
            log_lines = 0;
            log_null_text = false;
            long before = blocks;
            calls = 0;
            failed = false;
            fail_at = n;
            persistent = keep_failing;
            std::vector<std::string> got = script();
            fail_at = LONG_MAX;
            for (size_t i = 0; i < got.size(); ++i)
                EXPECT_TRUE(got[i].empty() || got[i] == clean[i])
                    << n << ", " << i << ": " << got[i];
            got = std::vector<std::string>();
            EXPECT_EQ(blocks, before) << "leak, failing allocation " << n;
            EXPECT_FALSE(log_null_text) << "null text logged, allocation " << n;
            if (!failed)
                break;
        }
    }
}

// The packed value as JSON, back to packed form, and its canonical text from
// the text and from the object parsed from it. A null text or object comes
// with a code: 2 with nothing logged, or 50 with one line; a code left
// untouched would read as the JSON literal null.
std::vector<std::string>
round_trip(const DsType *type, const std::vector<uint8_t> &packed, const std::string &json)
{
    int codes[3] = {-1, -1, -1};
    std::vector<uint8_t> dst(type->size, 0xA5);
    std::vector<std::string> out = {
        jo_text(lib([&] { return ds_c_to_jo(type, packed.data(), packed.size()); })),
        lib([&] { return ds_type_to_c(type, json.c_str(), dst.data(), dst.size()); }) == 1
            ? std::string(dst.begin(), dst.end())
            : "",
        owned_text(lib([&] { return ds_canonical_json(json.c_str(), type, &codes[0]); }))};
    json_object *jo = lib([&] { return ds_json_to_jo(json.c_str(), &codes[1]); });
    out.push_back(jo != nullptr ? json_object_to_json_string(jo) : "");
    out.push_back(owned_text(lib([&] { return ds_canonical_jo(jo, type, &codes[2]); })));
    int lines = 0;
    for (int i = 0; i < 3; ++i) {
        if (!out[2 + i].empty() || (i == 2 && out[3].empty()))
            continue;
        EXPECT_TRUE(codes[i] == DS_ERR_NOMEM || codes[i] == DS_ERR_BAD_JSON) << codes[i];
        lines += codes[i] == DS_ERR_BAD_JSON;
    }
    EXPECT_EQ(log_lines, lines);
    return out;
}

TEST(AllocationFailure, ConversionsGiveTheirResultOrTheirFailure)
{
    std::vector<uint8_t> words(kWords.size, 0), uri(kUri.size, 0), text(kLongText.size, 0);
    std::memcpy(words.data(), "\x03\0ab", 4);
    std::memcpy(&words[2 + 33], "c d", 3);
    std::memcpy(&words[2 + 66], "e!", 2);
    std::strcpy(reinterpret_cast<char *>(uri.data()), "https://[fe80::1]:8080/a/b?c=d#e");
    std::memset(text.data(), 'y', 300);
    const std::pair<const DsType *, std::vector<uint8_t>> rows[] = {
        {&kInterface, {4, 1, 3, 1}},
        {&ds_global_types[23], {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f}},
        {&ds_global_types[15], std::vector<uint8_t>(16, 0xfe)},
        {&kWords, words},
        {&kWideBitmap, std::vector<uint8_t>(kWideBitmap.size, 0x55)},
        {&kUri, uri},
        {&kLongText, text},
    };
    for (const auto &[type, packed] : rows) {
        SCOPED_TRACE(type->name);
        std::string json = jo_text(ds_c_to_jo(type, packed.data(), packed.size()));
        fail_each_allocation([&] { return round_trip(type, packed, json); });
    }
}

// Both fields of kKey, its key built from packed values and from objects
// (which the call takes over when it appends them), and lookups of a path of
// 40 levels named x: more components than the stack holds.
TEST(AllocationFailure, KeyCallsGiveTheirResultOrTheirFailure)
{
    const std::string field = R"({"kind": "Virtual", "index": 2}/")" + std::string(300, 'y') + "\"";
    std::vector<DsKeyNode> nodes(40, DsKeyNode{-1, 1, 0, "x", nullptr, &kU32});
    nodes.front().parent = 0;
    nodes.back().first_child = 0;
    DsModule forest{nullptr, 0, 0, nullptr, nodes.data(), nullptr, nullptr};
    DsModule builtin{&forest, ds_global_type_count, 0, ds_global_types, nullptr, nullptr, nullptr};
    DsModule *saved = std::exchange(module_list, &builtin);
    std::string path;
    for (int i = 0; i < 40; ++i)
        path += "/x";
    fail_each_allocation([&] {
        std::vector<std::string> out;
        for (uint32_t n : {1u, 2u}) {
            uint32_t size = 12345;
            void *packed = lib([&] { return ds_key_field_c(field.c_str(), &kKey[3], n, &size); });
            out.push_back(packed != nullptr ? std::string(static_cast<char *>(packed), size)
                          : size != 12345   ? "size written"
                                            : "");
            std::free(packed);
            out.push_back(
                jo_text(lib([&] { return ds_key_field_jo(field.c_str(), &kKey[3], n); })));
        }
        char buf[128];
        uint8_t virtual2[] = {1, 2, 0, 0};
        const char *key = lib([&] {
            return ds_build_key(buf, sizeof buf, &kKey[3], virtual2, size_t{4}, "bob", size_t{4},
                                nullptr);
        });
        out.push_back(key != nullptr ? key : "");
        json_object *args[] = {json_tokener_parse(R"({"kind": "Virtual", "index": 2})"),
                               json_object_new_string("bob")};
        // A reference of our own on each, to learn which ones the call took.
        for (json_object *arg : args)
            json_object_get(arg);
        key = lib(
            [&] { return ds_build_jo_key(buf, sizeof buf, &kKey[3], args[0], args[1], nullptr); });
        out.push_back(key != nullptr ? key : "");
        bool refused = false;
        for (json_object *arg : args) {
            bool taken = json_object_put(arg) == 1;
            if (!taken)
                json_object_put(arg);
            EXPECT_FALSE(taken && refused) << "an argument after a refused one was released";
            EXPECT_TRUE(taken || key == nullptr);
            refused = refused || !taken;
        }
        out.push_back(lib([&] { return ds_find_key(path.c_str(), true); }) == &nodes[39] ? "found"
                                                                                         : "");
        int count = 0;
        int walked = lib([&] {
            return ds__do_key(
                path.c_str(), false, [](void *n, const DsKeyNode *) { ++*static_cast<int *>(n); },
                &count);
        });
        out.push_back(walked + count == 0 ? "" : std::to_string(walked) + std::to_string(count));
        uint32_t leaf = 1;
        int converted = lib([&] { return ds_leaf_to_c(path.c_str(), "7", &leaf, 4); });
        out.push_back(converted + leaf == 0 ? ""
                                            : std::to_string(converted) + std::to_string(leaf));
        return out;
    });
    module_list = saved;
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
