// JSON text and canonical text: the exact log lines and codes of every
// failure, the JSON literal null, who releases which json-c reference, the
// 524288-character cap at its boundary and the copy that cannot be allocated.
// (That a canonical text is its own canonical text, and what the packed form
// converts back to, is a property of the canonical fuzz target.)
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace
{

using dstest::builtin;
using dstest::type_of;
using dstest::word;

// strdup fails for this one text; every other call goes to the C library.
const char *refused_copy = nullptr;

} // namespace

extern "C" char *
strdup(const char *text) noexcept
{
    using Strdup = char *(*)(const char *);
    static const auto next = reinterpret_cast<Strdup>(dlsym(RTLD_NEXT, "strdup"));
    if (refused_copy != nullptr && std::strcmp(text, refused_copy) == 0)
        return nullptr;
    return next(text);
}

namespace
{

constexpr int kUntouched = -1;

// The canonical text, or "(null)"; err starts as kUntouched.
std::string
canonical(const DsType *type, const std::string &text, int *err)
{
    *err = kUntouched;
    char *out = ds_canonical_json(text.c_str(), type, err);
    std::string result = out != nullptr ? out : "(null)";
    std::free(out);
    return result;
}

const DsType kBits16 = type_of(DS_KIND_BITMAP, 2, 16);
const DsType kEmpty = type_of(DS_KIND_SEQUENCE, 0, 0, 0, 0, "empty");
// Value 1 selects arms "a" and "b": packing fills only the first arm, so the
// packed value has b = 0, which is out of range when read back.
const DsType kOneTwo = type_of(DS_KIND_INT, 1, 1, 2);
const DsField kOverlapFields[] = {{"k", builtin("u8")}, {"a", builtin("u8")}, {"b", &kOneTwo}};
const int64_t kOne[] = {1};
const DsChoiceArm kOverlapArms[] = {{kOne, 1, 1, 1}, {kOne, 1, 2, 1}};
const DsType kOverlap =
    type_of(DS_KIND_CHOICE, 3, 2, word(kOverlapFields), word(kOverlapArms), "overlap");

// Bit lists of single bits whose canonical text is `length` characters: a few
// one-digit bits to adjust the length, then six-digit bits (seven characters
// each with their comma). The 65535-byte bitmap holds them all.
const DsType kHugeBitmap = type_of(DS_KIND_BITMAP, 65535, 524280, 0, 0, "huge");

std::string
bit_list_of_length(size_t length)
{
    size_t with_commas = length - 2 + 1; // no quotes, one comma per number
    std::string text;
    for (size_t i = 0; (with_commas - 2 * i) % 7 != 0; ++i)
        text += std::to_string(2 * i) + ",";
    for (size_t bit = 100000; text.size() < with_commas; bit += 2)
        text += std::to_string(bit) + ",";
    text.pop_back();
    return "\"" + text + "\"";
}

} // namespace

