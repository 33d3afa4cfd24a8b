// "dstool validate", "canonical", "pack" and "unpack": one value of a named
// type, converted or checked by the library. Values are read strictly first;
// when the library then refuses one, the reason is worked out from the type.
#include "dstool.h"

#include <algorithm>
#include <cerrno>

namespace dstool
{

namespace
{

std::string
value_input(const DsType *type, const std::string &text)
{
    return input_name(type_label(type), text);
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

JsonValue
read_value(const DsType *type, const Invocation &inv)
{
    std::string text = value_args(inv.args, 1)[0];
    return strict_json(text, value_input(type, text));
}

JsonPtr
result_object(const DsType *type)
{
    JsonPtr out = json_object_or_throw();
    json_set(out.get(), "type", type_label(type));
    return out;
}

} // namespace

int
cmd_validate(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    JsonValue value = read_value(type, inv);
    clear_log_lines();
    if (!ds_jo_value_is_valid(type, value.jo.get()))
        fail(kStatusFailed, value_input(type, value.text), refusal(type, value.jo.get()));
    if (!inv.has("--json")) {
        print("valid\n");
        return kStatusOk;
    }
    JsonPtr out = result_object(type);
    json_set(out.get(), "value", json_object_get(value.jo.get()));
    json_set(out.get(), "valid", true);
    print_json(out.get());
    return kStatusOk;
}

int
cmd_canonical(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    JsonValue value = read_value(type, inv);
    clear_log_lines();
    int err = 0;
    CharPtr canonical(ds_canonical_json(value.text.c_str(), type, &err));
    if (canonical == nullptr && err == DS_ERR_NOMEM)
        throw std::bad_alloc();
    if (canonical == nullptr && err == DS_ERR_BAD_JSON)
        fail(kStatusFailed, value_input(type, value.text), refusal(type, value.jo.get()));
    if (canonical == nullptr)
        fail(kStatusFailed, value_input(type, value.text), log_reason("no canonical text"));
    if (!inv.has("--json")) {
        print(std::string(canonical.get()) + "\n");
        return kStatusOk;
    }
    JsonPtr out = result_object(type);
    json_set(out.get(), "canonical", std::string(canonical.get()));
    json_set(out.get(), "value", json_tokener_parse(canonical.get()));
    print_json(out.get());
    return kStatusOk;
}

int
cmd_pack(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    JsonValue value = read_value(type, inv);
    size_t size = ds_type_size(type);
    std::vector<uint8_t> packed(std::max<size_t>(size, 1), 0);
    if (ds_jo_to_c(type, value.jo.get(), packed.data(), size) == nullptr)
        fail(kStatusFailed, value_input(type, value.text), refusal(type, value.jo.get()));
    if (!inv.has("--json")) {
        print(hex(packed.data(), size) + "\n");
        return kStatusOk;
    }
    JsonPtr out = result_object(type);
    json_set(out.get(), "size", static_cast<int64_t>(size));
    json_set(out.get(), "hex", hex(packed.data(), size));
    JsonPtr bytes = json_array_or_throw();
    for (size_t i = 0; i < size; ++i)
        json_append(bytes.get(), json_object_new_int(packed[i]));
    json_set(out.get(), "bytes", bytes.release());
    print_json(out.get());
    return kStatusOk;
}

int
cmd_unpack(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    std::string text = read_text_arg(inv.args[1], type_label(type));
    std::vector<uint8_t> packed = parse_hex(text, type_label(type));
    size_t size = ds_type_size(type);
    if (packed.size() != size)
        fail(kStatusFailed, value_input(type, text),
             "the packed form of " + type_label(type) + " is " + std::to_string(size) +
                 (size == 1 ? " byte; " : " bytes; ") + std::to_string(packed.size()) + " given");
    JsonPtr jo(ds_c_to_jo(type, packed.data(), packed.size()));
    if (jo == nullptr) {
        std::string reason = why_packed_refused(type, packed.data(), packed.size());
        fail(kStatusFailed, value_input(type, text),
             reason.empty() ? "not a packed value of type " + type_label(type) : reason);
    }
    std::string infinite = non_finite_number(jo.get());
    if (!infinite.empty())
        fail(kStatusFailed, value_input(type, text), infinite + ", which JSON cannot write");
    if (!inv.has("--json")) {
        print(json_text(jo.get()) + "\n");
        return kStatusOk;
    }
    JsonPtr out = result_object(type);
    json_set(out.get(), "value", jo.release());
    print_json(out.get());
    return kStatusOk;
}

} // namespace dstool
