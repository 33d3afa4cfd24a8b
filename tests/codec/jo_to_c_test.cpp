// JSON to packed form: the JSON accepted per kind and the exact bytes written,
// member matching of sequences and choice arms, bit range text, the
// destination-size rules of ds_jo_to_c and the clearing of ds_type_to_c. Every
// conversion row is also put to ds_jo_value_is_valid, which must agree, and
// checks that the caller's object keeps its one reference.
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
const DsType *const kU32 = builtin("u32");
const DsType kU8Array3 = type_of(DS_KIND_ARRAY, 5, 3, word(kU8));
const DsType kBits16 = type_of(DS_KIND_BITMAP, 2, 16);
const DsType kBits12 = type_of(DS_KIND_BITMAP, 2, 12);
const DsType kBits4096 = type_of(DS_KIND_BITMAP, 512, 4096);
const DsType kShortWord = type_of(DS_KIND_STRING, 8, word("[a-z]+"));
const DsEnumValue kBoolRows[] = {{"false", 0}, {"true", 1}};
const DsType kUnnamedBool = type_of(DS_KIND_ENUM, 1, word(kU8), 2, word(kBoolRows));
const DsType kEmptyEnum = type_of(DS_KIND_ENUM, 1, word(kU8), 0, word(kBoolRows));

// Fields "a", "a": a member fills only the first, so no object converts.
const DsField kTwinFields[] = {{"a", kU8}, {"a", kU8}};
const DsType kTwins = type_of(DS_KIND_SEQUENCE, 2, 2, word(kTwinFields));

// Discriminator "k"; arm 0 lists no values; value 1 is in arms 1 and 2.
const DsField kOverlapFields[] = {{"k", kU8}, {"a", kU8}, {"b", builtin("u16")}};
const int64_t kOne[] = {1};
const int64_t kOneTwo[] = {1, 2};
const DsChoiceArm kOverlapArms[] = {{kOne, 0, 2, 1}, {kOneTwo, 2, 1, 1}, {kOne, 1, 2, 1}};
const DsType kOverlap = type_of(DS_KIND_CHOICE, 3, 3, word(kOverlapFields), word(kOverlapArms));

const DsType kOverWord = type_of(DS_KIND_CONVERTED, 33, word(builtin("word")), DS_CONVERT_BASE);
const DsType kOverU8 = type_of(DS_KIND_CONVERTED, 1, word(kU8), DS_CONVERT_BASE);
const DsType kConverter4 = type_of(DS_KIND_CONVERTED, 4, word(builtin("ipv4-str")), 4);
const DsType kIpv4OverU32 = type_of(DS_KIND_CONVERTED, 4, word(kU32), DS_CONVERT_IPV4);
const DsType kMacOverIpv4Str =
    type_of(DS_KIND_CONVERTED, 6, word(builtin("ipv4-str")), DS_CONVERT_MAC);

// A JSON text and the whole destination after ds_jo_to_c converted it into a
// buffer of the type's size pre-filled with 0xaa.
struct Accepted {
    const char *json;
    const char *bytes;
};

// ds_jo_to_c and ds_jo_value_is_valid agree on each text; the caller's object
// keeps its one reference.
void
expect_verdicts(const DsType *type, const std::vector<Accepted> &accepted,
                const std::vector<const char *> &rejected)
{
    auto check = [type](const char *json, const char *bytes) {
        SCOPED_TRACE(std::string(json) + " as " + (type->name != nullptr ? type->name : "?"));
        json_object *jo = json_tokener_parse(json);
        std::vector<uint8_t> dst(type->size, 0xaa);
        errno = 0;
        void *result = ds_jo_to_c(type, jo, dst.data(), dst.size());
        EXPECT_EQ(result, bytes != nullptr ? dst.data() : nullptr);
        EXPECT_EQ(errno, bytes != nullptr ? 0 : EINVAL);
        if (bytes != nullptr) {
            EXPECT_EQ(dstest::hex(dst.data(), dst.size()), bytes);
        }
        EXPECT_EQ(ds_jo_value_is_valid(type, jo), bytes != nullptr);
        if (jo != nullptr) {
            EXPECT_EQ(json_object_put(jo), 1) << "the caller's reference was taken or added to";
        }
    };
    for (const Accepted &a : accepted)
        check(a.json, a.bytes);
    for (const char *json : rejected)
        check(json, nullptr);
}

