// Hostile inputs: descriptors that a broken schema module could export
// (sizes smaller than their parts, kinds and converters out of range, missing
// or looping links), which no conversion may follow past the caller's bytes,
// and inputs far beyond anything a device produces, which give their ordinary
// result or failure on a small stack.
#include "codec/codec.h"
#include "dstest.h"
#include "keys/keys.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace
{

// clang-format off
const DsType &kU8 = ds_global_types[2];
const DsType &kU32 = ds_global_types[0];
const int64_t kOne[] = {1};
const DsChoiceArm kArm1[] = {{kOne, 1, 1, 1}};
const DsField kDoubleKey[] = {{"k", &ds_global_types[17]}};
const DsType kEmptyString = {"empty-string", DS_KIND_STRING, 0, {.string = {".*"}}};
const DsField kStringFirstFields[] = {{"s", &kEmptyString}, {"n", &kU8}};
const DsEnumValue kRows[] = {{"a", 0}, {"b", 1}};
const DsType kBaselessEnum = {"baseless", DS_KIND_ENUM, 2, {.enumeration = {nullptr, 2, kRows}}};
const DsField kBaselessKind[] = {{"kind", &kBaselessEnum}, {"x", &kU8}};
const DsField kU8Kind[] = {{"kind", &kU8}, {"x", &kU8}};
const DsField kChoiceField[] = {{"i", &ds_global_types[27]}};
extern const DsType kLoopedEnum, kSelfLoop, kLoop;
const DsType kLoopedEnum = {"looped-enum", DS_KIND_ENUM, 1, {.enumeration = {&kLoopedEnum, 2, kRows}}};
const DsType kSelfLoop = {"self-loop", DS_KIND_CONVERTED, 1, {.converted = {&kSelfLoop, 0}}};
const DsField kLoopFields[] = {{"again", &kLoop}};
const DsType kLoop = {"loop", DS_KIND_SEQUENCE, 1, {.sequence = {1, kLoopFields}}};
// clang-format on

} // namespace

