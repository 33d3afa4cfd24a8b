// Inputs far beyond anything a device produces: a 100 MB JSON text, a key
// path of a million components, a field component of 10 MB. Each must give
// its ordinary result or failure, and none may need a deep stack: every call
// runs on a thread whose stack is 256 KiB.
#include "dstest.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace
{

constexpr size_t kSmallStack = 256 * 1024;
constexpr size_t kHugeText = 100u << 20;

// Runs fn to completion on a new thread with a 256 KiB stack.
void
on_small_stack(const std::function<void()> &fn)
{
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, kSmallStack), 0);
    pthread_t thread;
    auto run = [](void *arg) -> void * {
        (*static_cast<const std::function<void()> *>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()> *>(&fn)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

// Joins texts; a chain of operator+ on long strings trips a false g++ 12
// -Wrestrict warning under optimisation.
std::string
join(std::initializer_list<std::string_view> parts)
{
    std::string out;
    for (std::string_view part : parts)
        out.append(part);
    return out;
}

const DsType &kWord = ds_global_types[8];
const DsType &kString = ds_global_types[7];
const DsType &kU32 = ds_global_types[0];

TEST(HugeInput, HundredMegabyteTextsGiveTheirOrdinaryResults)
{
    // Blanks around a short value: parsed, converted and printed as usual.
    std::string padded(kHugeText, ' ');
    padded.replace(kHugeText / 2, 5, "\"abc\"");
    // A text far too long for the type, and brackets nested far too deep.
    std::string long_text = join({"\"", std::string(kHugeText, 'a'), "\""});
    std::string deep(kHugeText, '[');
    on_small_stack([&] {
        int err = 0;
        char *canonical = ds_canonical_json(padded.c_str(), &kWord, &err);
        ASSERT_NE(canonical, nullptr);
        EXPECT_STREQ(canonical, "\"abc\"");
        std::free(canonical);
        dstest::expect_no_log();

        EXPECT_EQ(ds_canonical_json(long_text.c_str(), &kString, &err), nullptr);
        EXPECT_EQ(err, DS_ERR_BAD_JSON);
        ASSERT_EQ(dstest::logs().size(), 1u);
        EXPECT_EQ(dstest::logs()[0].text, join({"Bad translation of JSON value (can't convert c ",
                                                long_text, " to string)\n"}));
        dstest::clear_logs();

        err = 0;
        EXPECT_EQ(ds_canonical_json(deep.c_str(), &kString, &err), nullptr);
        EXPECT_EQ(err, DS_ERR_BAD_JSON);
        ASSERT_EQ(dstest::logs().size(), 1u);
        EXPECT_EQ(dstest::logs()[0].text, join({"Bad translation of JSON value (value ", deep,
                                                " error nesting too deep)\n"}));
        dstest::clear_logs();
    });
}

// A chain of levels all named x, each the only child of the one before.
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

TEST(HugeInput, MillionComponentPathsAreMatchedWithoutDeepStack)
{
    constexpr size_t kComponents = 1000000;
    std::vector<DsKeyNode> deep = chain(kComponents);
    std::vector<DsKeyNode> shallow = chain(3);
    std::string path;
    path.reserve(2 * kComponents);
    for (size_t i = 0; i < kComponents; ++i)
        path += "/x";
    std::string one_too_many = path + "/x";
    on_small_stack([&] {
        // The three-level forest fails at its leaf; the deep one has the path.
        PathComponents parts(path.c_str());
        ASSERT_EQ(parts.count(), kComponents);
        EXPECT_EQ(match_components(parts.data(), parts.count(), shallow.data()), nullptr);
        EXPECT_EQ(match_components(parts.data(), parts.count(), deep.data()),
                  &deep[kComponents - 1]);
        PathComponents longer(one_too_many.c_str());
        EXPECT_EQ(match_components(longer.data(), longer.count(), deep.data()), nullptr);
        std::vector<char> name(path.size() + 1);
        EXPECT_EQ(ds_key_name(name.data(), name.size(), &deep[kComponents - 1]), name.data());
        EXPECT_EQ(std::string(name.data()), path);
    });
}

// Levels /a/<text>: the field type holds 400 bytes.
const DsType kText = {"text", DS_KIND_STRING, 400, {.string = {".*"}}};
const DsKeyNode kKey[] = {
    {0, 1, 0, "a", nullptr, nullptr},
    {-1, 0, 0, "value", &kText, &kU32},
};

TEST(HugeInput, TenMegabyteFieldIsParsedButDoesNotFit)
{
    std::string value(10u << 20, 'v');
    std::string field = join({"\"", value, "\"/next"});
    on_small_stack([&] {
        json_object *jo = ds_key_field_jo(field.c_str(), &kKey[1], 1);
        ASSERT_NE(jo, nullptr);
        EXPECT_EQ(json_object_get_string_len(jo), static_cast<int>(value.size()));
        json_object_put(jo);

        uint32_t size = 99;
        errno = 0;
        EXPECT_EQ(ds_key_field_c(field.c_str(), &kKey[1], 1, &size), nullptr);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(size, 99u);
        dstest::expect_no_log();
    });
}

} // namespace
