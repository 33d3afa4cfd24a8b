// "dstool keys", "alarms", "build-key", "find-key" and "field": the key
// forests of the loaded modules, and building, finding and taking apart key
// paths with the library's key functions. Keys are named on the command line
// the way ds_key_name writes them ("/interfaces/*/state").
#include "dstool.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <utility>

namespace dstool
{

namespace
{

// ds_build_key reads one value pointer and one size per typed level, then
// one more pointer that must be null. It is always called with room for the
// deepest key; the pair after the last given value holds the null pointer.
struct PackedArg {
    const void *value = nullptr;
    size_t size = 0;
};
using PackedArgs = std::array<PackedArg, DS_MAX_KEY_LEVELS>;

template <size_t... I>
char *
build_key_call(char *buf, size_t buflen, const DsKeyNode *key, const PackedArgs &args,
               std::index_sequence<I...>)
{
    auto list = std::tuple_cat(std::make_tuple(args[I].value, args[I].size)...);
    return std::apply(
        [&](auto... items) {
            return ds_build_key(buf, buflen, key, items..., static_cast<const void *>(nullptr));
        },
        list);
}

// Packs one typed level's value, read strictly, with the level's field type;
// a refusal names the level and the reason the type gives.
std::vector<uint8_t>
pack_level_value(const DsKeyNode *key, const DsKeyNode *level, const std::string &text)
{
    const DsType *type = level->field_type;
    std::string input =
        printable(key_name(key)) + " " + level_label(key, level) + " " + input_name(text);
    JsonValue value = strict_json(text, input);
    size_t size = ds_type_size(type);
    std::vector<uint8_t> packed(std::max<size_t>(size, 1), 0);
    if (ds_jo_to_c(type, value.jo.get(), packed.data(), size) == nullptr) {
        std::string reason = why_json_refused(type, value.jo.get());
        fail(kStatusFailed, input,
             reason.empty() ? "not a value of type " + type_label(type) : reason);
    }
    packed.resize(size);
    return packed;
}

// Builds the key path, growing the buffer while the library may have cut it.
std::string
build_path(const DsKeyNode *key, const PackedArgs &args, const std::string &keyname)
{
    for (size_t buflen = 4096;; buflen *= 2) {
        std::string buf(buflen, '\0');
        clear_log_lines();
        char *result = build_key_call(buf.data(), buflen, key, args,
                                      std::make_index_sequence<DS_MAX_KEY_LEVELS>());
        if (result == nullptr)
            fail(kStatusFailed, keyname, log_reason("the key could not be built"));
        size_t length = std::strlen(buf.data());
        if (length + 1 < buflen || buflen >= (size_t{1} << 26)) {
            // A line logged with a result means surplus values.
            if (!log_lines().empty())
                fail(kStatusFailed, keyname, log_reason("too many values"));
            buf.resize(length);
            return buf;
        }
    }
}

// The key's typed components, cut from path as the library cuts them; a "/"
// that ends the path adds no component.
std::vector<std::string>
path_components(const std::string &path)
{
    std::vector<std::string> parts = split_components(std::string_view(path).substr(1));
    if (parts.size() > 1 && parts.back().empty() && path.back() == '/')
        parts.pop_back();
    return parts;
}

// find-key --check: each typed component must be a valid value of its level.
void
check_components(const std::string &path, const DsKeyNode *key)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    std::vector<std::string> parts = path_components(path);
    for (uint32_t i = 0; i < depth && i < parts.size(); ++i) {
        const DsType *type = levels[i]->field_type;
        if (type == nullptr)
            continue;
        std::string input =
            printable(path) + " " + level_label(key, levels[i]) + " " + input_name(parts[i]);
        JsonValue value = strict_json(parts[i], input);
        if (!ds_jo_value_is_valid(type, value.jo.get())) {
            std::string reason = why_json_refused(type, value.jo.get());
            fail(kStatusFailed, input,
                 reason.empty() ? "not a value of type " + type_label(type) : reason);
        }
    }
}

JsonPtr
key_json(const DsKeyNode *key)
{
    JsonPtr out = json_object_or_throw();
    json_set(out.get(), "module", module_of(key));
    json_set(out.get(), "key", key_name(key));
    json_set(out.get(), "leaf_type", type_reference(ds_key_leaf_type(key)));
    json_set(out.get(), "levels", levels_json(key).release());
    return out;
}

// A field number counts the typed levels from 1.
uint32_t
field_number(const std::string &text)
{
    uint32_t n = parse_u32(text, "field number (1, 2, ...)");
    if (n == 0)
        fail(kStatusUsage, "0", "field numbers count from 1");
    return n;
}

} // namespace

int
cmd_keys(const Invocation &inv)
{
    Table table{{"MODULE", "KEY", "TYPED LEVELS", "LEAF TYPE"},
                {"module", "key", "", "leaf_type"},
                {},
                {},
                {}};
    const DsModule *only = selected_module(inv);
    for (const DsKeyNode *key : all_keys()) {
        if (only != nullptr && !module_holds(only, key))
            continue;
        table.rows.push_back({module_of(key), key_name(key), typed_levels_text(key),
                              type_label(ds_key_leaf_type(key))});
        table.extra.push_back(key_json(key));
    }
    print(inv.has("--json") ? table.json() : table.text());
    return kStatusOk;
}

