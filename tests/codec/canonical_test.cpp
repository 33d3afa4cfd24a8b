// JSON text and canonical text: the one text of each value, the exact log line
// and code of every failure, the JSON literal null, the caller's json-c
// reference released on every path, and the 524288-character cap at its
// boundary. (A copy that cannot be allocated is a hardening test.)
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{

using dstest::builtin;
using dstest::type_of;

constexpr int kUntouched = -1;

// The canonical text, or "(null)"; err starts as kUntouched. The parsed text
// goes through ds_canonical_jo too, with a reference of our own that must be
// the last one afterwards, for the same result, code and number of log lines.
std::string
canonical(const DsType *type, const std::string &text, int *err)
{
    *err = kUntouched;
    char *out = ds_canonical_json(text.c_str(), type, err);
    std::string result = out != nullptr ? out : "(null)";
    std::free(out);
    json_object *jo = json_tokener_parse(text.c_str());
    if (jo == nullptr)
        return result;
    std::vector<dstest::LogLine> logged = dstest::logs();
    int again = kUntouched;
    out = ds_canonical_jo(json_object_get(jo), type, &again);
    EXPECT_EQ(out != nullptr ? out : "(null)", result);
    EXPECT_EQ(again, *err);
    EXPECT_EQ(dstest::logs().size(), 2 * logged.size());
    EXPECT_EQ(json_object_put(jo), 1);
    std::free(out);
    dstest::logs() = logged;
    return result;
}

const DsType kBits16 = type_of(DS_KIND_BITMAP, 2, 16);
const DsType kEmpty = type_of(DS_KIND_SEQUENCE, 0, 0, 0, 0, "empty");
// Bit lists of `length` characters fit the 65535-byte bitmap: a few one-digit
// bits to adjust the length, then six-digit bits (seven characters each).
const DsType kHugeBitmap = type_of(DS_KIND_BITMAP, 65535, 524280, 0, 0, "huge");

std::string
bit_list_of_length(size_t length)
{
    size_t with_commas = length - 2 + 1; // no quotes, one comma per number
    std::string text;
    for (size_t i = 0; (with_commas - 2 * i) % 7 != 0; ++i)
        text += std::to_string(2 * i) + ",";
    for (size_t bit = 100000; text.size() < with_commas; bit += 2)
        text += std::to_string(bit) + ",";
    text.pop_back();
    return "\"" + text + "\"";
}

} // namespace

TEST(CanonicalJson, GivesEveryValueOneText)
{
    // clang-format off
    // The canonical text; null for the literal null (no code, no log line).
    const struct { const DsType *type; const char *text; const char *canonical; } rows[] = {
        {builtin("alarm_severity"), "2", R"("major")"}, {builtin("bool"), R"("true")", "true"},
        {builtin("alarm"), R"({"timestamp": 2, "eventId": 7})",
         R"({ "eventId": 7, "timestamp": 2.0 })"},
        {builtin("interface"), R"({"direction": "lan", "kind": 4, "port": 2, "slot": 1})",
         R"({ "kind": "InlinePort", "slot": 1, "port": 2, "direction": "lan" })"},
        {builtin("interface"), R"({"kind": "VirtualBlade", "slot": 1})",
         R"({ "kind": "VirtualBlade" })"},
        {&kBits16, R"("3, 1,2,9-10,")", R"("1-3,9-10")"},
        {builtin("u8"), "null", nullptr},
    };
    // clang-format on
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        int err = kUntouched;
        EXPECT_EQ(canonical(row.type, row.text, &err), row.canonical ? row.canonical : "(null)");
        EXPECT_EQ(err, kUntouched);
    }
    int err = kUntouched;
    EXPECT_EQ(ds_json_to_jo("null", &err), nullptr);
    EXPECT_EQ(ds_canonical_jo(nullptr, builtin("u8"), &err), nullptr);
    EXPECT_EQ(err, kUntouched);
    JsonRef jo(ds_json_to_jo(R"({"a": 1})", &err));
    EXPECT_EQ(dstest::json_text(jo.get()), R"({ "a": 1 })");
    EXPECT_EQ(err, kUntouched);
    dstest::expect_no_log();
}

TEST(CanonicalJson, EveryFailureLogsOneLineAndSetsItsCode)
{
    const std::string too_long = bit_list_of_length(524288);
    ASSERT_EQ(too_long.size(), 524288u);
    // clang-format off
    const struct { const DsType *type; std::string text; int code; std::string format, line;
    } rows[] = {
        {builtin("u8"), R"({"a": 1)", 50, "(value %s error %s)",
         "(value {\"a\": 1 error unexpected end of data)"},
        {builtin("alarm_severity"), "3", 50, "(can't convert c %s to %s)",
         "(can't convert c 3 to alarm_severity)"},
        {&kBits16, R"("16")", 50, "(can't convert c %s to %s)",
         "(can't convert c \"16\" to <unnamed type>)"},
        {&kEmpty, "{}", 50, "(can't reconvert c value of %s to %s)",
         "(can't reconvert c value of { } to empty)"},
        {&kHugeBitmap, too_long, 58, "(value too long %.40s...)",
         "(value too long \"0,2,4,6,100000,100002,100004,100006,100...)"},
    };
    // clang-format on
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text.substr(0, 20));
        int err = kUntouched;
        EXPECT_EQ(canonical(row.type, row.text, &err), "(null)");
        EXPECT_EQ(err, row.code);
        ASSERT_EQ(dstest::logs().size(), 1u);
        EXPECT_EQ(dstest::logs()[0].format, "Bad translation of JSON value " + row.format + "\n");
        dstest::expect_one_log(0x2A862, "Bad translation of JSON value " + row.line + "\n");
    }
    // One character less than the cap is handed out whole.
    const std::string longest = bit_list_of_length(524287);
    int err = kUntouched;
    EXPECT_EQ(canonical(&kHugeBitmap, longest, &err), longest);
    dstest::expect_no_log();
}