std::string
repeat(const char *pair, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0)
            out += ' ';
        out += pair;
    }
    return out;
}

} // namespace

TEST(JoToC, IntsAndDoublesTakeOnlyJsonNumbersInRange)
{
    expect_verdicts(kU8, {{"255", "ff"}, {"0", "00"}},
                    {"256", "-1", "5.0", "\"5\"", "true", "null"});
    expect_verdicts(builtin("i8"), {{"-128", "80"}, {"127", "7f"}}, {"-129", "128"});
    expect_verdicts(builtin("i16"), {{"-2", "fe ff"}}, {"-32769"});
    expect_verdicts(kU32, {{"4294967295", "ff ff ff ff"}}, {"4294967296", "5.0"});
    expect_verdicts(builtin("i64"), {{"-9223372036854775808", "00 00 00 00 00 00 00 80"}}, {});
    expect_verdicts(builtin("double"),
                    {{"3", "00 00 00 00 00 00 08 40"}, {"1.5", "00 00 00 00 00 00 f8 3f"}},
                    {"\"3\"", "[3]", "false"});
}

TEST(JoToC, StringsMustMatchThePatternAndFitWithTheirNul)
{
    expect_verdicts(&kShortWord,
                    {{"\"abc\"", "61 62 63 00 aa aa aa aa"},
                     {"\"abcdefg\"", "61 62 63 64 65 66 67 00"},
                     {"\"1a\"", "31 61 00 aa aa aa aa aa"}}, // unanchored: found at "a"
                    {"\"abcdefgh\"", "\"123\"", "\"\"", "7"});
    std::string w32 = "\"" + std::string(32, 'w') + "\"", w33 = "\"" + std::string(33, 'w') + "\"";
    expect_verdicts(builtin("word"), {{w32.c_str(), (repeat("77", 32) + " 00").c_str()}},
                    {w33.c_str()});
}

TEST(JoToC, EnumsMatchNamesAgainstNamesAndNumbersAgainstValues)
{
    expect_verdicts(builtin("alarm_severity"), {{"\"major\"", "02"}, {"2", "02"}},
                    {"3", "\"Major\"", "true", "2.0"});
    expect_verdicts(builtin("bool"),
                    {{"true", "01"}, {"\"true\"", "01"}, {"1", "01"}, {"false", "00"}},
                    {"\"1\"", "2"});
    // The table lists 5 before 4.
    expect_verdicts(builtin("interface-type"), {{"\"InlinePort\"", "04"}, {"5", "05"}}, {"10"});
    expect_verdicts(&kUnnamedBool, {{"\"true\"", "01"}}, {"true"});
    expect_verdicts(&kEmptyEnum, {}, {"0", "\"false\""});
}

TEST(JoToC, ArraysWriteTheCountThenElementsAndSkipUnusedSlots)
{
    expect_verdicts(
        &kU8Array3,
        {{"[1, 2]", "02 00 01 02 aa"}, {"[]", "00 00 aa aa aa"}, {"[1, 2, 3]", "03 00 01 02 03"}},
        {"[1, 2, 3, 4]", "[1, \"2\"]", "[1, 256]", "{}"});
}

TEST(JoToC, SequencesTakeEveryFieldOnceInFieldOrder)
{
    expect_verdicts(builtin("alarm"),
                    {{R"({"eventId": 7, "timestamp": 1.5})", "07 00 00 00 00 00 00 00 00 00 f8 3f"},
                     {R"({"timestamp": 2, "eventId": 7})", "07 00 00 00 00 00 00 00 00 00 00 40"}},
                    {R"({"eventId": 7})", R"({"eventId": 7, "timestamp": 1.5, "kind": 1})",
                     R"({"eventId": null, "timestamp": 1.5})", "[7, 1.5]"});
    expect_verdicts(&kTwins, {}, {R"({"a": 1})"});
}

