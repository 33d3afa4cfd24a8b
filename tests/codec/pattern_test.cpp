// Pattern checks of string types: unanchored matching, the cached compilation
// against a fresh one over many texts, the locale of the calling thread, and
// a pattern that does not compile, which is reported at every check on
// standard error and lets the text through.
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <clocale>
#include <random>
#include <string>
#include <vector>

TEST(PatternMatches, BuiltinPatternsMatchAnywhereInTheText)
{
    const struct {
        const char *type;
        const char *text;
        bool accepted;
    } rows[] = {
        {"word", "a !", true},         {"word", "!?.", false},
        {"word", "", false},           {"ipv4-str", "999.1.1.1", true}, // "99.1.1.1" inside
        {"ipv4-str", "10.0.0", false}, {"ipv6-str", "fe80::1%eth0", true},
        {"ipv6-str", "hello", false},  {"uri", "scp://user@[2001:db8::1]:22/tmp/x", true},
        {"uri", "usb3:image", false},  {"uri", "bootflash:\x01", false},
        {"uri", "slot2:a.bin", true},  {"uuid", "123e4567-e89b-12d3-a456-42661417400", false},
    };
    for (const auto &r : rows)
        EXPECT_EQ(pattern_matches(dstest::builtin(r.type), r.text), r.accepted)
            << r.type << " " << r.text;
    // Only ".*" itself is known to match everything without running the matcher.
    DsType ends_in_a = dstest::type_of(DS_KIND_STRING, 8, dstest::word(".*a"));
    EXPECT_FALSE(pattern_matches(&ends_in_a, "b"));
}

TEST(PatternMatches, PatternThatDoesNotCompileIsReportedAtEveryCheckAndAccepts)
{
    const struct {
        const char *name;
        const char *regex;
        const char *line;
    } rows[] = {
        {"broken", "(", "INTERNAL ERROR: regexp ( for type broken: Unmatched ( or \\(\n"},
        {"broken", "[z-a]", "INTERNAL ERROR: regexp [z-a] for type broken: Invalid range end\n"},
        {nullptr, "a{2,1}",
         "INTERNAL ERROR: regexp a{2,1} for type <unnamed type>: Invalid content of \\{\\}\n"},
    };
    for (const auto &r : rows) {
        DsType type = dstest::type_of(DS_KIND_STRING, 8, dstest::word(r.regex), 0, 0, r.name);
        dstest::StderrCapture capture;
        EXPECT_TRUE(pattern_matches(&type, "anything"));
        EXPECT_TRUE(pattern_matches(&type, ""));
        EXPECT_TRUE(pattern_matches_uncached(&type, "x")); // and frees what regcomp left
        EXPECT_EQ(capture.text(), std::string(r.line) + r.line + r.line);
    }
}

// Texts cut from, glued to and mutated from addresses, names and URIs, so
// that every built-in pattern sees matches, near misses and garbage.
TEST(PatternCache, CachedAndFreshCompilationsAgreeOnGeneratedTexts)
{
    const char *seeds[] = {"10.0.0.1",
                           "255.255.255.255",
                           "router-1.example.net",
                           "00:1a:2b:3c:4d:5e",
                           "fe80::1%eth0",
                           "2001:db8::10.0.0.1",
                           "https://u:p@example.com:8080/p?q=1#f",
                           "tftp://[2001:db8::1]/boot",
                           "bootflash:image.bin",
                           "slot2:dir\x01name",
                           "123e4567-e89b-12d3-a456-426614174000",
                           "a b!"};
    const std::string alphabet = "0123456789abcdefABCDEF:.-_/%[]@?#x \x01\xff";
    std::mt19937 rng(1);
    size_t checks = 0;
    for (int round = 0; round < 400; ++round) {
        std::string text = seeds[rng() % std::size(seeds)];
        for (int edits = rng() % 4; edits > 0; --edits) {
            size_t at = rng() % (text.size() + 1);
            if (rng() % 2 && at < text.size())
                text.erase(at, 1 + rng() % 3);
            else
                text.insert(at, 1, alphabet[rng() % alphabet.size()]);
        }
        for (uint16_t i = 0; i < ds_global_type_count; ++i) {
            const DsType *type = &ds_global_types[i];
            if (type->kind != DS_KIND_STRING)
                continue;
            bool fresh = pattern_matches_uncached(type, text.c_str());
            EXPECT_EQ(pattern_matches(type, text.c_str()), fresh) << type->name << " " << text;
            EXPECT_EQ(pattern_matches(type, text.c_str()), fresh) << type->name << " " << text;
            checks += fresh;
        }
    }
    EXPECT_GT(checks, 400u); // a fair share of the texts is accepted somewhere
}

TEST(PatternCache, FollowsTheLocaleOfTheCallingThread)
{
    DsType type = dstest::type_of(DS_KIND_STRING, 8, dstest::word("^.$"));
    const char *e_acute = "\xc3\xa9"; // one character in UTF-8, two bytes otherwise
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    EXPECT_FALSE(pattern_matches(&type, e_acute));
    if (setlocale(LC_ALL, "C.UTF-8") == nullptr)
        GTEST_SKIP() << "no C.UTF-8 locale on this machine";
    EXPECT_TRUE(pattern_matches(&type, e_acute));
    setlocale(LC_ALL, "C");
    EXPECT_FALSE(pattern_matches(&type, e_acute));
}
