// The built-in table is binary interface: schema modules refer to its rows by
// address. Every row is checked here against literal expectations.
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

const DsType *
row(int n)
{
    return &ds_global_types[n];
}

// FNV-1a over the pattern's bytes, for the two patterns too long to spell here.
uint64_t
fnv1a(const char *text)
{
    uint64_t h = 0xcbf29ce484222325ULL;
    for (const char *p = text; *p != '\0'; ++p) {
        h ^= static_cast<unsigned char>(*p);
        h *= 0x100000001b3ULL;
    }
    return h;
}

struct IntRow {
    int row;
    const char *name;
    uint16_t size;
    int64_t min;
    int64_t max;
};

struct StringRow {
    int row;
    const char *name;
    uint16_t size;
    const char *pattern; // null: checked by hash below
};

} // namespace

TEST(BuiltinTable, HasTwentyNineRows)
{
    EXPECT_EQ(ds_global_type_count, 29);
}

TEST(BuiltinTable, IntRowsHaveTheirWidthsAndRanges)
{
    const IntRow rows[] = {
        {0, "u32", 4, 0, 4294967295LL},
        {1, "u16", 2, 0, 65535},
        {2, "u8", 1, 0, 255},
        {3, "i8", 1, -128, 127},
        {4, "i16", 2, -32768, 32767},
        {5, "i32", 4, -2147483648LL, 2147483647LL},
        {6, "i64", 8, INT64_MIN, INT64_MAX},
        {25, "standby-index-range", 1, 1, 2},
        {26, "port-channel-index-range", 1, 1, 8},
    };
    for (const IntRow &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(row(r.row)->name, r.name);
        EXPECT_EQ(row(r.row)->kind, DS_KIND_INT);
        EXPECT_EQ(row(r.row)->size, r.size);
        EXPECT_EQ(row(r.row)->p.integer.min, r.min);
        EXPECT_EQ(row(r.row)->p.integer.max, r.max);
    }
}

TEST(BuiltinTable, StringRowsCarryTheirPatternsByteForByte)
{
    const StringRow rows[] = {
        {7, "string", 65, ".*"},
        {8, "word", 33, "[a-zA-Z0-9_-]+"},
        {9, "ipv4-str", 16,
         "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])"
         "(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}"},
        {11, "dnsname", 253,
         "[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])"
         "?){0,60}"},
        {12, "macaddress-str", 18, "[A-Fa-f0-9]{1,2}(:[A-Fa-f0-9]{1,2}){5}"},
        {14, "ipv6-str", 46, nullptr},
        {16, "uri", 256, nullptr},
        {19, "uuid", 37,
         "[A-Fa-f0-9]{8}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{12}"},
    };
    for (const StringRow &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(row(r.row)->name, r.name);
        EXPECT_EQ(row(r.row)->kind, DS_KIND_STRING);
        EXPECT_EQ(row(r.row)->size, r.size);
        if (r.pattern != nullptr) {
            EXPECT_STREQ(row(r.row)->p.string.regex, r.pattern);
        }
    }
}

TEST(BuiltinTable, Ipv6PatternEmbedsTheIpv4PatternSevenTimes)
{
    const std::string p6 = row(14)->p.string.regex;
    const std::string p3 = row(9)->p.string.regex;
    EXPECT_EQ(p6.size(), 1239u);
    EXPECT_EQ(fnv1a(p6.c_str()), 0x803b47bc2d20118cULL);
    size_t count = 0;
    for (size_t at = p6.find(p3); at != std::string::npos; at = p6.find(p3, at + 1))
        ++count;
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(p6.substr(0, 30), "((([0-9A-Fa-f]{1,4}:){7}([0-9A");
    EXPECT_EQ(p6.substr(p6.size() - 11), "|:)))(%.+)?");
}

TEST(BuiltinTable, UriPatternIsAssembledFromItsPieces)
{
    const std::string p7 = row(16)->p.string.regex;
    const std::string p6 = row(14)->p.string.regex;
    EXPECT_EQ(p7.size(), 1621u);
    EXPECT_EQ(fnv1a(p7.c_str()), 0xe499a3c8f5095736ULL);
    // A bracketed IPv6 host: the whole IPv6 pattern between "\[" and "\]".
    EXPECT_NE(p7.find("\\[" + p6 + "\\])(:[0-9]+)?"), std::string::npos);
    EXPECT_EQ(p7.substr(0, 40), "((scp|http|https|ftp|ftps|tftp)://(([-A-");
    // The device-path tail: raw control bytes 0x01 and 0x1F, then two backslashes.
    const char tail[] = "(bootflash|usb1|usb2|slot1|slot2):[^\x01-\x1f\"<>\\\\|:*?]+)";
    EXPECT_EQ(p7.substr(p7.size() - (sizeof tail - 1)), tail);
}

