// Reading, writing and range-checking packed integers: widths, sign rules and
// where the cursor stands after success and after each kind of failure.
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{

DsCursor
cursor_over(std::vector<uint8_t> &bytes, uint32_t remaining)
{
    return DsCursor{bytes.data(), remaining};
}

const DsType *
builtin(int row)
{
    return &ds_global_types[row];
}

} // namespace

TEST(PeekInt, WidensBySignOrZeroExtension)
{
    const struct {
        std::vector<uint8_t> bytes;
        uint32_t width;
        bool is_signed;
        int64_t value;
    } cases[] = {
        {{0x80}, 1, true, -128},
        {{0x80}, 1, false, 128},
        {{0xfe, 0xff}, 2, true, -2},
        {{0xfe, 0xff}, 2, false, 65534},
        {{0x00, 0x00, 0x00, 0x80}, 4, true, INT32_MIN},
        {{0x00, 0x00, 0x00, 0x80}, 4, false, 2147483648LL},
        {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, 8, false, -1},
        {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f}, 8, true, INT64_MAX},
        {{0x34, 0x12}, 2, false, 0x1234},
    };
    for (auto c : cases) {
        SCOPED_TRACE(dstest::hex(c.bytes.data(), c.bytes.size()));
        DsCursor cursor = cursor_over(c.bytes, 100);
        int64_t out = 99;
        ASSERT_TRUE(ds__peek_int(c.width, c.is_signed, &out, &cursor));
        EXPECT_EQ(out, c.value);
        EXPECT_EQ(cursor.p, c.bytes.data() + c.width);
        EXPECT_EQ(cursor.remaining, 100 - c.width);
    }
}

TEST(PeekInt, OtherWidthsTouchNothing)
{
    std::vector<uint8_t> bytes(16, 0x11);
    for (uint32_t width : {0u, 3u, 5u, 6u, 7u, 9u, 16u}) {
        DsCursor cursor = cursor_over(bytes, 16);
        int64_t out = 42;
        EXPECT_FALSE(ds__peek_int(width, true, &out, &cursor)) << width;
        EXPECT_EQ(out, 42);
        EXPECT_EQ(cursor.p, bytes.data());
        EXPECT_EQ(cursor.remaining, 16u);
    }
}

TEST(PackInt, WritesLowOrderBytesInHostOrder)
{
    const struct {
        uint32_t width;
        int64_t value;
        const char *bytes;
    } cases[] = {
        {1, 300, "2c"},
        {2, -2, "fe ff"},
        {4, 0x01020304, "04 03 02 01"},
        {8, -1, "ff ff ff ff ff ff ff ff"},
        {4, 4294967296LL + 7, "07 00 00 00"},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> bytes(8, 0xaa);
        DsCursor cursor = cursor_over(bytes, 8);
        ASSERT_TRUE(ds__pack_int(c.width, c.value, &cursor));
        EXPECT_EQ(dstest::hex(bytes.data(), c.width), c.bytes);
        EXPECT_EQ(cursor.p, bytes.data() + c.width);
        EXPECT_EQ(cursor.remaining, 8 - c.width);
        if (c.width < 8) {
            EXPECT_EQ(bytes[c.width], 0xaa) << "wrote past the integer";
        }
    }
}

TEST(PackInt, NullCursorOnlyChecksAndAlwaysSucceeds)
{
    EXPECT_TRUE(ds__pack_int(3, 5, nullptr));
    EXPECT_TRUE(ds__pack_int(4, 5, nullptr));
}

TEST(PackInt, RefusesBadWidthOrTooFewBytesWithoutWriting)
{
    const struct {
        uint32_t width;
        uint32_t remaining;
    } cases[] = {{3, 8}, {0, 8}, {16, 16}, {4, 3}, {8, 7}, {1, 0}};
    for (const auto &c : cases) {
        std::vector<uint8_t> bytes(16, 0xaa);
        DsCursor cursor = cursor_over(bytes, c.remaining);
        EXPECT_FALSE(ds__pack_int(c.width, -1, &cursor)) << c.width << "/" << c.remaining;
        EXPECT_EQ(bytes, std::vector<uint8_t>(16, 0xaa));
        EXPECT_EQ(cursor.p, bytes.data());
        EXPECT_EQ(cursor.remaining, c.remaining);
    }
}

TEST(GetIntOrEnumVal, ChecksRangeAndTableAndAlwaysReportsTheValueRead)
{
    const struct {
        int row;
        uint8_t byte;
        bool valid;
        int64_t value;
    } cases[] = {
        {3, 0x80, true, -128}, // "i8"
        {2, 0x80, true, 128},  // "u8"
        {25, 0x00, false, 0},  // "standby-index-range" 1..2
        {25, 0x02, true, 2},   //
        {25, 0x03, false, 3},  //
        {18, 0x02, false, 2},  // "bool": 2 is not listed
        {18, 0x01, true, 1},   //
        {21, 0x03, false, 3},  // "alarm_severity": 1, 2, 4
        {21, 0x04, true, 4},   //
        {24, 0x04, true, 4},   // "interface-type" lists 4 after 5
        {24, 0x0a, false, 10}, //
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(builtin(c.row)->name) + " " + dstest::hex(&c.byte, 1));
        std::vector<uint8_t> bytes{c.byte, 0xee};
        DsCursor cursor = cursor_over(bytes, 2);
        int64_t out = 99;
        EXPECT_EQ(ds__get_int_or_enum_val(builtin(c.row), &cursor, &out), c.valid);
        EXPECT_EQ(out, c.value);
        EXPECT_EQ(cursor.remaining, 1u) << "the cursor moves past the value either way";
        DsCursor again = cursor_over(bytes, 2);
        EXPECT_EQ(ds__get_int_or_enum_val(builtin(c.row), &again, nullptr), c.valid);
    }
}

TEST(GetIntOrEnumVal, TooFewBytesOrOddSizeLeaveCursorAndOutAlone)
{
    const DsType odd = {"odd", DS_KIND_INT, 3, {{0, 100, 0}}};
    const struct {
        const DsType *type;
        uint32_t remaining;
    } cases[] = {
        {builtin(1), 1},  // "u16" with one byte
        {builtin(0), 3},  // "u32" with three
        {builtin(18), 0}, // "bool" with none
        {&odd, 8},        // a width no integer has
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> bytes(8, 0x01);
        DsCursor cursor = cursor_over(bytes, c.remaining);
        int64_t out = 99;
        EXPECT_FALSE(ds__get_int_or_enum_val(c.type, &cursor, &out));
        EXPECT_EQ(out, 99);
        EXPECT_EQ(cursor.p, bytes.data());
        EXPECT_EQ(cursor.remaining, c.remaining);
    }
}

TEST(GetIntOrEnumVal, EnumWithoutRowsIsNeverValid)
{
    const DsType empty = {"empty", DS_KIND_ENUM, 1, {}};
    DsType type = empty;
    type.p.enumeration.base = builtin(2);
    type.p.enumeration.count = 0;
    std::vector<uint8_t> bytes{0x00};
    DsCursor cursor = cursor_over(bytes, 1);
    int64_t out = 99;
    EXPECT_FALSE(ds__get_int_or_enum_val(&type, &cursor, &out));
    EXPECT_EQ(out, 0);
}