TEST(JoToC, ChoicesConvertTheDiscriminatorAndOnlyTheSelectedArm)
{
    for (const char *name : {"interface-impl", "interface"}) {
        expect_verdicts(
            builtin(name),
            {{R"({"kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan"})", "04 01 03 01"},
             {R"({"kind": 2, "slot": 0, "port": 7})", "02 00 07 00"},
             {R"({"port": 15, "kind": "TenGigabitEthernet", "slot": 1})", "03 01 0f 00"},
             {R"({"kind": "Virtual", "index": 4})", "01 04 00 00"},
             {R"({"kind": "VirtualBlade"})", "09 00 00 00"},
             {R"({"kind": "VirtualBlade", "slot": 1})", "09 00 00 00"},
             {R"({"kind": "None", "junk": [1]})", "00 00 00 00"}},
            {R"({"kind": "InlinePort", "slot": 1, "port": 5, "direction": "wan"})",
             R"({"kind": "GigabitEthernet", "slot": 0})",
             R"({"kind": "GigabitEthernet", "slot": 0, "port": 7, "index": 1})",
             R"({"slot": 0, "port": 7})", R"({"kind": "PortChannel", "index": 9})",
             R"({"kind": "Standby", "index": 3})", R"({"kind": null})", R"("Virtual")"});
    }
    // Arm 0 lists no values and is skipped; 1 stands in arms 1 and 2, and the first wins.
    expect_verdicts(&kOverlap,
                    {{R"({"k": 1, "a": 5})", "01 05 00"},
                     {R"({"k": 2, "a": 7})", "02 07 00"},
                     {R"({"k": 3, "a": 300, "z": 1})", "03 00 00"}},
                    {R"({"k": 1, "b": 5})", R"({"k": 256})"});
}

TEST(BitmapText, ItemsAndRangesSetBitsLeastSignificantFirst)
{
    expect_verdicts(&kBits16,
                    {{R"("")", "00 00"},
                     {R"("0")", "01 00"},
                     {R"("0-7")", "ff 00"},
                     {R"("3,9-10")", "08 06"},
                     {R"("1,")", "02 00"},
                     {R"("0-15")", "ff ff"},
                     {R"("1, 2")", "06 00"},
                     {R"("+2,2,1-2")", "06 00"},
                     {R"("6-9")", "c0 03"}},
                    {R"("16")", R"("5-5")", R"("6-2")", R"(",1")", R"("1;2")", R"("1 ,2")",
                     R"("1 ")", R"("x")", R"("-1")", R"("1,,2")", R"("3-")", R"("2-16")", "3"});
    expect_verdicts(&kBits12, {{R"("0-11")", "ff 0f"}}, {R"("12")"});
}

TEST(BitmapText, LargeBitmapsSetWholeBytesAnywhere)
{
    const struct {
        const char *text;
        std::vector<std::pair<size_t, uint8_t>> set; // every byte not listed is zero
    } cases[] = {
        {"3000", {{375, 0x01}}},
        {"7-16", {{0, 0x80}, {1, 0xff}, {2, 0x01}}},
        {"4095,0", {{0, 0x01}, {511, 0x80}}},
        {"4080-4095", {{510, 0xff}, {511, 0xff}}},
    };
    for (const auto &c : cases) {
        JsonRef jo(json_object_new_string(c.text));
        std::vector<uint8_t> dst(512, 0xaa), want(512, 0x00);
        for (auto [index, value] : c.set)
            want[index] = value;
        ASSERT_NE(ds_jo_to_c(&kBits4096, jo.get(), dst.data(), dst.size()), nullptr) << c.text;
        EXPECT_EQ(dst, want) << c.text;
    }
    JsonRef all(json_object_new_string("0-4095"));
    std::vector<uint8_t> dst(512, 0x00);
    ASSERT_NE(ds_jo_to_c(&kBits4096, all.get(), dst.data(), dst.size()), nullptr);
    EXPECT_EQ(dst, std::vector<uint8_t>(512, 0xff));
}

