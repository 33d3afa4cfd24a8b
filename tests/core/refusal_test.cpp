// The core's refusals: where (path, byte, arms), by which rule and what the
// type allows, for JSON and packed values of one nested type; and that a
// packed refusal is found exactly when the library refuses, over many values
// made by changing a valid one.
#include "core/bit_text.h"
#include "core/json_ref.h"
#include "core/refusal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{

using core::Rule;

// box { ports: port[3], bits: bitmap(12), ip: ipv4 }, where a port is a
// choice on kind (red: speed, green: label).
const DsType kSmall{"small", DS_KIND_INT, 1, {.integer = {0, 100}}};
const DsEnumValue kColors[] = {{"red", 1}, {"green", 2}};
const DsType kColor{"color", DS_KIND_ENUM, 1, {.enumeration = {&kSmall, 2, kColors}}};
const DsType kWord{"word", DS_KIND_STRING, 6, {.string = {"^[a-z]*$"}}};
const DsType kBits{"bits", DS_KIND_BITMAP, 2, {.bitmap = {12}}};
const DsType kIpText{nullptr, DS_KIND_STRING, 16, {.string = {""}}};
const DsType kIp{"ip", DS_KIND_CONVERTED, 4, {.converted = {&kIpText, DS_CONVERT_IPV4}}};
const DsField kPortFields[] = {{"kind", &kColor}, {"speed", &kSmall}, {"label", &kWord}};
const int64_t kRed[] = {1};
const int64_t kGreen[] = {2};
const DsChoiceArm kArms[] = {{kRed, 1, 1, 1}, {kGreen, 1, 2, 1}};
const DsType kPort{"port", DS_KIND_CHOICE, 7, {.choice = {2, kPortFields, kArms}}};
const DsType kPorts{"ports", DS_KIND_ARRAY, 23, {.array = {3, &kPort}}};
const DsField kBoxFields[] = {{"ports", &kPorts}, {"bits", &kBits}, {"ip", &kIp}};
const DsType kBox{"box", DS_KIND_SEQUENCE, 29, {.sequence = {3, kBoxFields}}};

JsonRef
parse(const std::string &text)
{
    return JsonRef(json_tokener_parse(text.c_str()));
}

std::string
box(const std::string &ports, const std::string &rest = R"("bits": "1,3-4", "ip": "1.2.3.4")")
{
    return R"({"ports": )" + ports + ", " + rest + "}";
}

struct JsonCase {
    std::string json;
    Rule rule;
    std::string path;
    std::vector<std::string> arms;
    std::string allowed;
    std::string message;
};