TEST(HostileDescriptor, ConversionsStayInsideTheCallersBytes)
{
    // clang-format off
    const struct {
        DsType type;
        std::vector<uint8_t> packed; // in a buffer of exactly its length
        const char *c_json;          // what ds_c_to_jo gives
        bool c_valid;                // ds_c_value_is_valid
        const char *json;            // JSON input
        const char *written; // ds_jo_to_c's destination of the type's size; null: converts
        bool jo_valid;       // ds_jo_value_is_valid: no destination, no sizes
    } rows[] = {
        {{"short-choice", DS_KIND_CHOICE, 2, ds_global_types[27].p}, {4, 1, 3, 1}, "(null)", false, R"({"kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan"})", "04 01", true},
        {{"short-choice", DS_KIND_CHOICE, 2, ds_global_types[27].p}, {1, 2}, R"({ "kind": "Virtual", "index": 2 })", true, R"({"kind": "Virtual", "index": 2})", nullptr, true},
        {{"choice-past-seq", DS_KIND_SEQUENCE, 2, {.sequence = {1, kChoiceField}}}, {1, 2}, "(null)", false, R"({"i": {"kind": "Virtual", "index": 2}})", "a5 a5", true},
        {{"short-seq", DS_KIND_SEQUENCE, 6, ds_global_types[23].p}, {7, 0, 0, 0, 0, 0}, "(null)", false, R"({"eventId": 7, "timestamp": 1.5})", "07 00 00 00 a5 a5", true},
        {kEmptyString, {0}, "(null)", false, R"("")", "", false},
        {{"string-first", DS_KIND_SEQUENCE, 1, {.sequence = {2, kStringFirstFields}}}, {0}, "(null)", false, R"({"s": "", "n": 1})", "a5", false},
        {{"short-array", DS_KIND_ARRAY, 6, {.array = {4, &kU32}}}, {5, 0, 7, 0, 0, 0}, "(null)", false, "[7, 8]", "02 00 07 00 00 00", true},
        {{"tiny-ipv6", DS_KIND_CONVERTED, 1, {.converted = {&ds_global_types[14], 2}}}, {0x20}, "(null)", true, R"("::1")", "a5", false},
        {{"short-bitmap", DS_KIND_BITMAP, 2, {.bitmap = {100}}}, {0xff, 0xff}, "(null)", true, R"("1")", "a5 a5", true},
        {{"huge-bitmap", DS_KIND_BITMAP, 1, {.bitmap = {0xffffffff}}}, {0xff}, "(null)", true, R"("0")", "a5", true},
        {{"short-double", DS_KIND_DOUBLE, 4, {}}, {0, 0, 0, 0}, "(null)", true, "1.5", "a5 a5 a5 a5", true},
        {{"double-choice", DS_KIND_CHOICE, 8, {.choice = {1, kDoubleKey, kArm1}}}, std::vector<uint8_t>(8, 0), "(null)", false, R"({"k": 1.0})", "a5 a5 a5 a5 a5 a5 a5 a5", false},
        {{"bad-kind", 9, 4, {}}, {1, 0, 0, 0}, "(null)", false, "1", "a5 a5 a5 a5", false},
        {{"huge-kind", 0xFFFFFFFFu, 4, {}}, {1, 0, 0, 0}, "(null)", false, "1", "a5 a5 a5 a5", false},
        {{"bad-converter", DS_KIND_CONVERTED, 4, {.converted = {&kU32, 4}}}, {1, 0, 0, 0}, "(null)", false, "1", "a5 a5 a5 a5", false},
        {{"huge-conv", DS_KIND_CONVERTED, 4, {.converted = {&kU32, UINT64_MAX}}}, {1, 0, 0, 0}, "(null)", false, "1", "a5 a5 a5 a5", false},
        {kBaselessEnum, {0, 0}, "(null)", false, "0", "a5 a5", false},
        {{"rowless", DS_KIND_ENUM, 1, {.enumeration = {&kU8, 2, nullptr}}}, {0}, "(null)", false, R"("a")", "a5", false},
        {{"fieldless", DS_KIND_SEQUENCE, 1, {.sequence = {1, nullptr}}}, {0}, "(null)", false, R"({"a": 1})", "a5", false},
        {{"baseless-choice", DS_KIND_CHOICE, 3, {.choice = {0, kBaselessKind, nullptr}}}, {0, 0, 0}, "(null)", false, R"({"kind": "a", "x": 1})", "00 00 00", false},
        {{"armless", DS_KIND_CHOICE, 2, {.choice = {3, kU8Kind, nullptr}}}, {0, 0}, "(null)", false, R"({"kind": 0, "x": 1})", "a5 a5", false},
        {{"elementless", DS_KIND_ARRAY, 2, {.array = {0, nullptr}}}, {0, 0}, "(null)", false, "[]", "a5 a5", false},
        {{"baseless-conv", DS_KIND_CONVERTED, 4, {.converted = {nullptr, 0}}}, {0, 0, 0, 0}, "(null)", true, "1", "a5 a5 a5 a5", false},
        {kLoopedEnum, {1}, "(null)", false, "1", nullptr, true}, // written by the enum's own size
        {kSelfLoop, {1}, "(null)", true, "1", "a5", false},
        {kLoop, {0}, "(null)", false, R"({"again": {}})", "a5", false},
    };
    // clang-format on
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.type.name) + " / " + r.json);
        std::vector<uint8_t> exact(r.packed); // its buffer holds exactly these bytes
        JsonRef back(ds_c_to_jo(&r.type, exact.data(), r.packed.size()));
        EXPECT_EQ(dstest::json_text(back.get()), r.c_json);
        EXPECT_EQ(
            ds_c_value_is_valid(&r.type, exact.data(), static_cast<uint32_t>(r.packed.size())),
            r.c_valid);
        JsonRef jo(json_tokener_parse(r.json));
        // Destinations of the type's size and of 8 bytes, followed by 16 guard bytes.
        for (size_t dstlen : {size_t{r.type.size}, size_t{8}}) {
            std::vector<uint8_t> dst(dstlen + 16, 0xA5);
            std::fill(dst.begin() + dstlen, dst.end(), 0xEE);
            errno = 0;
            bool converted = ds_jo_to_c(&r.type, jo.get(), dst.data(), dstlen) != nullptr;
            EXPECT_EQ(std::count(dst.begin() + dstlen, dst.end(), 0xEE), 16) << "written past";
            if (dstlen != r.type.size)
                continue;
            EXPECT_EQ(converted, r.written == nullptr);
            EXPECT_EQ(errno, r.written == nullptr ? 0 : EINVAL);
            if (r.written != nullptr) {
                EXPECT_EQ(dstest::hex(dst.data(), dstlen), r.written);
            }
        }
        EXPECT_EQ(ds_jo_value_is_valid(&r.type, jo.get()), r.jo_valid);
        if (r.written == nullptr)
            continue;
        // The canonical text refuses the value and names the type in its line.
        int err = 0;
        EXPECT_EQ(ds_canonical_json(r.json, &r.type, &err), nullptr);
        EXPECT_EQ(err, DS_ERR_BAD_JSON);
        dstest::expect_one_log(DS_MSG_JSON, "Bad translation of JSON value (can't convert c " +
                                                std::string(json_object_to_json_string(jo.get())) +
                                                " to " + r.type.name + ")\n");
    }
    // The read follows enum bases to the int type; bases that loop end it untouched.
    uint8_t byte = 0x01;
    DsCursor cursor{&byte, 1};
    int64_t value = 77;
    EXPECT_FALSE(ds__get_int_or_enum_val(&kLoopedEnum, &cursor, &value));
    EXPECT_EQ(cursor.remaining, 1u);
    EXPECT_EQ(value, 77);
}

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