TEST(JoToC, ConvertedTypesParseAddressesOrDelegateToTheirBase)
{
    // " 10.0.0.1": the pattern finds the address, inet_pton refuses the blank.
    expect_verdicts(builtin("ipv4"), {{R"("10.0.0.1")", "0a 00 00 01"}},
                    {R"("10.0.0.256")", R"(" 10.0.0.1")", "167772161"});
    expect_verdicts(builtin("ipv6"),
                    {{R"("::1")", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01"},
                     {R"("::ffff:10.0.0.1")", "00 00 00 00 00 00 00 00 00 00 ff ff 0a 00 00 01"}},
                    {R"("fe80::1%eth0")"});
    expect_verdicts(builtin("macaddress"), {{R"("00:1A:2b:3c:4d:5e")", "00 1a 2b 3c 4d 5e"}},
                    {R"("00:1a:2b:3c:4d")"});
    expect_verdicts(&kOverU8, {{"7", "07"}}, {"256"});
    expect_verdicts(&kOverWord, {}, {R"("abc")"});
    expect_verdicts(&kConverter4, {}, {R"("10.0.0.1")"});
    expect_verdicts(&kIpv4OverU32, {}, {R"("10.0.0.1")"});
    expect_verdicts(&kMacOverIpv4Str, {}, {R"("00:1a:2b:3c:4d:5e")"});
}

TEST(JoToC, LongFieldRunsMatchMembersToTheirFirstField)
{
    // More fields than the member table holds at once, listed in reverse member order.
    static char names[70][12];
    static DsField fields[70];
    std::string members = "{", want = "00";
    for (int i = 69; i > 0; --i) {
        std::snprintf(names[i], sizeof names[i], "f%d", i);
        fields[i] = DsField{names[i], kU8};
        members.append("\"").append(names[i]).append("\": ").append(std::to_string(i)).append(", ");
    }
    fields[0] = DsField{"f0", kU8};
    for (int i = 1; i < 70; ++i)
        want.append(" ").append(dstest::hex(&i, 1));
    const DsType run = type_of(DS_KIND_SEQUENCE, 70, 70, word(fields));
    std::string all = members, extra = members;
    all.append("\"f0\": 0}");
    extra.append("\"f0\": 0, \"f70\": 0}");
    expect_verdicts(&run, {{all.c_str(), want.c_str()}}, {extra.c_str()});
    // A second "f3" past the first chunk never receives the member.
    fields[69].name = "f3";
    std::string short_run = all;
    short_run.erase(1, short_run.find(", ") + 1); // drop "f69"
    expect_verdicts(&run, {}, {short_run.c_str()});
}

TEST(JoToCSize, WidensIntsAndEnumsBySignAndRefusesOtherSizes)
{
    const struct {
        const char *type;
        const char *json;
        size_t dstlen;
        const char *bytes; // null: fails with EINVAL and dst stays 0xaa
    } cases[] = {{"u16", "5", 8, "05 00 00 00 00 00 00 00"},
                 {"i16", "-2", 8, "fe ff ff ff ff ff ff ff"},
                 {"i16", "5", 8, "05 00 00 00 00 00 00 00"},
                 {"u8", "255", 2, "ff 00"},
                 {"bool", "true", 4, "01 00 00 00"},
                 {"alarm_severity", "\"critical\"", 8, "01 00 00 00 00 00 00 00"},
                 {"i64", "-1", 10, "ff ff ff ff ff ff ff ff ff ff"},
                 {"u8", "256", 4, nullptr},
                 {"bool", "2", 4, nullptr},
                 {"string", "\"x\"", 64, nullptr},
                 {"double", "1.5", 16, nullptr},
                 {"alarm", R"({"eventId": 7, "timestamp": 1.5})", 13, nullptr},
                 {"ipv4", R"("10.0.0.1")", 8, nullptr},
                 {"u16", "5", 1, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.json) + " as " + c.type);
        JsonRef jo(json_tokener_parse(c.json));
        std::vector<uint8_t> dst(c.dstlen, 0xaa);
        errno = 0;
        void *result = ds_jo_to_c(builtin(c.type), jo.get(), dst.data(), dst.size());
        EXPECT_EQ(result, c.bytes != nullptr ? dst.data() : nullptr);
        EXPECT_EQ(errno, c.bytes != nullptr ? 0 : EINVAL);
        EXPECT_EQ(dstest::hex(dst.data(), dst.size()),
                  c.bytes != nullptr ? c.bytes : repeat("aa", c.dstlen));
    }
}

