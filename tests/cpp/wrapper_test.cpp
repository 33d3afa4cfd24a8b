// The C++ interface against the example schema module: the round trip with
// owners only, refusal of values the library would silently change, key
// arguments checked per level, and JSON owners emptied exactly where the
// library took the object over.
#include "dstest.h"
#include "dstypes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace
{

// An interface identifier as a schema module's generated packed struct holds it.
struct Interface {
    uint8_t kind, slot, port, direction;
};
constexpr Interface kInlinePort{4, 1, 3, 1};
constexpr uint16_t kUnit = 7;
const std::string kPortText =
    R"({ "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" })";

ds::Key
key(const char *path)
{
    ds::Result<ds::Key> found = ds::find_key(path);
    EXPECT_TRUE(found) << path;
    return *found;
}

TEST(CppRoundTrip, PackedValueToPathAndBackWithoutAnyRelease)
{
    const ds::Key state = key("/interfaces/*/state");
    char buf[128], plain[128];
    ds::Result<std::string_view> path = ds::build_key(buf, state, kInlinePort);
    ASSERT_TRUE(path) << path.error().reason;
    ASSERT_NE(
        ds_build_key(plain, sizeof plain, state.get(), &kInlinePort, sizeof kInlinePort, nullptr),
        nullptr);
    EXPECT_EQ(*path, plain);
    EXPECT_EQ(*path, "/interfaces/" + kPortText + "/state");

    ds::Result<ds::Key> found = ds::find_key(std::string(*path), true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->get(), state.get());
    EXPECT_EQ(found->leaf_type().name(), "oper-state");

    // A packed field taken out of the path serves as a key argument again.
    EXPECT_EQ(*ds::build_key(plain, state, *ds::field_packed(kPortText, state, 1)), *path);
    ds::Result<Interface> back = ds::field_packed_as<Interface>(kPortText, state, 1);
    ASSERT_TRUE(back) << back.error().reason;
    EXPECT_EQ(std::memcmp(&*back, &kInlinePort, sizeof kInlinePort), 0);
    ds::Result<ds::Buffer> text =
        ds::canonical(*ds::to_json(state.field_type(1), *back), state.field_type(1));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text(), kPortText);
    dstest::expect_no_log();
}

TEST(CppRefusals, TextsTheLibraryWouldChangeAreRefusedWithTheirReason)
{
    static const char *const kHalfPair =
        "a \\u escape of half a surrogate pair, which json-c would read as U+FFFD";
    struct Row {
        const char *type;
        std::string_view text;
        const char *reason;  // null: accepted
        const char *outcome; // canonical text, or the detail of the refusal
    };
    const Row rows[] = {
        {"i64", "-9223372036854775808", nullptr, "-9223372036854775808"},
        {"i64", "\t9223372036854775807 \n", nullptr, "9223372036854775807"},
        {"i64", "-9223372036854775809", "integer outside the signed 64-bit range", nullptr},
        {"i64", "[18446744073709551616]", "integer outside the signed 64-bit range", nullptr},
        {"string", R"("-99999999999999999999")", nullptr, R"("-99999999999999999999")"},
        {"u32", "7 8", "text after the first JSON value", nullptr},
        {"u32", "7x", "text after the first JSON value", nullptr},
        {"alarm", R"({"eventId": 1, "timestamp": 2}})", "text after the first JSON value", nullptr},
        {"string", std::string_view("\"a\0b\"", 5), "text holds a NUL byte", nullptr},
        {"u32", "{", "Bad translation of JSON value", "unexpected end of data"},
        {"u32", "3.0", "Bad translation of JSON value", nullptr},
        {"u32", "null", "JSON null is no value", nullptr},
        // What json-c takes but the library would cut or JSON cannot write.
        {"ipv4-str", R"("1.2.3.4\u0000x")",
         "a \\u0000 escape, at which the library would cut the text", nullptr},
        {"double", "1e400", "a number that is not finite, which JSON cannot write", nullptr},
        {"double", "NaN", "a number that is not finite, which JSON cannot write", nullptr},
        {"double", "[-Infinity]", "a number that is not finite, which JSON cannot write", nullptr},
        {"double", "1e-400", nullptr, "0.0"},
        {"alarm", R"({"eventId": 1, "timestamp": 2.5, "\u0065ventId": 2})",
         "a member name given twice in one object", nullptr},
        {"string", "\"\xff\"", "Bad translation of JSON value", "invalid utf-8 string"},
        // json-c would read U+FFFD for half a pair, and counts bytes only.
        {"string", R"("\ud83d\ude00")", nullptr, "\"\xf0\x9f\x98\x80\""},
        {"string", R"("a\ud800")", kHalfPair, nullptr},
        {"string", R"(["\ud800\u0041"])", kHalfPair, nullptr},
        {"alarm", R"({"eventId": 1, "\udc00": 2})", kHalfPair, nullptr},
        {"string", "\"\xc0\xaf\"", "a string that is not UTF-8", nullptr},
        {"string", "\"\xed\xa0\x80\"", "a string that is not UTF-8", nullptr},
        {"string", "\"\xf4\x90\x80\x80\"", "a string that is not UTF-8", nullptr},
        {"u32", "/* seven */ 7", "Bad translation of JSON value", "unexpected character"},
        {"alarm", R"({"eventId": 1, "timestamp": 2.5,})", "Bad translation of JSON value",
         "unexpected character"},
        {"u32", "", "Bad translation of JSON value", "unexpected end of data"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.type) + " " + std::string(row.text));
        dstest::clear_logs();
        ds::Result<ds::Buffer> got = ds::canonical(row.text, *ds::find_type(row.type));
        EXPECT_STREQ(row.reason, got.error().reason);
        if (row.reason == nullptr)
            EXPECT_EQ(got->text(), row.outcome);
        else
            EXPECT_STREQ(row.outcome, got.error().detail);
        // Where the library itself refused, its log line says the same words.
        for (const dstest::LogLine &line : dstest::logs())
            EXPECT_EQ(line.text.rfind(row.reason, 0), 0u) << line.text;
    }
}

