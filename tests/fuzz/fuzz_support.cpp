// The fuzz targets' shared table of types and their module list. The example
// module's source is linked into each target, so its tables are reached
// directly and no module directory is read: module_list is set up by hand,
// the built-in record first, as the loader would build it.
#include "fuzz_support.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" {
extern const DsType ds_types[];
extern const uint16_t ds_type_count;
extern const DsKeyNode ds_keys[];
extern const DsAlarm ds_alarms[];
extern const uint16_t ds_alarm_count;
}

namespace fuzz
{
namespace
{

const DsType &kU8 = ds_global_types[2];
const DsType &kWord = ds_global_types[8];
const DsType &kInterface = ds_global_types[28];

const DsType kSmallArray = {"u8-array", DS_KIND_ARRAY, 5, {.array = {3, &kU8}}};
const DsType kWordArray = {"word-array", DS_KIND_ARRAY, 2 + 3 * 33, {.array = {3, &kWord}}};
const DsType kInterfaceArray = {
    "interface-array", DS_KIND_ARRAY, 2 + 4 * 4, {.array = {4, &kInterface}}};
const DsType kBits12 = {"bits12", DS_KIND_BITMAP, 2, {.bitmap = {12}}};
const DsType kBits16 = {"bits16", DS_KIND_BITMAP, 2, {.bitmap = {16}}};
const DsType kBits0 = {"bits0", DS_KIND_BITMAP, 0, {.bitmap = {0}}};
const DsField kNestedFields[] = {
    {"flags", &kBits12}, {"names", &kWordArray}, {"none", &kBits0}, {"where", &kInterface}};
const DsType kNested = {
    "nested", DS_KIND_SEQUENCE, 2 + 101 + 0 + 4, {.sequence = {4, kNestedFields}}};
const DsType kEmptySequence = {"empty", DS_KIND_SEQUENCE, 0, {.sequence = {0, nullptr}}};
const DsType kConverter4 = {"bad-converter", DS_KIND_CONVERTED, 4, {.converted = {&kU8, 4}}};

const DsType *const kLocal[] = {&kSmallArray, &kWordArray, &kInterfaceArray, &kBits12,    &kBits16,
                                &kBits0,      &kNested,    &kEmptySequence,  &kConverter4};
constexpr size_t kLocalCount = sizeof kLocal / sizeof kLocal[0];

DsModule builtin_record;
DsModule example_record;
std::vector<const DsKeyNode *> example_nodes;

void
collect_node(void *ctx, const DsKeyNode *node)
{
    static_cast<std::vector<const DsKeyNode *> *>(ctx)->push_back(node);
}

} // namespace

uint8_t
Input::byte()
{
    return p_ < end_ ? *p_++ : 0;
}

uint16_t
Input::u16()
{
    uint16_t low = byte();
    return static_cast<uint16_t>(low | byte() << 8);
}

std::string
Input::rest_text()
{
    std::string text(reinterpret_cast<const char *>(p_), left());
    p_ = end_;
    return std::string(text.c_str());
}

size_t
type_count()
{
    return ds_global_type_count + ds_type_count + kLocalCount;
}

const DsType *
type_at(size_t index)
{
    index %= type_count();
    if (index < ds_global_type_count)
        return &ds_global_types[index];
    index -= ds_global_type_count;
    if (index < ds_type_count)
        return &ds_types[index];
    return kLocal[index - ds_type_count];
}

void
use_example_module()
{
    if (module_list != nullptr)
        return;
    example_record =
        DsModule{nullptr, ds_type_count, ds_alarm_count, ds_types, ds_keys, ds_alarms, nullptr};
    builtin_record = DsModule{
        &example_record, ds_global_type_count, 0, ds_global_types, nullptr, nullptr, nullptr};
    module_list = &builtin_record;
    ds__all_keys(collect_node, &example_nodes);
}

const DsKeyNode *
example_key(size_t index)
{
    use_example_module();
    return example_nodes[index % example_nodes.size()];
}

size_t
example_key_count()
{
    use_example_module();
    return example_nodes.size();
}

void
require(bool holds, const char *property, const std::string &detail)
{
    if (holds)
        return;
    std::fprintf(stderr, "property violated: %s\n%s\n", property, detail.c_str());
    std::abort();
}

std::string
text_of(json_object *jo)
{
    return jo != nullptr ? json_object_to_json_string(jo) : "null";
}

} // namespace fuzz

// Failures are part of normal operation under random input, so their lines
// go nowhere; each is still formatted, so that every argument the library
// hands over is read (and a freed or unterminated text shows up under ASan).
extern "C" void
rk_syslog(int, int, int, uint32_t, const char *format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
}
