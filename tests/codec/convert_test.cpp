// Both directions of conversion. Packed form to JSON: the JSON text made of
// exact bytes for every kind, with the verdict of ds_c_value_is_valid beside
// it (they differ on purpose for lengths, arrays and converted values), and
// bit range texts up to their longest; inputs live in buffers of exactly their
// length, so the sanitizer build catches any read past them. JSON to packed
// form: the exact bytes written into a buffer of the type's size, with
// ds_jo_value_is_valid agreeing and the caller's object keeping its one
// reference; the destination-size rules of ds_jo_to_c and the clearing of
// ds_type_to_c.
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
const DsType kOverU8 = type_of(DS_KIND_CONVERTED, 1, word(kU8), DS_CONVERT_BASE);
const DsType kConverter4 = type_of(DS_KIND_CONVERTED, 4, word(builtin("ipv4-str")), 4);
// 66 bytes: a text, its NUL and ff bytes past the string's 65.
const std::string kAbThenFf = "61 62 00 " + dstest::hex(std::vector<uint8_t>(63, 0xff).data(), 63);

// The packed bytes, the JSON text made of them ("(null)": refused) and the verdict of
// ds_c_value_is_valid over the same bytes.
// clang-format off
struct CRow { const DsType *type; const char *bytes; const char *json; bool valid; };
// clang-format on

const DsType kLetters = type_of(DS_KIND_STRING, 8, word("[a-z]+"));
const DsType kNoTable = type_of(DS_KIND_ENUM, 1, word(kU8), 2, 0);
const DsField kTwinFields[] = {{"a", kU8}, {"a", kU8}}; // a member fills only the first
const DsType kTwins = type_of(DS_KIND_SEQUENCE, 2, 2, word(kTwinFields));
const DsField kArrayThenU8Fields[] = {{"arr", &kRange3}, {"n", kU8}};
const DsType kArrayThenU8 = type_of(DS_KIND_SEQUENCE, 6, 2, word(kArrayThenU8Fields));
// For packing: discriminator "k"; arm 0 lists no values; 1 is in arms 1 and 2, and the
// first wins.
const DsField kOverlapFields[] = {{"k", kU8}, {"a", kU8}, {"b", builtin("u16")}};
const DsChoiceArm kOverlapArms[] = {{kOne, 0, 2, 1}, {kOneOrTwo, 2, 1, 1}, {kOne, 1, 2, 1}};
const DsType kFirstArm = type_of(DS_KIND_CHOICE, 3, 3, word(kOverlapFields), word(kOverlapArms));

// JSON to packed: the JSON text and the whole destination afterwards, pre-filled
// with aa (null: refused).
// clang-format off
struct JoRow { const DsType *type; const char *json; const char *bytes; };
// clang-format on

} // namespace

TEST(CToJo, EveryKindGivesItsJsonTextAndValidationItsVerdict)
{
    // clang-format off
    const CRow rows[] = {
        {builtin("u16"), "34 12 ff ff", "4660", false}, // cut to the size; valid when exact
        {builtin("i32"), "01 00 00", "-16777215", false}, // odd lengths fill with ff
        {builtin("u32"), "01 00 00", "1", false},          // unsigned ones with 00
        {builtin("i64"), "01 00 00 00 00", "-1099511627775", false},
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
        {builtin("alarm"), "07 00 00 00 00 00 00 00 00 00 f8 3f 00 00 00 00", "(null)", false},
        {builtin("interface-impl"), "09 05 05 05", R"({ "kind": "VirtualBlade" })", true},
        {builtin("interface-impl"), "02 02 03 00", "(null)", false},
        {builtin("interface"), "07 09 00 00", "(null)", true}, // converted values are not examined
        {&kOverlap, "01 05 02 ee", R"({ "k": 1, "a": 5, "b": 2 })", true},
        {&kOverlap, "03 ee ee ee", R"({ "k": 3 })", true},
        {&kOverlap, "01 05 00 00", "(null)", false},
        {&kOverlap, "01 0a 02 00", "(null)", true}, // the last applying arm decides validity
        {&kOverU8, "c8", "200", true}, {&kConverter4, "0a 00 00 01", "(null)", false},
        {&kBits16, "7f fe", "\"0-6,9-15\"", true},
        {&kBits12, "00 ff", "\"8-11\"", true}, // filler bits never appear
{&kBits16, "01 00 00", "(null)", false},
    };
    // clang-format on
    for (const CRow &r : rows) {
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
            expected.append(i > 0 ? "," : "").append(std::to_string(i));
            if (last > i)
                expected.append("-").append(std::to_string(last));
        }
        const DsType bitmap = type_of(DS_KIND_BITMAP, static_cast<uint16_t>(bytes.size()), bits);
        JsonRef jo(ds_c_to_jo(&bitmap, bytes.data(), bytes.size()));
        ASSERT_NE(jo, nullptr) << bits;
        EXPECT_EQ(json_object_get_string(jo.get()), expected) << bits;
    }
}