// Blanks around a short value; a text far too long for the type; brackets
// nested far too deep. (Appended, not joined with +: g++ 12 warns falsely.)
void
expect_huge_texts()
{
    constexpr size_t kHuge = 100u << 20;
    std::string padded(kHuge, ' '), deep(kHuge, '[');
    padded.replace(kHuge / 2, 5, "\"abc\"");
    std::string long_text = std::string("\"").append(kHuge, 'a').append("\"");
    int err = 0;
    char *canonical = ds_canonical_json(padded.c_str(), &ds_global_types[8], &err);
    EXPECT_STREQ(canonical, "\"abc\"");
    std::free(canonical);
    EXPECT_EQ(ds_canonical_json(long_text.c_str(), &ds_global_types[7], &err), nullptr);
    EXPECT_EQ(err, DS_ERR_BAD_JSON);
    dstest::expect_one_log(DS_MSG_JSON,
                           std::string("Bad translation of JSON value (can't convert c ")
                               .append(long_text)
                               .append(" to string)\n"));
    err = 0;
    EXPECT_EQ(ds_canonical_json(deep.c_str(), &ds_global_types[7], &err), nullptr);
    EXPECT_EQ(err, DS_ERR_BAD_JSON);
    dstest::expect_one_log(DS_MSG_JSON, std::string("Bad translation of JSON value (value ")
                                            .append(deep)
                                            .append(" error nesting too deep)\n"));
}

// A path of a million components against a chain of as many levels named x,
// each the only child of the one before.
void
expect_huge_paths()
{
    constexpr size_t kComponents = 1000000;
    std::vector<DsKeyNode> deep(kComponents, DsKeyNode{-1, 1, 0, "x", nullptr, &kU32});
    deep.front().parent = 0;
    deep.back().first_child = 0;
    std::string path;
    for (size_t i = 0; i < kComponents; ++i)
        path += "/x";
    PathComponents parts(path.c_str());
    ASSERT_EQ(parts.count(), kComponents);
    EXPECT_EQ(match_components(parts.data(), parts.count(), deep.data()), &deep.back());
    std::vector<char> name(path.size() + 1);
    EXPECT_EQ(ds_key_name(name.data(), name.size(), &deep.back()), name.data());
    EXPECT_EQ(std::string(name.data()), path);
}

// A 10 MB value for a field that holds 400 bytes: parsed, but it does not fit.
void
expect_huge_field()
{
    static const DsType text = {"text", DS_KIND_STRING, 400, {.string = {".*"}}};
    const DsKeyNode key[] = {{0, 1, 0, "a", nullptr, nullptr}, {-1, 0, 0, "v", &text, &kU32}};
    std::string field = std::string("\"").append(10u << 20, 'v').append("\"/next");
    JsonRef jo(ds_key_field_jo(field.c_str(), &key[1], 1));
    EXPECT_EQ(json_object_get_string_len(jo.get()), 10 << 20);
    uint32_t size = 99;
    errno = 0;
    EXPECT_EQ(ds_key_field_c(field.c_str(), &key[1], 1, &size), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(size, 99u);
    dstest::expect_no_log();
}

TEST(HugeInput, TextsPathsAndFieldsGiveTheirOrdinaryResultsOnASmallStack)
{
    for (void (*expect)() : {expect_huge_texts, expect_huge_paths, expect_huge_field})
        on_small_stack(expect);
}

} // namespace
