// "dstool validate", "canonical", "pack" and "unpack": one value of a named
// type, converted or checked by the library. JSON texts are parsed with
// ds_json_to_jo so that a syntax error is reported in the library's own words.
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

JsonPtr
parse_json(const DsType *type, const std::string &text)
{
    clear_log_lines();
    int err = 0;
    JsonPtr jo(ds_json_to_jo(text.c_str(), &err));
    if (jo != nullptr)
        return jo;
    if (err == DS_ERR_BAD_JSON)
        fail(kStatusRejected, value_input(type, text), log_reason("not JSON text"));
    fail(kStatusRejected, value_input(type, text), "JSON null is no value");
}

} // namespace

int
cmd_validate(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    std::string text = read_text_arg(inv.args[1], type_label(type));
    JsonPtr jo = parse_json(type, text);
    if (!ds_jo_value_is_valid(type, jo.get()))
        fail(kStatusRejected, value_input(type, text),
             "not a valid value of type " + type_label(type));
    print("valid\n");
    return kStatusOk;
}

int
cmd_canonical(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    std::string text = read_text_arg(inv.args[1], type_label(type));
    clear_log_lines();
    int err = 0;
    CharPtr canonical(ds_canonical_json(text.c_str(), type, &err));
    if (canonical == nullptr && err == 0)
        fail(kStatusRejected, value_input(type, text), "JSON null is no value");
    if (canonical == nullptr)
        fail(kStatusRejected, value_input(type, text),
             log_reason("no canonical text") + " (code " + std::to_string(err) + ")");
    print(std::string(canonical.get()) + "\n");
    return kStatusOk;
}

int
cmd_pack(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    std::string text = read_text_arg(inv.args[1], type_label(type));
    JsonPtr jo = parse_json(type, text);
    size_t size = ds_type_size(type);
    std::vector<uint8_t> packed(std::max<size_t>(size, 1), 0);
    errno = 0;
    if (ds_jo_to_c(type, jo.get(), packed.data(), size) == nullptr)
        fail(kStatusRejected, value_input(type, text),
             "does not convert to type " + type_label(type) + " (" + errno_text(errno) + ")");
    print(hex(packed.data(), size) + "\n");
    return kStatusOk;
}

int
cmd_unpack(const Invocation &inv)
{
    const DsType *type = find_type_or_fail(inv.args[0]);
    std::string text = read_text_arg(inv.args[1], type_label(type));
    std::vector<uint8_t> packed = parse_hex(text, type_label(type));
    JsonPtr jo(ds_c_to_jo(type, packed.data(), packed.size()));
    if (jo == nullptr)
        fail(kStatusRejected, value_input(type, text),
             "not a valid packed value of type " + type_label(type) + " (" +
                 std::to_string(packed.size()) + " bytes given, the type takes " +
                 std::to_string(ds_type_size(type)) + ")");
    print(json_text(jo.get()) + "\n");
    return kStatusOk;
}

} // namespace dstool
