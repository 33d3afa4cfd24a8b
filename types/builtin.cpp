// The built-in type table: 29 descriptors that every program and schema module
// can rely on. Schema modules refer to these rows by address, so the row order
// and the record layout are binary interface: append nothing in between and
// never reorder. The header's DsBuiltin names the rows; the end of this file
// checks at compile time that the two agree.
#include "types/types.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <string_view>

// Completes the header's declaration so that rows can be addressed by index
// while the table itself is being defined.
extern "C" const DsType ds_global_types[DS_BUILTIN_COUNT];

namespace
{

// Joins NUL-terminated character arrays at compile time, so that the URI
// pattern can embed the IPv6 pattern without a second copy of its text.
template <std::size_t A, std::size_t B, std::size_t C>
constexpr std::array<char, A + B + C - 2>
join_patterns(const char (&a)[A], const char (&b)[B], const char (&c)[C])
{
    std::array<char, A + B + C - 2> out{};
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < A; ++i)
        out[at++] = a[i];
    for (std::size_t i = 0; i + 1 < B; ++i)
        out[at++] = b[i];
    for (std::size_t i = 0; i < C; ++i)
        out[at++] = c[i];
    return out;
}

// clang-format off
static constexpr char kPattern1[] = ".*";
static constexpr char kPattern2[] = "[a-zA-Z0-9_-]+";
static constexpr char kPattern3[] = "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}";
static constexpr char kPattern4[] = "[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?){0,60}";
static constexpr char kPattern5[] = "[A-Fa-f0-9]{1,2}(:[A-Fa-f0-9]{1,2}){5}";
static constexpr char kPattern8[] = "[A-Fa-f0-9]{8}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{4}-[A-Fa-f0-9]{12}";
static constexpr char kPattern6[] =
    "((([0-9A-Fa-f]{1,4}:){7}([0-9A-Fa-f]{1,4}|:))|(([0-9A-Fa-f]{1,4}:){6}(:[0-9A-Fa-"
    "f]{1,4}|((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1["
    "0-9][0-9]|[1-9]?[0-9])){3})|:))|(([0-9A-Fa-f]{1,4}:){5}(((:[0-9A-Fa-f]{1,4}){1,2"
    "})|:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1[0-9]"
    "[0-9]|[1-9]?[0-9])){3})|:))|(([0-9A-Fa-f]{1,4}:){4}(((:[0-9A-Fa-f]{1,4}){1,3})|("
    "(:[0-9A-Fa-f]{1,4})?:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\\.(25[0-5]|2"
    "[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(([0-9A-Fa-f]{1,4}:){3}(((:[0-9A-F"
    "a-f]{1,4}){1,4})|((:[0-9A-Fa-f]{1,4}){0,2}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-"
    "9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}))|:))|(([0-9A-Fa-f"
    "]{1,4}:){2}(((:[0-9A-Fa-f]{1,4}){1,5})|((:[0-9A-Fa-f]{1,4}){0,3}:((25[0-5]|2[0-4"
    "][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9]))"
    "{3}))|:))|(([0-9A-Fa-f]{1,4}:){1}(((:[0-9A-Fa-f]{1,4}){1,6})|((:[0-9A-Fa-f]{1,4}"
    "){0,4}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1[0"
    "-9][0-9]|[1-9]?[0-9])){3}))|:))|(:(((:[0-9A-Fa-f]{1,4}){1,7})|((:[0-9A-Fa-f]{1,4"
    "}){0,5}:((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])(\\.(25[0-5]|2[0-4][0-9]|1["
    "0-9][0-9]|[1-9]?[0-9])){3}))|:)))(%.+)?"
    ;
static constexpr char kUriHead[] =
    "((scp|http|https|ftp|ftps|tftp)://(([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=]|:)+@)?(([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=])+|\\["
    ;
static constexpr char kUriTail[] =
    "\\])(:[0-9]+)?(/([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=]|[:@])*)*(\\?([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=]|[:@/?])*)?(\\#([-A-Za-z0-9._~]|%[A-Fa-f0-9]{2}|[!$&'()*+,;=]|[:@/?])*)?|(bootflash|usb1|usb2|slot1|slot2):[^"
    "\x01" "-" "\x1f" "\"" "<>\\\\|:*?]+)";
// clang-format on

constexpr auto kPattern7 = join_patterns(kUriHead, kPattern6, kUriTail);

