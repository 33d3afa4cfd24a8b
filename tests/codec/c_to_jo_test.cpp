// Packed form to JSON: the JSON text made of exact bytes for every kind, with
// the verdict of ds_c_value_is_valid beside it (they differ on purpose for
// lengths, arrays and converted values), and bit range texts up to their
// longest. Inputs live in buffers of exactly their length, so the sanitizer
// build catches any read past them.
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{

using dstest::builtin;
using dstest::type_of;
using dstest::word;
using Bytes = std::vector<uint8_t>;

// "0a 00 ff" as bytes.
Bytes
bytes_of(const char *hex)
{
    Bytes out;
    for (const char *p = hex; *p != '\0'; p += p[2] == ' ' ? 3 : 2)
        out.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
    return out;
}

const DsType *const kU8 = builtin("u8");
const DsType kEmptyText = type_of(DS_KIND_STRING, 1, word(".*"));
const DsEnumValue kSignedRows[] = {{"minus-one", -1}, {"one", 1}, {"low", -16777215}, {"again", 1}};
const DsType kSignedEnum32 = type_of(DS_KIND_ENUM, 4, word(builtin("i32")), 4, word(kSignedRows));
const DsEnumValue kBoolRows[] = {{"false", 0}, {"true", 1}, {"far", 4294967296}};
const DsType kUnnamedBool = type_of(DS_KIND_ENUM, 1, word(kU8), 2, word(kBoolRows));
const DsType kModuleBool =
    type_of(DS_KIND_ENUM, 8, word(builtin("i64")), 3, word(kBoolRows), "bool");
const DsType kBits12 = type_of(DS_KIND_BITMAP, 2, 12);
const DsType kBits16 = type_of(DS_KIND_BITMAP, 2, 16);
const DsType kRange3 = type_of(DS_KIND_ARRAY, 5, 3, word(builtin("standby-index-range")));
const DsType kTags = type_of(DS_KIND_ARRAY, 6, 2, word(builtin("u16")));
const DsField kItemFields[] = {{"id", kU8}, {"tags", &kTags}};
const DsType kItem = type_of(DS_KIND_SEQUENCE, 7, 2, word(kItemFields));
const DsType kItems = type_of(DS_KIND_ARRAY, 16, 2, word(&kItem));
const DsType kEmpty = type_of(DS_KIND_SEQUENCE, 0, 0, 0);
const DsType kNoFields = type_of(DS_KIND_SEQUENCE, 1, 1, 0); // one field, no table
const DsType kNoBits = type_of(DS_KIND_BITMAP, 0, 0);
const DsType kShortWord = type_of(DS_KIND_STRING, 3, word("[a-zA-Z0-9_-]+"));
const DsField kWordFields[] = {{"w", &kShortWord}, {"e", &kEmpty}, {"bits", &kNoBits}, {"n", kU8}};
const DsType kWordRecord = type_of(DS_KIND_SEQUENCE, 4, 4, word(kWordFields));
// Arm 0 lists 3 with a count of 0 and never applies; 1 is in arms 1 ("a", 0..9) and 2 ("b", 1..2).
const DsType kDigit = type_of(DS_KIND_INT, 1, 0, 9);
const DsType kOneTwo = type_of(DS_KIND_INT, 1, 1, 2);
const DsField kArmFields[] = {{"k", kU8}, {"a", &kDigit}, {"b", &kOneTwo}};
const int64_t kThree[] = {3}, kOneOrTwo[] = {1, 2}, kOne[] = {1};
const DsChoiceArm kArms[] = {{kThree, 0, 1, 1}, {kOneOrTwo, 2, 1, 1}, {kOne, 1, 2, 1}};
const DsType kOverlap = type_of(DS_KIND_CHOICE, 4, 3, word(kArmFields), word(kArms));
// The same table with two arms counted: the third is never looked at.
const DsType kTwoArms = type_of(DS_KIND_CHOICE, 4, 2, word(kArmFields), word(kArms));
const DsType kAnchored = type_of(DS_KIND_STRING, 16, word("^x$"));
const DsType kIpv4Unchecked = type_of(DS_KIND_CONVERTED, 4, word(&kAnchored), DS_CONVERT_IPV4);
const DsType kOverU8 = type_of(DS_KIND_CONVERTED, 1, word(kU8), DS_CONVERT_BASE);
const DsType kConverter4 = type_of(DS_KIND_CONVERTED, 4, word(builtin("ipv4-str")), 4);
// 66 bytes: a text, its NUL and ff bytes past the string's 65.
const std::string kAbThenFf = "61 62 00 " + dstest::hex(std::vector<uint8_t>(63, 0xff).data(), 63);

// The packed bytes, the JSON text made of them ("(null)": refused) and the verdict of
// ds_c_value_is_valid over the same bytes.
// clang-format off
struct Row { const DsType *type; const char *bytes; const char *json; bool valid; };
// clang-format on

} // namespace

