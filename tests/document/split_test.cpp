// ds_doc_split on the hand-written module doc_fixture (doc_fixture.yang):
// the entries of documents with every kind of node and value form, byte for
// byte, and refusals with their place and reason.
#include "core/address_text.h"
#include "core/regex.h"
#include "document/doc.h"
#include "document/split_walk.h"
#include "document/value_forms.h"
#include "dstypes_doc.h"

#include <gtest/gtest.h>
#include <json-c/json.h>

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

namespace
{

// Texts near the known patterns: addresses as the library writes them
// (zero runs, embedded IPv4), times and hex pairs, each also with one
// character replaced, inserted or removed.
std::vector<std::string>
pattern_texts(std::mt19937 &random)
{
    std::vector<std::string> texts = {"", ":", "0", "::", "1.2.3.4", "01.2.3.4", "00:1A"};
    const std::string alphabet = "0123456789abcdefAFgG:.-+TZ% \n\xc3";
    for (int n = 0; n < 4000; ++n) {
        uint8_t bytes[16] = {};
        for (uint8_t &b : bytes)
            b = random() % 3 == 0 ? uint8_t(random()) : 0;
        if (n % 5 == 0)
            bytes[10] = bytes[11] = 0xff;
        char text[64];
        switch (n % 4) {
        case 0:
            core::format_ipv6(bytes, text);
            break;
        case 1:
            std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], unsigned(random() % 300),
                          bytes[2], unsigned(random() % 10));
            break;
        case 2:
            std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%s%s",
                          unsigned(random() % 10000), unsigned(random() % 100), 1u, 2u, 3u, 4u,
                          random() % 2 ? ".5" : "", random() % 2 ? "Z" : "+01:30");
            break;
        default:
            std::snprintf(text, sizeof text, "%02x:%02X:%02x", bytes[0], bytes[1], bytes[2]);
        }
        std::string t = text;
        texts.push_back(t);
        size_t at = random() % (t.size() + 1);
        char c = alphabet[random() % alphabet.size()];
        if (random() % 3 == 0 && at < t.size())
            t.erase(at, 1);
        else if (random() % 2 == 0)
            t = t.substr(0, at) + c + t.substr(at);
        else if (at < t.size())
            t[at] = c;
        texts.push_back(t);
    }
    return texts;
}

} // namespace

// The patterns whose verdict the split reads off the text: regexec's verdict
// (for IPv6, accepted only where regexec accepts, and every address as the
// library writes it), and the bytes that inet_pton reads.
TEST(SplitPacking, KnownPatternsGiveRegexecsVerdict)
{
    std::mt19937 random(5);
    std::vector<std::string> texts = pattern_texts(random);
    for (const doc::KnownPatternText &known : doc::known_patterns()) {
        Regex regex(known.text.c_str());
        ASSERT_TRUE(regex.ok()) << known.text;
        EXPECT_EQ(doc::known_pattern(known.text.c_str()), known.kind);
        size_t accepted = 0;
        for (const std::string &text : texts) {
            bool want = regex.matches(text.c_str());
            bool got = doc::known_pattern_accepts(known.kind, text);
            accepted += got;
            if (known.kind != doc::KnownPattern::ipv6)
                ASSERT_EQ(got, want) << known.text << " on " << text;
            else
                ASSERT_TRUE(!got || want) << known.text << " on " << text;
            uint8_t mine[16], theirs[16];
            if (known.kind == doc::KnownPattern::ipv4 && got) {
                ASSERT_EQ(inet_pton(AF_INET, text.c_str(), theirs), 1) << text;
                ASSERT_TRUE(doc::dotted_quad(text, mine));
                ASSERT_EQ(std::memcmp(mine, theirs, 4), 0) << text;
            }
        }
        EXPECT_GT(accepted, known.kind == doc::KnownPattern::any ? texts.size() - 1 : 500u)
            << known.text;
    }
    EXPECT_EQ(doc::known_pattern("^[0-9]+$"), doc::KnownPattern::none);
}