constexpr DsEnumValue kBoolValues[] = {{"false", 0}, {"true", 1}};
constexpr DsEnumValue kSeverityValues[] = {{"critical", 1}, {"major", 2}, {"minor", 4}};
constexpr DsEnumValue kCategoryValues[] = {
    {"communications", 1}, {"service_quality", 2}, {"processing_error", 3},
    {"equipment", 4},      {"environment", 5},     {"content", 6},
};
// Table order is not value order: InlineGroup (5) is listed before InlinePort (4).
constexpr DsEnumValue kInterfaceTypeValues[] = {
    {"None", 0},        {"Virtual", 1},      {"GigabitEthernet", 2}, {"TenGigabitEthernet", 3},
    {"InlineGroup", 5}, {"InlinePort", 4},   {"Standby", 6},         {"PortChannel", 7},
    {"Bridge", 8},      {"VirtualBlade", 9},
};
constexpr DsEnumValue kDirectionValues[] = {{"lan", 0}, {"wan", 1}};

constexpr DsType
int_type(const char *name, uint16_t size, int64_t min, int64_t max)
{
    return DsType{.name = name,
                  .kind = DS_KIND_INT,
                  .size = size,
                  .p = {.integer = {.min = min, .max = max}}};
}

constexpr DsType
string_type(const char *name, uint16_t size, const char *regex)
{
    return DsType{
        .name = name, .kind = DS_KIND_STRING, .size = size, .p = {.string = {.regex = regex}}};
}

constexpr DsType
double_type(const char *name)
{
    return DsType{.name = name, .kind = DS_KIND_DOUBLE, .size = 8, .p = {.words = {0, 0, 0}}};
}

template <std::size_t N>
constexpr DsType
enum_type(const char *name, const DsType *base, const DsEnumValue (&values)[N])
{
    return DsType{.name = name,
                  .kind = DS_KIND_ENUM,
                  .size = 1,
                  .p = {.enumeration = {.base = base, .count = N, .values = values}}};
}

constexpr DsType
converted_type(const char *name, uint16_t size, const DsType *base, uint64_t converter)
{
    return DsType{.name = name,
                  .kind = DS_KIND_CONVERTED,
                  .size = size,
                  .p = {.converted = {.base = base, .converter = converter}}};
}

// The one-byte members of the interface choice; they exist only inside it.
constexpr DsType kVirtualIndex = int_type(nullptr, 1, 1, 4);
constexpr DsType kEthernetSlot = int_type(nullptr, 1, 0, 1);
constexpr DsType kEthernetPort = int_type(nullptr, 1, 0, 15);
constexpr DsType kInlineSlot = int_type(nullptr, 1, 0, 1);
constexpr DsType kInlinePort = int_type(nullptr, 1, 0, 4);
constexpr DsType kInlineDirection =
    enum_type(nullptr, &ds_global_types[DS_BUILTIN_U8], kDirectionValues);
constexpr DsType kBridgeIndex = int_type(nullptr, 1, 1, 8);

constexpr DsField kAlarmFields[] = {
    {"eventId", &ds_global_types[DS_BUILTIN_U32]},
    {"timestamp", &ds_global_types[DS_BUILTIN_TIMESTAMP]},
};

constexpr DsField kInterfaceFields[] = {
    {"kind", &ds_global_types[DS_BUILTIN_INTERFACE_TYPE]}, // the discriminator
    {"index", &kVirtualIndex},
    {"slot", &kEthernetSlot},
    {"port", &kEthernetPort},
    {"slot", &kInlineSlot},
    {"port", &kInlinePort},
    {"direction", &kInlineDirection},
    {"index", &kBridgeIndex},
    {"index", &ds_global_types[DS_BUILTIN_STANDBY_INDEX_RANGE]},
    {"index", &ds_global_types[DS_BUILTIN_PORT_CHANNEL_INDEX_RANGE]},
};

constexpr int64_t kVirtualKinds[] = {1};
constexpr int64_t kEthernetKinds[] = {2, 3, 5};
constexpr int64_t kInlinePortKinds[] = {4};
constexpr int64_t kBridgeKinds[] = {8};
constexpr int64_t kStandbyKinds[] = {6};
constexpr int64_t kPortChannelKinds[] = {7};

constexpr DsChoiceArm kInterfaceArms[] = {
    {kVirtualKinds, 1, 1, 1}, {kEthernetKinds, 3, 2, 2}, {kInlinePortKinds, 1, 4, 3},
    {kBridgeKinds, 1, 7, 1},  {kStandbyKinds, 1, 8, 1},  {kPortChannelKinds, 1, 9, 1},
};

} // namespace

