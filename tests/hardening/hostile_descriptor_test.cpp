// Descriptors that a broken schema module could export: sizes smaller than
// their parts, kinds and converter numbers out of range, missing or looping
// links. Whatever they say, no conversion may read or write past the
// caller's bytes: packed input is handed over in buffers of exactly its
// length (so ASan sees a read past them), and destinations are checked both
// exactly sized and followed by guard bytes that must stay as they were.
#include "dstest.h"

#include "codec/codec.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{

const DsType &kU8 = ds_global_types[2];
const DsType &kU32 = ds_global_types[0];
const DsType &kIpv6Text = ds_global_types[14];
const DsType &kInterfaceImpl = ds_global_types[27];
const DsType &kAlarm = ds_global_types[23];

// A choice of the interface's arms in 2 bytes instead of 4.
const DsType kShortChoice = {"short-choice", DS_KIND_CHOICE, 2, kInterfaceImpl.p};
// The alarm's u32 and double in 6 bytes instead of 12.
const DsType kShortSequence = {"short-sequence", DS_KIND_SEQUENCE, 6, kAlarm.p};
const DsType kEmptyString = {"empty-string", DS_KIND_STRING, 0, {.string = {".*"}}};
const DsField kStringFirstFields[] = {{"s", &kEmptyString}, {"n", &kU8}};
const DsType kStringFirst = {
    "string-first", DS_KIND_SEQUENCE, 1, {.sequence = {2, kStringFirstFields}}};
// Four u32 slots would need 18 bytes.
const DsType kShortArray = {"short-array", DS_KIND_ARRAY, 6, {.array = {4, &kU32}}};
const DsType kTinyIpv6 = {"tiny-ipv6", DS_KIND_CONVERTED, 1, {.converted = {&kIpv6Text, 2}}};
// A bitmap of 100 bits needs 13 bytes.
const DsType kShortBitmap = {"short-bitmap", DS_KIND_BITMAP, 2, {.bitmap = {100}}};

std::string
c_to_jo_text(const DsType *type, const std::vector<uint8_t> &bytes)
{
    std::vector<uint8_t> exact(bytes);
    json_object *jo = ds_c_to_jo(type, exact.data(), exact.size());
    std::string text = dstest::json_text(jo);
    json_object_put(jo);
    return text;
}

bool
c_valid(const DsType *type, const std::vector<uint8_t> &bytes)
{
    std::vector<uint8_t> exact(bytes);
    return ds_c_value_is_valid(type, exact.data(), static_cast<uint32_t>(exact.size()));
}