TEST(JsonToJo, SyntaxErrorsAreLoggedWithTheWholeText)
{
    const struct {
        const char *text;
        const char *description;
    } rows[] = {
        {R"({"a": 1)", "unexpected end of data"},
        {R"({"a" 1})", "object property name separator ':' expected"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        int err = kUntouched;
        EXPECT_EQ(ds_json_to_jo(row.text, &err), nullptr);
        EXPECT_EQ(err, 50);
        ASSERT_EQ(dstest::logs().size(), 1u);
        EXPECT_EQ(dstest::logs()[0].format, "Bad translation of JSON value (value %s error %s)\n");
        dstest::expect_one_log(0x2A862, std::string("Bad translation of JSON value (value ") +
                                            row.text + " error " + row.description + ")\n");
        // The canonical text of such a text fails the same way, once.
        EXPECT_EQ(canonical(builtin("u8"), row.text, &err), "(null)");
        EXPECT_EQ(err, 50);
        dstest::expect_one_log(0x2A862, std::string("Bad translation of JSON value (value ") +
                                            row.text + " error " + row.description + ")\n");
    }
    int err = kUntouched;
    JsonRef jo(ds_json_to_jo(R"({"a": 1})", &err));
    EXPECT_EQ(dstest::json_text(jo.get()), R"({ "a": 1 })");
    EXPECT_EQ(err, kUntouched);
    dstest::expect_no_log();
}

TEST(JsonToJo, TheLiteralNullIsNoErrorAndNoValue)
{
    int err = kUntouched;
    EXPECT_EQ(ds_json_to_jo("null", &err), nullptr);
    EXPECT_EQ(canonical(builtin("u8"), "null", &err), "(null)");
    EXPECT_EQ(ds_canonical_jo(nullptr, builtin("u8"), &err), nullptr);
    EXPECT_EQ(err, kUntouched);
    dstest::expect_no_log();
}

TEST(CanonicalJson, GivesEveryValueOneText)
{
    const struct {
        const DsType *type;
        const char *text;
        const char *canonical;
    } rows[] = {
        {builtin("alarm_severity"), "2", R"("major")"},
        {builtin("alarm_severity"), R"("major")", R"("major")"},
        {builtin("bool"), R"("true")", "true"},
        {builtin("bool"), "1", "true"},
        {builtin("double"), "3", "3.0"},
        {builtin("alarm"), R"({"timestamp": 2, "eventId": 7})",
         R"({ "eventId": 7, "timestamp": 2.0 })"},
        {builtin("interface"), R"({"port": 7, "kind": "GigabitEthernet", "slot": 0})",
         R"({ "kind": "GigabitEthernet", "slot": 0, "port": 7 })"},
        {builtin("interface"), R"({"direction": "lan", "kind": 4, "port": 2, "slot": 1})",
         R"({ "kind": "InlinePort", "slot": 1, "port": 2, "direction": "lan" })"},
        {builtin("interface"), R"({"kind": "VirtualBlade", "slot": 1})",
         R"({ "kind": "VirtualBlade" })"},
        {&kBits16, R"("3, 1,2,9-10,")", R"("1-3,9-10")"},
        {builtin("ipv6"), R"("0:0:0:0:0:0:0:1")", R"("::1")"},
        {builtin("macaddress"), R"("0:1A:2b:3c:4d:5e")", R"("00:1a:2b:3c:4d:5e")"},
        {builtin("string"), R"("a/b")", R"("a\/b")"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        int err = kUntouched;
        EXPECT_EQ(canonical(row.type, row.text, &err), row.canonical);
        EXPECT_EQ(err, kUntouched);
    }
    dstest::expect_no_log();
}

TEST(CanonicalJson, ConversionFailuresLogOneLineWithCode50)
{
    const char *convert = "Bad translation of JSON value (can't convert c %s to %s)\n";
    const char *reconvert = "Bad translation of JSON value (can't reconvert c value of %s to %s)\n";
    const struct {
        const DsType *type;
        const char *text;
        const char *format;
        const char *line;
    } rows[] = {
        {builtin("alarm_severity"), "3", convert,
         "Bad translation of JSON value (can't convert c 3 to alarm_severity)\n"},
        {builtin("alarm"), R"({"eventId": 7})", convert,
         "Bad translation of JSON value (can't convert c { \"eventId\": 7 } to alarm)\n"},
        {&kBits16, R"("16")", convert,
         "Bad translation of JSON value (can't convert c \"16\" to <unnamed type>)\n"},
        {&kEmpty, "{}", reconvert,
         "Bad translation of JSON value (can't reconvert c value of { } to empty)\n"},
        {&kOverlap, R"({"k": 1, "a": 5})", reconvert,
         "Bad translation of JSON value (can't reconvert c value of { \"k\": 1, \"a\": 5 } to "
         "overlap)\n"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        int err = kUntouched;
        EXPECT_EQ(canonical(row.type, row.text, &err), "(null)");
        EXPECT_EQ(err, 50);
        ASSERT_EQ(dstest::logs().size(), 1u);
        EXPECT_EQ(dstest::logs()[0].format, row.format);
        dstest::expect_one_log(0x2A862, row.line);
    }
}

TEST(CanonicalJo, CapsTheTextBelow524288Characters)
{
    int err = kUntouched;
    std::string longest = bit_list_of_length(524287);
    EXPECT_EQ(canonical(&kHugeBitmap, longest, &err), longest);
    EXPECT_EQ(err, kUntouched);
    dstest::expect_no_log();

    std::string too_long = bit_list_of_length(524288);
    ASSERT_EQ(too_long.size(), 524288u);
    EXPECT_EQ(canonical(&kHugeBitmap, too_long, &err), "(null)");
    EXPECT_EQ(err, 58);
    ASSERT_EQ(dstest::logs().size(), 1u);
    EXPECT_EQ(dstest::logs()[0].format,
              "Bad translation of JSON value (value too long %.40s...)\n");
    dstest::expect_one_log(0x2A862, "Bad translation of JSON value (value too long "
                                    "\"0,2,4,6,100000,100002,100004,100006,100...)\n");
}

TEST(CanonicalJo, AFailedCopyGivesCode2WithoutALogLine)
{
    int err = kUntouched;
    refused_copy = "201";
    char *out = ds_canonical_jo(json_object_new_int(201), builtin("u8"), &err);
    refused_copy = nullptr;
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(err, 2);
    dstest::expect_no_log();
}

TEST(CanonicalJo, ReleasesTheCallersReferenceOnEveryPath)
{
    std::string too_long = bit_list_of_length(524288);
    const struct {
        const DsType *type;
        std::string text;
        int err; // kUntouched: success
    } rows[] = {
        {builtin("u8"), "201", kUntouched}, {builtin("u8"), "256", 50}, {&kEmpty, "{}", 50},
        {&kHugeBitmap, too_long, 58},       {builtin("u8"), "202", 2},
    };
    refused_copy = "202";
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text.substr(0, 20));
        json_object *jo = json_tokener_parse(row.text.c_str());
        ASSERT_NE(jo, nullptr);
        json_object_get(jo);
        int err = kUntouched;
        char *out = ds_canonical_jo(jo, row.type, &err);
        EXPECT_EQ(out != nullptr, row.err == kUntouched);
        EXPECT_EQ(err, row.err);
        std::free(out);
        // Our extra reference is the last one: this put frees the object.
        EXPECT_EQ(json_object_put(jo), 1);
        dstest::clear_logs();
    }
    refused_copy = nullptr;
}