extern "C" {

// constexpr so that the names can be read back at compile time; the object is
// the same read-only exported array.
DS_EXPORT extern constexpr DsType ds_global_types[] = {
    int_type("u32", 4, 0, 4294967295LL),
    int_type("u16", 2, 0, 65535),
    int_type("u8", 1, 0, 255),
    int_type("i8", 1, -128, 127),
    int_type("i16", 2, -32768, 32767),
    int_type("i32", 4, -2147483648LL, 2147483647LL),
    int_type("i64", 8, INT64_MIN, INT64_MAX),
    string_type("string", 65, kPattern1),
    string_type("word", 33, kPattern2),
    string_type("ipv4-str", 16, kPattern3),
    converted_type("ipv4", 4, &ds_global_types[DS_BUILTIN_IPV4_STR], DS_CONVERT_IPV4),
    string_type("dnsname", 253, kPattern4),
    string_type("macaddress-str", 18, kPattern5),
    converted_type("macaddress", 6, &ds_global_types[DS_BUILTIN_MACADDRESS_STR], DS_CONVERT_MAC),
    string_type("ipv6-str", 46, kPattern6),
    converted_type("ipv6", 16, &ds_global_types[DS_BUILTIN_IPV6_STR], DS_CONVERT_IPV6),
    string_type("uri", 256, kPattern7.data()),
    double_type("double"),
    enum_type("bool", &ds_global_types[DS_BUILTIN_U8], kBoolValues),
    string_type("uuid", 37, kPattern8),
    double_type("timestamp"),
    enum_type("alarm_severity", &ds_global_types[DS_BUILTIN_U8], kSeverityValues),
    enum_type("alarm_category", &ds_global_types[DS_BUILTIN_U8], kCategoryValues),
    DsType{.name = "alarm",
           .kind = DS_KIND_SEQUENCE,
           .size = 12,
           .p = {.sequence = {.field_count = 2, .fields = kAlarmFields}}},
    enum_type("interface-type", &ds_global_types[DS_BUILTIN_U8], kInterfaceTypeValues),
    int_type("standby-index-range", 1, 1, 2),
    int_type("port-channel-index-range", 1, 1, 8),
    DsType{.name = "interface-impl",
           .kind = DS_KIND_CHOICE,
           .size = 4,
           .p = {.choice = {.arm_count = 6, .fields = kInterfaceFields, .arms = kInterfaceArms}}},
    converted_type("interface", 4, &ds_global_types[DS_BUILTIN_INTERFACE_IMPL], DS_CONVERT_BASE),
};

DS_EXPORT extern const uint16_t ds_global_type_count = DS_BUILTIN_COUNT;

} // extern "C"

static_assert(sizeof(ds_global_types) / sizeof(ds_global_types[0]) == DS_BUILTIN_COUNT);

namespace
{

// The spelling of a row's name in its constant: capitals, "_" for "-".
constexpr bool
spelled_as(std::string_view name, std::string_view constant)
{
    if (name.size() != constant.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i] == '-' ? '_' : name[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != constant[i])
            return false;
    }
    return true;
}

// Every constant of DsBuiltin with its spelling, in the header's order.
struct RowConstant {
    int row;
    std::string_view spelling;
};
// clang-format off
#define ROW_CONSTANT(suffix) {DS_BUILTIN_##suffix, #suffix}
// clang-format on
constexpr RowConstant kRowConstants[] = {
    ROW_CONSTANT(U32),
    ROW_CONSTANT(U16),
    ROW_CONSTANT(U8),
    ROW_CONSTANT(I8),
    ROW_CONSTANT(I16),
    ROW_CONSTANT(I32),
    ROW_CONSTANT(I64),
    ROW_CONSTANT(STRING),
    ROW_CONSTANT(WORD),
    ROW_CONSTANT(IPV4_STR),
    ROW_CONSTANT(IPV4),
    ROW_CONSTANT(DNSNAME),
    ROW_CONSTANT(MACADDRESS_STR),
    ROW_CONSTANT(MACADDRESS),
    ROW_CONSTANT(IPV6_STR),
    ROW_CONSTANT(IPV6),
    ROW_CONSTANT(URI),
    ROW_CONSTANT(DOUBLE),
    ROW_CONSTANT(BOOL),
    ROW_CONSTANT(UUID),
    ROW_CONSTANT(TIMESTAMP),
    ROW_CONSTANT(ALARM_SEVERITY),
    ROW_CONSTANT(ALARM_CATEGORY),
    ROW_CONSTANT(ALARM),
    ROW_CONSTANT(INTERFACE_TYPE),
    ROW_CONSTANT(STANDBY_INDEX_RANGE),
    ROW_CONSTANT(PORT_CHANNEL_INDEX_RANGE),
    ROW_CONSTANT(INTERFACE_IMPL),
    ROW_CONSTANT(INTERFACE),
};
#undef ROW_CONSTANT

// Each constant numbers the row that carries its name, and they follow the
// rows one for one: a row moved, renamed or added without its constant (or
// the other way round) stops the build.
constexpr bool
constants_name_their_rows()
{
    if (std::size(kRowConstants) != DS_BUILTIN_COUNT)
        return false;
    for (std::size_t i = 0; i < std::size(kRowConstants); ++i) {
        const RowConstant &c = kRowConstants[i];
        if (c.row != static_cast<int>(i) || !spelled_as(ds_global_types[i].name, c.spelling))
            return false;
    }
    return true;
}
static_assert(constants_name_their_rows(), "DsBuiltin and ds_global_types disagree");

} // namespace
