// The built-in table is binary interface: schema modules refer to its rows by
// address and are built against its layout. Each row is described as one line
// (kind, size, parameters, field and base types by name) and compared with the
// table as documented; then every row carries generated values there and back.
#include "codec/codec.h"
#include "dstest.h"

#include <gtest/gtest.h>

#include <random>
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
describe(std::ostream &out, const DsType *t)
{
    out << ds__kind_name(t->kind) << " " << t->size;
    const DsTypeParams &p = t->p;
    if (t->kind == DS_KIND_INT)
        out << " " << p.integer.min << ".." << p.integer.max;
    if (t->kind == DS_KIND_STRING)
        out << " /" << std::string(p.string.regex).size();
    if (t->kind == DS_KIND_CONVERTED)
        out << " " << p.converted.base->name << " #" << p.converted.converter;
    if (t->kind == DS_KIND_ENUM) {
        out << " ";
        name_or_shape(out, p.enumeration.base);
        for (uint32_t i = 0; i < p.enumeration.count; ++i)
            out << " " << p.enumeration.values[i].name << "=" << p.enumeration.values[i].value;
    }
    bool choice = t->kind == DS_KIND_CHOICE;
    const DsField *fields = choice ? p.choice.fields : p.sequence.fields;
    for (uint32_t i = 0;
         (choice || t->kind == DS_KIND_SEQUENCE) && i < (choice ? 10 : p.sequence.field_count);
         ++i) {
        out << " " << fields[i].name << ":";
        name_or_shape(out, fields[i].type);
    }
    for (uint32_t a = 0; choice && a < p.choice.arm_count; ++a) {
        out << " |";
        for (uint32_t v = 0; v < p.choice.arms[a].value_count; ++v)
            out << " " << p.choice.arms[a].values[v];
        out << " @" << p.choice.arms[a].first_field << "+" << p.choice.arms[a].field_count;
    }
}

} // namespace

TEST(BuiltinTable, RowsAreTheDocumentedTypesInOrder)
{
    // clang-format off
    const char *const rows[] = {
        "u32: int 4 0..4294967295", "u16: int 2 0..65535",
        "u8: int 1 0..255", "i8: int 1 -128..127",
        "i16: int 2 -32768..32767", "i32: int 4 -2147483648..2147483647",
        "i64: int 8 -9223372036854775808..9223372036854775807", "string: string 65 /2",
        "word: string 33 /14", "ipv4-str: string 16 /97",
        "ipv4: invalid 4 ipv4-str #1", "dnsname: string 253 /96",
        "macaddress-str: string 18 /38", "macaddress: invalid 6 macaddress-str #3",
        "ipv6-str: string 46 /1239", "ipv6: invalid 16 ipv6-str #2",
        "uri: string 256 /1621", "double: double 8",
        "bool: enum 1 u8 false=0 true=1", "uuid: string 37 /75",
        "timestamp: double 8", "alarm_severity: enum 1 u8 critical=1 major=2 minor=4",
        "alarm_category: enum 1 u8 communications=1 service_quality=2 processing_error=3 "
        "equipment=4 environment=5 content=6",
        "alarm: sequence 12 eventId:u32 timestamp:timestamp",
        "interface-type: enum 1 u8 None=0 Virtual=1 GigabitEthernet=2 TenGigabitEthernet=3 "
        "InlineGroup=5 InlinePort=4 Standby=6 PortChannel=7 Bridge=8 VirtualBlade=9",
        "standby-index-range: int 1 1..2", "port-channel-index-range: int 1 1..8",
        "interface-impl: choice 4 kind:interface-type index:(int 1 1..4) slot:(int 1 0..1) "
        "port:(int 1 0..15) slot:(int 1 0..1) port:(int 1 0..4) direction:(enum 1 u8 lan=0 "
        "wan=1) index:(int 1 1..8) index:standby-index-range index:port-channel-index-range "
        "| 1 @1+1 | 2 3 5 @2+2 | 4 @4+3 | 8 @7+1 | 6 @8+1 | 7 @9+1",
        "interface: invalid 4 interface-impl #0",
    };
    // clang-format on
    ASSERT_EQ(ds_global_type_count, std::size(rows));
    for (uint16_t i = 0; i < ds_global_type_count; ++i) {
        std::ostringstream line;
        line << ds_global_types[i].name << ": ";
        describe(line, &ds_global_types[i]);
        EXPECT_EQ(line.str(), rows[i]);
    }
}

// Random packed values of every row (small bytes, so that ranges and tables
// often accept them): validation agrees with conversion (converted values
// always pass, as their bytes are not examined), the JSON converts
// back to a packed value that gives the same JSON, and that JSON is its own
// canonical text.
TEST(BuiltinTable, EveryRowCarriesItsValuesThereAndBack)
{
    std::mt19937 rng(29);
    size_t converted = 0;
    for (uint16_t row = 0; row < ds_global_type_count; ++row) {
        const DsType *type = &ds_global_types[row];
        for (int i = 0; i < 400; ++i) {
            std::vector<uint8_t> bytes(type->size);
            for (uint8_t &b : bytes)
                b = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : rng() % 3);
            JsonRef jo(ds_c_to_jo(type, bytes.data(), bytes.size()));
            SCOPED_TRACE(std::string(type->name) + " " + dstest::json_text(jo.get()));
            bool valid = ds_c_value_is_valid(type, bytes.data(), type->size);
            EXPECT_EQ(valid, type->kind == DS_KIND_CONVERTED || jo != nullptr);
            if (jo == nullptr)
                continue;
            ++converted;
            std::vector<uint8_t> again(type->size);
            ASSERT_EQ(ds_jo_to_c(type, jo.get(), again.data(), again.size()), again.data());
            JsonRef back(ds_c_to_jo(type, again.data(), again.size()));
            EXPECT_EQ(dstest::json_text(back.get()), dstest::json_text(jo.get()));
            int err = 0;
            char *canonical = ds_canonical_json(dstest::json_text(jo.get()).c_str(), type, &err);
            EXPECT_EQ(canonical != nullptr ? canonical : "(null)", dstest::json_text(jo.get()));
            std::free(canonical);
        }
    }
    EXPECT_GT(converted, 29u * 100);
}

TEST(TypeAccessors, NullAndAnonymousTypes)
{
    const DsType anonymous = {nullptr, DS_KIND_INT, 1, {{0, 255, 0}}};
    EXPECT_STREQ(ds_type_name(nullptr), "<unnamed type>");
    EXPECT_EQ(ds_type_name(&anonymous), nullptr);
    EXPECT_EQ(ds_type_size(nullptr) + ds_type_size(&anonymous), 1u);
    EXPECT_STREQ(ds__kind_name(4000000000u), "invalid"); // the table above shows the others
}