TEST(Refusal, JsonNamesPlaceRuleAndWhatTheTypeAllows)
{
    // clang-format off
    const JsonCase cases[] = {
        {box(R"([{"kind": "red", "speed": 101}])"), Rule::int_range, ".ports[0].speed",
         {"kind red"}, "0..100", "101 is outside the range 0..100 of small"},
        {box(R"([{"kind": "red", "speed": 1}, {"kind": "blue"}])"), Rule::enum_value,
         ".ports[1].kind", {}, "red = 1, green = 2",
         R"("blue" is not in the enumeration of color (red = 1, green = 2))"},
        {box(R"([{"kind": 2, "label": "ABC"}])"), Rule::pattern, ".ports[0].label",
         {"kind green"}, "the pattern ^[a-z]*$ in 6 bytes",
         R"("ABC" does not match the pattern ^[a-z]*$ of word)"},
        // its length refuses it first
        {box(R"([{"kind": "green", "label": "ABCDEF"}])"), Rule::room, ".ports[0].label",
         {"kind green"}, "at most 5 characters",
         R"("ABCDEF" has 6 characters; word holds at most 5)"},
        {box(R"([{"kind": "green", "label": "abcdef"}])"), Rule::room, ".ports[0].label",
         {"kind green"}, "at most 5 characters",
         R"("abcdef" has 6 characters; word holds at most 5)"},
        {box(R"([{"kind": "red", "speed": 1, "label": "a"}])"), Rule::unknown_member, ".ports[0]",
         {"kind red"}, "kind, speed", R"(unknown member "label"; the members are kind, speed)"},
        {box("[1, 2, 3, 4]"), Rule::array_size, ".ports", {}, "at most 3 elements",
         "4 elements; ports holds at most 3"},
        {box("[]", R"("bits": "12", "ip": "1.2.3.4")"), Rule::bit_text, ".bits", {}, "bits 0..11",
         "bit 12 is outside the bitmap (bits 0..11 of bits)"},
        {box("[]", R"("bits": "5-5", "ip": "1.2.3.4")"), Rule::bit_text, ".bits", {}, "bits 0..11",
         "range 5-5 does not run upwards"},
        {box("[]", R"("bits": "1;2", "ip": "1.2.3.4")"), Rule::bit_text, ".bits", {}, "bits 0..11",
         R"(unexpected ";" at offset 1; items are N or N-M separated by ",")"},
        {box("[]", R"("bits": "1", "ip": "1.2.3")"), Rule::address, ".ip", {}, "an IPv4 address",
         R"("1.2.3" is not an IPv4 address)"},
        {box("[]", R"("bits": "1")"), Rule::missing_member, "", {}, "ports, bits, ip",
         R"(member "ip" is missing)"},
        {box(R"([{"kind": true}])"), Rule::bool_only, ".ports[0].kind", {}, "red = 1, green = 2",
         "a boolean is taken only by the type bool; this enumeration takes a name or a number "
         "(red = 1, green = 2)"},
        {box(R"([{"kind": 1, "speed": 1.5}])"), Rule::json_kind, ".ports[0].speed", {"kind red"},
         "0..100", "expected an integer, got a number with a fraction or exponent 1.5"},
    };
    // clang-format on
    for (const JsonCase &c : cases) {
        SCOPED_TRACE(c.json);
        JsonRef jo = parse(c.json);
        ASSERT_NE(jo, nullptr);
        EXPECT_FALSE(ds_jo_value_is_valid(&kBox, jo.get()));
        core::Refusal r = core::why_json(&kBox, jo.get());
        EXPECT_EQ(r.rule, c.rule);
        EXPECT_EQ(r.path, c.path);
        EXPECT_EQ(r.byte, -1);
        EXPECT_EQ(r.arms, c.arms);
        EXPECT_EQ(r.allowed, c.allowed);
        EXPECT_EQ(r.message, c.message);
    }
}

// Descriptors that no value fits are named by what is wrong with them.
TEST(Refusal, JsonNamesWhatABrokenDescriptorLacks)
{
    static const DsEnumValue kFalse[] = {{"false", 0}};
    static const DsField kDoubleField[] = {{"d", &ds_global_types[DS_BUILTIN_DOUBLE]}};
    static const DsType kNoRows{"none", DS_KIND_ENUM, 1, {.enumeration = {&kSmall, 0, kColors}}};
    static const DsType kNoBase{"nobase", DS_KIND_ENUM, 1, {.enumeration = {nullptr, 2, kColors}}};
    static const DsType kFalseOnly{"bool", DS_KIND_ENUM, 1, {.enumeration = {&kSmall, 1, kFalse}}};
    static const DsType kTight{"tight", DS_KIND_SEQUENCE, 4, {.sequence = {1, kDoubleField}}};
    static const DsType kNarrow{"narrow", DS_KIND_CONVERTED, 2, {.converted = {&kIpText, 1}}};
    const struct {
        const DsType *type;
        const char *json;
        Rule rule;
        const char *message;
    } rows[] = {
        {&kNoRows, "1", Rule::enum_empty, "the enumeration of none has no values"},
        {&kNoBase, "1", Rule::enum_base, "the enumeration of nobase has no base type"},
        {&kFalseOnly, "true", Rule::enum_value,
         "true is not in the enumeration of bool (false = 0)"},
        {&kTight, R"({"d": 1.5})", Rule::short_value,
         "the part needs 8 bytes; the type's size leaves 4"},
        {&kNarrow, R"("1.2.3.4")", Rule::converter,
         "the converted type of narrow has 2 bytes, too few for its 4-byte address"},
    };
    for (const auto &row : rows) {
        JsonRef jo = parse(row.json);
        core::Refusal r = core::why_json(row.type, jo.get());
        EXPECT_EQ(r.rule, row.rule) << row.json;
        EXPECT_EQ(r.message, row.message);
    }
}

