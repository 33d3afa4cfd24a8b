// JSON to packed form: the JSON accepted per kind and the exact bytes written
// into a buffer of the type's size, with ds_jo_value_is_valid agreeing on
// every row and the caller's object keeping its one reference; the
// destination-size rules of ds_jo_to_c and the clearing of ds_type_to_c.
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

using dstest::builtin;
using dstest::type_of;
using dstest::word;

const DsType *const kU8 = builtin("u8");
const DsType kU8Array3 = type_of(DS_KIND_ARRAY, 5, 3, word(kU8));
const DsType kBits16 = type_of(DS_KIND_BITMAP, 2, 16);
const DsType kShortWord = type_of(DS_KIND_STRING, 8, word("[a-z]+"));
const DsEnumValue kBoolRows[] = {{"false", 0}, {"true", 1}};
const DsType kUnnamedBool = type_of(DS_KIND_ENUM, 1, word(kU8), 2, word(kBoolRows));
const DsType kNoTable = type_of(DS_KIND_ENUM, 1, word(kU8), 2, 0);
const DsField kTwinFields[] = {{"a", kU8}, {"a", kU8}}; // a member fills only the first
const DsType kTwins = type_of(DS_KIND_SEQUENCE, 2, 2, word(kTwinFields));
const DsField kArrayThenU8Fields[] = {{"arr", &kU8Array3}, {"n", kU8}};
const DsType kArrayThenU8 = type_of(DS_KIND_SEQUENCE, 6, 2, word(kArrayThenU8Fields));
// Discriminator "k"; arm 0 lists no values; 1 is in arms 1 and 2, and the first wins.
const DsField kOverlapFields[] = {{"k", kU8}, {"a", kU8}, {"b", builtin("u16")}};
const int64_t kOne[] = {1};
const int64_t kOneTwo[] = {1, 2};
const DsChoiceArm kOverlapArms[] = {{kOne, 0, 2, 1}, {kOneTwo, 2, 1, 1}, {kOne, 1, 2, 1}};
const DsType kOverlap = type_of(DS_KIND_CHOICE, 3, 3, word(kOverlapFields), word(kOverlapArms));
const DsType kOverU8 = type_of(DS_KIND_CONVERTED, 1, word(kU8), DS_CONVERT_BASE);
const DsType kConverter4 = type_of(DS_KIND_CONVERTED, 4, word(builtin("ipv4-str")), 4);

struct Row {
    const DsType *type;
    const char *json;
    const char *bytes; // the whole destination, pre-filled with aa; null: refused
};

} // namespace

TEST(JoToC, EveryKindWritesItsBytesAndValidationAgrees)
{
    const Row rows[] = {
        {kU8, "256", nullptr},
        {kU8, "5.0", nullptr},
        {builtin("i8"), "128", nullptr},
        {builtin("i64"), "-9223372036854775808", "00 00 00 00 00 00 00 80"},
        {builtin("double"), "3", "00 00 00 00 00 00 08 40"},
        {&kShortWord, "\"abcdefg\"", "61 62 63 64 65 66 67 00"},
        {&kShortWord, "\"1a\"", "31 61 00 aa aa aa aa aa"}, // unanchored: found at "a"
        {&kShortWord, "\"abcdefgh\"", nullptr},
        {builtin("alarm_severity"), "\"major\"", "02"},
        {builtin("alarm_severity"), "true", nullptr},
        {builtin("bool"), "true", "01"},
        {builtin("bool"), "\"true\"", "01"},
        {builtin("bool"), "\"1\"", nullptr},
        {builtin("bool"), "0.5", nullptr},
        {&kUnnamedBool, "true", nullptr},
        {&kNoTable, "0", nullptr},
        {&kU8Array3, "[1, 2]", "02 00 01 02 aa"},
        {&kU8Array3, "[1, 2, 3, 4]", nullptr},
        {builtin("alarm"), R"({"timestamp": 2, "eventId": 7})",
         "07 00 00 00 00 00 00 00 00 00 00 40"},
        {builtin("alarm"), R"({"eventId": 7})", nullptr},
        {&kArrayThenU8, R"({"n": 9, "arr": [1]})", "01 00 01 aa aa 09"}, // unused slots skipped
        {&kTwins, R"({"a": 1})", nullptr},
        {builtin("interface"),
         R"({"kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan"})", "04 01 03 01"},
        {builtin("interface"), R"({"kind": "VirtualBlade", "slot": 1})", "09 00 00 00"},
        {builtin("interface-impl"), R"({"kind": "GigabitEthernet", "slot": 0})", nullptr},
        {builtin("interface-impl"),
         R"({"kind": "GigabitEthernet", "slot": 0, "port": 7, "index": 1})", nullptr},
        {&kOverlap, R"({"k": 1, "a": 5})", "01 05 00"},
        {&kOverlap, R"({"k": 3, "a": 300, "z": 1})", "03 00 00"},
        {&kOverlap, R"({"k": 1, "b": 5})", nullptr},
        {builtin("ipv4"), R"("10.0.0.1")", "0a 00 00 01"},
        {builtin("ipv6"), R"("::ffff:10.0.0.1")",
         "00 00 00 00 00 00 00 00 00 00 ff ff 0a 00 00 01"},
        {builtin("macaddress"), R"("00:1A:2b:3c:4d:5e")", "00 1a 2b 3c 4d 5e"},
        {&kOverU8, "7", "07"},
        {&kConverter4, R"("10.0.0.1")", nullptr},
    };
    // Bit lists of 16 bits: the text, then the bytes (null: refused).
    const char *const bit_lists[][2] = {
        {R"("")", "00 00"},     {R"("3,9-10")", "08 06"},   {R"("1,")", "02 00"},
        {R"("1, 2")", "06 00"}, {R"("+2,2,1-2")", "06 00"}, {R"("6-9")", "c0 03"},
        {R"("16")", nullptr},   {R"("5-5")", nullptr},      {R"("6-2")", nullptr},
        {R"("2-16")", nullptr}, {R"("-1")", nullptr},
    };
    std::vector<Row> all(std::begin(rows), std::end(rows));
    for (const auto &[json, bytes] : bit_lists)
        all.push_back({&kBits16, json, bytes});
    for (const Row &r : all) {
        SCOPED_TRACE(std::string(r.json) + " as " + (r.type->name ? r.type->name : "?"));
        json_object *jo = json_tokener_parse(r.json);
        std::vector<uint8_t> dst(r.type->size, 0xaa);
        errno = 0;
        EXPECT_EQ(ds_jo_to_c(r.type, jo, dst.data(), dst.size()), r.bytes ? dst.data() : nullptr);
        EXPECT_EQ(errno, r.bytes ? 0 : EINVAL);
        if (r.bytes != nullptr) {
            EXPECT_EQ(dstest::hex(dst.data(), dst.size()), r.bytes);
        }
        EXPECT_EQ(ds_jo_value_is_valid(r.type, jo), r.bytes != nullptr);
        EXPECT_EQ(jo ? json_object_put(jo) : 1, 1)
            << "the caller's reference was taken or added to";
    }
}