TEST(HostileDescriptor, PackedReadsStayInsideTheCallersBytes)
{
    const struct {
        const DsType *type;
        std::vector<uint8_t> bytes;
        const char *json; // what ds_c_to_jo gives
        bool valid;       // what ds_c_value_is_valid says
    } cases[] = {
        // The arm's members lie past the choice's 2 bytes.
        {&kShortChoice, {0x04, 0x01}, "(null)", false},
        {&kShortChoice, {0x04, 0x01, 0x03, 0x01}, "(null)", false},
        {&kShortChoice, {0x01, 0x02}, R"({ "kind": "Virtual", "index": 2 })", true},
        {&kShortChoice, {0x00, 0x00}, R"({ "kind": "None" })", true},
        // The double does not fit in the 6 bytes; with 12 bytes the fields
        // are read from the caller's bytes and consume them all.
        {&kShortSequence, {7, 0, 0, 0, 0, 0}, "(null)", false},
        {&kShortSequence,
         {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f},
         R"({ "eventId": 7, "timestamp": 1.5 })",
         true},
        // No room for the NUL of a text.
        {&kEmptyString, {0x00}, "(null)", false},
        {&kStringFirst, {0x00}, "(null)", false},
        // The slots past the count do not fit.
        {&kShortArray, {1, 0, 7, 0, 0, 0}, "(null)", false},
        {&kShortArray, {5, 0, 7, 0, 0, 0}, "(null)", false},
        // The address is 16 bytes; the type claims 1.
        {&kTinyIpv6, {0x20}, "(null)", true},
        {&kTinyIpv6, std::vector<uint8_t>(16, 0x20), "(null)", false},
        {&kShortBitmap, {0xff, 0xff}, "(null)", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.type->name) + " over " +
                     dstest::hex(c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(c_to_jo_text(c.type, c.bytes), c.json);
        EXPECT_EQ(c_valid(c.type, c.bytes), c.valid);
    }
}

// The destination is checked twice: exactly sized, and followed by guard
// bytes. What the conversion wrote into it is compared in both.
struct Written {
    bool converted;
    int error;
    std::string bytes;
};

Written
jo_to_c_into(const DsType *type, json_object *jo, size_t dstlen, bool guarded)
{
    constexpr size_t kGuard = 16;
    // new[] rather than a vector, so that even an empty destination is a
    // real (zero-sized) block that ASan watches.
    size_t total = dstlen + (guarded ? kGuard : 0);
    std::unique_ptr<uint8_t[]> dst(new uint8_t[total]);
    std::memset(dst.get(), 0xEE, total);
    std::memset(dst.get(), 0xA5, dstlen);
    errno = 0;
    bool converted = ds_jo_to_c(type, jo, dst.get(), dstlen) != nullptr;
    int error = errno;
    if (guarded) {
        const std::vector<uint8_t> untouched(kGuard, 0xEE);
        EXPECT_EQ(dstest::hex(dst.get() + dstlen, kGuard), dstest::hex(untouched.data(), kGuard))
            << "written past the destination";
    }
    return {converted, error, dstest::hex(dst.get(), dstlen)};
}

TEST(HostileDescriptor, JsonWritesStayInsideTheDestination)
{
    const struct {
        const DsType *type;
        const char *json;
        size_t dstlen;
        bool converted;
        const char *written; // the destination afterwards, a5 where untouched
        bool valid;          // ds_jo_value_is_valid: no destination, no sizes
    } cases[] = {
        {&kShortChoice, R"({"kind": "InlinePort", "slot": 1, "port": 3, "direction": "wan"})", 2,
         false, "04 01", true},
        {&kShortChoice, R"({"kind": "Virtual", "index": 2})", 2, true, "01 02", true},
        {&kShortSequence, R"({"eventId": 7, "timestamp": 1.5})", 6, false, "07 00 00 00 a5 a5",
         true},
        {&kEmptyString, R"("")", 0, false, "", false},
        {&kStringFirst, R"({"s": "", "n": 1})", 1, false, "a5", false},
        {&kShortArray, "[7]", 6, false, "01 00 07 00 00 00", true},
        {&kShortArray, "[7, 8]", 6, false, "02 00 07 00 00 00", true},
        {&kTinyIpv6, R"("::1")", 1, false, "a5", false},
        {&kShortBitmap, R"("1")", 2, false, "a5 a5", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.type->name) + " from " + c.json);
        json_object *jo = json_tokener_parse(c.json);
        ASSERT_NE(jo, nullptr);
        for (bool guarded : {false, true}) {
            Written w = jo_to_c_into(c.type, jo, c.dstlen, guarded);
            EXPECT_EQ(w.converted, c.converted);
            EXPECT_EQ(w.error, c.converted ? 0 : EINVAL);
            EXPECT_EQ(w.bytes, c.written);
        }
        EXPECT_EQ(ds_jo_value_is_valid(c.type, jo), c.valid);
        json_object_put(jo);
    }
}

// Descriptors that no converter understands fail in every function, and the
// canonical text names them in its log line.
TEST(HostileDescriptor, UnknownKindsAndConvertersFailEverywhere)
{
    const DsType bad_kind = {"bad-kind", 9, 4, {}};
    const DsType huge_kind = {"huge-kind", 0xFFFFFFFFu, 4, {}};
    const DsType bad_converter = {"bad-converter", DS_KIND_CONVERTED, 4, {.converted = {&kU32, 4}}};
    const DsType huge_converter = {
        "huge-converter", DS_KIND_CONVERTED, 4, {.converted = {&kU32, UINT64_MAX}}};
    for (const DsType *type : {&bad_kind, &huge_kind, &bad_converter, &huge_converter}) {
        SCOPED_TRACE(type->name);
        EXPECT_EQ(c_to_jo_text(type, {1, 0, 0, 0}), "(null)");
        EXPECT_FALSE(c_valid(type, {1, 0, 0, 0}));
        json_object *jo = json_object_new_int(1);
        Written w = jo_to_c_into(type, jo, 4, true);
        EXPECT_FALSE(w.converted);
        EXPECT_EQ(w.error, EINVAL);
        EXPECT_FALSE(ds_jo_value_is_valid(type, jo));
        json_object_put(jo);
        uint8_t dst[4] = {0xA5, 0xA5, 0xA5, 0xA5};
        EXPECT_EQ(ds_type_to_c(type, "1", dst, sizeof dst), 0);
        EXPECT_EQ(dstest::hex(dst, sizeof dst), "00 00 00 00");
        int err = 0;
        EXPECT_EQ(ds_canonical_json("1", type, &err), nullptr);
        EXPECT_EQ(err, DS_ERR_BAD_JSON);
        dstest::expect_one_log(DS_MSG_JSON, std::string("Bad translation of JSON value (can't "
                                                        "convert c 1 to ") +
                                                type->name + ")\n");
    }
}

