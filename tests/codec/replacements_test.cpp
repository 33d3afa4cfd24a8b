// The fast paths against what they stand in for, over generated inputs:
// pattern matchers against regexec, address texts against inet_ntop, snprintf
// and sscanf, the canonical printer against json-c.
#include "codec/codec.h"
#include "core/regex.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdio>
#include <random>

namespace
{

using Texts = std::vector<std::string>;
std::mt19937 rng(1305);

size_t
pick(size_t n)
{
    return std::uniform_int_distribution<size_t>(0, n - 1)(rng);
}

// clang-format off
const Texts kPatternPieces = {"0", "1", "2", "5", "9", "25", "255", "256", "0a", "F", "g", "x",
    "Z", ":", "::", ".", "-", "_", "%", "%4a", "[", "]", "@", "/", "?", "#", "https://", "ftp://",
    "tftp://", "scp://", "bootflash:", "usb1:", "slot2:", "ffff:", "1.2.3.4", "\x01", "\x1f", " ",
    "\"", "\x7f", "\x80", "\xff", "~", "!", "abcdef12", "dead:beef:", "::ffff:", "1:", ":1"};
const Texts kSeeds = {"00:1A:2b:3c:4d:5e", "123e4567-e89b-12d3-a456-426614174000",
    "fe80::1%eth0", "1:2:3:4:5:6:7:8", "1:22:333:4444:5:6:1.2.3.4", "ftp://[1::2:3]/x",
    "https://u:p@[::ffff:1.2.3.4%x]:80/a", "tftp://%41@h", "http://[1:2:3:4:5::1.2.3.4]/",
    "scp://[1:2:3:4:5::3:4:1.2.3.4]/x", "bootflash:x", "10.0.0.1", "router-1.example.net"};
// clang-format on

// Texts glued from pieces or edited from the seeds (accepted texts and a bracketed
// host with too many groups for its quad); the fuzz target checks its corpus.
Texts
texts_to_try(const Texts &pieces, size_t generated)
{
    Texts texts;
    while (generated-- > 0) {
        std::string text = pick(2) == 0 ? kSeeds[pick(kSeeds.size())] : "";
        for (size_t n = pick(text.empty() ? 14 : 4); n > 0; --n) {
            std::string piece = pick(3) == 0 ? "" : pieces[pick(pieces.size())];
            text.replace(pick(text.size() + 1), text.empty() ? 0 : pick(3), piece);
        }
        texts.push_back(text);
    }
    return texts;
}

// clang-format off
const DsType &kU8 = ds_global_types[2], &kI16 = ds_global_types[4];
const DsType kAny = {"any", DS_KIND_STRING, 12, {.string = {".*"}}};
const DsType kDoubles = {"doubles", DS_KIND_ARRAY, 2 + 24, {.array = {3, &ds_global_types[17]}}};
const DsType kAnys = {"anys", DS_KIND_ARRAY, 2 + 24, {.array = {2, &kAny}}};
const DsType kBits = {"bits", DS_KIND_BITMAP, 3, {.bitmap = {20}}};
// Members added again under a name replace the first one's value in place.
const DsField kTwiceFields[] = {{"a", &kU8}, {"b/\"", &kAny}, {"a", &kI16}, {"b/\"", &kBits}};
const DsType kTwice = {"twice", DS_KIND_SEQUENCE, 18, {.sequence = {4, kTwiceFields}}};
const DsField kArmFields[] = {{"k", &kU8}, {"x", &kU8}, {"x", &kI16}, {"k", &kAnys}};
const int64_t kArm1[] = {1, 2}, kArm2[] = {2};
const DsChoiceArm kArms[] = {{kArm1, 2, 1, 1}, {kArm2, 1, 2, 2}};
const DsType kOverlap = {"overlap", DS_KIND_CHOICE, 30, {.choice = {2, kArmFields, kArms}}};
// clang-format on

} // namespace

