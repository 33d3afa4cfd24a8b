// "dstool demo": the library's round trip on the example module, one step
// per library call, each printed with what went in and what came out. A
// packed interface identifier becomes a key path, the path finds its key
// again, a JSON leaf value is packed under the key's leaf type, and the
// identifier is taken back out of the key's field text.
#include "dstool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifndef DSTOOL_MODULE_DIR
#error "DSTOOL_MODULE_DIR must name the module directory the library reads"
#endif

namespace dstool
{

namespace
{

constexpr const char *kExampleModule = "example.so";
constexpr const char *kExampleKey = "/interfaces/*/state";
constexpr const char *kLeafValue = "\"up\"";
// InlinePort, slot 1, port 3, wan.
constexpr uint8_t kInterface[] = {0x04, 0x01, 0x03, 0x01};

void
require_example_module()
{
    for (const DsModule *m = loaded_modules(); m != nullptr; m = m->next) {
        if (module_name(m) == kExampleModule)
            return;
    }
    fail(kStatusFailed, kExampleModule,
         std::string("the example module is not loaded; install it in ") + DSTOOL_MODULE_DIR);
}

// One step of the round trip for --json: the call and what it gave.
void
add_step(json_object *steps, const char *call, const std::string &result)
{
    JsonPtr step = json_object_or_throw();
    json_set(step.get(), "call", std::string(call));
    json_set(step.get(), "result", result);
    json_append(steps, step.release());
}

std::string
step_failed(const char *call, const std::string &fallback)
{
    return std::string(call) + " failed: " + log_reason(fallback);
}

} // namespace

int
cmd_demo(const Invocation &inv)
{
    require_example_module();
    const DsKeyNode *key = find_key_by_name(kExampleKey);
    const DsType *iface = find_type_or_fail("interface");
    std::string out;
    JsonPtr steps = json_array_or_throw();
    std::string packed_hex = hex(kInterface, sizeof kInterface);

    JsonPtr value(ds_c_to_jo(iface, kInterface, sizeof kInterface));
    if (value == nullptr)
        fail(kStatusFailed, packed_hex, step_failed("ds_c_to_jo", "not a valid interface"));
    std::string field_text = json_text(value.get());
    add_step(steps.get(), "ds_c_to_jo", field_text);
    out += "1. packed \"interface\" value " + packed_hex + "\n   ds_c_to_jo: " + field_text + "\n";

    clear_log_lines();
    char path[4096];
    if (ds_build_key(path, sizeof path, key, static_cast<const void *>(kInterface),
                     sizeof kInterface, static_cast<const void *>(nullptr)) == nullptr)
        fail(kStatusFailed, kExampleKey, step_failed("ds_build_key", "no path"));
    add_step(steps.get(), "ds_build_key", path);
    out += std::string("2. ds_build_key(") + kExampleKey + ", " + packed_hex +
           ")\n   path: " + path + "\n";

    const DsKeyNode *found = ds_find_key(path, true);
    if (found == nullptr)
        fail(kStatusFailed, printable(path), step_failed("ds_find_key", "no leaf key"));
    add_step(steps.get(), "ds_find_key", key_name(found));
    out += "3. ds_find_key(path, 1)\n   key: " + key_name(found) + " in " + module_of(found) +
           (found == key ? " (the key the path was built from)" : " (a different key)") + "\n";

    const DsType *leaf = ds_key_leaf_type(found);
    size_t leaf_size = ds_type_size(leaf);
    std::vector<uint8_t> leaf_packed(std::max<size_t>(leaf_size, 1), 0);
    errno = 0;
    if (ds_leaf_to_c(path, kLeafValue, leaf_packed.data(), leaf_size) != 1)
        fail(kStatusFailed, kLeafValue, step_failed("ds_leaf_to_c", errno_text(errno)));
    add_step(steps.get(), "ds_leaf_to_c", hex(leaf_packed.data(), leaf_size));
    out += std::string("4. ds_leaf_to_c(path, ") + kLeafValue + ")\n   packed " + type_label(leaf) +
           ": " + hex(leaf_packed.data(), leaf_size) + "\n";

    clear_log_lines();
    uint32_t size = 0;
    errno = 0;
    BytesPtr back(ds_key_field_c(field_text.c_str(), found, 1, &size));
    if (back == nullptr)
        fail(kStatusFailed, printable(field_text),
             step_failed("ds_key_field_c", errno_text(errno)));
    bool same = size == sizeof kInterface && std::memcmp(back.get(), kInterface, size) == 0;
    add_step(steps.get(), "ds_key_field_c", hex(back.get(), size));
    out += "5. ds_key_field_c(field text, 1)\n   field text: " + field_text +
           "\n   packed: " + hex(back.get(), size) + "\n   original " + packed_hex +
           ", extracted " + hex(back.get(), size) + ": " + (same ? "match" : "differ") + "\n";
    if (inv.has("--json")) {
        JsonPtr result = json_object_or_throw();
        json_set(result.get(), "steps", steps.release());
        json_set(result.get(), "match", same);
        print_json(result.get());
    } else {
        print(out);
    }
    return same ? kStatusOk : kStatusFailed;
}

} // namespace dstool