TEST(JoToC, LongFieldRunsReachEveryField)
{
    // More fields than a member table chunk (large bitmaps are in the canonical
    // test), members listed in reverse; a second "f3" past the first chunk
    // never receives the member.
    static char names[70][12];
    static DsField fields[70];
    std::string members = "{";
    std::vector<uint8_t> dst(70, 0xaa), want(70);
    for (int i = 69; i >= 0; --i) {
        std::snprintf(names[i], sizeof names[i], "f%d", i);
        fields[i] = DsField{names[i], kU8};
        want[i] = static_cast<uint8_t>(i);
        members.append("\"").append(names[i]).append("\": ").append(std::to_string(i));
        members.append(i > 0 ? ", " : "}");
    }
    const DsType run = type_of(DS_KIND_SEQUENCE, 70, 70, word(fields));
    JsonRef all(json_tokener_parse(members.c_str()));
    ASSERT_NE(ds_jo_to_c(&run, all.get(), dst.data(), dst.size()), nullptr);
    EXPECT_EQ(dst, want);
    fields[69].name = "f3";
    json_object_object_del(all.get(), "f69");
    EXPECT_FALSE(ds_jo_value_is_valid(&run, all.get()));
}

TEST(JoToCSize, WidensIntsAndEnumsBySignAndRefusesOtherSizes)
{
    // clang-format off
    // Whether it converts (else EINVAL), and the leading bytes afterwards: the rest stays aa.
    const struct { const char *type; const char *json; size_t dstlen; bool converts;
                  const char *bytes; } rows[] = {
        {"u16", "5", 8, true, "05 00 00 00 00 00 00 00"},
        {"i16", "-2", 8, true, "fe ff ff ff ff ff ff ff"},
        {"bool", "false", 4, true, "00 00 00 00"},
        {"i64", "-1", 10, true, "ff ff ff ff ff ff ff ff ff ff"},
        {"string", "\"x\"", 100, true, "78 00"}, {"u8", "256", 4, false, ""},
        {"string", "\"x\"", 64, false, ""}, {"double", "1.5", 16, false, ""},
        {"u16", "5", 1, false, ""},
    };
    // clang-format on
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.json) + " as " + r.type + " into " + std::to_string(r.dstlen));
        JsonRef jo(json_tokener_parse(r.json));
        std::vector<uint8_t> dst(r.dstlen, 0xaa);
        errno = 0;
        EXPECT_EQ(ds_jo_to_c(builtin(r.type), jo.get(), dst.data(), dst.size()),
                  r.converts ? dst.data() : nullptr);
        EXPECT_EQ(errno, r.converts ? 0 : EINVAL);
        size_t n = (std::strlen(r.bytes) + 1) / 3;
        EXPECT_EQ(dstest::hex(dst.data(), n), r.bytes);
        EXPECT_EQ(std::count(dst.begin() + n, dst.end(), 0xaa), r.dstlen - n);
    }
}

TEST(TypeToC, ClearsTheDestinationBeforeAnythingElse)
{
    // clang-format off
    // The result, errno and the destination afterwards.
    const struct { const DsType *type; const char *text; int result; int err; const char *bytes;
    } rows[] = {
        {&kShortWord, "\"ab\"", 1, 0, "61 62 00 00 00 00 00 00 00 00"},
        {kU8, "{not json", 0, 0, "00 00 00 00 00 00 00 00 00 00"},
        {nullptr, "7", 0, 0, "00 00 00 00 00 00 00 00 00 00"},
        {kU8, "256", 0, EINVAL, "00 00 00 00 00 00 00 00 00 00"},
        {&kU8Array3, "[1, \"x\"]", 0, EINVAL,
         "02 00 01 00 00 00 00 00 00 00"}, // earlier writes stay
    };
    // clang-format on
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text != nullptr ? r.text : "(null text)");
        std::vector<uint8_t> dst(10, 0xaa);
        size_t len = r.type == &kShortWord || r.type == nullptr ? 10 : r.type->size;
        errno = 0;
        EXPECT_EQ(ds_type_to_c(r.type, r.text, dst.data(), len), r.result);
        EXPECT_EQ(errno, r.err);
        EXPECT_EQ(dstest::hex(dst.data(), len), std::string(r.bytes).substr(0, 3 * len - 1));
    }
}
