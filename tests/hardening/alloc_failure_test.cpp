// Every allocation of the exported calls that allocate, failed in turn, then
// that one and every later one: each call gives its failure result (or its
// normal result, when the failed allocation did not matter), leaves no block
// allocated and hands the log only complete texts (failing_heap.h).
#include "codec/codec.h"
#include "failing_heap.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{

using failing_heap::fail_each_allocation;
using failing_heap::jo_text;
using failing_heap::lib;
using failing_heap::log_lines;
using failing_heap::owned_text;

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
