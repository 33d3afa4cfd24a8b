// Key trees and key paths: how path text is cut into components, how
// components match a forest, and the level list, name and field types of a
// key. Which module's forest decides a lookup is the registry tests' job.
#include "dstest.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

const DsType kNum{"num", DS_KIND_INT, 4, {}};
const DsType kTag{"tag", DS_KIND_STRING, 8, {}};

// clang-format off
// /a/<num>/b and /x/y; /a/<num> and /a/<num>/b store values, /x does not.
const DsKeyNode kMain[] = {{0, 1, 3, "a", nullptr, nullptr}, {-1, 1, 0, "id", &kNum, &kNum},
                           {-1, 0, 0, "b", nullptr, &kTag}, {0, 1, 0, "x", nullptr, nullptr},
                           {-1, 0, 0, "y", nullptr, &kNum}};
// Top-level siblings t (typed) and x (with a child y) in both chain orders.
const DsKeyNode kTypedFirst[] = {{0, 0, 1, "t", &kNum, nullptr}, {0, 1, 0, "x", nullptr, nullptr},
                                 {-1, 0, 0, "y", nullptr, &kNum}};
const DsKeyNode kLiteralFirst[] = {{0, 1, 2, "x", nullptr, nullptr}, {-1, 0, 0, "y", nullptr, &kNum},
                                   {0, 0, 0, "t", &kNum, nullptr}};
// clang-format on

std::vector<std::string>
split(const char *path)
{
    std::vector<DsPathComponent> parts(count_components(path) + 1, DsPathComponent{nullptr, 99});
    if (parts.size() > 1)
        split_components(path, parts.data());
    EXPECT_EQ(parts.back().length, 99u) << "split stored more records than counted: " << path;
    std::vector<std::string> texts;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        texts.emplace_back(parts[i].text, parts[i].length);
    return texts;
}

TEST(KeyPathText, ComponentsEndAtSlashesOutsideQuotedStretches)
{
    const struct {
        const char *path;
        std::vector<std::string> components;
    } cases[] = {
        // clang-format off
        {"", {}}, {"/", {}}, {"/a/", {"a"}}, {"//", {""}}, {"/a//b", {"a", "", "b"}},
        {"/\"x/y\"/z", {"\"x/y\"", "z"}},
        {"/\"a\\\"/b\"/c", {"\"a\\\"/b\"", "c"}},
        {"/\"a\\\\\"/b", {"\"a\\\\\"", "b"}},
        {"/a\\\"/b", {"a\\\"/b"}},
        {"/\"open/to/the/end", {"\"open/to/the/end"}},
        {"/\"ends in\\", {"\"ends in\\"}},
        {"/{\"k\":\"v/w\",\"n\":1}/z/", {"{\"k\":\"v/w\",\"n\":1}", "z"}},
        {"x/a", {"", "a"}}, {"\"a/b", {"a", "b"}},
        // clang-format on
    };
    for (const auto &c : cases)
        EXPECT_EQ(split(c.path), c.components) << c.path;
}

TEST(KeyMatch, FirstFittingSiblingIsKeptAndComponentsCompareUnchanged)
{
    const struct {
        const char *path;
        int node; // index into kMain, -1 for no match
    } cases[] = {
        {"/a", 0},   {"/a/5", 1},      {"/a/5/b", 2}, {"/a/\"p/q\"/b", 2}, {"/a//b", 2}, {"/x/", 3},
        {"/x/y", 4}, {"/x/\"y\"", -1}, {"/x/yy", -1}, {"/a/5/b/c", -1},    {"/b", -1},   {"/A", -1},
    };
    for (const auto &c : cases) {
        PathComponents parts(c.path);
        const DsKeyNode *want = c.node < 0 ? nullptr : &kMain[c.node];
        EXPECT_EQ(match_components(parts.data(), parts.count(), kMain), want) << c.path;
    }
    // A typed sibling ahead of x takes the component and the search never
    // comes back to x.
    PathComponents xy("/x/y");
    EXPECT_EQ(match_components(xy.data(), xy.count(), kTypedFirst), nullptr);
    EXPECT_EQ(match_components(xy.data(), xy.count(), kLiteralFirst), &kLiteralFirst[1]);
    // Links point backwards as well: the child lies before its parent here.
    const DsKeyNode backwards[] = {{1, 0, 0, "y", nullptr, nullptr},
                                   {0, -1, 0, "x", nullptr, nullptr}};
    EXPECT_EQ(match_components(xy.data(), xy.count(), &backwards[1]), &backwards[0]);
}

TEST(KeyLevels, DeeperThanMaxIsRefusedWithoutWritingPastIt)
{
    const DsKeyNode *s = &kMain[4]; // a sentinel
    const struct {
        const DsKeyNode *key;
        uint32_t max;
        std::vector<const DsKeyNode *> levels; // top first; empty when refused
    } cases[] = {{&kMain[2], 3, {&kMain[0], &kMain[1], &kMain[2]}},
                 {&kMain[2], 2, {}},
                 {&kMain[2], 0, {}},
                 {&kMain[3], 1, {&kMain[3]}}};
    for (const auto &c : cases) {
        const DsKeyNode *levels[4] = {s, s, s, s};
        ASSERT_EQ(ds__get_key_levels(c.key, levels, c.max), c.levels.size()) << c.max;
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(levels[i], i < c.levels.size() ? c.levels[i] : i >= c.max ? s : levels[i]);
    }
}

TEST(KeyName, FitsOnlyWithRoomForTheNul)
{
    char buf[16];
    const struct {
        const DsKeyNode *key;
        size_t size;
        const char *name; // null: refused
    } cases[] = {{&kMain[2], 7, "/a/*/b"}, {&kMain[2], 6, nullptr}, {&kMain[1], 5, "/a/*"},
                 {&kMain[0], 3, "/a"},     {&kMain[0], 2, nullptr}, {&kMain[0], 0, nullptr}};
    for (const auto &c : cases) {
        std::memset(buf, '#', sizeof buf);
        char *got = ds_key_name(buf, c.size, c.key);
        EXPECT_EQ(got, c.name ? buf : nullptr) << c.size;
        if (c.name) {
            EXPECT_STREQ(buf, c.name);
        }
        for (size_t i = c.size; i < sizeof buf; ++i)
            ASSERT_EQ(buf[i], '#') << c.size << " at " << i;
    }
}

TEST(KeyTypes, FieldNumbersCountTypedLevels)
{
    // /a/<num>/b/<tag>, storing a num. (The 32-level limit is KeyDepth's, in
    // the build test: the same level walk.)
    const DsKeyNode typed[] = {{0, 1, 0, "a", nullptr, nullptr},
                               {-1, 1, 0, "i", &kNum, nullptr},
                               {-1, 1, 0, "b", nullptr, nullptr},
                               {-1, 0, 0, "s", &kTag, &kNum}};
    const DsType *const want[] = {nullptr, &kNum, &kTag, nullptr}; // fields 0 to 3
    for (uint32_t n = 0; n < 4; ++n)
        EXPECT_EQ(ds_key_field_type(&typed[3], n), want[n]) << n;
    EXPECT_EQ(ds_key_field_type(&typed[2], 2), nullptr);
    EXPECT_EQ(ds_key_leaf_type(&typed[3]), &kNum);
    EXPECT_EQ(ds_key_leaf_type(&typed[2]), nullptr);
    EXPECT_EQ(ds_key_leaf_type(nullptr), nullptr);
}

} // namespace
