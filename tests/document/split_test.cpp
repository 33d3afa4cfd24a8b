// ds_doc_split on the hand-written module doc_fixture (doc_fixture.yang):
// the entries of documents with every kind of node and value form, byte for
// byte, and refusals with their place and reason.
#include "document/doc.h"
#include "dstypes_doc.h"

#include <gtest/gtest.h>
#include <json-c/json.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace
{

std::string
hex(const void *bytes, size_t size)
{
    std::string out;
    char pair[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%s%02x", i == 0 ? "" : " ",
                      static_cast<const unsigned char *>(bytes)[i]);
        out += pair;
    }
    return out;
}

int
collect(const DsDocEntry *entry, void *arg)
{
    auto *lines = static_cast<std::vector<std::string> *>(arg);
    lines->push_back(std::string(entry->path, entry->path_len) + "\t" +
                     hex(entry->value, entry->value_len));
    return 0;
}

struct Outcome {
    int result;
    std::vector<std::string> lines;
    std::string where, reason;
};

Outcome
split(const std::string &text, const char *at = nullptr)
{
    Outcome out;
    DsDocError *error = nullptr;
    out.result = ds_doc_split(text.data(), text.size(), at, collect, &out.lines, &error);
    if (error != nullptr) {
        out.where = ds_doc_error_where(error);
        out.reason = ds_doc_error_reason(error);
    }
    ds_doc_error_free(error);
    return out;
}

TEST(Split, EveryValueFormBecomesItsPackedEntry)
{
    Outcome out = split(R"({"dt:top": {
        "name": "eth/0", "count": 7, "big": "+0014", "ratio": "99.5", "flag": [null],
        "on": true, "color": "green", "perms": " write  read", "kind": "a-id",
        "addr": "2001:DB8::0:1", "tags": ["x", "y"], "either": 5,
        "opts": {"x": 1}, "c2": 3}})");
    ASSERT_EQ(out.result, 0) << out.where << ": " << out.reason;
    std::vector<std::string> want = {
        "/dt:top/name\t65 74 68 2f 30 00 00 00 00 00 00 00 00 00 00 00",
        "/dt:top/count\t07",
        "/dt:top/big\t0c 00 00 00 00 00 00 00", // octal, as YANG tools read it
        "/dt:top/ratio\t00 00 00 00 00 e0 58 40",
        "/dt:top/flag\t01",
        "/dt:top/on\t01",
        "/dt:top/color\t01",
        "/dt:top/perms\t05",
        "/dt:top/kind\t01 00 00 00",
    };
    ASSERT_GE(out.lines.size(), want.size() + 5);
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(out.lines[i], want[i]);
    EXPECT_EQ(out.lines[9].substr(0, 24), "/dt:top/addr\t32 30 30 31"); // "2001:db8::1"
    EXPECT_EQ(out.lines[12], "/dt:top/opts\t");
    EXPECT_EQ(out.lines[13], "/dt:top/opts/x\t01");
    EXPECT_EQ(out.lines[14], "/dt:top/c2\t03");
}

TEST(Split, ListEntriesComeAtTheirLastKeyLevelWithKeysFromAnywhereInTheEntry)
{
    Outcome out = split(R"({"dt:top": {"item": [
        {"v": -1, "id": "a/b", "sub": [{"w": 2, "b": "q", "a": 1}, {"a": 1, "b": "r"}]},
        {"id": "c", "v": 2, "sub": [{"a": 2, "b": "2", "w": 2}]}],
        "log": [{"msg": "m1"}, {"msg": "m1"}]}})");
    ASSERT_EQ(out.result, 0) << out.where << ": " << out.reason;
    std::vector<std::string> want = {
        "/dt:top/item/\"a\\/b\"\t",
        "/dt:top/item/\"a\\/b\"/v\tff ff ff ff",
        "/dt:top/item/\"a\\/b\"/sub/1/\"q\"\t",
        "/dt:top/item/\"a\\/b\"/sub/1/\"q\"/w\t02",
        "/dt:top/item/\"a\\/b\"/sub/1/\"r\"\t",
        "/dt:top/item/\"c\"\t",
        // The same text as w's before, in a leaf of another type: its own bytes.
        "/dt:top/item/\"c\"/v\t02 00 00 00",
        "/dt:top/item/\"c\"/sub/2/\"2\"\t",
        "/dt:top/item/\"c\"/sub/2/\"2\"/w\t02",
        "/dt:top/log/1\t",
        "/dt:top/log/1/msg\t6d 31 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        "/dt:top/log/2\t",
        "/dt:top/log/2/msg\t6d 31 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
    };
    EXPECT_EQ(out.lines, want);
}