// A valid packed box: ports [red speed 7, green "ab"], bits 1,3-4, ip 1.2.3.4.
std::vector<uint8_t>
valid_box()
{
    std::vector<uint8_t> b(kBox.size, 0);
    b[0] = 2;
    b[2] = 1, b[3] = 7;                         // port 0
    b[9] = 2, std::memcpy(&b[10], "ab", 3);     // port 1
    b[23] = 0x1a;                               // bits
    b[25] = 1, b[26] = 2, b[27] = 3, b[28] = 4; // ip
    return b;
}

TEST(Refusal, PackedNamesTheByteWhereThePartStarts)
{
    struct Case {
        size_t at;
        uint8_t byte;
        Rule rule;
        std::string path;
        int64_t offset;
        std::vector<std::string> arms;
        std::string message;
    } const cases[] = {
        // clang-format off
        {3, 200, Rule::int_range, ".ports[0].speed", 3, {"kind red"},
         "200 is outside the range 0..100 of small"},
        {9, 3, Rule::enum_value, ".ports[1].kind", 9, {},
         "3 is not in the enumeration of color (red = 1, green = 2)"},
        {10, 'A', Rule::pattern, ".ports[1].label", 10, {"kind green"},
         R"("Ab" does not match the pattern ^[a-z]*$ of word)"},
        // clang-format on
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<uint8_t> b = valid_box();
        b[c.at] = c.byte;
        EXPECT_EQ(JsonRef(ds_c_to_jo(&kBox, b.data(), b.size())), nullptr);
        core::Refusal r = core::why_packed(&kBox, b.data(), b.size());
        EXPECT_EQ(r.rule, c.rule);
        EXPECT_EQ(r.path, c.path);
        EXPECT_EQ(r.byte, c.offset);
        EXPECT_EQ(r.arms, c.arms);
        EXPECT_EQ(r.message, c.message);
    }
    std::vector<uint8_t> b = valid_box();
    std::memset(&b[12], 'x', 5); // the label loses its NUL
    core::Refusal r = core::why_packed(&kBox, b.data(), b.size());
    EXPECT_EQ(r.rule, Rule::no_nul);
    EXPECT_EQ(r.byte, 10);
    EXPECT_EQ(core::why_packed(&kBox, b.data(), 20).rule, Rule::short_value);
}

// Changing one or two bytes of a valid value: the core finds a refusal
// exactly when ds_c_to_jo refuses it.
TEST(Refusal, PackedRefusalFoundExactlyWhenTheConverterRefuses)
{
    std::mt19937 random(22);
    const uint8_t interesting[] = {0, 1, 2, 3, 7, 100, 101, 'a', 'A', 0xff};
    unsigned refused = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> b = valid_box();
        for (int n = 1 + round % 2; n > 0; --n)
            b[random() % b.size()] = interesting[random() % sizeof interesting];
        JsonRef jo(ds_c_to_jo(&kBox, b.data(), b.size()));
        core::Refusal r = core::why_packed(&kBox, b.data(), b.size());
        ASSERT_EQ(jo == nullptr, static_cast<bool>(r)) << "round " << round << ": " << r.message;
        refused += jo == nullptr;
    }
    EXPECT_GT(refused, 400u);
    EXPECT_LT(refused, 3600u);
}

// The bit text written for any bytes reads back as the same bits, the
// filler bits past the bit count left out.
TEST(BitText, ReadsBackWhatItWrites)
{
    std::mt19937 random(22);
    for (uint64_t bit_count : {1u, 7u, 8u, 9u, 12u, 64u, 100u}) {
        uint64_t nbytes = (bit_count + 7) / 8;
        for (int round = 0; round < 200; ++round) {
            std::vector<uint8_t> bytes(nbytes);
            for (uint8_t &b : bytes)
                b = round % 3 == 0 ? 0xff : static_cast<uint8_t>(random());
            std::vector<char> text(core::bit_text_capacity(bit_count));
            const char *ranges =
                core::write_bit_ranges(text.data(), bytes.data(), nbytes, bit_count);
            std::vector<uint8_t> back(nbytes, 0);
            ASSERT_TRUE(core::read_bit_list(ranges, bit_count, back.data())) << ranges;
            if (bit_count % 8 != 0)
                bytes.back() &= static_cast<uint8_t>((1u << (bit_count % 8)) - 1);
            EXPECT_EQ(back, bytes) << ranges;
        }
    }
}

} // namespace
