// The fast paths against the mechanisms they stand in for, over generated
// inputs and the fuzz corpora: exact pattern matchers against regexec,
// address texts against inet_ntop, snprintf and sscanf, the canonical printer
// against json-c printing what ds_c_to_jo builds, the per-thread tokener
// against json_tokener_parse_verbose.
#include "codec/codec.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex.h>
#include <string>
#include <vector>

namespace
{

std::mt19937 rng(1305);

size_t
pick(size_t n)
{
    return std::uniform_int_distribution<size_t>(0, n - 1)(rng);
}

// Texts glued from pieces that the built-in patterns care about.
std::string
generated_text(const std::vector<std::string> &pieces)
{
    std::string text;
    for (size_t n = pick(14); n > 0; --n)
        text += pieces[pick(pieces.size())];
    return text;
}

const std::vector<std::string> kPatternPieces = {
    "0",       "1",      "2",          "5",          "9",       "25",       "255",
    "256",     "0a",     "F",          "g",          "x",       "Z",        ":",
    "::",      ".",      "-",          "_",          "%",       "%4a",      "[",
    "]",       "@",      "/",          "?",          "#",       "https://", "ftp://",
    "tftp://", "scp://", "bootflash:", "usb1:",      "slot2:",  "ffff:",    "1.2.3.4",
    "\x01",    "\x1f",   " ",          "\"",         "\x7f",    "\x80",     "\xff",
    "~",       "!",      "abcdef12",   "dead:beef:", "::ffff:", "1:",       ":1"};

// Every file of the fuzz corpora, cut at its first NUL as the texts are.
std::vector<std::string>
corpus_texts()
{
    std::vector<std::string> texts;
    std::filesystem::path dir = std::filesystem::path(__FILE__).parent_path() / "../fuzz/corpus";
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        texts.push_back(bytes.c_str());
        if (!bytes.empty())
            texts.push_back(bytes.substr(1).c_str()); // without the target's selector byte
    }
    return texts;
}

// Texts that the patterns accept, each edited a few times with pieces.
const std::vector<std::string> kAcceptedTexts = {"00:1A:2b:3c:4d:5e",
                                                 "123e4567-e89b-12d3-a456-426614174000",
                                                 "fe80::1%eth0",
                                                 "1:2:3:4:5:6:7:8",
                                                 "1:22:333:4444:5:6:1.2.3.4",
                                                 "https://u:p@[::ffff:1.2.3.4%x]:80/a",
                                                 "ftp://[1::2:3]/x",
                                                 "tftp://%41@h",
                                                 "http://[1:2:3:4:5::1.2.3.4]/",
                                                 "scp://[1:2:3:4:5:6::7]",
                                                 "bootflash:x",
                                                 "10.0.0.1",
                                                 "router-1.example.net"};

std::string
edited_text(const std::vector<std::string> &pieces)
{
    std::string text = kAcceptedTexts[pick(kAcceptedTexts.size())];
    for (size_t n = pick(4); n > 0 && !text.empty(); --n) {
        size_t at = pick(text.size());
        text.replace(at, pick(3), pick(2) == 0 ? pieces[pick(pieces.size())] : "");
    }
    return text;
}

std::vector<std::string>
texts_to_try(const std::vector<std::string> &pieces, size_t generated)
{
    std::vector<std::string> texts = corpus_texts();
    EXPECT_GT(texts.size(), 50u) << "fuzz corpora not found";
    while (generated-- > 0)
        texts.push_back(pick(2) == 0 ? generated_text(pieces) : edited_text(pieces));
    return texts;
}

std::string
printed_by_jsonc(const DsType *type, const std::vector<uint8_t> &packed)
{
    json_object *jo = ds_c_to_jo(type, packed.data(), packed.size());
    std::string text = jo != nullptr ? json_object_to_json_string(jo) : "(invalid)";
    json_object_put(jo);
    return text;
}

std::string
printed_directly(const DsType *type, const std::vector<uint8_t> &packed)
{
    char buffer[64]; // small, so that long texts move to the heap
    CanonicalText printed = codec_print_canonical(type, packed.data(), buffer, sizeof buffer);
    EXPECT_NE(printed.status, CanonicalPrint::no_memory);
    return printed.status == CanonicalPrint::printed ? printed.text : "(invalid)";
}

const DsType &kU8 = ds_global_types[2];
const DsType &kI16 = ds_global_types[4];
const DsType kAny = {"any", DS_KIND_STRING, 12, {.string = {".*"}}};
const DsType kDoubles = {"doubles", DS_KIND_ARRAY, 2 + 3 * 8, {.array = {3, &ds_global_types[17]}}};
const DsType kAnys = {"anys", DS_KIND_ARRAY, 2 + 2 * 12, {.array = {2, &kAny}}};
const DsType kBits = {"bits", DS_KIND_BITMAP, 3, {.bitmap = {20}}};
// Members added twice under one name replace the first one's value in place.
const DsField kTwiceFields[] = {{"a", &kU8}, {"b/\"", &kAny}, {"a", &kI16}, {"b/\"", &kBits}};
const DsType kTwice = {"twice", DS_KIND_SEQUENCE, 1 + 12 + 2 + 3, {.sequence = {4, kTwiceFields}}};
const DsField kArmFields[] = {{"k", &kU8}, {"x", &kU8}, {"x", &kI16}, {"k", &kAnys}};
const int64_t kArm1[] = {1, 2};
const int64_t kArm2[] = {2};
const DsChoiceArm kArms[] = {{kArm1, 2, 1, 1}, {kArm2, 1, 2, 2}};
const DsType kOverlap = {
    "overlap", DS_KIND_CHOICE, 1 + 1 + 2 + 26, {.choice = {2, kArmFields, kArms}}};

} // namespace