TEST(CToJo, EveryKindGivesItsJsonTextAndValidationItsVerdict)
{
    // clang-format off
    const Row rows[] = {
        {builtin("u16"), "34 12 ff ff", "4660",
         false}, // cut to the size; validation wants it exact
        {builtin("i32"), "fe", "-2", false},
        {builtin("i32"), "01 00 00", "-16777215", false}, // odd lengths fill with ff
        {builtin("i64"), "01 00 00 00 00", "-1099511627775", false},
        {&kSignedEnum32, "ff", "\"minus-one\"", false},
        {&kSignedEnum32, "01 00 00 00", "\"one\"", true}, // the first row of that value
        {builtin("bool"), "01", "true", true}, {&kUnnamedBool, "01", "\"true\"", true},
        {&kModuleBool, "00 00 00 00 01 00 00 00", "false", true}, // 2^32 taken as a 32-bit int
        {builtin("string"), "61 62 63", "(null)", false}, {&kEmptyText, "00", "\"\"", true},
        {builtin("string"), kAbThenFf.c_str(), "\"ab\"", false}, // cut to the size
        {&kWordRecord, "61 20 00 05", R"({ "w": "a ", "e": { }, "bits": "", "n": 5 })", true},
        {&kWordRecord, "20 20 00 05", "(null)", false}, // a nested string is checked on its own
        {&kRange3, "01 00 02 00 00", "[ 2 ]", true},    // unused slots are neither read nor checked
        {&kRange3, "05 00 01 02 01", "[ 1, 2, 1 ]", false}, // count above max_count
        {&kRange3, "03 00 01 02 00", "(null)", false}, {&kNoFields, "00", "(null)", false},
        {&kItems, "02 00 07 01 00 2a 00 ff ff 08 02 00 01 00 02 01",
         R"([ { "id": 7, "tags": [ 42 ] }, { "id": 8, "tags": [ 1, 258 ] } ])", true},
        {builtin("alarm"), "07 00 00 00 00 00 00 00 00 00 f8 3f",
         R"({ "eventId": 7, "timestamp": 1.5 })", true},
        {builtin("alarm"), "07 00 00 00 00 00 00 00 00 00 f8 3f 00 00 00 00", "(null)", false},
        {builtin("interface-impl"), "04 01 03 01",
         R"({ "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" })", true},
        {builtin("interface-impl"), "09 05 05 05", R"({ "kind": "VirtualBlade" })", true},
        {builtin("interface-impl"), "02 02 03 00", "(null)", false},
        {builtin("interface"), "07 09 00 00", "(null)", true}, // converted values are not examined
        {&kOverlap, "01 05 02 ee", R"({ "k": 1, "a": 5, "b": 2 })", true},
        {&kOverlap, "03 ee ee ee", R"({ "k": 3 })", true},
        {&kOverlap, "01 05 00 00", "(null)", false},
        {&kOverlap, "01 0a 02 00", "(null)", true}, // the last applying arm decides validity
        {&kTwoArms, "01 05 00 00", R"({ "k": 1, "a": 5 })", true},
        {builtin("ipv4"), "0a 00 00 01", "\"10.0.0.1\"", true},
        {&kIpv4Unchecked, "0a 00 00 01", "\"10.0.0.1\"", true},
        {builtin("ipv6"), "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01", "\"::1\"", true},
        {builtin("macaddress"), "00 1a 2b 3c 4d 5e", "\"00:1a:2b:3c:4d:5e\"", true},
        {&kOverU8, "c8", "200", true}, {&kConverter4, "0a 00 00 01", "(null)", false},
        {&kBits16, "0e 00", "\"1-3\"", true}, {&kBits16, "80 01", "\"7-8\"", true},
        {&kBits16, "7f fe", "\"0-6,9-15\"", true},
        {&kBits12, "00 ff", "\"8-11\"", true}, // filler bits never appear
{&kBits16, "01 00 00", "(null)", false},
    };
    // clang-format on
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(ds_type_name(r.type) ? ds_type_name(r.type) : "?") + " " +
                     r.bytes);
        Bytes bytes = bytes_of(r.bytes); // exactly the length, for the sanitizer build
        JsonRef jo(ds_c_to_jo(r.type, bytes.data(), bytes.size()));
        EXPECT_EQ(dstest::json_text(jo.get()), r.json);
        EXPECT_EQ(ds_c_value_is_valid(r.type, bytes.data(), bytes.size()), r.valid);
    }
    uint8_t byte = 1;
    EXPECT_EQ(ds_c_to_jo(kU8, nullptr, 1), nullptr);
    EXPECT_EQ(ds_c_to_jo(kU8, &byte, 0), nullptr);
    EXPECT_EQ(ds_c_to_jo(&kEmpty, &byte, 0), nullptr);
    // A short signed int takes its sign from its own last byte, not from what follows.
    const uint8_t short_i32[] = {0xff, 0x7f, 0x00, 0xff};
    JsonRef jo(ds_c_to_jo(builtin("i32"), short_i32, 2));
    EXPECT_EQ(dstest::json_text(jo.get()), "32767");
}

TEST(BitmapText, LongestTextsOfEveryDigitCount)
{
    // Runs of two bits with one clear bit between them give the longest texts;
    // the largest bit counts need more than a stack buffer.
    for (uint32_t bits : {2u, 3u, 4u, 4096u, 4915u, 524280u}) {
        Bytes bytes((bits + 7) / 8, 0);
        std::string expected;
        for (uint32_t i = 0; i < bits; i += 3) {
            uint32_t last = std::min(i + 1, bits - 1);
            for (uint32_t bit = i; bit <= last; ++bit)
                bytes[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
            expected += (i > 0 ? "," : "") + std::to_string(i);
            expected += last > i ? "-" + std::to_string(last) : "";
        }
        const DsType bitmap = type_of(DS_KIND_BITMAP, static_cast<uint16_t>(bytes.size()), bits);
        JsonRef jo(ds_c_to_jo(&bitmap, bytes.data(), bytes.size()));
        ASSERT_NE(jo, nullptr) << bits;
        EXPECT_EQ(json_object_get_string(jo.get()), expected) << bits;
    }
}