TEST(Replacements, ExactMatchersGiveRegexecVerdicts)
{
    Texts texts = texts_to_try(kPatternPieces, 40000);
    bool expected = false;
    for (unsigned row : {8u, 9u, 11u, 12u, 14u, 16u, 19u}) {
        const char *pattern = ds_global_types[row].p.string.regex;
        Regex compiled(pattern);
        ASSERT_TRUE(compiled.ok());
        size_t accepted_count = 0;
        for (const std::string &text : texts) {
            bool accepted = false;
            ASSERT_TRUE(builtin_pattern_verdict(pattern, text.c_str(), &accepted)) << row;
            expected = compiled.matches(text.c_str());
            EXPECT_EQ(accepted, expected) << ds_global_types[row].name << " '" << text << "'";
            accepted_count += expected;
        }
        EXPECT_GT(accepted_count, 300u) << "too few accepted texts for row " << row;
    }
}

TEST(Replacements, AddressTextsAreThoseOfInetNtopPrintfAndSscanf)
{
    for (int i = 0; i < 200000; ++i) {
        uint8_t b[16]; // zero and ffff groups often, so that runs and mapped forms occur
        for (int w = 0; w < 16; w += 2)
            b[w] = b[w + 1] = static_cast<uint8_t>(pick(3) == 0 ? rng() : pick(8) == 0 ? 0xff : 0);
        char mine[core::kAddressTextSize], theirs[core::kAddressTextSize];
        core::format_ipv6(b, mine);
        ASSERT_STREQ(mine, inet_ntop(AF_INET6, b, theirs, sizeof theirs));
        core::format_ipv4(b + 12, mine);
        ASSERT_STREQ(mine, inet_ntop(AF_INET, b + 12, theirs, sizeof theirs));
        core::format_mac(b + 10, mine);
        std::snprintf(theirs, sizeof theirs, "%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x", b[10], b[11],
                      b[12], b[13], b[14], b[15]);
        ASSERT_STREQ(mine, theirs);
    }
    const Texts pieces = {"0", "a", "F", "1f", "123", ":", ":", " ", "+", "-", "0x", "x", "g"};
    for (const std::string &text : texts_to_try(pieces, 100000)) {
        uint8_t mine[6] = {}, theirs[6] = {};
        bool read = core::parse_mac(text.c_str(), mine);
        int n = std::sscanf(text.c_str(), "%hhx:%hhx:%hhx:%hhx:%hhx:%hhx", &theirs[0], &theirs[1],
                            &theirs[2], &theirs[3], &theirs[4], &theirs[5]);
        ASSERT_EQ(read, n == 6) << "'" << text << "'";
        ASSERT_TRUE(!read || std::equal(mine, mine + 6, theirs)) << "'" << text << "'";
    }
}

TEST(Replacements, CanonicalPrinterPrintsWhatJsoncPrints)
{
    std::vector<const DsType *> types = {&kAny, &kDoubles, &kAnys, &kBits, &kTwice, &kOverlap};
    for (uint16_t row = 0; row < ds_global_type_count; ++row)
        types.push_back(&ds_global_types[row]);
    size_t valid = 0;
    for (const DsType *type : types) {
        for (int i = 0; i < 20000; ++i) {
            std::vector<uint8_t> packed(type->size);
            for (uint8_t &byte : packed) // small values pass range checks, any byte tests escapes
                byte = static_cast<uint8_t>(pick(4) == 0 ? rng() : pick(3));
            JsonRef jo(ds_c_to_jo(type, packed.data(), packed.size()));
            std::string expected = dstest::json_text(jo.get());
            char buffer[64]; // small, so that long texts move to the heap
            CanonicalText mine = codec_print_canonical(type, packed.data(), buffer, sizeof buffer);
            ASSERT_EQ(mine.status == CanonicalPrint::printed ? mine.text : "(null)", expected);
            valid += expected != "(null)";
        }
    }
    EXPECT_GT(valid, 100000u);
}