// A random JSON value of finite numbers, 64-bit integers, strings with
// escapes and nested containers, built with json-c itself.
json_object *
random_value(std::mt19937 &rng, int depth)
{
    std::uniform_int_distribution<int> pick(0, depth > 3 ? 4 : 6);
    switch (pick(rng)) {
    case 0:
        return json_object_new_int64(static_cast<int64_t>(uint64_t{rng()} << 32 ^ rng()));
    case 1:
        return json_object_new_double(std::ldexp(static_cast<double>(rng()), -16));
    case 2:
        return json_object_new_boolean(rng() & 1);
    case 3:
        return nullptr;
    case 4: {
        static const char *const texts[] = {"", "a/b", "\"q\"", "tab\tnl\n", "\\", "\xc3\xa9"};
        return json_object_new_string(texts[rng() % 6]);
    }
    case 5: {
        json_object *array = json_object_new_array();
        for (unsigned n = rng() % 4; n > 0; --n)
            json_object_array_add(array, random_value(rng, depth + 1));
        return array;
    }
    default: {
        json_object *object = json_object_new_object();
        static const char *const names[] = {"m0", "m1", "m2", "m3", "m4", "m5"};
        for (unsigned n = rng() % 4; n > 0; --n)
            json_object_object_add(object, names[rng() % 6], random_value(rng, depth + 1));
        return object;
    }
    }
}

TEST(CppStrictReading, WhatJsonCWritesReadsBackEqualAndRepeatedMembersAreRefused)
{
    std::mt19937 rng(22);
    const int styles[] = {JSON_C_TO_STRING_PLAIN, JSON_C_TO_STRING_SPACED, JSON_C_TO_STRING_PRETTY};
    int repeated = 0;
    for (int i = 0; i < 2000; ++i) {
        ds::Json value(random_value(rng, 0));
        const std::string text = json_object_to_json_string_ext(value.get(), styles[i % 3]);
        SCOPED_TRACE(text);
        ds::Result<ds::Json> back = ds::parse(text);
        ASSERT_TRUE(back) << back.error().reason;
        EXPECT_TRUE(json_object_equal(value.get(), back->get()));
        // The first member written twice: json-c would keep the second.
        const size_t open = text.find("{ \"");
        if (open != 0 || !json_object_is_type(value.get(), json_type_object))
            continue;
        const size_t member_end = text.find_first_of(",}", text.find(':', open));
        if (text.find_first_of("[{", open + 1) < member_end)
            continue;
        const std::string member = text.substr(open + 2, member_end - open - 2);
        std::string twice = text;
        twice.insert(open + 2, member + ", ");
        EXPECT_STREQ(ds::parse(twice).error().reason, "a member name given twice in one object")
            << twice;
        ++repeated;
    }
    EXPECT_GT(repeated, 20);
}

