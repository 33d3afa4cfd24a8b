// Reading, writing and range-checking packed integers: widths, sign rules and
// where the cursor stands after success and after each kind of failure.
#include "dstest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PackInt, WritesLowOrderBytesOrNothing)
{
    // clang-format off
    // width, value, bytes remaining, the 8 bytes afterwards (null: refused)
    const struct { uint32_t width; int64_t value; uint32_t left; const char *bytes; } rows[] = {
        {1, 300, 8, "2c aa aa aa aa aa aa aa"}, {2, -2, 8, "fe ff aa aa aa aa aa aa"},
        {4, 0x100000007LL, 4, "07 00 00 00 aa aa aa aa"}, {8, -1, 8, "ff ff ff ff ff ff ff ff"},
        {3, 1, 8, nullptr}, {4, 1, 3, nullptr}, {8, 1, 7, nullptr},
    };
    // clang-format on
    for (const auto &r : rows) {
        std::vector<uint8_t> bytes(8, 0xaa);
        DsCursor cursor{bytes.data(), r.left};
        EXPECT_EQ(ds__pack_int(r.width, r.value, &cursor), r.bytes != nullptr) << r.width;
        EXPECT_EQ(dstest::hex(bytes.data(), 8), r.bytes ? r.bytes : "aa aa aa aa aa aa aa aa");
        EXPECT_EQ(r.left - cursor.remaining, r.bytes ? r.width : 0);
    }
    EXPECT_TRUE(ds__pack_int(3, 5, nullptr));
}

// Every width and signedness of ds__peek_int is read through an int type.
TEST(GetIntOrEnumVal, WidensBySignAndChecksRangeAndTable)
{
    const DsType odd = {"odd", DS_KIND_INT, 3, {{0, 100, 0}}};
    DsType no_rows = ds_global_types[18];
    no_rows.p.enumeration.count = 0;
    // clang-format off
    // row of the built-in table (90: `odd`, 91: `no_rows`), bytes, bytes remaining, and
    // the result, the value written to out and the bytes the cursor moved
    const struct { uint16_t row; std::vector<uint8_t> bytes; uint32_t remaining; const char *want;
    } rows[] = {
        {3, {0x80}, 2, "1 -128 1"},        // i8
        {2, {0x80}, 2, "1 128 1"},         // u8
        {4, {0xfe, 0xff}, 2, "1 -2 2"},    // i16
        {1, {0xfe, 0xff}, 2, "1 65534 2"}, // u16
        {5, {0, 0, 0, 0x80}, 4, "1 -2147483648 4"}, {0, {0, 0, 0, 0x80}, 4, "1 2147483648 4"},
        {6, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, 8, "1 -1 8"},
        {25, {0x00}, 2, "0 0 1"}, // standby-index-range 1..2
        {25, {0x02}, 2, "1 2 1"}, {25, {0x03}, 2, "0 3 1"},
        {18, {0x02}, 2, "0 2 1"}, // bool
        {21, {0x03}, 2, "0 3 1"}, // alarm_severity 1, 2, 4
        {24, {0x04}, 2, "1 4 1"}, // interface-type lists 4 after 5
        {24, {0x0a}, 2, "0 10 1"}, {91, {0x00}, 2, "0 0 1"},
        {1, {0x01}, 1, "0 99 0"}, // u16 with one byte
        {18, {0x01}, 0, "0 99 0"}, {90, {0x01}, 8, "0 99 0"},
    };
    // clang-format on
    for (const auto &r : rows) {
        const DsType *type = r.row == 90 ? &odd : r.row == 91 ? &no_rows : &ds_global_types[r.row];
        std::vector<uint8_t> bytes = r.bytes;
        bytes.resize(8, 0xee);
        SCOPED_TRACE(ds_type_name(type) + std::string(" ") + dstest::hex(bytes.data(), 8));
        DsCursor cursor{bytes.data(), r.remaining};
        int64_t out = 99;
        bool ok = ds__get_int_or_enum_val(type, &cursor, &out);
        uint32_t moved = r.remaining - cursor.remaining;
        EXPECT_EQ(cursor.p, bytes.data() + moved);
        EXPECT_EQ(std::to_string(ok) + " " + std::to_string(out) + " " + std::to_string(moved),
                  r.want);
        DsCursor again{bytes.data(), r.remaining}; // without out: the same verdict and move
        EXPECT_EQ(ds__get_int_or_enum_val(type, &again, nullptr), ok);
        EXPECT_EQ(again.remaining, cursor.remaining);
    }
    // A width that no int has is refused before anything is read or moved.
    uint8_t byte = 0x11;
    DsCursor cursor{&byte, 1};
    int64_t out = 99;
    EXPECT_FALSE(ds__peek_int(3, true, &out, &cursor));
    EXPECT_FALSE(ds__peek_int(16, false, &out, &cursor));
    EXPECT_EQ(out, 99);
    EXPECT_EQ(cursor.remaining, 1u);
}
