// Pattern checks of string types: unanchored matching, and a pattern that
// does not compile, which is reported on standard error and lets text through.
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace
{

using dstest::builtin;

} // namespace

TEST(PatternMatches, BuiltinPatternsMatchAnywhereInTheText)
{
    const struct {
        const char *type;
        const char *text;
        bool accepted;
    } cases[] = {
        {"word", "a !", true}, // found at the letter
        {"word", "!?.", false},
        {"word", "", false},
        {"word", "under_score-dash", true},
        {"string", "", true},
        {"ipv4-str", "10.0.0.1", true},
        {"ipv4-str", "x10.0.0.1y", true},
        {"ipv4-str", "10.0.0", false},
        {"ipv4-str", "999.1.1.1", true}, // "99.1.1.1" lies inside
        {"dnsname", "router-1.example.net", true},
        {"dnsname", "-", false},
        {"macaddress-str", "00:1A:2b:3c:4d:5e", true},
        {"macaddress-str", "00:1a:2b:3c:4d", false},
        {"ipv6-str", "::1", true},
        {"ipv6-str", "fe80::1%eth0", true},
        {"ipv6-str", "2001:db8::10.0.0.1", true},
        {"ipv6-str", "hello", false},
        {"uri", "https://example.com/a?b#c", true},
        {"uri", "scp://user@[2001:db8::1]:22/tmp/x", true},
        {"uri", "bootflash:image.bin", true},
        {"uri", "usb3:image.bin", false},
        {"uri", "bootflash:\x01", false},
        {"uri", "mailto:someone", false},
        {"uuid", "123e4567-e89b-12d3-a456-426614174000", true},
        {"uuid", "123e4567-e89b-12d3-a456-42661417400", false},
    };
    for (const auto &c : cases) {
        const DsType *type = builtin(c.type);
        ASSERT_NE(type, nullptr) << c.type;
        EXPECT_EQ(pattern_matches(type, c.text), c.accepted) << c.type << " '" << c.text << "'";
    }
}

TEST(PatternMatches, PatternThatDoesNotCompileIsReportedAndAcceptsEveryCheck)
{
    const DsType named = {"broken", DS_KIND_STRING, 8, {{0, 0, 0}}};
    DsType type = named;
    type.p.string.regex = "(";
    dstest::StderrCapture capture;
    EXPECT_TRUE(pattern_matches(&type, "anything"));
    EXPECT_TRUE(pattern_matches(&type, ""));
    EXPECT_EQ(capture.text(), "INTERNAL ERROR: regexp ( for type broken: Unmatched ( or \\(\n"
                              "INTERNAL ERROR: regexp ( for type broken: Unmatched ( or \\(\n");
}

TEST(PatternMatches, AnonymousTypeIsNamedInTheReport)
{
    DsType type = {nullptr, DS_KIND_STRING, 8, {{0, 0, 0}}};
    type.p.string.regex = "a{2,1}";
    dstest::StderrCapture capture;
    EXPECT_TRUE(pattern_matches(&type, "x"));
    EXPECT_EQ(capture.text(),
              "INTERNAL ERROR: regexp a{2,1} for type <unnamed type>: Invalid content of \\{\\}\n");
}

TEST(PatternCache, CachedAndFreshlyCompiledPatternsGiveTheSameVerdicts)
{
    const char *seeds[] = {
        "",
        "a",
        "a b!",
        "10.0.0.1",
        "255.255.255.255",
        "256.1.1.1",
        "router-1.example.net",
        "-bad-.name",
        "00:1a:2b:3c:4d:5e",
        "00:1a:2b",
        "::1",
        "fe80::1%eth0",
        "2001:db8::10.0.0.1",
        "1:2:3:4:5:6:7:8",
        "https://user:pw@example.com:8080/p/a?q=1#frag",
        "tftp://[2001:db8::1]/boot",
        "bootflash:image.bin",
        "slot2:dir\x01name",
        "123e4567-e89b-12d3-a456-426614174000",
        "\xff\xfe",
    };
    std::vector<std::string> texts;
    for (const char *seed : seeds) {
        std::string s = seed;
        for (size_t cut = 0; cut <= s.size(); cut += 2)
            texts.push_back(s.substr(0, cut));
        texts.push_back("!" + s);
        texts.push_back(s + " ");
        texts.push_back(s + s);
    }
    ASSERT_GE(texts.size(), 200u);
    size_t checks = 0;
    for (uint16_t i = 0; i < ds_global_type_count; ++i) {
        const DsType *type = &ds_global_types[i];
        if (type->kind != DS_KIND_STRING)
            continue;
        for (const std::string &text : texts) {
            // Twice cached: the second check runs on the cached compilation.
            bool fresh = pattern_matches_uncached(type, text.c_str());
            EXPECT_EQ(pattern_matches(type, text.c_str()), fresh) << type->name << " " << text;
            EXPECT_EQ(pattern_matches(type, text.c_str()), fresh) << type->name << " " << text;
            ++checks;
        }
    }
    EXPECT_GE(checks, 1000u);
}

TEST(PatternCache, BadPatternIsReportedAtEveryCheck)
{
    DsType type = {"broken", DS_KIND_STRING, 8, {{0, 0, 0}}};
    type.p.string.regex = "[z-a]";
    dstest::StderrCapture capture;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(pattern_matches(&type, "x"));
    const std::string line = "INTERNAL ERROR: regexp [z-a] for type broken: Invalid range end\n";
    EXPECT_EQ(capture.text(), line + line + line);
}

TEST(PatternCache, FollowsTheLocaleOfTheCallingThread)
{
    DsType type = {"one-char", DS_KIND_STRING, 8, {{0, 0, 0}}};
    type.p.string.regex = "^.$";
    const char *e_acute = "\xc3\xa9"; // one character in UTF-8, two bytes otherwise
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    EXPECT_FALSE(pattern_matches(&type, e_acute));
    if (setlocale(LC_ALL, "C.UTF-8") == nullptr)
        GTEST_SKIP() << "no C.UTF-8 locale on this machine";
    EXPECT_TRUE(pattern_matches(&type, e_acute));
    EXPECT_EQ(pattern_matches_uncached(&type, e_acute), true);
    setlocale(LC_ALL, "C");
    EXPECT_FALSE(pattern_matches(&type, e_acute));
}