TEST(JoToC, EveryKindWritesItsBytesAndValidationAgrees)
{
    const JoRow rows[] = {
        {kU8, "256", nullptr},
        {kU8, "5.0", nullptr},
        {builtin("i64"), "-9223372036854775808", "00 00 00 00 00 00 00 80"},
        {builtin("double"), "3", "00 00 00 00 00 00 08 40"},
        {&kLetters, "\"abcdefg\"", "61 62 63 64 65 66 67 00"},
        {&kLetters, "\"1a\"", "31 61 00 aa aa aa aa aa"}, // unanchored: found at "a"
        {&kLetters, "\"abcdefgh\"", nullptr},
        {builtin("bool"), "\"1\"", nullptr},
        {builtin("bool"), "0.5", nullptr},
        {&kUnnamedBool, "true", nullptr},
        {&kNoTable, "0", nullptr},
        {&kRange3, "[1, 2]", "02 00 01 02 aa"},
        {&kRange3, "[1, 2, 3, 4]", nullptr},
        {builtin("alarm"), R"({"eventId": 7})", nullptr},
        {&kArrayThenU8, R"({"n": 9, "arr": [1]})", "01 00 01 aa aa 09"}, // unused slots skipped
        {&kTwins, R"({"a": 1})", nullptr},
        {builtin("interface"), R"({"kind": "VirtualBlade", "slot": 1})", "09 00 00 00"},
        {builtin("interface-impl"), R"({"kind": "GigabitEthernet", "slot": 0})", nullptr},
        {builtin("interface-impl"),
         R"({"kind": "GigabitEthernet", "slot": 0, "port": 7, "index": 1})", nullptr},
        {&kFirstArm, R"({"k": 1, "a": 5})", "01 05 00"},
        {&kFirstArm, R"({"k": 3, "a": 300, "z": 1})", "03 00 00"},
        {&kFirstArm, R"({"k": 1, "b": 5})", nullptr},
        {builtin("ipv6"), R"("::ffff:10.0.0.1")",
         "00 00 00 00 00 00 00 00 00 00 ff ff 0a 00 00 01"},
        {&kOverU8, "7", "07"},
        {&kConverter4, R"("10.0.0.1")", nullptr},
        // The longest texts inet_pton reads, and one character more.
        {builtin("ipv6"), R"("0000:0000:0000:0000:0000:ffff:255.255.255.255")",
         "00 00 00 00 00 00 00 00 00 00 ff ff ff ff ff ff"},
        {builtin("ipv6"), R"("00000:0000:0000:0000:0000:ffff:255.255.255.255")", nullptr},
        {builtin("ipv6"), R"("0000:0000:0000:0000:0000:ffff:255.255.255.2550")", nullptr},
        {builtin("ipv4"), R"("255.255.255.255")", "ff ff ff ff"},
        {builtin("ipv4"), R"("255.255.255.2550")", nullptr},
        {builtin("ipv4"), R"("0255.255.255.255")", nullptr},
    };
    // Bit lists of 16 bits (null: refused); spaces and a trailing comma are canonical rows.
    const char *const bit_lists[][2] = {
        {R"("")", "00 00"},     {R"("+2,2,1-2")", "06 00"}, {R"("6-9")", "c0 03"},
        {R"("16")", nullptr},   {R"("5-5")", nullptr},      {R"("6-2")", nullptr},
        {R"("2-16")", nullptr}, {R"("-1")", nullptr},
    };
    std::vector<JoRow> all(std::begin(rows), std::end(rows));
    for (const auto &[json, bytes] : bit_lists)
        all.push_back({&kBits16, json, bytes});
    for (const JoRow &r : all) {
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
        {&kLetters, "\"ab\"", 1, 0, "61 62 00 00 00 00 00 00 00 00"},
        {kU8, "{not json", 0, 0, "00 00 00 00 00 00 00 00 00 00"},
        {nullptr, "7", 0, 0, "00 00 00 00 00 00 00 00 00 00"},
        {kU8, "256", 0, EINVAL, "00 00 00 00 00 00 00 00 00 00"},
        {&kRange3, "[1, \"x\"]", 0, EINVAL,
         "02 00 01 00 00 00 00 00 00 00"}, // earlier writes stay
    };
    // clang-format on
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text != nullptr ? r.text : "(null text)");
        std::vector<uint8_t> dst(10, 0xaa);
        size_t len = r.type == &kLetters || r.type == nullptr ? 10 : r.type->size;
        errno = 0;
        EXPECT_EQ(ds_type_to_c(r.type, r.text, dst.data(), len), r.result);
        EXPECT_EQ(errno, r.err);
        EXPECT_EQ(dstest::hex(dst.data(), len), std::string(r.bytes).substr(0, 3 * len - 1));
    }
}