// Values packed without the library's walk get ds_jo_to_c's bytes, and
// every integer, double and enumeration that it takes is taken directly.
TEST(SplitPacking, DirectPackingGivesTheLibrarysBytes)
{
    std::mt19937 random(9);
    std::vector<DsType> types;
    for (unsigned row = 0; row < DS_BUILTIN_COUNT; ++row)
        if (ds_global_types[row].kind != DS_KIND_CHOICE)
            types.push_back(ds_global_types[row]);
    std::vector<DsType> bases(doc::known_patterns().size());
    size_t n = 0;
    for (const doc::KnownPatternText &known : doc::known_patterns()) {
        bases[n] = DsType{nullptr, DS_KIND_STRING, 48, {}};
        bases[n].p.string.regex = known.text.c_str();
        types.push_back(bases[n]);
        DsType converted{nullptr, DS_KIND_CONVERTED, 16, {}};
        converted.p.converted.base = &bases[n++];
        converted.p.converted.converter = known.kind == doc::KnownPattern::ipv4 ? 1 : 2;
        types.push_back(converted);
    }
    std::vector<json_object *> values = {nullptr, json_object_new_boolean(1),
                                         json_object_new_boolean(0), json_object_new_double(2.5),
                                         json_object_new_array()};
    for (const char *name : {"major", "Major", "true", "minor"})
        values.push_back(json_object_new_string(name));
    for (int64_t number : {int64_t(INT64_MIN), int64_t(-129), int64_t(-128), int64_t(-1),
                           int64_t(0), int64_t(1), int64_t(2), int64_t(3), int64_t(255),
                           int64_t(256), int64_t(65535), int64_t(4294967295), int64_t(INT64_MAX)})
        values.push_back(json_object_new_int64(number));
    for (const std::string &text : pattern_texts(random))
        values.push_back(json_object_new_string_len(text.data(), int(text.size())));
    values.push_back(json_object_new_string_len("1.2.3.4\0x", 9));
    doc::DirectPacker packer;
    size_t direct = 0;
    for (const DsType &type : types) {
        for (json_object *value : values) {
            std::vector<uint8_t> mine(type.size, 0), theirs(type.size, 0);
            bool taken = packer.pack(&type, value, mine.data());
            bool library = ds_jo_to_c(&type, value, theirs.data(), theirs.size()) != nullptr;
            direct += taken;
            bool checked = type.kind == DS_KIND_INT || type.kind == DS_KIND_DOUBLE ||
                           type.kind == DS_KIND_ENUM;
            ASSERT_TRUE(taken ? library && mine == theirs : !(checked && library))
                << ds_type_name(&type) << " " << json_object_to_json_string(value);
        }
    }
    EXPECT_GT(direct, 10000u);
    for (json_object *value : values)
        json_object_put(value);
}

// Integers in plain decimal are read as the general path reads them: their
// own canonical text, the library's number, the same bounds and ranges.
TEST(SplitPacking, PlainIntegersReadAsTheGeneralPathReads)
{
    std::mt19937_64 random(3);
    const int64_t ranges[] = {-5, 300, 1000, INT64_MAX};
    const DsType &i64 = ds_global_types[DS_BUILTIN_I64];
    size_t plain = 0;
    for (uint8_t base : {DS_DOC_INT8, DS_DOC_INT16, DS_DOC_INT32, DS_DOC_INT64, DS_DOC_UINT8,
                         DS_DOC_UINT16, DS_DOC_UINT32, DS_DOC_UINT64, DS_DOC_STRING}) {
        for (uint32_t count : {0u, 2u}) {
            DsDocValue value{base, 0, 0, 0, count, nullptr, nullptr, ranges, nullptr};
            for (int n = 0; n < 3000; ++n) {
                uint64_t bits = random() >> (random() % 64);
                std::string text = (random() % 3 == 0 ? "-" : "") + std::to_string(bits);
                if (n % 7 == 0) {
                    size_t at = random() % text.size();
                    text = text.substr(0, at) + "0 x+e"[random() % 5] + text.substr(at);
                }
                for (doc::Scalar::Kind kind :
                     {doc::Scalar::Kind::number, doc::Scalar::Kind::string}) {
                    doc::Scalar in;
                    in.kind = kind;
                    in.text = text;
                    int64_t number = 0;
                    if (!doc::plain_integer(value, in, number))
                        continue;
                    ++plain;
                    std::string canonical, reason;
                    ASSERT_TRUE(doc::canonical_member(value, "", in, canonical, reason)) << text;
                    EXPECT_EQ(canonical, text);
                    doc::JsonPtr library = doc::scalar_to_library(value, &i64, "", in, reason);
                    ASSERT_NE(library, nullptr) << text << ": " << reason;
                    ASSERT_EQ(json_object_get_int64(library.get()), number) << text;
                }
            }
        }
    }
    EXPECT_GT(plain, 10000u);
}