// Key components against json-c's print of the same keys, over generated
// keys: texts of every character a document's text can hold that json-c
// escapes or keeps (tab, line feed, carriage return, quotes, backslashes,
// slashes, multibyte UTF-8), written in the document as \u escapes, and
// the numbers of a u8 key.
TEST(Split, KeyComponentsAreJsonCsPrintOfTheKeys)
{
    std::mt19937 random(7);
    const std::vector<std::string> chars = {"\t", "\n", "\r", " ",        "\"",
                                            "\\", "/",  "~",  "\x7f",     "a",
                                            "Z",  "0",  ":",  "\xc3\xa9", "\xe2\x82\xac"};
    std::string text = R"({"dt:top": {"item": [)";
    std::vector<std::string> want;
    std::set<std::string> ids;
    for (int n = 0; n < 3000; ++n) {
        std::string id, escaped;
        for (size_t length = random() % 8; length > 0; --length) {
            const std::string &c = chars[random() % chars.size()];
            if (id.size() + c.size() > 15)
                break;
            id += c;
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x",
                          c.size() == 1   ? unsigned(c[0])
                          : c.size() == 2 ? 0xe9u
                                          : 0x20acu);
            escaped += c == "a" || c == "Z" || c == "0" ? c : escape;
        }
        if (!ids.insert(id).second)
            continue;
        json_object *jo = json_object_new_string_len(id.data(), int(id.size()));
        std::string printed = json_object_to_json_string(jo);
        json_object_put(jo);
        unsigned a = random() % 256;
        text += (want.empty() ? "{\"id\": \"" : ",{\"id\": \"") + escaped +
                "\", \"sub\": [{\"a\": " + std::to_string(a) + ", \"b\": \"x\"}]}";
        want.push_back("/dt:top/item/" + printed + "\t");
        want.push_back("/dt:top/item/" + printed + "/sub/" + std::to_string(a) + "/\"x\"\t");
    }
    Outcome out = split(text + "]}}");
    ASSERT_EQ(out.result, 0) << out.where << ": " << out.reason;
    EXPECT_GT(want.size(), 4000u);
    EXPECT_EQ(out.lines, want);
}

