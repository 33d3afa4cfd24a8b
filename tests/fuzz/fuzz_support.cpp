// The fuzz targets' shared types, module list and round trips. The example
// module's source is linked in, so module_list is set up by hand, the
// built-in record first, as the loader would; no module directory is read.
#include "fuzz_support.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

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

DsModule builtin_record;
DsModule example_record;
std::vector<const DsKeyNode *> example_nodes;

using Owned = std::unique_ptr<uint8_t, void (*)(void *)>;
using OwnedText = std::unique_ptr<char, void (*)(void *)>;

// Exactly size bytes (one for size 0, never read), cleared.
Owned
exact(size_t size)
{
    return Owned(static_cast<uint8_t *>(std::calloc(size != 0 ? size : 1, 1)), std::free);
}

bool
bit_set(const uint8_t *bytes, uint32_t i)
{
    return (bytes[i / 8] >> (i % 8) & 1) != 0;
}

// A bitmap's text as a walk over its bits gives it: the runs of set bits.
std::string
bit_runs(const uint8_t *bytes, uint32_t bit_count)
{
    std::string text;
    for (uint32_t i = 0; i < bit_count; ++i) {
        if (!bit_set(bytes, i))
            continue;
        uint32_t last = i;
        while (last + 1 < bit_count && bit_set(bytes, last + 1))
            ++last;
        text.append(text.empty() ? "" : ",").append(std::to_string(i));
        if (last > i)
            text.append("-").append(std::to_string(last));
        i = last;
    }
    return text;
}

// Bits past a bitmap's bit count are filler and stay clear.
void
check_filler(const DsType *type, const uint8_t *bytes, const std::string &text)
{
    for (uint32_t i = type->p.bitmap.bit_count; type->kind == DS_KIND_BITMAP && i < 8u * type->size;
         ++i)
        require(!bit_set(bytes, i), "filler bits stay clear", text);
}

// ds_canonical_json of a text whose value (jo) converted, or not, to packed.
void
check_canonical(const DsType *type, const std::string &text, json_object *jo, const uint8_t *packed,
                bool converts)
{
    int err = -1;
    OwnedText canonical(ds_canonical_json(text.c_str(), type, &err), std::free);
    if (jo == nullptr) // the literal null leaves the code alone
        return require(!canonical && (err == -1 || err == DS_ERR_BAD_JSON), "parse failure", text);
    if (!converts || type->size == 0) // ds_c_to_jo refuses an empty packed form
        return require(!canonical && err == DS_ERR_BAD_JSON, "code 50 on no conversion", text);
    if (canonical == nullptr)
        return require(err == DS_ERR_TOO_LONG, "a converting value has a canonical text", text);
    json_object *back = ds_c_to_jo(type, packed, type->size);
    std::string unpacked = text_of(back);
    json_object_put(back);
    require(unpacked == canonical.get(), "canonical text is the unpacked packed form",
            text + " -> " + canonical.get() + " vs " + unpacked);
    OwnedText again(ds_canonical_json(canonical.get(), type, &err), std::free);
    require(again && std::strcmp(again.get(), canonical.get()) == 0,
            "canonical text is its own canonical text", canonical.get());
}

} // namespace

uint8_t
Input::byte()
{
    return p < end ? *p++ : 0;
}

size_t
Input::left() const
{
    return static_cast<size_t>(end - p);
}

std::vector<uint8_t>
Input::take(size_t count)
{
    std::vector<uint8_t> bytes(p, p + (count < left() ? count : left()));
    p += bytes.size();
    return bytes;
}

std::string
Input::rest_text()
{
    std::string text(reinterpret_cast<const char *>(p), left());
    p = end;
    return std::string(text.c_str());
}

const DsType *
type_at(size_t index)
{
    index %= ds_global_type_count + ds_type_count + std::size(kLocal);
    if (index < ds_global_type_count)
        return &ds_global_types[index];
    index -= ds_global_type_count;
    return index < ds_type_count ? &ds_types[index] : kLocal[index - ds_type_count];
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
    ds__all_keys([](void *, const DsKeyNode *node) { example_nodes.push_back(node); }, nullptr);
}

const DsKeyNode *
example_key(size_t index)
{
    use_example_module();
    return example_nodes[index % example_nodes.size()];
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

void
check_packed(const DsType *type, const std::vector<uint8_t> &bytes, bool consistent)
{
    const uint8_t *data = bytes.empty() ? nullptr : bytes.data();
    // Run for ASan only: its verdict may differ from the converter's.
    ds_c_value_is_valid(type, data, static_cast<uint32_t>(bytes.size()));
    json_object *jo = ds_c_to_jo(type, data, bytes.size());
    if (jo == nullptr)
        return;
    std::string text = text_of(jo);
    Owned out = exact(type->size);
    bool converts = ds_jo_to_c(type, jo, out.get(), type->size) != nullptr;
    require(!consistent || ds_jo_value_is_valid(type, jo), "what converts to JSON validates", text);
    require(!consistent || (converts && ds_c_value_is_valid(type, out.get(), type->size)),
            "what converts to JSON converts back to a valid packed value", text);
    if (consistent && type->kind == DS_KIND_BITMAP)
        require(json_object_get_string(jo) == bit_runs(data, type->p.bitmap.bit_count),
                "bit range text", text);
    if (consistent) {
        check_filler(type, out.get(), text);
        json_object *again = ds_c_to_jo(type, out.get(), type->size);
        require(text_of(again) == text, "repacked value reads the same",
                text + " vs " + text_of(again));
        json_object_put(again);
    }
    int err = 0;
    OwnedText canonical(ds_canonical_jo(jo, type, &err), std::free);
    require(!consistent || (canonical ? text == canonical.get() : err == DS_ERR_TOO_LONG),
            "JSON of a packed value is canonical", text);
}

void
check_text(const DsType *type, const std::string &text, bool consistent)
{
    json_object *jo = json_tokener_parse(text.c_str());
    bool valid = ds_jo_value_is_valid(type, jo);
    Owned packed = exact(type->size);
    bool converts = ds_jo_to_c(type, jo, packed.get(), type->size) != nullptr;
    Owned typed = exact(type->size);
    std::memset(typed.get(), 0xA5, type->size);
    int typed_ok = ds_type_to_c(type, text.c_str(), typed.get(), type->size);
    int err = 0;
    if (!consistent)
        std::free(ds_canonical_json(text.c_str(), type, &err));
    require(!consistent || valid == converts, "validation agrees with conversion", text);
    require(!consistent || typed_ok == (converts ? 1 : 0), "ds_type_to_c agrees", text);
    require(!consistent || !converts || std::memcmp(typed.get(), packed.get(), type->size) == 0,
            "ds_type_to_c writes what ds_jo_to_c writes into zeros", text);
    if (consistent && converts)
        check_filler(type, packed.get(), text);
    if (consistent)
        check_canonical(type, text, jo, packed.get(), converts);
    json_object_put(jo);
}

} // namespace fuzz

// Log lines go nowhere, but each is formatted, so that ASan sees a freed or
// unterminated argument.
extern "C" void
rk_syslog(int, int, int, uint32_t, const char *format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
}