TEST(JoToCSize, StringTailsAreLeftAloneButClearedByTypeToC)
{
    JsonRef jo(json_object_new_string("ab"));
    std::vector<uint8_t> dst(12, 0xaa);
    ASSERT_EQ(ds_jo_to_c(&kShortWord, jo.get(), dst.data(), dst.size()), dst.data());
    EXPECT_EQ(dstest::hex(dst.data(), dst.size()), "61 62 00 aa aa aa aa aa aa aa aa aa");
    std::fill(dst.begin(), dst.end(), 0xaa);
    ASSERT_EQ(ds_type_to_c(&kShortWord, "\"ab\"", dst.data(), dst.size()), 1);
    EXPECT_EQ(dstest::hex(dst.data(), dst.size()), "61 62 00 00 00 00 00 00 00 00 00 00");
    std::fill(dst.begin(), dst.end(), 0xaa);
    ASSERT_EQ(ds_type_to_c(&kU8Array3, "[9]", dst.data(), 5), 1);
    EXPECT_EQ(dstest::hex(dst.data(), 5), "01 00 09 00 00");
}

TEST(TypeToC, ClearsTheDestinationBeforeAnythingElse)
{
    const struct {
        const DsType *type;
        const char *text;
        int err;           // errno after the call
        const char *bytes; // the destination afterwards
    } cases[] = {
        {kU8, "{not json", 0, "00 00 00 00 00"},
        {kU8, "null", 0, "00 00 00 00 00"},
        {nullptr, "7", 0, "00 00 00 00 00"},
        {kU8, nullptr, 0, "00 00 00 00 00"},
        {kU8, "256", EINVAL, "00 00 00 00 00"},
        // Writes made before the failing element stay.
        {&kU8Array3, "[1, \"x\"]", EINVAL, "02 00 01 00 00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text != nullptr ? c.text : "(null text)");
        std::vector<uint8_t> dst(5, 0xaa);
        errno = 0;
        EXPECT_EQ(ds_type_to_c(c.type, c.text, dst.data(), dst.size()), 0);
        EXPECT_EQ(errno, c.err);
        EXPECT_EQ(dstest::hex(dst.data(), dst.size()), c.bytes);
    }
}

// Descriptors whose size does not cover their parts must fail rather than
// write past the destination (or, for a choice, past its own bytes).
extern const DsType kSelfLoop;
const DsType kSelfLoop = type_of(DS_KIND_CONVERTED, 1, word(&kSelfLoop), DS_CONVERT_BASE);

TEST(HostileDescriptors, NeverWritePastTheirSize)
{
    static const DsField u32_double[] = {{"a", kU32}, {"b", builtin("double")}};
    static const DsField one_word[] = {{"w", builtin("word")}};
    static const DsField u8_u32[] = {{"k", kU8}, {"v", kU32}};
    static const DsField word_key[] = {{"k", builtin("word")}};
    static const DsChoiceArm arm[] = {{kOne, 1, 1, 1}};
    static const DsType short_choice = type_of(DS_KIND_CHOICE, 2, 1, word(u8_u32), word(arm));
    static const DsField choice_then_u32[] = {{"c", &short_choice}, {"x", kU32}};
    const struct {
        DsType type;
        const char *json;
    } rows[] = {
        {type_of(DS_KIND_SEQUENCE, 4, 2, word(u32_double)), R"({"a": 1, "b": 2.5})"},
        {type_of(DS_KIND_SEQUENCE, 2, 1, word(one_word)), R"({"w": "abc"})"},
        {type_of(DS_KIND_SEQUENCE, 6, 2, word(choice_then_u32)),
         R"({"c": {"k": 1, "v": 7}, "x": 1})"},
        {type_of(DS_KIND_CHOICE, 1, 0, word(word_key), word(arm)), R"({"k": "a"})"},
        {type_of(DS_KIND_BITMAP, 1, 0xffffffff), R"("0")"},
        {type_of(DS_KIND_ARRAY, 4, 10, word(kU8)), "[1]"},
        {type_of(DS_KIND_CONVERTED, 4, word(builtin("ipv6-str")), DS_CONVERT_IPV6), R"("::1")"},
        {kSelfLoop, "1"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.json);
        JsonRef jo(json_tokener_parse(row.json));
        uint16_t size = row.type.size;
        std::vector<uint8_t> dst(size + 16, 0xaa);
        EXPECT_EQ(ds_jo_to_c(&row.type, jo.get(), dst.data(), size), nullptr);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(dstest::hex(dst.data() + size, 16), repeat("aa", 16));
    }
}