// Times move to the local zone as timegm and localtime_r move them, over
// generated times (fields in their ranges, or any two digits) and zones
// with daylight saving time and half-hour offsets.
TEST(Split, TimesMoveToTheLocalZoneAsTheCLibraryMovesThem)
{
    std::mt19937 random(11);
    const char *saved = std::getenv("TZ");
    std::string before = saved != nullptr ? saved : "";
    for (const char *zone : {"UTC0", "America/New_York", "Australia/Lord_Howe"}) {
        setenv("TZ", zone, 1);
        tzset();
        for (int n = 0; n < 3000; ++n) {
            // Fields in their ranges, or any two digits.
            const int limits[5] = {12, 31, 24, 60, 60};
            bool wild = random() % 4 == 0;
            int year = int(random() % 10000), f[5], sign = int(random() % 3) - 1;
            for (int i = 0; i < 5; ++i)
                f[i] = wild ? int(random() % 100) : int(random() % limits[i]) + (i < 2);
            int hours = int(random() % 24), minutes = int(random() % 60);
            if (sign < 0 && hours == 0 && minutes == 0) // "-00:00" is no offset
                minutes = 1;
            char text[64], offset[8] = "Z";
            if (sign != 0)
                std::snprintf(offset, sizeof offset, "%c%02d:%02d", sign < 0 ? '-' : '+', hours,
                              minutes);
            std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%s", year, f[0], f[1],
                          f[2], f[3], f[4], offset);
            struct tm tm = {};
            tm.tm_year = year - 1900;
            tm.tm_mon = f[0] - 1;
            tm.tm_mday = f[1];
            tm.tm_hour = f[2];
            tm.tm_min = f[3];
            tm.tm_sec = f[4];
            time_t instant = timegm(&tm) - sign * (hours * 3600 + minutes * 60);
            struct tm local = {};
            ASSERT_NE(localtime_r(&instant, &local), nullptr);
            long gmtoff = local.tm_gmtoff % 86400, off = (gmtoff < 0 ? -gmtoff : gmtoff) / 60;
            char want[64];
            std::snprintf(want, sizeof want, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                          local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, gmtoff < 0 ? '-' : '+', off / 60, off % 60);
            std::string out;
            ASSERT_TRUE(doc::canonical_text(DS_DOC_CANON_DATE_AND_TIME, text, out)) << text;
            ASSERT_EQ(out, want) << text << " in " << zone;
        }
    }
    if (saved != nullptr)
        setenv("TZ", before.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(Split, RefusedDocumentsGiveNoEntryAndNameThePlace)
{
    struct Row {
        const char *text;
        const char *where;
        const char *reason_start;
    };
    const Row rows[] = {
        {R"({"dt:top": {"count": 256}})", "/dt:top/count", "out of the range of type uint8"},
        {R"({"dt:top": {"count": "7"}})", "/dt:top/count", "a string where the type wants"},
        {R"({"dt:top": {"big": 7}})", "/dt:top/big", "a number where the type wants"},
        {R"({"dt:top": {"big": "9223372036854775808"}})", "/dt:top/big", "out of the range"},
        {R"({"dt:top": {"name": "sixteen chars ok"}})", "/dt:top/name", "the text is 16 bytes"},
        {R"({"dt:top": {"ratio": "1.234"}})", "/dt:top/ratio", "more than 2 fraction digits"},
        {R"({"dt:top": {"ratio": "100.01"}})", "/dt:top/ratio", "out of the decimal64"},
        {R"({"dt:top": {"perms": "read read"}})", "/dt:top/perms", "bit \"read\" is named twice"},
        {R"({"dt:top": {"kind": "other:a-id"}})", "/dt:top/kind", ""},
        {R"({"dt:top": {"flag": null}})", "/dt:top/flag", "JSON null is no value"},
        {R"({"dt:top": {"nmae": "x"}})", "/dt:top/nmae", "no such member here"},
        {R"({"dt:top": {"count": 1, "count": 2}})", "/dt:top/count", "the member appears twice"},
        {R"({"dt:top": {"c1": 1, "c2": 2}})", "/dt:top/c2", "of another case of choice \"how\""},
        {R"({"dt:top": {"item": [{"v": 1}]}})", "/dt:top/item/0", "the list entry lacks its key"},
        {R"({"dt:top": {"item": [{"id": "a"}, {"id": "a"}]}})", "/dt:top/item/1",
         "a second entry with the same keys"},
        {R"({"dt:top": {"tags": ["x", "x"]}})", "/dt:top/tags/1", "a value that the leaf-list"},
        {R"({"dt:top": {"tags": ["1", "2", "3", "4", "5"]}})", "/dt:top/tags/4",
         "more values than the 4"},
        {R"({"dt:top": {"name": "a\u0000b"}})", "/dt:top/name",
         "a YANG text cannot hold the character"},
        {R"({"dt:top": {"name": "a\fb"}})", "/dt:top/name",
         "a YANG text cannot hold the character of this escape"},
        {R"({"dt:top": {"tags": ["\b"]}})", "/dt:top/tags/0",
         "a YANG text cannot hold the character of this escape"},
        {R"({"dt:top": {"count": 1}} x)", "", "text after the document"},
        {R"({"dt:top": {"count": 1})", "", "not JSON"},
        {"{\"dt:top\": {\"name\": \"\xC3\x28\"}}", "/dt:top/name", "not JSON: invalid UTF-8"},
        {R"({"top": {}})", "/top", "no such member here"},
    };
    for (const Row &row : rows) {
        Outcome out = split(row.text);
        EXPECT_EQ(out.result, -1) << row.text;
        EXPECT_TRUE(out.lines.empty()) << row.text;
        EXPECT_EQ(out.where, row.where) << row.text;
        EXPECT_EQ(out.reason.rfind(row.reason_start, 0), 0u) << row.text << ": " << out.reason;
    }
}

TEST(Split, BodiesAtAKeyPath)
{
    Outcome entry = split(R"({"dt:item": [{"id": "a", "v": 2}]})", "/dt:top/item/\"a\"");
    ASSERT_EQ(entry.result, 0) << entry.where << ": " << entry.reason;
    EXPECT_EQ(entry.lines, (std::vector<std::string>{"/dt:top/item/\"a\"\t",
                                                     "/dt:top/item/\"a\"/v\t02 00 00 00"}));
    Outcome other = split(R"({"dt:item": [{"id": "b"}]})", "/dt:top/item/\"a\"");
    EXPECT_EQ(other.reason, "the entry's keys are not those of the key path");
    Outcome leaf = split(R"({"dt:count": 9})", "/dt:top/count");
    EXPECT_EQ(leaf.lines, std::vector<std::string>{"/dt:top/count\t09"});
    Outcome empty = split("{\n\n}\n", "/dt:top");
    EXPECT_EQ(empty.result, 0) << empty.where << ": " << empty.reason;
    EXPECT_TRUE(empty.lines.empty());
    EXPECT_EQ(split("{} {}", "/dt:top").reason, "text after the body (at byte 3)");
    Outcome bad = split(R"({"dt:count": 9})", "/dt:top/nothing");
    EXPECT_EQ(bad.where, "/dt:top/nothing");
}

TEST(Split, CallbackStopsTheSplit)
{
    std::string text = R"({"dt:top": {"count": 1, "on": false}})";
    int calls = 0;
    auto stop = [](const DsDocEntry *, void *arg) {
        ++*static_cast<int *>(arg);
        return 7;
    };
    EXPECT_EQ(ds_doc_split(text.data(), text.size(), nullptr, stop, &calls, nullptr), 7);
    EXPECT_EQ(calls, 1);
}

} // namespace
