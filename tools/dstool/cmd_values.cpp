// "dstool validate", "canonical", "pack" and "unpack": one value of a named
// type, converted or checked by the library; "dstool leaf" does the first
// three for the leaf type of a key path. Values are read strictly first;
// when the library then refuses one, the reason is worked out from the type.
#include "dstool.h"

#include <algorithm>
#include <cerrno>

namespace dstool
{

namespace
{

// What a value is read as: a type named on the command line, or the leaf
// type of the key that a key path names (generated modules leave their leaf
// types anonymous, so a key path is the only way to reach them).
struct ValueTarget {
    const DsType *type;
    std::string label;   // leads the input in messages: the type's name or the key path
    std::string keypath; // empty for a named type
};

ValueTarget
named_target(const std::string &name)
{
    const DsType *type = find_type_or_fail(name);
    return ValueTarget{type, type_label(type), ""};
}

ValueTarget
leaf_target(const std::string &keypath)
{
    const DsKeyNode *key = find_leaf_key_or_fail(keypath);
    return ValueTarget{ds_key_leaf_type(key), printable(keypath), keypath};
}

std::string
value_input(const ValueTarget &target, const std::string &text)
{
    return input_name(target.label, text);
}

// The reason the library refused jo, or what it logged when the type gives none.
std::string
refusal(const DsType *type, json_object *jo)
{
    std::string reason = why_json_refused(type, jo);
    if (!reason.empty())
        return reason;
    return log_reason("not a value of type " + type_label(type));
}

JsonPtr
result_object(const ValueTarget &target)
{
    JsonPtr out = json_object_or_throw();
    if (!target.keypath.empty())
        json_set(out.get(), "key", target.keypath);
    json_set(out.get(), "type", type_reference(target.type));
    return out;
}

int
validate_value(const ValueTarget &target, const std::string &text, bool json)
{
    JsonValue value = strict_json(text, value_input(target, text));
    clear_log_lines();
    if (!ds_jo_value_is_valid(target.type, value.jo.get()))
        fail(kStatusFailed, value_input(target, value.text), refusal(target.type, value.jo.get()));
    if (!json) {
        print("valid\n");
        return kStatusOk;
    }
    JsonPtr out = result_object(target);
    json_set(out.get(), "value", json_object_get(value.jo.get()));
    json_set(out.get(), "valid", true);
    print_json(out.get());
    return kStatusOk;
}

int
canonical_value(const ValueTarget &target, const std::string &text, bool json)
{
    JsonValue value = strict_json(text, value_input(target, text));
    clear_log_lines();
    int err = 0;
    CharPtr canonical(ds_canonical_json(value.text.c_str(), target.type, &err));
    std::string input = value_input(target, value.text);
    if (canonical == nullptr && err == DS_ERR_NOMEM)
        throw std::bad_alloc();
    if (canonical == nullptr && err == DS_ERR_BAD_JSON)
        fail(kStatusFailed, input, refusal(target.type, value.jo.get()));
    if (canonical == nullptr)
        fail(kStatusFailed, input, log_reason("no canonical text"));
    if (!json) {
        print(std::string(canonical.get()) + "\n");
        return kStatusOk;
    }
    JsonPtr out = result_object(target);
    json_set(out.get(), "canonical", std::string(canonical.get()));
    json_set(out.get(), "value", json_tokener_parse(canonical.get()));
    print_json(out.get());
    return kStatusOk;
}

// A leaf value goes through ds_leaf_to_c, the library's own way from a key
// path and a text to the packed leaf.
int
pack_value(const ValueTarget &target, const std::string &text, bool json)
{
    JsonValue value = strict_json(text, value_input(target, text));
    size_t size = ds_type_size(target.type);
    std::vector<uint8_t> packed(std::max<size_t>(size, 1), 0);
    bool done =
        target.keypath.empty()
            ? ds_jo_to_c(target.type, value.jo.get(), packed.data(), size) != nullptr
            : ds_leaf_to_c(target.keypath.c_str(), value.text.c_str(), packed.data(), size) != 0;
    if (!done)
        fail(kStatusFailed, value_input(target, value.text), refusal(target.type, value.jo.get()));
    if (!json) {
        print(hex(packed.data(), size) + "\n");
        return kStatusOk;
    }
    JsonPtr out = result_object(target);
    json_set(out.get(), "size", static_cast<int64_t>(size));
    json_set(out.get(), "hex", hex(packed.data(), size));
    JsonPtr bytes = json_array_or_throw();
    for (size_t i = 0; i < size; ++i)
        json_append(bytes.get(), json_object_new_int(packed[i]));
    json_set(out.get(), "bytes", bytes.release());
    print_json(out.get());
    return kStatusOk;
}

} // namespace

int
cmd_validate(const Invocation &inv)
{
    ValueTarget target = named_target(inv.args[0]);
    return validate_value(target, value_args(inv.args, 1)[0], inv.has("--json"));
}

int
cmd_canonical(const Invocation &inv)
{
    ValueTarget target = named_target(inv.args[0]);
    return canonical_value(target, value_args(inv.args, 1)[0], inv.has("--json"));
}

int
cmd_pack(const Invocation &inv)
{
    ValueTarget target = named_target(inv.args[0]);
    return pack_value(target, value_args(inv.args, 1)[0], inv.has("--json"));
}

int
cmd_leaf(const Invocation &inv)
{
    const std::string &action = inv.args[0];
    int (*run)(const ValueTarget &, const std::string &, bool) =
        action == "validate"    ? validate_value
        : action == "canonical" ? canonical_value
        : action == "pack"      ? pack_value
                                : nullptr;
    if (run == nullptr)
        fail(kStatusUsage, printable(action),
             "not a leaf action: validate, canonical or pack (see dstool leaf --help)");
    ValueTarget target = leaf_target(inv.args[1]);
    return run(target, value_args(inv.args, 2)[0], inv.has("--json"));
}

int
cmd_unpack(const Invocation &inv)
{
    ValueTarget target = named_target(inv.args[0]);
    const DsType *type = target.type;
    std::string text = read_text_arg(inv.args[1], type_label(type));
    std::vector<uint8_t> packed = parse_hex(text, type_label(type));
    size_t size = ds_type_size(type);
    if (packed.size() != size)
        fail(kStatusFailed, value_input(target, text),
             "the packed form of " + type_label(type) + " is " + std::to_string(size) +
                 (size == 1 ? " byte; " : " bytes; ") + std::to_string(packed.size()) + " given");
    JsonPtr jo(ds_c_to_jo(type, packed.data(), packed.size()));
    if (jo == nullptr) {
        std::string reason = why_packed_refused(type, packed.data(), packed.size());
        fail(kStatusFailed, value_input(target, text),
             reason.empty() ? "not a packed value of type " + type_label(type) : reason);
    }
    std::string infinite = non_finite_number(jo.get());
    if (!infinite.empty())
        fail(kStatusFailed, value_input(target, text), infinite + ", which JSON cannot write");
    if (!inv.has("--json")) {
        print(json_text(jo.get()) + "\n");
        return kStatusOk;
    }
    JsonPtr out = result_object(target);
    json_set(out.get(), "value", jo.release());
    print_json(out.get());
    return kStatusOk;
}

} // namespace dstool