TEST(BuiltinTable, ConvertedRowsNameTheirBaseAndConverter)
{
    const struct {
        int row;
        const char *name;
        uint16_t size;
        int base;
        uint64_t converter;
    } rows[] = {
        {10, "ipv4", 4, 9, 1},
        {13, "macaddress", 6, 12, 3},
        {15, "ipv6", 16, 14, 2},
        {28, "interface", 4, 27, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(row(r.row)->name, r.name);
        EXPECT_EQ(row(r.row)->kind, DS_KIND_CONVERTED);
        EXPECT_EQ(row(r.row)->size, r.size);
        EXPECT_EQ(row(r.row)->p.converted.base, row(r.base));
        EXPECT_EQ(row(r.row)->p.converted.converter, r.converter);
    }
}

TEST(BuiltinTable, DoubleRows)
{
    for (int n : {17, 20}) {
        EXPECT_EQ(row(n)->kind, DS_KIND_DOUBLE);
        EXPECT_EQ(row(n)->size, 8);
    }
    EXPECT_STREQ(row(17)->name, "double");
    EXPECT_STREQ(row(20)->name, "timestamp");
}

TEST(BuiltinTable, EnumTablesKeepTableOrder)
{
    const struct {
        int row;
        const char *name;
        std::string rows; // "name=value" joined by blanks, in table order
    } enums[] = {
        {18, "bool", "false=0 true=1"},
        {21, "alarm_severity", "critical=1 major=2 minor=4"},
        {22, "alarm_category",
         "communications=1 service_quality=2 processing_error=3 equipment=4 environment=5 "
         "content=6"},
        {24, "interface-type",
         "None=0 Virtual=1 GigabitEthernet=2 TenGigabitEthernet=3 InlineGroup=5 InlinePort=4 "
         "Standby=6 PortChannel=7 Bridge=8 VirtualBlade=9"},
    };
    for (const auto &e : enums) {
        SCOPED_TRACE(e.name);
        const DsType *t = row(e.row);
        EXPECT_STREQ(t->name, e.name);
        EXPECT_EQ(t->kind, DS_KIND_ENUM);
        EXPECT_EQ(t->size, 1);
        EXPECT_EQ(t->p.enumeration.base, row(2));
        std::string listed;
        for (uint32_t i = 0; i < t->p.enumeration.count; ++i) {
            if (i != 0)
                listed += ' ';
            listed += t->p.enumeration.values[i].name;
            listed += '=';
            listed += std::to_string(t->p.enumeration.values[i].value);
        }
        EXPECT_EQ(listed, e.rows);
    }
}

TEST(BuiltinTable, AlarmIsEventIdThenTimestamp)
{
    const DsType *alarm = row(23);
    EXPECT_STREQ(alarm->name, "alarm");
    EXPECT_EQ(alarm->kind, DS_KIND_SEQUENCE);
    EXPECT_EQ(alarm->size, 12);
    ASSERT_EQ(alarm->p.sequence.field_count, 2u);
    EXPECT_STREQ(alarm->p.sequence.fields[0].name, "eventId");
    EXPECT_EQ(alarm->p.sequence.fields[0].type, row(0));
    EXPECT_STREQ(alarm->p.sequence.fields[1].name, "timestamp");
    EXPECT_EQ(alarm->p.sequence.fields[1].type, row(20));
}

TEST(BuiltinTable, InterfaceChoiceFieldsAndArms)
{
    const DsType *impl = row(27);
    EXPECT_STREQ(impl->name, "interface-impl");
    EXPECT_EQ(impl->kind, DS_KIND_CHOICE);
    EXPECT_EQ(impl->size, 4);
    ASSERT_EQ(impl->p.choice.arm_count, 6u);

    // name, then for anonymous fields kind and range (or the row it uses).
    const struct {
        const char *name;
        int row; // -1: anonymous
        uint32_t kind;
        int64_t min;
        int64_t max;
    } fields[] = {
        {"kind", 24, 0, 0, 0},
        {"index", -1, DS_KIND_INT, 1, 4},
        {"slot", -1, DS_KIND_INT, 0, 1},
        {"port", -1, DS_KIND_INT, 0, 15},
        {"slot", -1, DS_KIND_INT, 0, 1},
        {"port", -1, DS_KIND_INT, 0, 4},
        {"direction", -1, DS_KIND_ENUM, 0, 0},
        {"index", -1, DS_KIND_INT, 1, 8},
        {"index", 25, 0, 0, 0},
        {"index", 26, 0, 0, 0},
    };
    const DsField *f = impl->p.choice.fields;
    for (size_t i = 0; i < std::size(fields); ++i) {
        SCOPED_TRACE("field " + std::to_string(i));
        EXPECT_STREQ(f[i].name, fields[i].name);
        if (fields[i].row >= 0) {
            EXPECT_EQ(f[i].type, row(fields[i].row));
            continue;
        }
        EXPECT_EQ(f[i].type->name, nullptr);
        EXPECT_EQ(f[i].type->size, 1);
        EXPECT_EQ(f[i].type->kind, fields[i].kind);
        if (fields[i].kind == DS_KIND_INT) {
            EXPECT_EQ(f[i].type->p.integer.min, fields[i].min);
            EXPECT_EQ(f[i].type->p.integer.max, fields[i].max);
        }
    }
    const DsType *direction = f[6].type;
    EXPECT_EQ(direction->p.enumeration.base, row(2));
    ASSERT_EQ(direction->p.enumeration.count, 2u);
    EXPECT_STREQ(direction->p.enumeration.values[0].name, "lan");
    EXPECT_EQ(direction->p.enumeration.values[0].value, 0);
    EXPECT_STREQ(direction->p.enumeration.values[1].name, "wan");
    EXPECT_EQ(direction->p.enumeration.values[1].value, 1);

    const struct {
        std::string values;
        uint16_t first;
        uint16_t count;
    } arms[] = {
        {"1", 1, 1}, {"2 3 5", 2, 2}, {"4", 4, 3}, {"8", 7, 1}, {"6", 8, 1}, {"7", 9, 1},
    };
    for (size_t i = 0; i < std::size(arms); ++i) {
        SCOPED_TRACE("arm " + std::to_string(i + 1));
        const DsChoiceArm &arm = impl->p.choice.arms[i];
        std::string values;
        for (uint32_t v = 0; v < arm.value_count; ++v) {
            if (v != 0)
                values += ' ';
            values += std::to_string(arm.values[v]);
        }
        EXPECT_EQ(values, arms[i].values);
        EXPECT_EQ(arm.first_field, arms[i].first);
        EXPECT_EQ(arm.field_count, arms[i].count);
    }
}
