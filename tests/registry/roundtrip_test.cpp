// The round trip through the example schema module, loaded from the module
// directory as a program would load it: for every key, seeded random packed
// values become a key path, the path names its key again, field text gives
// each packed value back, and a leaf value converts under the key's leaf type.
// (The exact texts of one such trip are checked by the thread test.)
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;

// ds_build_key with one (pointer, size) pair per typed level; the example
// module's keys have at most two typed levels (a third one draws the
// too-few line, which the test sees).
char *
build_key(char *buf, size_t buflen, const DsKeyNode *key, const std::vector<Bytes> &args)
{
    switch (args.size()) {
    case 0:
        return ds_build_key(buf, buflen, key, nullptr);
    case 1:
        return ds_build_key(buf, buflen, key, args[0].data(), args[0].size(), nullptr);
    default:
        return ds_build_key(buf, buflen, key, args[0].data(), args[0].size(), args[1].data(),
                            args[1].size(), nullptr);
    }
}

// A random valid packed value of the type, in its canonical packed form, and
// its JSON text: bytes drawn from a small alphabet (NUL, small numbers, the
// characters that path and field splitting must keep inside a component)
// until ds_c_to_jo accepts them, then brought back through their JSON text.
std::pair<Bytes, std::string>
random_value(const DsType *type, std::mt19937 &rng)
{
    static const uint8_t alphabet[] = {0,   0,   1,   2,   3,   4,    7,   9,
                                       'a', 'Z', '5', '/', '"', '\\', ' ', '.'};
    for (int attempt = 0; attempt < 5000; ++attempt) {
        Bytes bytes(type->size);
        for (uint8_t &byte : bytes)
            byte = alphabet[rng() % sizeof alphabet];
        json_object *jo = ds_c_to_jo(type, bytes.data(), bytes.size());
        if (jo == nullptr)
            continue;
        Bytes out(type->size);
        std::string text = dstest::json_text(jo);
        json_object_put(jo);
        if (ds_type_to_c(type, text.c_str(), out.data(), out.size()) == 1)
            return {out, text};
    }
    ADD_FAILURE() << "no valid value made for " << ds_type_name(type);
    return {};
}

} // namespace

TEST(RoundTrip, EveryExampleKeyIsFoundAgainAndGivesBackItsFields)
{
    std::vector<const DsKeyNode *> keys;
    ds__all_keys(
        [](void *ctx, const DsKeyNode *node) {
            static_cast<std::vector<const DsKeyNode *> *>(ctx)->push_back(node);
        },
        &keys);
    ASSERT_FALSE(keys.empty());
    std::mt19937 rng(20261206);
    for (const DsKeyNode *key : keys) {
        char name[256];
        SCOPED_TRACE(ds_key_name(name, sizeof name, key));
        const DsKeyNode *nodes[DS_MAX_KEY_LEVELS];
        uint32_t depth = ds__get_key_levels(key, nodes, DS_MAX_KEY_LEVELS);
        ASSERT_GT(depth, 0u);
        for (int round = 0; round < 20; ++round) {
            std::vector<Bytes> values; // one per typed level
            std::string expected_path, field_text;
            for (uint32_t i = 0; i < depth; ++i) {
                const DsType *type = nodes[i]->field_type;
                std::string component = nodes[i]->name;
                if (type != nullptr) {
                    std::tie(values.emplace_back(), component) = random_value(type, rng);
                    field_text += (field_text.empty() ? "" : "/") + component;
                }
                expected_path += "/" + component;
            }
            char path[4096];
            ASSERT_EQ(build_key(path, sizeof path, key, values), path);
            ASSERT_EQ(std::string(path), expected_path);
            // No sibling of the example module fits another's components, so
            // every key is reachable: the path names the key it was built from.
            EXPECT_EQ(ds_find_key(path, false), key) << path;
            for (uint32_t n = 1; n <= values.size(); ++n) {
                uint32_t size = 0;
                void *back = ds_key_field_c(field_text.c_str(), key, n, &size);
                ASSERT_NE(back, nullptr) << field_text << " field " << n;
                EXPECT_EQ(dstest::hex(back, size), dstest::hex(values[n - 1].data(), size))
                    << field_text << " field " << n;
                std::free(back);
            }
            // A stored value, written as JSON text, converts under the leaf type.
            if (key->leaf_type != nullptr) {
                auto [value, text] = random_value(key->leaf_type, rng);
                Bytes dst(value.size(), 0xAA);
                EXPECT_EQ(ds_leaf_to_c(path, text.c_str(), dst.data(), dst.size()), 1) << text;
                EXPECT_EQ(dst, value) << text;
            }
        }
    }
    dstest::expect_no_log();
}
