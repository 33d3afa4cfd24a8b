// The reading walk puts every part where its type says: JSON values made at
// random convert to packed form and back to the same JSON, for a sequence
// whose fixed-size parts (a double, an array with unused slots, an int, a
// string with room to spare) are each followed by another. The JSON
// reader's word-wise scans of string bytes and blanks stop where a reading
// byte by byte stops.
#include "core/json_ref.h"
#include "dstypes.h"
#include "dstypes_json_chars.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace
{

const DsType &kDouble = ds_global_types[DS_BUILTIN_DOUBLE];
const DsType kPair{"pair", DS_KIND_ARRAY, 2 + 16, {.array = {2, &kDouble}}};
const DsType kShort{"short", DS_KIND_STRING, 6, {.string = {".*"}}};
const DsField kFields[] = {{"d", &kDouble},
                           {"a", &kPair},
                           {"n", &ds_global_types[DS_BUILTIN_I16]},
                           {"s", &kShort},
                           {"e", &kDouble}};
const DsType kRecord{"record", DS_KIND_SEQUENCE, 8 + 18 + 2 + 6 + 8, {.sequence = {5, kFields}}};

TEST(JsonRead, EveryPartComesBackFromWhereItWasWritten)
{
    std::mt19937 random(22);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    for (int round = 0; round < 500; ++round) {
        JsonRef jo(json_object_new_object());
        json_object_object_add(jo.get(), "d", json_object_new_double(real(random)));
        json_object *pair = json_object_new_array();
        for (unsigned i = 0, n = random() % 3; i < n; ++i)
            json_object_array_add(pair, json_object_new_double(real(random)));
        json_object_object_add(jo.get(), "a", pair);
        json_object_object_add(jo.get(), "n", json_object_new_int64(int16_t(random())));
        std::string text(random() % 6, static_cast<char>('a' + random() % 26));
        json_object_object_add(jo.get(), "s", json_object_new_string(text.c_str()));
        json_object_object_add(jo.get(), "e", json_object_new_double(real(random)));
        std::vector<uint8_t> packed(kRecord.size, 0xee);
        ASSERT_NE(ds_jo_to_c(&kRecord, jo.get(), packed.data(), packed.size()), nullptr);
        JsonRef back(ds_c_to_jo(&kRecord, packed.data(), packed.size()));
        ASSERT_NE(back, nullptr);
        EXPECT_STREQ(json_object_to_json_string(back.get()), json_object_to_json_string(jo.get()));
    }
}

// Every text of 0 to 40 bytes, placed at each of the eight offsets from a
// word boundary in a buffer that ends where it ends (so that a read past the
// end is a sanitizer report), with one stopping byte at each position over
// a background of bytes that do not stop the scan.
void
expect_scan_matches_bytes(const char *what, std::string_view background, std::string_view stops,
                          const std::function<const char *(const char *, const char *)> &scan,
                          const std::function<bool(unsigned char)> &goes_on)
{
    for (size_t length = 0; length <= 40; ++length)
        for (size_t offset = 0; offset < 8; ++offset)
            for (size_t stop_at = 0; stop_at <= length; ++stop_at)
                for (char stop : stops) {
                    std::vector<char> buffer(offset + length);
                    char *text = buffer.data() + offset;
                    for (size_t i = 0; i < length; ++i)
                        text[i] = background[(i * 7 + offset) % background.size()];
                    if (stop_at < length)
                        text[stop_at] = stop;
                    const char *end = text + length;
                    const char *expected = text;
                    while (expected < end && goes_on(static_cast<unsigned char>(*expected)))
                        ++expected;
                    ASSERT_EQ(scan(text, end) - text, expected - text)
                        << what << ": " << std::string(text, length) << " at offset " << offset;
                }
}

TEST(JsonScan, WordScansStopWhereByteScansStop)
{
    using namespace std::string_view_literals;
    expect_scan_matches_bytes(
        "plain string bytes", " !#[]a\x7f~"sv, "\"\\\x00\x1f\x80\xa2\xdc\xff\t\n"sv,
        ds::detail::plain_string_run,
        [](unsigned char c) { return c != '"' && c != '\\' && c >= 0x20 && c < 0x80; });
    const auto blank = [](unsigned char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    };
    const std::string_view non_blanks = "!a\x00\x0b\x0c\x1f\xa0\x80\"{"sv;
    expect_scan_matches_bytes("spaces", " "sv, non_blanks, ds::detail::blank_run, blank);
    expect_scan_matches_bytes("mixed blanks", "   \t  \n \r  "sv, non_blanks, ds::detail::blank_run,
                              blank);
}

} // namespace