TEST(Replacements, ExactMatchersGiveRegexecVerdicts)
{
    std::vector<std::string> texts = texts_to_try(kPatternPieces, 40000);
    for (unsigned row : {8u, 9u, 11u, 12u, 14u, 16u, 19u}) {
        const char *pattern = ds_global_types[row].p.string.regex;
        regex_t compiled;
        ASSERT_EQ(regcomp(&compiled, pattern, REG_EXTENDED | REG_NOSUB), 0);
        size_t accepted_count = 0;
        for (const std::string &text : texts) {
            bool accepted = false;
            ASSERT_TRUE(builtin_pattern_verdict(pattern, text.c_str(), &accepted)) << row;
            bool expected = regexec(&compiled, text.c_str(), 0, nullptr, 0) == 0;
            EXPECT_EQ(accepted, expected) << ds_global_types[row].name << " '" << text << "'";
            accepted_count += expected;
        }
        EXPECT_GT(accepted_count, 100u) << "too few accepted texts for row " << row;
        regfree(&compiled);
    }
}

TEST(Replacements, RegexecDecidesOutsideTheCLocale)
{
    locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    if (utf8 == nullptr)
        GTEST_SKIP() << "no C.UTF-8 locale";
    locale_t previous = uselocale(utf8);
    bool accepted = false;
    EXPECT_FALSE(builtin_pattern_verdict(ds_global_types[8].p.string.regex, "a", &accepted));
    EXPECT_FALSE(codec_c_locale());
    uselocale(previous);
    freelocale(utf8);
    EXPECT_TRUE(codec_c_locale());
}

TEST(Replacements, AddressTextsAreInetNtopAndPrintfBytes)
{
    for (int i = 0; i < 200000; ++i) {
        uint8_t bytes[16];
        for (int w = 0; w < 8; ++w) { // zero groups often, so that runs of them form
            unsigned word = pick(3) == 0 ? static_cast<unsigned>(rng()) : pick(8) == 0 ? 0xffff : 0;
            bytes[2 * w] = static_cast<uint8_t>(word >> 8);
            bytes[2 * w + 1] = static_cast<uint8_t>(word);
        }
        char mine[kAddressTextSize];
        char theirs[kAddressTextSize];
        codec_format_ipv6(bytes, mine);
        ASSERT_STREQ(mine, inet_ntop(AF_INET6, bytes, theirs, sizeof theirs));
        codec_format_ipv4(bytes + 12, mine);
        ASSERT_STREQ(mine, inet_ntop(AF_INET, bytes + 12, theirs, sizeof theirs));
        codec_format_mac(bytes + 10, mine);
        const uint8_t *m = bytes + 10;
        std::snprintf(theirs, sizeof theirs, "%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x", m[0], m[1],
                      m[2], m[3], m[4], m[5]);
        ASSERT_STREQ(mine, theirs);
    }
}

TEST(Replacements, MacTextsReadAsSscanfReadsThem)
{
    const std::vector<std::string> pieces = {"0", "a", "F", "1f", "123", ":", ":",
                                             " ", "+", "-", "0x", "x",   "g", "00:11:22:33:44:"};
    for (const std::string &text : texts_to_try(pieces, 100000)) {
        uint8_t mine[6] = {};
        uint8_t theirs[6] = {};
        bool read = codec_parse_mac(text.c_str(), mine);
        bool expected =
            std::sscanf(text.c_str(), "%hhx:%hhx:%hhx:%hhx:%hhx:%hhx", &theirs[0], &theirs[1],
                        &theirs[2], &theirs[3], &theirs[4], &theirs[5]) == 6;
        ASSERT_EQ(read, expected) << "'" << text << "'";
        if (expected) {
            ASSERT_EQ(std::vector<uint8_t>(mine, mine + 6),
                      std::vector<uint8_t>(theirs, theirs + 6));
        }
    }
}

TEST(Replacements, CanonicalPrinterPrintsWhatJsoncPrints)
{
    std::vector<const DsType *> types = {&kAny, &kDoubles, &kAnys, &kBits, &kTwice, &kOverlap};
    for (uint16_t row = 0; row < ds_global_type_count; ++row)
        types.push_back(&ds_global_types[row]);
    size_t printed = 0;
    for (const DsType *type : types) {
        for (int i = 0; i < 20000; ++i) {
            std::vector<uint8_t> packed(type->size);
            for (uint8_t &byte : packed) // small values pass range checks, any byte tests escapes
                byte = static_cast<uint8_t>(pick(4) == 0 ? rng() : pick(3));
            std::string expected = printed_by_jsonc(type, packed);
            ASSERT_EQ(printed_directly(type, packed), expected) << type->name;
            printed += expected != "(invalid)";
        }
    }
    EXPECT_GT(printed, 100000u);
}

TEST(Replacements, ThreadTokenerParsesAsJsonc)
{
    const std::vector<std::string> pieces = {"{",    "}",    "[", "]",       "\"", "a",
                                             ":",    ",",    "1", "-",       ".5", "e9",
                                             "true", "null", " ", "\\u00e9", "\\"};
    for (const std::string &text : texts_to_try(pieces, 50000)) {
        json_tokener_error mine_error = json_tokener_success;
        json_tokener_error their_error = json_tokener_success;
        json_object *mine = codec_parse_verbose(text.c_str(), &mine_error);
        json_object *theirs = json_tokener_parse_verbose(text.c_str(), &their_error);
        ASSERT_EQ(mine_error, their_error) << "'" << text << "'";
        ASSERT_STREQ(json_object_to_json_string(mine), json_object_to_json_string(theirs)) << text;
        json_object_put(mine);
        json_object_put(theirs);
    }
}