// Names that json-c decodes alike or apart: a pair of surrogate escapes and
// U+FFFD are one character each, escaped or not. (Half a pair is refused.)
TEST(CppStrictReading, MemberNamesRepeatExactlyWhenJsonCDecodesThemAlike)
{
    // clang-format off
    static const char *const parts[] = {
        "a", "\\u0061", "b", "\\u0062", "\\uFFFD", "\xef\xbf\xbd",
        "\\ud83d\\ude00", "\xf0\x9f\x98\x80", "\\u00e9", "\\/", "/", "\\n"};
    // clang-format on
    std::mt19937 rng(7);
    int repeated = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string text = "{";
        const unsigned members = 2 + rng() % 2;
        for (unsigned m = 0; m < members; ++m) {
            text += m == 0 ? "\"" : ", \"";
            for (unsigned n = 1 + rng() % 2; n > 0; --n)
                text += parts[rng() % 12];
            text += "\": " + std::to_string(m);
        }
        text += "}";
        SCOPED_TRACE(text);
        ds::Json lenient(json_tokener_parse(text.c_str()));
        ASSERT_TRUE(lenient);
        const bool twice = json_object_object_length(lenient.get()) < static_cast<int>(members);
        ds::Result<ds::Json> strict = ds::parse(text);
        EXPECT_STREQ(twice ? "a member name given twice in one object" : nullptr,
                     strict ? nullptr : strict.error().reason);
        repeated += twice ? 1 : 0;
    }
    EXPECT_GT(repeated, 200);
}

TEST(CppKeyBuilding, EveryValueIsCheckedAgainstItsLevel)
{
    const ds::Key address = key("/interfaces/*/units/*/address");
    char buf[160];
    const int wide_unit = kUnit;
    struct Row {
        ds::Result<std::string_view> got;
        const char *reason; // null: built
        uint32_t field;
    };
    dstest::clear_logs();
    const Row rows[] = {
        {ds::build_key(buf, address, kInlinePort, kUnit), nullptr, 0},
        {ds::build_key(buf, address, kInlinePort), "Improperly built key for too few arguments", 2},
        {ds::build_key(buf, address, kInlinePort, kUnit, kUnit),
         "Improperly built key for too many arguments", 3},
        {ds::build_key(buf, address, kInlinePort, wide_unit),
         "packed value size differs from its level's field type", 2},
        {ds::build_key(buf, address, Interface{2, 2, 3, 0}, kUnit),
         "Improperly built key for bad argument", 1},
        {ds::build_key(buf, address, kInlinePort, uint16_t(4096)),
         "Improperly built key for bad argument", 2},
        {ds::build_key(std::span(buf, 40), address, kInlinePort, kUnit),
         "key path does not fit in the buffer", 0},
    };
    for (const Row &row : rows) {
        EXPECT_STREQ(row.reason, row.got.error().reason);
        EXPECT_EQ(row.got.error().field, row.field) << row.reason;
    }
    // Only the two values that reached the library and failed there were logged.
    ASSERT_EQ(dstest::logs().size(), 2u);
    EXPECT_EQ(dstest::logs()[1].text, "Improperly built key for bad argument at /interfaces/" +
                                          kPortText + "/units//unit\n");
    dstest::clear_logs();
}

TEST(CppKeyBuilding, JsonOwnersEmptyExactlyWhereTheLibraryTookTheObjectOver)
{
    const ds::Key address = key("/interfaces/*/units/*/address");
    char buf[160];
    ds::Json port = *ds::parse(kPortText), unit = *ds::parse("7"), word = *ds::parse("\"7\"");

    ds::Result<std::string_view> failed = ds::build_jo_key(buf, address, port, word);
    EXPECT_STREQ("Improperly built key for bad argument", failed.error().reason);
    EXPECT_EQ(failed.error().field, 2u);
    EXPECT_FALSE(port) << "taken over with its text appended";
    EXPECT_TRUE(word) << "rejected, so still the caller's";
    dstest::clear_logs();

    ds::Result<std::string_view> refused = ds::build_jo_key(buf, address, word, word);
    EXPECT_STREQ("one JSON object given twice", refused.error().reason);
    refused = ds::build_jo_key(buf, address, port, unit);
    EXPECT_STREQ("empty JSON owner", refused.error().reason);
    EXPECT_TRUE(unit);

    ds::Result<std::string_view> built =
        ds::build_jo_key(buf, address, *ds::parse(kPortText), unit);
    ASSERT_TRUE(built);
    EXPECT_EQ(*built, "/interfaces/" + kPortText + "/units/7/address");
    EXPECT_FALSE(unit);
    dstest::expect_no_log();
}

