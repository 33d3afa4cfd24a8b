// Reading, writing and range-checking packed integers: widths, sign rules and
// where the cursor stands after success and after each kind of failure.
#include "dstest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

// Runs op over 8 bytes (the leading ones given, then ee) of which `remaining`
// are the cursor's, and tells "result value-out bytes-moved".
template <class Op>
std::string
probe(std::vector<uint8_t> bytes, uint32_t remaining, Op op)
{
    bytes.resize(8, 0xee);
    DsCursor cursor{bytes.data(), remaining};
    int64_t out = 99;
    bool ok = op(&out, &cursor);
    EXPECT_EQ(cursor.p - bytes.data(), static_cast<long>(remaining - cursor.remaining));
    return std::to_string(ok) + " " + std::to_string(out) + " " +
           std::to_string(remaining - cursor.remaining);
}

} // namespace

TEST(PeekInt, WidensBySignOrZeroAndRefusesOtherWidths)
{
    const struct {
        std::vector<uint8_t> bytes;
        uint32_t width;
        bool is_signed;
        const char *want;
    } rows[] = {
        {{0x80}, 1, true, "1 -128 1"},
        {{0x80}, 1, false, "1 128 1"},
        {{0xfe, 0xff}, 2, true, "1 -2 2"},
        {{0xfe, 0xff}, 2, false, "1 65534 2"},
        {{0, 0, 0, 0x80}, 4, true, "1 -2147483648 4"},
        {{0, 0, 0, 0x80}, 4, false, "1 2147483648 4"},
        {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, 8, false, "1 -1 8"},
        {{0x11}, 3, true, "0 99 0"},
        {{0x11}, 16, true, "0 99 0"},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(probe(r.bytes, 8,
                        [&](int64_t *out, DsCursor *c) {
                            return ds__peek_int(r.width, r.is_signed, out, c);
                        }),
                  r.want);
    }
}

TEST(PackInt, WritesLowOrderBytesOrNothing)
{
    const struct {
        uint32_t width;
        int64_t value;
        uint32_t remaining;
        const char *bytes; // the 8 bytes afterwards; null: refused
    } rows[] = {
        {1, 300, 8, "2c aa aa aa aa aa aa aa"},
        {2, -2, 8, "fe ff aa aa aa aa aa aa"},
        {4, 0x100000007LL, 4, "07 00 00 00 aa aa aa aa"},
        {8, -1, 8, "ff ff ff ff ff ff ff ff"},
        {3, 1, 8, nullptr},
        {4, 1, 3, nullptr},
        {8, 1, 7, nullptr},
    };
    for (const auto &r : rows) {
        std::vector<uint8_t> bytes(8, 0xaa);
        DsCursor cursor{bytes.data(), r.remaining};
        EXPECT_EQ(ds__pack_int(r.width, r.value, &cursor), r.bytes != nullptr) << r.width;
        EXPECT_EQ(dstest::hex(bytes.data(), 8), r.bytes ? r.bytes : "aa aa aa aa aa aa aa aa");
        EXPECT_EQ(r.remaining - cursor.remaining, r.bytes ? r.width : 0);
    }
    EXPECT_TRUE(ds__pack_int(3, 5, nullptr));
}

TEST(GetIntOrEnumVal, ChecksRangeAndTableAndReportsTheValueRead)
{
    const DsType odd = {"odd", DS_KIND_INT, 3, {{0, 100, 0}}};
    DsType no_rows = ds_global_types[18];
    no_rows.p.enumeration.count = 0;
    // Two rows counted of a table of three: the third is never looked at.
    static const DsEnumValue three_rows[] = {{"a", 0}, {"b", 1}, {"c", 2}};
    DsType two_rows = no_rows;
    two_rows.p.enumeration = {&ds_global_types[2], 2, three_rows};
    const struct {
        const DsType *type;
        uint8_t byte;
        uint32_t remaining;
        const char *want;
    } rows[] = {
        {&ds_global_types[3], 0x80, 2, "1 -128 1"}, // i8
        {&ds_global_types[2], 0x80, 2, "1 128 1"},  // u8
        {&ds_global_types[25], 0x00, 2, "0 0 1"},   // standby-index-range 1..2
        {&ds_global_types[25], 0x02, 2, "1 2 1"},
        {&ds_global_types[25], 0x03, 2, "0 3 1"},
        {&ds_global_types[18], 0x02, 2, "0 2 1"}, // bool
        {&ds_global_types[18], 0x01, 2, "1 1 1"},
        {&ds_global_types[21], 0x03, 2, "0 3 1"}, // alarm_severity 1, 2, 4
        {&ds_global_types[24], 0x04, 2, "1 4 1"}, // interface-type lists 4 after 5
        {&ds_global_types[24], 0x0a, 2, "0 10 1"},
        {&no_rows, 0x00, 2, "0 0 1"},
        {&two_rows, 0x01, 2, "1 1 1"},
        {&two_rows, 0x02, 2, "0 2 1"},
        {&ds_global_types[1], 0x01, 1, "0 99 0"}, // u16 with one byte
        {&ds_global_types[18], 0x01, 0, "0 99 0"},
        {&odd, 0x01, 8, "0 99 0"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(ds_type_name(r.type) + std::string(" ") + dstest::hex(&r.byte, 1));
        EXPECT_EQ(probe({r.byte}, r.remaining,
                        [&](int64_t *out, DsCursor *c) {
                            return ds__get_int_or_enum_val(r.type, c, out);
                        }),
                  r.want);
        std::string without_out = probe({r.byte}, r.remaining, [&](int64_t *, DsCursor *c) {
            return ds__get_int_or_enum_val(r.type, c, nullptr);
        });
        EXPECT_EQ(without_out[0], r.want[0]);
    }
}
