// Inputs far beyond anything a device produces: a 100 MB JSON text, a key
// path of a million components, a field component of 10 MB. Each must give
// its ordinary result or failure, and none may need a deep stack: every call
// runs on a thread whose stack is 256 KiB.
#include "codec/codec.h"
#include "dstest.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace
{

// Runs fn to completion on a new thread with a 256 KiB stack.
void
on_small_stack(const std::function<void()> &fn)
{
    pthread_attr_t attr;
    pthread_t thread;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 256 * 1024), 0);
    auto run = [](void *arg) -> void * {
        (*static_cast<const std::function<void()> *>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()> *>(&fn)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

constexpr size_t kHugeText = 100u << 20;
const DsType &kU32 = ds_global_types[0];

TEST(HugeInput, HundredMegabyteTextsGiveTheirOrdinaryResults)
{
    // Blanks around a short value; a text far too long for the type; brackets
    // nested far too deep. (Appended, not joined with +: g++ 12 warns falsely.)
    std::string padded(kHugeText, ' ');
    padded.replace(kHugeText / 2, 5, "\"abc\"");
    std::string long_text = std::string("\"").append(kHugeText, 'a').append("\"");
    std::string deep(kHugeText, '[');
    on_small_stack([&] {
        int err = 0;
        char *canonical = ds_canonical_json(padded.c_str(), &ds_global_types[8], &err);
        EXPECT_STREQ(canonical, "\"abc\"");
        std::free(canonical);
        dstest::expect_no_log();
        for (const std::string *text : {&long_text, &deep}) {
            err = 0;
            EXPECT_EQ(ds_canonical_json(text->c_str(), &ds_global_types[7], &err), nullptr);
            EXPECT_EQ(err, DS_ERR_BAD_JSON);
            dstest::expect_one_log(
                DS_MSG_JSON, text == &deep ? std::string("Bad translation of JSON value (value ")
                                                 .append(deep)
                                                 .append(" error nesting too deep)\n")
                                           : std::string("Bad translation of JSON value (can't "
                                                         "convert c ")
                                                 .append(long_text)
                                                 .append(" to string)\n"));
        }
    });
}

TEST(HugeInput, MillionComponentPathsAreMatchedWithoutDeepStack)
{
    // Chains of levels all named x, each the only child of the one before.
    constexpr size_t kComponents = 1000000;
    std::vector<DsKeyNode> deep(kComponents, DsKeyNode{-1, 1, 0, "x", nullptr, &kU32});
    deep.front().parent = 0;
    deep.back().first_child = 0;
    std::vector<DsKeyNode> shallow(deep.end() - 3, deep.end());
    shallow.front().parent = 0;
    std::string path;
    for (size_t i = 0; i < kComponents; ++i)
        path += "/x";
    std::string one_too_many = path + "/x";
    on_small_stack([&] {
        PathComponents parts(path.c_str());
        ASSERT_EQ(parts.count(), kComponents);
        EXPECT_EQ(match_components(parts.data(), parts.count(), shallow.data()), nullptr);
        EXPECT_EQ(match_components(parts.data(), parts.count(), deep.data()), &deep.back());
        PathComponents longer(one_too_many.c_str());
        EXPECT_EQ(match_components(longer.data(), longer.count(), deep.data()), nullptr);
        std::vector<char> name(path.size() + 1);
        EXPECT_EQ(ds_key_name(name.data(), name.size(), &deep.back()), name.data());
        EXPECT_EQ(std::string(name.data()), path);
    });
}

// A 10 MB value for a field that holds 400 bytes: parsed, but it does not fit.
TEST(HugeInput, TenMegabyteFieldIsParsedButDoesNotFit)
{
    static const DsType text = {"text", DS_KIND_STRING, 400, {.string = {".*"}}};
    const DsKeyNode key[] = {{0, 1, 0, "a", nullptr, nullptr}, {-1, 0, 0, "v", &text, &kU32}};
    std::string value(10u << 20, 'v');
    std::string field = std::string("\"").append(value).append("\"/next");
    on_small_stack([&] {
        JsonRef jo(ds_key_field_jo(field.c_str(), &key[1], 1));
        EXPECT_EQ(json_object_get_string_len(jo.get()), static_cast<int>(value.size()));
        uint32_t size = 99;
        errno = 0;
        EXPECT_EQ(ds_key_field_c(field.c_str(), &key[1], 1, &size), nullptr);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(size, 99u);
        dstest::expect_no_log();
    });
}

} // namespace
