// Pattern checks of string types: unanchored matching, the cached compilation
// against a fresh one, the locale of the calling thread, and a pattern that
// does not compile, which is reported at every check on standard error and
// lets the text through.
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

// (The built-in patterns have matchers of their own, checked against regexec
// by the replacements test.)
TEST(PatternMatches, PatternsMatchAnywhereInTheTextCachedOrNot)
{
    const DsType ends_in_a = dstest::type_of(DS_KIND_STRING, 8, dstest::word(".*a"));
    const DsType digits = dstest::type_of(DS_KIND_STRING, 8, dstest::word("[0-9]{2}"));
    // clang-format off
    const struct { const DsType *type; const char *text; bool accepted; } rows[] = {
        {&ends_in_a, "b", false}, // only ".*" itself matches everything unseen
        {&ends_in_a, "xxa", true}, {&digits, "x12y", true},
        {&digits, "1y2", false},
    };
    // clang-format on
    for (int round = 0; round < 2; ++round) { // the second round reads the cache
        for (const auto &r : rows) {
            EXPECT_EQ(pattern_matches(r.type, r.text), r.accepted) << r.text;
            EXPECT_EQ(pattern_matches_uncached(r.type, r.text), r.accepted) << r.text;
        }
    }
}

TEST(PatternMatches, PatternThatDoesNotCompileIsReportedAtEveryCheckAndAccepts)
{
    // clang-format off
    const struct { const char *name; const char *regex; const char *line; } rows[] = {
        {"broken", "(", "INTERNAL ERROR: regexp ( for type broken: Unmatched ( or \\(\n"},
        {nullptr, "a{2,1}",
         "INTERNAL ERROR: regexp a{2,1} for type <unnamed type>: Invalid content of \\{\\}\n"},
    };
    // clang-format on
    for (const auto &r : rows) {
        DsType type = dstest::type_of(DS_KIND_STRING, 8, dstest::word(r.regex), 0, 0, r.name);
        dstest::StderrCapture capture;
        EXPECT_TRUE(pattern_matches(&type, "anything"));
        EXPECT_TRUE(pattern_matches(&type, ""));
        EXPECT_TRUE(pattern_matches_uncached(&type, "x")); // and frees what regcomp left
        EXPECT_EQ(capture.text(), std::string(r.line) + r.line + r.line);
    }
}

// A text too long for its type is refused before its pattern is applied; a
// pattern that does not compile is still reported once for the check.
TEST(PatternMatches, TextTooLongForItsTypeStillReportsABrokenPattern)
{
    DsType broken = dstest::type_of(DS_KIND_STRING, 4, dstest::word("("), 0, 0, "broken");
    DsType address = dstest::type_of(DS_KIND_CONVERTED, 4, dstest::word(&broken), 1);
    const char line[] = "INTERNAL ERROR: regexp ( for type broken: Unmatched ( or \\(\n";
    for (const DsType *type : {&broken, &address}) {
        JsonRef jo(json_object_new_string("255.255.255.255:too long"));
        dstest::StderrCapture capture;
        EXPECT_FALSE(ds_jo_value_is_valid(type, jo.get()));
        EXPECT_EQ(capture.text(), line);
    }
}

TEST(PatternCache, FollowsTheLocaleOfTheCallingThread)
{
    DsType type = dstest::type_of(DS_KIND_STRING, 8, dstest::word("^.$"));
    const char *e_acute = "\xc3\xa9"; // one character in UTF-8, two bytes otherwise
    for (const std::string locale : {"C", "C.UTF-8", "C"}) {
        ASSERT_NE(setlocale(LC_ALL, locale.c_str()), nullptr) << locale;
        EXPECT_EQ(pattern_matches(&type, e_acute), locale != "C") << locale;
    }
}
