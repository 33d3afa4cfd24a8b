// Pattern checks of string types: unanchored matching, and a pattern that
// does not compile, which is reported on standard error and lets text through.
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

namespace
{

const DsType *
builtin(const char *name)
{
    for (uint16_t i = 0; i < ds_global_type_count; ++i) {
        if (std::string(ds_global_types[i].name) == name)
            return &ds_global_types[i];
    }
    return nullptr;
}

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
