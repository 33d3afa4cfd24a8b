// Reading, writing and range-checking packed integers: widths, sign rules and
// where the cursor stands after success and after each kind of failure.
#include "dstest.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

struct Probe {
    bool ok;
    int64_t out;
    uint32_t moved; // bytes the cursor moved
};

// Runs op over 8 bytes (the leading ones given) with `remaining` bytes.
template <class Op>
Probe
probe(std::vector<uint8_t> bytes, uint32_t remaining, Op op)
{
    bytes.resize(8, 0xee);
    DsCursor cursor{bytes.data(), remaining};
    int64_t out = 99;
    bool ok = op(&out, &cursor);
    EXPECT_EQ(cursor.p - bytes.data(), static_cast<long>(remaining - cursor.remaining));
    return {ok, out, remaining - cursor.remaining};
}

} // namespace

TEST(PeekInt, WidensBySignOrZeroAndRefusesOtherWidths)
{
    const struct {
        std::vector<uint8_t> bytes;
        uint32_t width;
        bool is_signed;
        Probe want;
    } rows[] = {
        {{0x80}, 1, true, {true, -128, 1}},
        {{0x80}, 1, false, {true, 128, 1}},
        {{0xfe, 0xff}, 2, true, {true, -2, 2}},
        {{0xfe, 0xff}, 2, false, {true, 65534, 2}},
        {{0, 0, 0, 0x80}, 4, true, {true, INT32_MIN, 4}},
        {{0, 0, 0, 0x80}, 4, false, {true, 2147483648LL, 4}},
        {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, 8, false, {true, -1, 8}},
        {{0x11}, 3, true, {false, 99, 0}},
        {{0x11}, 0, true, {false, 99, 0}},
        {{0x11}, 16, true, {false, 99, 0}},
    };
    for (const auto &r : rows) {
        Probe got = probe(r.bytes, 8, [&](int64_t *out, DsCursor *c) {
            return ds__peek_int(r.width, r.is_signed, out, c);
        });
        EXPECT_EQ(got.ok, r.want.ok) << r.width;
        EXPECT_EQ(got.out, r.want.out) << r.width;
        EXPECT_EQ(got.moved, r.want.moved) << r.width;
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
        {0, 1, 8, nullptr},
        {4, 1, 3, nullptr},
        {8, 1, 7, nullptr},
        {1, 1, 0, nullptr},
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
        Probe want;
    } rows[] = {
        {&ds_global_types[3], 0x80, 2, {true, -128, 1}}, // i8
        {&ds_global_types[2], 0x80, 2, {true, 128, 1}},  // u8
        {&ds_global_types[25], 0x00, 2, {false, 0, 1}},  // standby-index-range 1..2
        {&ds_global_types[25], 0x02, 2, {true, 2, 1}},
        {&ds_global_types[25], 0x03, 2, {false, 3, 1}},
        {&ds_global_types[18], 0x02, 2, {false, 2, 1}}, // bool
        {&ds_global_types[18], 0x01, 2, {true, 1, 1}},
        {&ds_global_types[21], 0x03, 2, {false, 3, 1}}, // alarm_severity 1, 2, 4
        {&ds_global_types[21], 0x04, 2, {true, 4, 1}},
        {&ds_global_types[24], 0x04, 2, {true, 4, 1}}, // interface-type lists 4 after 5
        {&ds_global_types[24], 0x09, 2, {true, 9, 1}},
        {&ds_global_types[24], 0x0a, 2, {false, 10, 1}},
        {&no_rows, 0x00, 2, {false, 0, 1}},
        {&two_rows, 0x01, 2, {true, 1, 1}},
        {&two_rows, 0x02, 2, {false, 2, 1}},
        {&ds_global_types[1], 0x01, 1, {false, 99, 0}}, // u16 with one byte
        {&ds_global_types[0], 0x01, 3, {false, 99, 0}},
        {&ds_global_types[18], 0x01, 0, {false, 99, 0}},
        {&odd, 0x01, 8, {false, 99, 0}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(ds_type_name(r.type) + std::string(" ") + dstest::hex(&r.byte, 1));
        Probe got = probe({r.byte}, r.remaining, [&](int64_t *out, DsCursor *c) {
            return ds__get_int_or_enum_val(r.type, c, out);
        });
        EXPECT_EQ(got.ok, r.want.ok);
        EXPECT_EQ(got.out, r.want.out);
        EXPECT_EQ(got.moved, r.want.moved);
        Probe no_out = probe({r.byte}, r.remaining, [&](int64_t *, DsCursor *c) {
            return ds__get_int_or_enum_val(r.type, c, nullptr);
        });
        EXPECT_EQ(no_out.ok, r.want.ok);
    }
}