int
cmd_alarms(const Invocation &inv)
{
    Table table{{"MODULE", "ROW", "KEY"}, {"module", "row", "key"}, {false, true, false}, {}, {}};
    const DsModule *only = selected_module(inv);
    for (const DsModule *m = loaded_modules(); m != nullptr; m = m->next) {
        if (only != nullptr && m != only)
            continue;
        for (uint16_t i = 0; m->alarms != nullptr && i < m->alarm_count; ++i) {
            const DsKeyNode *key = m->alarms[i].key;
            table.rows.push_back(
                {module_name(m), std::to_string(i), key == nullptr ? "(no key)" : key_name(key)});
            JsonPtr extra = json_object_or_throw();
            if (key == nullptr)
                json_set(extra.get(), "key", nullptr);
            table.extra.push_back(std::move(extra));
        }
    }
    print(inv.has("--json") ? table.json() : table.text());
    return kStatusOk;
}

int
cmd_build_key(const Invocation &inv)
{
    const std::string &keyname = inv.args[0];
    const DsKeyNode *key = find_key_by_name(keyname);
    std::vector<const DsKeyNode *> typed = typed_levels(key);
    size_t count = inv.args.size() - 1;
    if (count != typed.size())
        fail(kStatusUsage, printable(keyname),
             "the key takes " + std::to_string(typed.size()) +
                 (typed.size() == 1 ? " value (" : " values (") + typed_levels_text(key) + "), " +
                 std::to_string(count) + " given");
    std::vector<std::string> texts = value_args(inv.args, 1);
    std::vector<std::vector<uint8_t>> values;
    PackedArgs args{};
    for (size_t i = 0; i < count; ++i)
        values.push_back(pack_level_value(key, typed[i], texts[i]));
    for (size_t i = 0; i < count; ++i)
        args[i] = PackedArg{values[i].data(), values[i].size()};
    std::string path = build_path(key, args, printable(keyname));
    if (!inv.has("--json")) {
        print(path + "\n");
        return kStatusOk;
    }
    JsonPtr out = json_object_or_throw();
    json_set(out.get(), "key", key_name(key));
    json_set(out.get(), "path", path);
    print_json(out.get());
    return kStatusOk;
}

int
cmd_find_key(const Invocation &inv)
{
    const std::string &path = inv.args[0];
    bool leaf_only = inv.has("--leaf");
    loaded_modules();
    const DsKeyNode *key = ds_find_key(path.c_str(), leaf_only);
    if (key == nullptr)
        fail(kStatusFailed, printable(path),
             leaf_only ? "no key with a leaf type has this path" : "no key has this path");
    bool check = inv.has("--check");
    if (check)
        check_components(path, key);
    if (inv.has("--json")) {
        JsonPtr out = key_json(key);
        json_set(out.get(), "path", path);
        json_set(out.get(), "checked", check);
        print_json(out.get());
        return kStatusOk;
    }
    print("key: " + key_name(key) + "\nmodule: " + module_of(key) + "\ntyped levels: " +
          typed_levels_text(key) + "\nleaf type: " + type_label(ds_key_leaf_type(key)) + "\n" +
          (check ? "check: every typed component is a valid value\n" : ""));
    return kStatusOk;
}

int
cmd_field(const Invocation &inv)
{
    uint32_t n = field_number(inv.args[2]);
    std::string text = read_text_arg(inv.args[0], printable(inv.args[1]));
    const DsKeyNode *key = find_key_by_name(inv.args[1]);
    std::vector<const DsKeyNode *> typed = typed_levels(key);
    std::string input =
        printable(inv.args[1]) + " field " + std::to_string(n) + " of " + input_name(text);
    if (n > typed.size())
        fail(kStatusFailed, input,
             "the key has " + std::to_string(typed.size()) +
                 (typed.size() == 1 ? " field: " : " fields: ") + typed_levels_text(key));
    std::vector<std::string> parts = split_components(text);
    std::string has = "the text has " + std::to_string(parts.size()) +
                      (parts.size() == 1 ? " component" : " components") + " (separated by \"/\")";
    if (parts.size() < n)
        fail(kStatusFailed, input, has);
    // The library reads only up to field n; a surplus is a mistake it would not see.
    if (parts.size() > typed.size())
        fail(kStatusFailed, input,
             has + ", the key has " + std::to_string(typed.size()) +
                 (typed.size() == 1 ? " field: " : " fields: ") + typed_levels_text(key));
    const DsKeyNode *level = typed[n - 1];
    JsonValue value = strict_json(parts[n - 1], input + " " + level_label(key, level));
    clear_log_lines();
    JsonPtr jo(ds_key_field_jo(text.c_str(), key, n));
    if (jo == nullptr)
        fail(kStatusFailed, input, log_reason("no such field"));
    uint32_t size = 0;
    BytesPtr packed(ds_key_field_c(text.c_str(), key, n, &size));
    if (packed == nullptr) {
        std::string reason = why_json_refused(level->field_type, value.jo.get());
        fail(kStatusFailed, input + " " + level_label(key, level),
             reason.empty() ? log_reason("not a value of its type") : reason);
    }
    if (!inv.has("--json")) {
        print("json: " + json_text(jo.get()) + "\npacked: " + hex(packed.get(), size) + "\n");
        return kStatusOk;
    }
    JsonPtr out = json_object_or_throw();
    json_set(out.get(), "key", key_name(key));
    json_set(out.get(), "field", static_cast<int64_t>(n));
    json_set(out.get(), "name", json_text_or_null(level->name));
    json_set(out.get(), "type", type_reference(level->field_type));
    json_set(out.get(), "value", jo.release());
    json_set(out.get(), "hex", hex(packed.get(), size));
    print_json(out.get());
    return kStatusOk;
}

} // namespace dstool
