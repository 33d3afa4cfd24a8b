// The built-in table is binary interface: schema modules refer to its rows by
// address and are built against its layout. Each row is described as one
// line (name, kind, size and parameters, field and base types by name) and
// compared with the table as documented; the accessors of a descriptor too.
#include "dstest.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace
{

void describe(std::ostream &out, const DsType *t);

void
name_or_shape(std::ostream &out, const DsType *t)
{
    if (t->name != nullptr) {
        out << t->name;
        return;
    }
    out << "(";
    describe(out, t);
    out << ")";
}

void
fields(std::ostream &out, const DsField *f, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        out << " " << f[i].name << ":";
        name_or_shape(out, f[i].type);
    }
}

void
describe(std::ostream &out, const DsType *t)
{
    out << ds__kind_name(t->kind) << " " << t->size;
    const DsTypeParams &p = t->p;
    switch (t->kind) {
    case DS_KIND_INT:
        out << " " << p.integer.min << ".." << p.integer.max;
        break;
    case DS_KIND_STRING:
        out << " /" << std::string(p.string.regex).size();
        break;
    case DS_KIND_ENUM:
        out << " ";
        name_or_shape(out, p.enumeration.base);
        for (uint32_t i = 0; i < p.enumeration.count; ++i)
            out << " " << p.enumeration.values[i].name << "=" << p.enumeration.values[i].value;
        break;
    case DS_KIND_SEQUENCE:
        fields(out, p.sequence.fields, p.sequence.field_count);
        break;
    case DS_KIND_CHOICE:
        fields(out, p.choice.fields, 10);
        for (uint32_t a = 0; a < p.choice.arm_count; ++a) {
            out << " |";
            for (uint32_t v = 0; v < p.choice.arms[a].value_count; ++v)
                out << " " << p.choice.arms[a].values[v];
            out << " @" << p.choice.arms[a].first_field << "+" << p.choice.arms[a].field_count;
        }
        break;
    case DS_KIND_CONVERTED:
        out << " " << p.converted.base->name << " #" << p.converted.converter;
        break;
    }
}

} // namespace

TEST(BuiltinTable, RowsAreTheDocumentedTypesInOrder)
{
    const char *const rows[] = {
        "u32: int 4 0..4294967295",
        "u16: int 2 0..65535",
        "u8: int 1 0..255",
        "i8: int 1 -128..127",
        "i16: int 2 -32768..32767",
        "i32: int 4 -2147483648..2147483647",
        "i64: int 8 -9223372036854775808..9223372036854775807",
        "string: string 65 /2",
        "word: string 33 /14",
        "ipv4-str: string 16 /97",
        "ipv4: invalid 4 ipv4-str #1",
        "dnsname: string 253 /96",
        "macaddress-str: string 18 /38",
        "macaddress: invalid 6 macaddress-str #3",
        "ipv6-str: string 46 /1239",
        "ipv6: invalid 16 ipv6-str #2",
        "uri: string 256 /1621",
        "double: double 8",
        "bool: enum 1 u8 false=0 true=1",
        "uuid: string 37 /75",
        "timestamp: double 8",
        "alarm_severity: enum 1 u8 critical=1 major=2 minor=4",
        "alarm_category: enum 1 u8 communications=1 service_quality=2 processing_error=3 "
        "equipment=4 "
        "environment=5 content=6",
        "alarm: sequence 12 eventId:u32 timestamp:timestamp",
        "interface-type: enum 1 u8 None=0 Virtual=1 GigabitEthernet=2 TenGigabitEthernet=3 "
        "InlineGroup=5 "
        "InlinePort=4 Standby=6 PortChannel=7 Bridge=8 VirtualBlade=9",
        "standby-index-range: int 1 1..2",
        "port-channel-index-range: int 1 1..8",
        "interface-impl: choice 4 kind:interface-type index:(int 1 1..4) slot:(int 1 0..1) "
        "port:(int 1 0..15) "
        "slot:(int 1 0..1) port:(int 1 0..4) direction:(enum 1 u8 lan=0 wan=1) index:(int 1 1..8) "
        "index:standby-index-range index:port-channel-index-range "
        "| 1 @1+1 | 2 3 5 @2+2 | 4 @4+3 | 8 @7+1 | 6 @8+1 | 7 @9+1",
        "interface: invalid 4 interface-impl #0",
    };
    ASSERT_EQ(ds_global_type_count, std::size(rows));
    for (uint16_t i = 0; i < ds_global_type_count; ++i) {
        std::ostringstream line;
        line << ds_global_types[i].name << ": ";
        describe(line, &ds_global_types[i]);
        EXPECT_EQ(line.str(), rows[i]);
    }
}

TEST(BuiltinTable, PatternsAreTheDocumentedExpressions)
{
    auto pattern = [](int row) { return std::string(ds_global_types[row].p.string.regex); };
    const std::string octet = "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])";
    EXPECT_EQ(pattern(7), ".*");
    EXPECT_EQ(pattern(8), "[a-zA-Z0-9_-]+");
    EXPECT_EQ(pattern(9), octet + "(\\." + octet + "){3}");
    EXPECT_EQ(pattern(11),
              "[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}"
              "[A-Za-z0-9])?){0,60}");
    EXPECT_EQ(pattern(12), "[A-Fa-f0-9]{1,2}(:[A-Fa-f0-9]{1,2}){5}");
    EXPECT_EQ(pattern(19),
              "[A-Fa-f0-9]{8}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{12}");
    // The IPv6 text embeds the dotted quad seven times; the URI embeds the IPv6 text as a host.
    const std::string p6 = pattern(14), p7 = pattern(16);
    size_t quads = 0;
    for (size_t at = p6.find(pattern(9)); at != std::string::npos; at = p6.find(pattern(9), at + 1))
        ++quads;
    EXPECT_EQ(quads, 7u);
    EXPECT_EQ(p6.substr(0, 30), "((([0-9A-Fa-f]{1,4}:){7}([0-9A");
    EXPECT_EQ(p6.substr(p6.size() - 11), "|:)))(%.+)?");
    EXPECT_EQ(p7.substr(0, 40), "((scp|http|https|ftp|ftps|tftp)://(([-A-");
    EXPECT_NE(p7.find("\\[" + p6 + "\\])(:[0-9]+)?"), std::string::npos);
    const char tail[] = "(bootflash|usb1|usb2|slot1|slot2):[^\x01-\x1f\"<>\\\\|:*?]+)";
    EXPECT_EQ(p7.substr(p7.size() - (sizeof tail - 1)), tail);
}

TEST(TypeAccessors, NullAnonymousAndKindNames)
{
    const DsType anonymous = {nullptr, DS_KIND_INT, 1, {{0, 255, 0}}};
    EXPECT_STREQ(ds_type_name(nullptr), "<unnamed type>");
    EXPECT_EQ(ds_type_name(&anonymous), nullptr);
    EXPECT_EQ(ds_type_size(nullptr), 0u);
    EXPECT_EQ(ds_type_size(&anonymous), 1u);
    std::ostringstream names;
    for (uint32_t kind : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 4000000000u})
        names << ds__kind_name(kind) << " ";
    EXPECT_EQ(names.str(), "int double string enum array sequence choice bitmap invalid invalid ");
}