TEST(CppFieldExtraction, ComponentsAreTakenWholeOrRefused)
{
    const ds::Key address = key("/interfaces/*/units/*/address");
    const std::string both = kPortText + "/7";
    struct Row {
        std::string text;
        uint32_t n;
        const char *reason; // null: extracted as ds_key_field_jo does
    };
    const Row rows[] = {
        {both, 1, nullptr},
        {both, 2, nullptr},
        {R"("a\"/b"/7)", 2, nullptr},
        {both, 0, "Bad extraction of data from a field no such field"},
        {both, 3, "Bad extraction of data from a field no such field"},
        {"7", 2, "Bad extraction of data from a field no such field"},
        {"/7", 1, "Bad extraction of data from a field Bad field value"},
        {"null/7", 1, "Bad extraction of data from a field Bad field value"},
        {"1/7x", 2, "text after the first JSON value"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text + " field " + std::to_string(row.n));
        ds::Result<ds::Json> got = ds::field_json(row.text, address, row.n);
        EXPECT_STREQ(row.reason, got.error().reason);
        if (row.reason != nullptr)
            continue;
        ds::Json plain(ds_key_field_jo(row.text.c_str(), address.get(), row.n));
        EXPECT_EQ(got->text(), plain.text());
    }
    ds::Result<ds::Buffer> unit = ds::field_packed(both, address, 2);
    ASSERT_TRUE(unit);
    EXPECT_EQ(dstest::hex(unit->bytes().data(), unit->size()), "07 00");
    EXPECT_EQ(ds::field_packed(kPortText + "/4096", address, 2).error().code, EINVAL);
    EXPECT_FALSE(ds::field_packed_as<uint32_t>(both, address, 2));
    dstest::clear_logs();
}

TEST(CppViews, TablesAndWalksSeeWhatTheCFunctionsSee)
{
    const ds::Type alarm = *ds::find_type("alarm");
    ASSERT_EQ(alarm.fields().size(), 2u);
    EXPECT_STREQ(alarm.fields()[1].name, "timestamp");
    const auto impl = ds::Type(*ds::find_type("interface-impl")).fields();
    EXPECT_STREQ(impl[2].name, "slot");
    EXPECT_EQ(ds::Type(std::find_if(
                           impl.begin(), impl.end(),
                           [](const DsField &f) { return std::strcmp(f.name, "direction") == 0; })
                           ->type)
                  .name(),
              "")
        << "an anonymous type has no name";
    const auto severities = ds::find_type("alarm_severity")->enum_values();
    EXPECT_TRUE(std::any_of(severities.begin(), severities.end(), [](const DsEnumValue &row) {
        return std::strcmp(row.name, "major") == 0 && row.value == 2;
    }));
    EXPECT_STREQ("no type of that name", ds::find_type("nosuch").error().reason);
    EXPECT_STREQ("text holds a NUL byte", ds::find_type(std::string("u8\0", 3)).error().reason);
    // The built-in record and the example module's, each table's last type
    // found again by its name.
    size_t found = 0;
    for (ds::Module m : ds::modules())
        found += ds::find_type(m.types().back().name)->get() == &m.types().back();
    EXPECT_EQ(found, 2u);

    size_t wrapped = 0, plain = 0;
    ds::all_keys([&wrapped](ds::Key) noexcept { ++wrapped; });
    ds__all_keys([](void *n, const DsKeyNode *) { ++*static_cast<size_t *>(n); }, &plain);
    EXPECT_EQ(wrapped, plain);
    EXPECT_GT(wrapped, 0u);
    std::vector<const DsKeyNode *> seen;
    EXPECT_TRUE(
        ds::do_key("/vlans/5/name", true, [&](ds::Key k) noexcept { seen.push_back(k.get()); }));
    EXPECT_EQ(seen, std::vector<const DsKeyNode *>{key("/vlans/5/name").get()});
}

} // namespace
