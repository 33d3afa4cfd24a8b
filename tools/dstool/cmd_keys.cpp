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

// Packs VALUE with the level's field type the way ds_leaf_to_c would, and
// explains a failure with the parser's log line or errno.
std::vector<uint8_t>
pack_level_value(const DsKeyNode *level, const std::string &text)
{
    const DsType *type = level->field_type;
    size_t size = ds_type_size(type);
    std::vector<uint8_t> packed(std::max<size_t>(size, 1), 0);
    errno = 0;
    if (ds_type_to_c(type, text.c_str(), packed.data(), size) == 1) {
        packed.resize(size);
        return packed;
    }
    int saved = errno;
    std::string input = std::string(level->name ? level->name : "(unnamed)") + " (" +
                        type_label(type) + ") " + input_name(text);
    clear_log_lines();
    int err = 0;
    JsonPtr jo(ds_json_to_jo(text.c_str(), &err));
    if (jo == nullptr && err == DS_ERR_BAD_JSON)
        fail(kStatusRejected, input, log_reason("not JSON text"));
    if (jo == nullptr)
        fail(kStatusRejected, input, "JSON null is no value");
    fail(kStatusRejected, input,
         "does not convert to type " + type_label(type) + " (" + errno_text(saved) + ")");
}

// Builds the key path, growing the buffer while the library may have cut it.
std::string
build_path(const DsKeyNode *key, const PackedArgs &args, bool too_few, const std::string &keyname)
{
    for (size_t buflen = 4096;; buflen *= 2) {
        std::string buf(buflen, '\0');
        clear_log_lines();
        char *result = build_key_call(buf.data(), buflen, key, args,
                                      std::make_index_sequence<DS_MAX_KEY_LEVELS>());
        if (result == nullptr)
            fail(too_few ? kStatusUsage : kStatusRejected, keyname,
                 log_reason("the key could not be built"));
        size_t length = std::strlen(buf.data());
        if (length + 1 < buflen || buflen >= (size_t{1} << 26)) {
            // A line logged with a result means surplus values.
            if (!log_lines().empty())
                fail(kStatusUsage, keyname, log_reason("too many values"));
            buf.resize(length);
            return buf;
        }
    }
}

} // namespace

int
cmd_keys(const Invocation &inv)
{
    Table table{{"MODULE", "KEY", "TYPED LEVELS", "LEAF TYPE"},
                {"module", "key", "typed_levels", "leaf_type"},
                {},
                {}};
    for (const DsKeyNode *key : all_keys())
        table.rows.push_back({module_of(key), key_name(key), typed_levels_text(key),
                              type_label(ds_key_leaf_type(key))});
    print(inv.has("--json") ? table.json() : table.text());
    return kStatusOk;
}

int
cmd_alarms(const Invocation &inv)
{
    Table table{{"MODULE", "ROW", "KEY"}, {"module", "row", "key"}, {false, true, false}, {}};
    for (const DsModule *m = loaded_modules(); m != nullptr; m = m->next) {
        for (uint16_t i = 0; m->alarms != nullptr && i < m->alarm_count; ++i) {
            const DsKeyNode *key = m->alarms[i].key;
            table.rows.push_back(
                {module_name(m), std::to_string(i), key == nullptr ? "(no key)" : key_name(key)});
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
    if (count > DS_MAX_KEY_LEVELS)
        fail(kStatusUsage, printable(keyname),
             "at most " + std::to_string(DS_MAX_KEY_LEVELS) + " values");
    std::vector<std::string> texts;
    std::vector<std::vector<uint8_t>> values;
    PackedArgs args{};
    for (size_t i = 0; i < count; ++i) {
        texts.push_back(read_text_arg(inv.args[i + 1], printable(keyname)));
        if (i < typed.size())
            values.push_back(pack_level_value(typed[i], texts.back()));
        else // surplus: no level to pack it for; the library names it
            values.emplace_back(texts.back().begin(), texts.back().end());
    }
    for (size_t i = 0; i < count; ++i)
        args[i] = PackedArg{values[i].data(), values[i].size()};
    print(build_path(key, args, count < typed.size(), printable(keyname)) + "\n");
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
        fail(kStatusRejected, printable(path),
             leaf_only ? "no key with a leaf type has this path" : "no key has this path");
    print("key: " + key_name(key) + "\nmodule: " + module_of(key) + "\ntyped levels: " +
          typed_levels_text(key) + "\nleaf type: " + type_label(ds_key_leaf_type(key)) + "\n");
    return kStatusOk;
}

int
cmd_field(const Invocation &inv)
{
    uint32_t n = parse_u32(inv.args[2], "field number");
    std::string text = read_text_arg(inv.args[0], printable(inv.args[1]));
    const DsKeyNode *key = find_key_by_name(inv.args[1]);
    std::string input =
        printable(inv.args[1]) + " field " + std::to_string(n) + " of " + input_name(text);
    clear_log_lines();
    JsonPtr jo(ds_key_field_jo(text.c_str(), key, n));
    if (jo == nullptr)
        fail(kStatusRejected, input, log_reason("no such field"));
    uint32_t size = 0;
    errno = 0;
    BytesPtr packed(ds_key_field_c(text.c_str(), key, n, &size));
    if (packed == nullptr) {
        int saved = errno;
        fail(kStatusRejected, input,
             log_reason("does not convert to type " + type_label(ds_key_field_type(key, n)) + " (" +
                        errno_text(saved) + ")"));
    }
    print("json: " + json_text(jo.get()) + "\npacked: " + hex(packed.get(), size) + "\n");
    return kStatusOk;
}

} // namespace dstool