// Missing tables and bases, and an enumeration based on itself.
const DsEnumValue kRows[] = {{"a", 0}, {"b", 1}};
const DsType kBaselessEnum = {"baseless", DS_KIND_ENUM, 2, {.enumeration = {nullptr, 2, kRows}}};
extern const DsType kLoopedEnum;
const DsType kLoopedEnum = {"looped", DS_KIND_ENUM, 1, {.enumeration = {&kLoopedEnum, 2, kRows}}};
const DsType kRowlessEnum = {"rowless", DS_KIND_ENUM, 1, {.enumeration = {&kU8, 2, nullptr}}};
const DsType kFieldlessSequence = {"fieldless", DS_KIND_SEQUENCE, 1, {.sequence = {1, nullptr}}};
const DsField kBaselessKind[] = {{"kind", &kBaselessEnum}, {"x", &kU8}};
const DsType kBaselessChoice = {
    "baseless-choice", DS_KIND_CHOICE, 3, {.choice = {0, kBaselessKind, nullptr}}};
const DsField kU8Kind[] = {{"kind", &kU8}, {"x", &kU8}};
const DsType kArmlessChoice = {"armless", DS_KIND_CHOICE, 2, {.choice = {3, kU8Kind, nullptr}}};
const DsType kElementless = {"elementless", DS_KIND_ARRAY, 2, {.array = {0, nullptr}}};
const DsType kBaselessConverted = {
    "baseless-converted", DS_KIND_CONVERTED, 4, {.converted = {nullptr, 0}}};

TEST(HostileDescriptor, MissingLinksFailInsteadOfCrashing)
{
    const struct {
        const DsType *type;
        std::vector<uint8_t> bytes;
        const char *json;
        bool packed_valid = false; // packed validation leaves converted values unread
    } cases[] = {
        {&kBaselessEnum, {0x00}, R"("a")"}, // one byte: widened to the enum's 2
        {&kBaselessEnum, {0x00, 0x00}, "0"},
        {&kRowlessEnum, {0x00}, R"("a")"},
        {&kRowlessEnum, {0x00}, "0"},
        {&kFieldlessSequence, {0x00}, R"({"a": 1})"},
        {&kBaselessChoice, {0x00, 0x00, 0x00}, R"({"kind": "a", "x": 1})"},
        {&kArmlessChoice, {0x00, 0x00}, R"({"kind": 0, "x": 1})"},
        {&kElementless, {0x00, 0x00}, "[]"},
        {&kBaselessConverted, {0x00, 0x00, 0x00, 0x00}, "1", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.type->name) + " " + c.json);
        EXPECT_EQ(c_to_jo_text(c.type, c.bytes), "(null)");
        EXPECT_EQ(c_valid(c.type, c.bytes), c.packed_valid);
        json_object *jo = json_tokener_parse(c.json);
        for (size_t dstlen : {size_t{c.type->size}, size_t{8}}) {
            Written w = jo_to_c_into(c.type, jo, dstlen, true);
            EXPECT_FALSE(w.converted) << "into " << dstlen << " bytes: " << w.bytes;
            EXPECT_EQ(w.error, EINVAL);
        }
        EXPECT_FALSE(ds_jo_value_is_valid(c.type, jo));
        json_object_put(jo);
    }
}

// The read follows enum bases to the int type; bases that loop end it.
TEST(HostileDescriptor, EnumBasesThatLoopEndTheRead)
{
    uint8_t byte = 0x01;
    DsCursor cursor{&byte, 1};
    int64_t value = 77;
    EXPECT_FALSE(ds__get_int_or_enum_val(&kLoopedEnum, &cursor, &value));
    EXPECT_EQ(cursor.remaining, 1u);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(c_to_jo_text(&kLoopedEnum, {0x01}), "(null)");
    EXPECT_FALSE(c_valid(&kLoopedEnum, {0x01}));
}

TEST(HostileDescriptor, CanonicalTextOfAShortTypeIsRefusedAndLogged)
{
    const struct {
        const DsType *type;
        const char *json;
        const char *line;
    } cases[] = {
        {&kShortArray, "[7]",
         "Bad translation of JSON value (can't convert c [ 7 ] to short-array)\n"},
        {&kShortSequence, R"({"eventId": 7, "timestamp": 1.5})",
         "Bad translation of JSON value (can't convert c { \"eventId\": 7, \"timestamp\": 1.5 } "
         "to short-sequence)\n"},
        {&kTinyIpv6, R"("::1")",
         "Bad translation of JSON value (can't convert c \"::1\" to "
         "tiny-ipv6)\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type->name);
        int err = 0;
        EXPECT_EQ(ds_canonical_json(c.json, c.type, &err), nullptr);
        EXPECT_EQ(err, DS_ERR_BAD_JSON);
        dstest::expect_one_log(DS_MSG_JSON, c.line);
    }
}

} // namespace
