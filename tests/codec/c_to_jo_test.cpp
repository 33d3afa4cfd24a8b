// Packed form to JSON: the JSON text made of exact bytes for every kind, the
// length rules of ds_c_to_jo, the verdicts of ds_c_value_is_valid where they
// differ from the converter's, bit range texts, and descriptors whose sizes do
// not cover their parts. Inputs live in buffers of exactly their length, so
// that the sanitizer build catches any read past them.
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{

using dstest::builtin;
using dstest::type_of;
using dstest::word;

using Bytes = std::vector<uint8_t>;

// The JSON text that ds_c_to_jo makes of the bytes, "(null)" when it fails.
std::string
json_of(const DsType *type, const Bytes &bytes)
{
    JsonRef jo(ds_c_to_jo(type, bytes.data(), bytes.size()));
    return dstest::json_text(jo.get());
}

bool
valid(const DsType *type, const Bytes &bytes)
{
    return ds_c_value_is_valid(type, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

struct Row {
    const DsType *type;
    Bytes bytes;
    const char *json; // "(null)": the conversion fails
};

void
expect_json(const std::vector<Row> &rows)
{
    for (const Row &row : rows) {
        SCOPED_TRACE(dstest::hex(row.bytes.data(), row.bytes.size()));
        EXPECT_EQ(json_of(row.type, row.bytes), row.json);
    }
}

const DsType *const kU8 = builtin("u8");
const DsType *const kI16 = builtin("i16");
const DsType *const kI32 = builtin("i32");
const DsType *const kI64 = builtin("i64");

const DsEnumValue kSignedRows[] = {{"minus-one", -1}, {"one", 1}, {"low", -16777215}};
const DsType kSignedEnum16 = type_of(DS_KIND_ENUM, 2, word(kI16), 3, word(kSignedRows));
const DsType kSignedEnum32 = type_of(DS_KIND_ENUM, 4, word(kI32), 3, word(kSignedRows));
const DsEnumValue kTwinRows[] = {{"first", 1}, {"second", 1}};
const DsType kTwinValues = type_of(DS_KIND_ENUM, 1, word(kU8), 2, word(kTwinRows));
const DsEnumValue kBoolRows[] = {{"false", 0}, {"true", 1}};
const DsType kUnnamedBool = type_of(DS_KIND_ENUM, 1, word(kU8), 2, word(kBoolRows));
const DsEnumValue kWideBoolRows[] = {{"off", 0}, {"on", 256}, {"far", 4294967296}};
const DsType kModuleBool = type_of(DS_KIND_ENUM, 8, word(kI64), 3, word(kWideBoolRows), "bool");

const DsType kBits1 = type_of(DS_KIND_BITMAP, 1, 1);
const DsType kBits9 = type_of(DS_KIND_BITMAP, 2, 9);
const DsType kBits12 = type_of(DS_KIND_BITMAP, 2, 12);
const DsType kBits16 = type_of(DS_KIND_BITMAP, 2, 16);
const DsType kBits4096 = type_of(DS_KIND_BITMAP, 512, 4096);

} // namespace

TEST(CToJo, IntsAndEnumsAreCutOrWidenedToTheirSize)
{
    expect_json({
        {builtin("u16"), {0x34, 0x12}, "4660"},
        {builtin("u16"), {0x34, 0x12, 0xff, 0xff}, "4660"},
        {kI32, {0xfe}, "-2"},
        {kI32, {0x00, 0x80}, "-32768"},
        {kI32, {0x01, 0x00, 0x00}, "-16777215"},
        {kI32, {0x01, 0x00, 0x00, 0x00, 0xff}, "1"},
        {builtin("u32"), {0xfe}, "254"},
        {builtin("u32"), {0x01, 0x00, 0x00}, "1"},
        {kI64, {0x00, 0x00, 0x00, 0x80}, "-2147483648"},
        {kI64, {0xff, 0xff, 0xff, 0x7f}, "2147483647"},
        {kI64, {0x01, 0x00, 0x00, 0x00, 0x00}, "-1099511627775"},
        {kI64, {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "-72057594037927935"},
        {builtin("i8"), {0x80}, "-128"},
        {builtin("standby-index-range"), {0x02, 0xff}, "2"},
        {builtin("standby-index-range"), {0x03, 0x01}, "(null)"},
        {builtin("alarm_severity"), {0x02, 0x00, 0x00, 0x00}, "\"major\""},
        {&kSignedEnum16, {0xff}, "\"minus-one\""},
        {&kSignedEnum16, {0x01, 0x00, 0x00}, "\"one\""},
        {&kSignedEnum32, {0x01, 0x00, 0x00}, "\"low\""},
    });
    uint8_t byte = 1;
    EXPECT_EQ(ds_c_to_jo(kU8, nullptr, 1), nullptr);
    EXPECT_EQ(ds_c_to_jo(kU8, &byte, 0), nullptr);
    // The length rules are the converter's alone: validation wants the exact size.
    EXPECT_TRUE(valid(builtin("u16"), {0x34, 0x12}));
    EXPECT_FALSE(valid(builtin("u16"), {0x34, 0x12, 0x00, 0x00}));
    EXPECT_FALSE(valid(builtin("u16"), {0x34}));
}

TEST(CToJo, EnumsNameTheFirstMatchingRowAndOnlyBoolIsBoolean)
{
    expect_json({
        {builtin("bool"), {0x01}, "true"},
        {builtin("bool"), {0x00}, "false"},
        {builtin("bool"), {0x02}, "(null)"},
        {builtin("interface-type"), {0x02}, "\"GigabitEthernet\""},
        {builtin("interface-type"), {0x04}, "\"InlinePort\""},
        {builtin("interface-type"), {0x05}, "\"InlineGroup\""},
        {builtin("interface-type"), {0x0a}, "(null)"},
        {builtin("alarm_severity"), {0x03}, "(null)"},
        {&kTwinValues, {0x01}, "\"first\""},
        {&kUnnamedBool, {0x01}, "\"true\""},
        {&kModuleBool, {0x00, 0x01, 0, 0, 0, 0, 0, 0}, "true"},
        // Taken as a 32-bit int, 2^32 is zero.
        {&kModuleBool, {0, 0, 0, 0, 0x01, 0, 0, 0}, "false"},
    });
}

TEST(CToJo, StringsEndAtTheirNulWithinTheirSizeAndMustMatch)
{
    const DsType *string = builtin("string");
    const DsType *word_type = builtin("word");
    Bytes no_nul(65, 'a');
    Bytes nul_past_size(no_nul);
    nul_past_size.push_back(0);
    Bytes tail_ignored = {'a', 'b', 0, 0xff};
    tail_ignored.resize(100, 0xff);
    expect_json({
        {string, {'a', 'b', 'c', 0}, "\"abc\""},
        {string, {'a', 'b', 'c'}, "(null)"},
        {string, no_nul, "(null)"},
        {string, nul_past_size, "(null)"},
        {string, tail_ignored, "\"ab\""},
        {word_type, {' ', 0}, "(null)"},
        {word_type, {0}, "(null)"},
        {word_type, {'a', ' ', '!', 0}, "\"a !\""},
    });
    // A nested string is checked on its own text, and needs its NUL inside its size.
    static const DsField fields[] = {{"w", word_type}, {"n", kU8}};
    const DsType record = type_of(DS_KIND_SEQUENCE, 34, 2, word(fields));
    Bytes bytes(34, 0);
    std::memcpy(bytes.data(), "a !", 3);
    bytes[33] = 5;
    EXPECT_EQ(json_of(&record, bytes), R"({ "w": "a !", "n": 5 })");
    EXPECT_TRUE(valid(&record, bytes));
    bytes[0] = ' ';
    bytes[2] = ' ';
    EXPECT_EQ(json_of(&record, bytes), "(null)");
    EXPECT_FALSE(valid(&record, bytes));
    std::memset(bytes.data(), 'a', 33);
    EXPECT_EQ(json_of(&record, bytes), "(null)");
    EXPECT_FALSE(valid(&record, bytes));
}

TEST(CToJo, PatternsThatDoNotCompileAreReportedAndAccept)
{
    const DsType broken = type_of(DS_KIND_STRING, 4, word("("), 0, 0, "broken");
    const Bytes bytes = {'x', 0, 0, 0};
    dstest::StderrCapture err;
    EXPECT_EQ(json_of(&broken, bytes), "\"x\"");
    EXPECT_TRUE(valid(&broken, bytes));
    const std::string line = "INTERNAL ERROR: regexp ( for type broken: Unmatched ( or \\(\n";
    EXPECT_EQ(err.text(), line + line);
    dstest::expect_no_log();
}

TEST(CToJo, ArraysConvertUpToMaxCountButValidateTheStoredCount)
{
    // Three slots of 1..2: unused slots hold 0 and must not be read.
    const DsType range3 = type_of(DS_KIND_ARRAY, 5, 3, word(builtin("standby-index-range")));
    const struct {
        Bytes bytes;
        const char *json;
        bool valid;
    } rows[] = {
        {{0x01, 0x00, 0x02, 0x00, 0x00}, "[ 2 ]", true},
        {{0x00, 0x00, 0x00, 0x00, 0x00}, "[ ]", true},
        {{0x05, 0x00, 0x01, 0x02, 0x01}, "[ 1, 2, 1 ]", false},
        {{0x03, 0x00, 0x01, 0x02, 0x00}, "(null)", false},
        {{0x01, 0x00, 0x02, 0x00, 0x00, 0x00}, "(null)", false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(dstest::hex(row.bytes.data(), row.bytes.size()));
        EXPECT_EQ(json_of(&range3, row.bytes), row.json);
        EXPECT_EQ(valid(&range3, row.bytes), row.valid);
    }
}

TEST(CToJo, NestedArraysOfSequencesKeepSlotAndFieldOrder)
{
    static const DsType tags = type_of(DS_KIND_ARRAY, 6, 2, word(builtin("u16")));
    static const DsField fields[] = {{"id", kU8}, {"tags", &tags}};
    static const DsType item = type_of(DS_KIND_SEQUENCE, 7, 2, word(fields));
    const DsType items = type_of(DS_KIND_ARRAY, 16, 2, word(&item));
    Bytes bytes = {0x02, 0x00, 0x07, 0x01, 0x00, 0x2a, 0x00, 0xff,
                   0xff, 0x08, 0x02, 0x00, 0x01, 0x00, 0x02, 0x01};
    EXPECT_EQ(json_of(&items, bytes),
              R"([ { "id": 7, "tags": [ 42 ] }, { "id": 8, "tags": [ 1, 258 ] } ])");
    EXPECT_TRUE(valid(&items, bytes));
    bytes[0] = 1;
    EXPECT_EQ(json_of(&items, bytes), R"([ { "id": 7, "tags": [ 42 ] } ])");
    bytes[3] = 3; // three tags in a two-slot array: converted as two, invalid
    EXPECT_EQ(json_of(&items, bytes), R"([ { "id": 7, "tags": [ 42, 65535 ] } ])");
    EXPECT_FALSE(valid(&items, bytes));
}

TEST(CToJo, SequencesMustFillTheBufferExactly)
{
    const DsType *alarm = builtin("alarm");
    Bytes bytes = {0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf8, 0x3f};
    EXPECT_EQ(json_of(alarm, bytes), R"({ "eventId": 7, "timestamp": 1.5 })");
    EXPECT_TRUE(valid(alarm, bytes));
    bytes.resize(16, 0);
    EXPECT_EQ(json_of(alarm, bytes), "(null)");
    EXPECT_FALSE(valid(alarm, bytes));
    bytes.resize(11);
    EXPECT_EQ(json_of(alarm, bytes), "(null)");
    EXPECT_FALSE(valid(alarm, bytes));
    // Empty members consume nothing.
    static const DsType empty = type_of(DS_KIND_SEQUENCE, 0, 0, 0);
    static const DsType no_bits = type_of(DS_KIND_BITMAP, 0, 0);
    static const DsField fields[] = {{"a", kU8}, {"e", &empty}, {"bits", &no_bits}, {"b", kU8}};
    const DsType holder = type_of(DS_KIND_SEQUENCE, 2, 4, word(fields));
    EXPECT_EQ(json_of(&holder, {0x01, 0x02}), R"({ "a": 1, "e": { }, "bits": "", "b": 2 })");
    EXPECT_TRUE(valid(&holder, {0x01, 0x02}));
}

TEST(CToJo, ChoicesAddTheDiscriminatorThenTheSelectedArm)
{
    const DsType *impl = builtin("interface-impl");
    const DsType *iface = builtin("interface");
    const struct {
        Bytes bytes;
        const char *json;
    } rows[] = {
        {{0x02, 0x01, 0x03, 0x00}, R"({ "kind": "GigabitEthernet", "slot": 1, "port": 3 })"},
        {{0x04, 0x01, 0x03, 0x01},
         R"({ "kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan" })"},
        {{0x00, 0x00, 0x00, 0x00}, R"({ "kind": "None" })"},
        {{0x09, 0x05, 0x05, 0x05}, R"({ "kind": "VirtualBlade" })"},
        {{0x07, 0x08, 0xff, 0xff}, R"({ "kind": "PortChannel", "index": 8 })"},
        {{0x02, 0x02, 0x03, 0x00}, "(null)"},
        {{0x07, 0x09, 0x00, 0x00}, "(null)"},
        {{0x0a, 0x00, 0x00, 0x00}, "(null)"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(dstest::hex(row.bytes.data(), 4));
        EXPECT_EQ(json_of(impl, row.bytes), row.json);
        EXPECT_EQ(json_of(iface, row.bytes), row.json);
        EXPECT_EQ(valid(impl, row.bytes), std::string(row.json) != "(null)");
        // Converted values are not examined by validation.
        EXPECT_TRUE(valid(iface, row.bytes));
    }
    EXPECT_EQ(json_of(impl, {0x02, 0x01, 0x03, 0x00, 0x00}), "(null)");
    EXPECT_FALSE(valid(iface, {0xff, 0xff, 0xff, 0xff, 0xff}));
}

TEST(CToJo, OverlappingArmsAllAddMembersAndTheLastDecidesValidity)
{
    // Arm 0 lists 3 but with a count of 0, so it never applies; value 1 is in
    // arms 1 (field "a", 0..9) and 2 (field "b", 1..2).
    static const DsType digit = type_of(DS_KIND_INT, 1, 0, 9);
    static const DsType one_two = type_of(DS_KIND_INT, 1, 1, 2);
    static const DsField fields[] = {{"k", kU8}, {"a", &digit}, {"b", &one_two}};
    static const int64_t three[] = {3};
    static const int64_t one_two_values[] = {1, 2};
    static const int64_t one[] = {1};
    static const DsChoiceArm arms[] = {{three, 0, 1, 1}, {one_two_values, 2, 1, 1}, {one, 1, 2, 1}};
    const DsType choice = type_of(DS_KIND_CHOICE, 4, 3, word(fields), word(arms));
    const struct {
        Bytes bytes;
        const char *json;
        bool valid;
    } rows[] = {
        {{0x01, 0x05, 0x02, 0xee}, R"({ "k": 1, "a": 5, "b": 2 })", true},
        {{0x02, 0x05, 0xee, 0xee}, R"({ "k": 2, "a": 5 })", true},
        {{0x03, 0xee, 0xee, 0xee}, R"({ "k": 3 })", true},
        {{0x01, 0x05, 0x00, 0x00}, "(null)", false},
        // The first arm fails, the last applying one passes: valid.
        {{0x01, 0x0a, 0x02, 0x00}, "(null)", true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(dstest::hex(row.bytes.data(), 4));
        EXPECT_EQ(json_of(&choice, row.bytes), row.json);
        EXPECT_EQ(valid(&choice, row.bytes), row.valid);
    }
}

TEST(BitmapText, RunsCrossByteBoundariesAndSkipFillerBits)
{
    Bytes at_375(512, 0);
    at_375[375] = 0x01;
    Bytes long_run(512, 0);
    std::memset(long_run.data() + 10, 0xff, 11);
    long_run[9] = 0x80;
    long_run[21] = 0x03;
    long_run[511] = 0x80;
    expect_json({
        {&kBits16, {0x0e, 0x00}, "\"1-3\""},
        {&kBits16, {0x01, 0x00}, "\"0\""},
        {&kBits16, {0x05, 0x00}, "\"0,2\""},
        {&kBits16, {0x80, 0x01}, "\"7-8\""},
        {&kBits16, {0xff, 0xff}, "\"0-15\""},
        {&kBits16, {0xaa, 0xaa}, "\"1,3,5,7,9,11,13,15\""},
        {&kBits16, {0x00, 0x00}, "\"\""},
        {&kBits16, {0xff, 0x00}, "\"0-7\""},
        {&kBits16, {0x7f, 0xfe}, "\"0-6,9-15\""},
        {&kBits12, {0x00, 0xff}, "\"8-11\""},
        {&kBits12, {0x00, 0xf0}, "\"\""},
        {&kBits12, {0xf0, 0x0f}, "\"4-11\""},
        {&kBits1, {0x01}, "\"0\""},
        {&kBits1, {0xff}, "\"0\""},
        {&kBits1, {0xfe}, "\"\""},
        {&kBits9, {0x00, 0xff}, "\"8\""},
        {&kBits9, {0xff, 0x01}, "\"0-8\""},
        {&kBits9, {0xff, 0xfe}, "\"0-7\""},
        {&kBits9, {0xfe, 0x03}, "\"1-8\""},
        {&kBits4096, at_375, "\"3000\""},
        {&kBits4096, long_run, "\"79-169,4095\""},
        {&kBits16, {0x01}, "(null)"},
        {&kBits16, {0x01, 0x00, 0x00}, "(null)"},
    });
}

TEST(BitmapText, LongestTextsFitTheirBuffer)
{
    // Runs of two bits with one clear bit between them give the longest
    // texts; the largest bit counts need more than the stack buffer.
    for (uint32_t bits : {2u, 3u, 4u, 4096u, 4914u, 4915u, 524280u}) {
        SCOPED_TRACE(bits);
        Bytes bytes((bits + 7) / 8, 0);
        std::string expected;
        for (uint32_t i = 0; i < bits; i += 3) {
            bytes[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
            if (i > 0)
                expected += ',';
            expected += std::to_string(i);
            if (i + 1 < bits) {
                bytes[(i + 1) / 8] |= static_cast<uint8_t>(1u << ((i + 1) % 8));
                expected += '-';
                expected += std::to_string(i + 1);
            }
        }
        const DsType bitmap = type_of(DS_KIND_BITMAP, static_cast<uint16_t>(bytes.size()), bits);
        JsonRef jo(ds_c_to_jo(&bitmap, bytes.data(), bytes.size()));
        ASSERT_NE(jo, nullptr);
        EXPECT_EQ(json_object_get_string(jo.get()), expected);
    }
}

TEST(CToJo, ConvertedValuesPrintAddressesOrTheirBase)
{
    static const DsType anchored = type_of(DS_KIND_STRING, 16, word("^x$"));
    const DsType ipv4_unchecked = type_of(DS_KIND_CONVERTED, 4, word(&anchored), DS_CONVERT_IPV4);
    const DsType over_u8 = type_of(DS_KIND_CONVERTED, 1, word(kU8), DS_CONVERT_BASE);
    const DsType converter4 = type_of(DS_KIND_CONVERTED, 4, word(builtin("ipv4-str")), 4);
    Bytes loopback(16, 0);
    loopback[15] = 1;
    expect_json({
        {builtin("ipv4"), {0x0a, 0x00, 0x00, 0x01}, "\"10.0.0.1\""},
        {&ipv4_unchecked, {0x0a, 0x00, 0x00, 0x01}, "\"10.0.0.1\""},
        {builtin("ipv6"), loopback, "\"::1\""},
        {builtin("macaddress"), {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}, "\"00:1a:2b:3c:4d:5e\""},
        {builtin("macaddress"), {0x00, 0x1a, 0x2b, 0x3c, 0x4d}, "(null)"},
        {&over_u8, {0xc8}, "200"},
        {&converter4, {0x0a, 0x00, 0x00, 0x01}, "(null)"},
    });
    EXPECT_TRUE(valid(&over_u8, {0xc8}));
    EXPECT_TRUE(valid(builtin("ipv4"), {0xff, 0xff, 0xff, 0xff}));
    EXPECT_FALSE(valid(builtin("ipv4"), {0x0a, 0x00, 0x00, 0x01, 0x00}));
    EXPECT_FALSE(valid(&converter4, {0x0a, 0x00, 0x00, 0x01}));
}

// Descriptors whose size does not cover their parts, or that loop, fail
// without reading past the caller's bytes or recursing without end.
extern const DsType kLoop;
const DsField kLoopFields[] = {{"again", &kLoop}};
const DsType kLoop = type_of(DS_KIND_SEQUENCE, 0, 1, word(kLoopFields));

TEST(HostileDescriptors, FailWithoutReadingPastTheBuffer)
{
    static const DsField double_key[] = {{"k", builtin("double")}};
    static const DsField u8_u32[] = {{"k", kU8}, {"v", builtin("u32")}};
    static const int64_t one[] = {1};
    static const DsChoiceArm arm[] = {{one, 1, 1, 1}};
    const struct {
        DsType type;
        Bytes bytes;
    } rows[] = {
        {type_of(DS_KIND_DOUBLE, 4, 0), {0, 0, 0, 0}},
        {type_of(DS_KIND_ARRAY, 1, 4, word(kU8)), {0}},
        {type_of(DS_KIND_ARRAY, 2, 4, 0), {0, 0}},
        {type_of(DS_KIND_CHOICE, 2, 1, word(u8_u32), word(arm)), {1, 0}},
        {type_of(DS_KIND_CHOICE, 8, 1, word(double_key), word(arm)), Bytes(8, 0)},
        {type_of(DS_KIND_BITMAP, 1, 0xffffffff), {0xff}},
        {type_of(DS_KIND_CONVERTED, 4, word(builtin("ipv6-str")), DS_CONVERT_IPV6), {0, 0, 0, 1}},
        {kLoop, {0}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(&row - rows);
        EXPECT_EQ(json_of(&row.type, row.bytes), "(null)");
    }
    EXPECT_FALSE(valid(&kLoop, {}));
}
