// Descriptions of types: the whole descriptor graph below a type as a json
// object (what "dstool type --json" prints), the same rendered as indented
// text, and the one-line summary of the type table. Descriptor graphs are
// acyclic when modules are well made; a depth limit keeps a broken module
// from recursing without end.
#include "dstool.h"

namespace dstool
{

namespace
{

constexpr int kMaxDepth = 32;

const char *
converter_name(uint64_t converter)
{
    switch (converter) {
    case DS_CONVERT_BASE:
        return "base";
    case DS_CONVERT_IPV4:
        return "ipv4";
    case DS_CONVERT_IPV6:
        return "ipv6";
    case DS_CONVERT_MAC:
        return "mac";
    default:
        return "invalid";
    }
}

// The name of the first enumeration row holding value, or null.
const char *
enum_name(const DsType *type, int64_t value)
{
    if (type == nullptr || type->kind != DS_KIND_ENUM || type->p.enumeration.values == nullptr)
        return nullptr;
    for (uint32_t i = 0; i < type->p.enumeration.count; ++i) {
        if (type->p.enumeration.values[i].value == value)
            return type->p.enumeration.values[i].name;
    }
    return nullptr;
}

// Fields of a choice: field 0 and every field an arm refers to.
uint32_t
choice_field_count(const DsType *type)
{
    uint32_t count = 1;
    if (type->p.choice.arms == nullptr)
        return count;
    for (uint32_t i = 0; i < type->p.choice.arm_count; ++i) {
        const DsChoiceArm &arm = type->p.choice.arms[i];
        uint32_t end = static_cast<uint32_t>(arm.first_field) + arm.field_count;
        if (end > count)
            count = end;
    }
    return count;
}

std::string
text_or(const char *text, const char *fallback)
{
    return text == nullptr ? fallback : text;
}

JsonPtr describe(const DsType *type, int depth);

json_object *
field_entry(const DsField &field, uint32_t index, bool with_index, int depth)
{
    JsonPtr entry = json_object_or_throw();
    if (with_index)
        json_set(entry.get(), "index", static_cast<int64_t>(index));
    json_set(entry.get(), "name", text_or(field.name, "(unnamed)"));
    json_set(entry.get(), "type", describe(field.type, depth + 1).release());
    return entry.release();
}

void
describe_int(json_object *out, const DsType *type)
{
    json_set(out, "min", type->p.integer.min);
    json_set(out, "max", type->p.integer.max);
}

void
describe_string(json_object *out, const DsType *type)
{
    json_set(out, "pattern", text_or(type->p.string.regex, ""));
}

void
describe_enum(json_object *out, const DsType *type, int depth)
{
    json_set(out, "base", describe(type->p.enumeration.base, depth + 1).release());
    JsonPtr values = json_array_or_throw();
    for (uint32_t i = 0; type->p.enumeration.values && i < type->p.enumeration.count; ++i) {
        JsonPtr row = json_object_or_throw();
        json_set(row.get(), "name", text_or(type->p.enumeration.values[i].name, "(unnamed)"));
        json_set(row.get(), "value", type->p.enumeration.values[i].value);
        json_append(values.get(), row.release());
    }
    json_set(out, "values", values.release());
}

void
describe_array(json_object *out, const DsType *type, int depth)
{
    json_set(out, "max_count", static_cast<int64_t>(type->p.array.max_count));
    json_set(out, "element", describe(type->p.array.element, depth + 1).release());
}

void
describe_sequence(json_object *out, const DsType *type, int depth)
{
    JsonPtr fields = json_array_or_throw();
    for (uint32_t i = 0; type->p.sequence.fields && i < type->p.sequence.field_count; ++i)
        json_append(fields.get(), field_entry(type->p.sequence.fields[i], i, false, depth));
    json_set(out, "fields", fields.release());
}

json_object *
arm_entry(const DsType *type, const DsChoiceArm &arm, int depth)
{
    const DsType *discriminator = type->p.choice.fields[0].type;
    JsonPtr entry = json_object_or_throw();
    JsonPtr values = json_array_or_throw();
    for (uint32_t v = 0; arm.values && v < arm.value_count; ++v) {
        JsonPtr value = json_object_or_throw();
        json_set(value.get(), "value", arm.values[v]);
        const char *name = enum_name(discriminator, arm.values[v]);
        if (name != nullptr)
            json_set(value.get(), "name", std::string(name));
        json_append(values.get(), value.release());
    }
    json_set(entry.get(), "values", values.release());
    JsonPtr fields = json_array_or_throw();
    for (uint32_t f = arm.first_field; f < static_cast<uint32_t>(arm.first_field) + arm.field_count;
         ++f)
        json_append(fields.get(), field_entry(type->p.choice.fields[f], f, true, depth));
    json_set(entry.get(), "fields", fields.release());
    return entry.release();
}

void
describe_choice(json_object *out, const DsType *type, int depth)
{
    if (type->p.choice.fields == nullptr)
        return;
    json_set(out, "discriminator", field_entry(type->p.choice.fields[0], 0, true, depth));
    JsonPtr arms = json_array_or_throw();
    for (uint32_t i = 0; type->p.choice.arms && i < type->p.choice.arm_count; ++i)
        json_append(arms.get(), arm_entry(type, type->p.choice.arms[i], depth));
    json_set(out, "arms", arms.release());
}

void
describe_bitmap(json_object *out, const DsType *type)
{
    json_set(out, "bit_count", static_cast<int64_t>(type->p.bitmap.bit_count));
}

void
describe_converted(json_object *out, const DsType *type, int depth)
{
    json_set(out, "converter", static_cast<int64_t>(type->p.converted.converter));
    json_set(out, "converter_name", std::string(converter_name(type->p.converted.converter)));
    json_set(out, "base", describe(type->p.converted.base, depth + 1).release());
}

JsonPtr
describe(const DsType *type, int depth)
{
    JsonPtr out = json_object_or_throw();
    if (type == nullptr) {
        json_set(out.get(), "missing", std::string("no type record"));
        return out;
    }
    const char *name = ds_type_name(type);
    json_set(out.get(), "name", name == nullptr ? nullptr : json_object_new_string(name));
    json_set(out.get(), "kind", kind_label(type->kind));
    json_set(out.get(), "size", static_cast<int64_t>(type->size));
    if (depth >= kMaxDepth) {
        json_set(out.get(), "truncated", std::string("nested too deep"));
        return out;
    }
    switch (type->kind) {
    case DS_KIND_INT:
        describe_int(out.get(), type);
        break;
    case DS_KIND_DOUBLE:
        break;
    case DS_KIND_STRING:
        describe_string(out.get(), type);
        break;
    case DS_KIND_ENUM:
        describe_enum(out.get(), type, depth);
        break;
    case DS_KIND_ARRAY:
        describe_array(out.get(), type, depth);
        break;
    case DS_KIND_SEQUENCE:
        describe_sequence(out.get(), type, depth);
        break;
    case DS_KIND_CHOICE:
        describe_choice(out.get(), type, depth);
        break;
    case DS_KIND_BITMAP:
        describe_bitmap(out.get(), type);
        break;
    case DS_KIND_CONVERTED:
        describe_converted(out.get(), type, depth);
        break;
    default:
        break;
    }
    return out;
}

// --- Text rendering of a description ---

json_object *
member(const json_object *jo, const char *key)
{
    json_object *value = nullptr;
    if (!json_object_object_get_ex(jo, key, &value))
        return nullptr;
    return value;
}

std::string
member_text(const json_object *jo, const char *key)
{
    json_object *value = member(jo, key);
    return value == nullptr ? "" : json_object_get_string(value);
}

// The heading of a type: "name: kind, N bytes" and the kind's own parameters.
std::string
heading(const json_object *type)
{
    if (member(type, "missing") != nullptr)
        return "(no type record)";
    json_object *name = member(type, "name");
    std::string kind = member_text(type, "kind");
    std::string size = member_text(type, "size");
    std::string text = (name == nullptr ? "(anonymous)" : json_object_get_string(name));
    text += ": " + kind + ", " + size + (size == "1" ? " byte" : " bytes");
    if (kind == "int")
        text += ", range " + member_text(type, "min") + ".." + member_text(type, "max");
    else if (kind == "string")
        text += ", pattern " + printable(member_text(type, "pattern"), 100000);
    else if (kind == "array")
        text += ", up to " + member_text(type, "max_count") + " elements";
    else if (kind == "bitmap")
        text += ", " + member_text(type, "bit_count") + " bits";
    else if (kind == "converted")
        text += ", converter " + member_text(type, "converter") + " (" +
                member_text(type, "converter_name") + ")";
    if (member(type, "truncated") != nullptr)
        text += " (nested too deep to show)";
    return text;
}

void render(const json_object *type, const std::string &label, int indent, std::string &out);

void
render_field(const json_object *field, const char *role, int indent, std::string &out)
{
    // Appended piece by piece: gcc 12 warns falsely (-Wrestrict) about
    // " " + std::string temporaries here.
    std::string label = role;
    json_object *index = member(field, "index");
    if (index != nullptr) {
        label += ' ';
        label += json_object_get_string(index);
    }
    label += ' ';
    label += member_text(field, "name");
    label += ": ";
    render(member(field, "type"), label, indent, out);
}

std::string
arm_values_text(const json_object *arm)
{
    std::string text;
    json_object *values = member(arm, "values");
    size_t count = values == nullptr ? 0 : json_object_array_length(values);
    for (size_t i = 0; i < count; ++i) {
        json_object *value = json_object_array_get_idx(values, i);
        if (!text.empty())
            text += ", ";
        text += member_text(value, "value");
        if (member(value, "name") != nullptr)
            text += " (" + member_text(value, "name") + ")";
    }
    return text.empty() ? "(no values)" : text;
}

void
render_children(const json_object *type, int indent, std::string &out)
{
    std::string kind = member_text(type, "kind");
    std::string pad(static_cast<size_t>(indent) * 2, ' ');
    if (kind == "enum" || kind == "converted")
        render(member(type, "base"), "base ", indent, out);
    if (kind == "array")
        render(member(type, "element"), "element ", indent, out);
    json_object *values = member(type, "values");
    for (size_t i = 0; values != nullptr && i < json_object_array_length(values); ++i) {
        json_object *row = json_object_array_get_idx(values, i);
        out += pad + "value " + member_text(row, "name") + " = " + member_text(row, "value") + "\n";
    }
    json_object *fields = member(type, "fields");
    for (size_t i = 0; fields != nullptr && i < json_object_array_length(fields); ++i)
        render_field(json_object_array_get_idx(fields, i), "field", indent, out);
    json_object *discriminator = member(type, "discriminator");
    if (discriminator != nullptr)
        render_field(discriminator, "discriminator", indent, out);
    json_object *arms = member(type, "arms");
    for (size_t i = 0; arms != nullptr && i < json_object_array_length(arms); ++i) {
        json_object *arm = json_object_array_get_idx(arms, i);
        out += pad + "arm " + std::to_string(i + 1) + ": " + arm_values_text(arm) + "\n";
        json_object *arm_fields = member(arm, "fields");
        for (size_t f = 0; f < json_object_array_length(arm_fields); ++f)
            render_field(json_object_array_get_idx(arm_fields, f), "field", indent + 1, out);
    }
}

void
render(const json_object *type, const std::string &label, int indent, std::string &out)
{
    out += std::string(static_cast<size_t>(indent) * 2, ' ') + label + heading(type) + "\n";
    render_children(type, indent + 1, out);
}

// --- Parameters of the type table ---

JsonPtr parameters(const DsType *type, int depth);

// A referred type: its name, or the whole record of an anonymous one.
json_object *
type_ref(const DsType *type, int depth)
{
    if (type == nullptr)
        return nullptr;
    const char *name = ds_type_name(type);
    if (name != nullptr)
        return json_text_or_null(name);
    JsonPtr ref = json_object_or_throw();
    json_set(ref.get(), "kind", kind_label(type->kind));
    json_set(ref.get(), "size", static_cast<int64_t>(type->size));
    json_set(ref.get(), "parameters",
             depth >= kMaxDepth ? nullptr : parameters(type, depth + 1).release());
    return ref.release();
}

json_object *
field_ref(const DsField &field, int depth)
{
    JsonPtr entry = json_object_or_throw();
    json_set(entry.get(), "name", json_text_or_null(field.name));
    json_set(entry.get(), "type", type_ref(field.type, depth));
    return entry.release();
}

JsonPtr
enum_rows(const DsType *type)
{
    JsonPtr values = json_array_or_throw();
    for (uint32_t i = 0; type->p.enumeration.values && i < type->p.enumeration.count; ++i) {
        JsonPtr row = json_object_or_throw();
        json_set(row.get(), "name", json_text_or_null(type->p.enumeration.values[i].name));
        json_set(row.get(), "value", type->p.enumeration.values[i].value);
        json_append(values.get(), row.release());
    }
    return values;
}

void
choice_parameters(json_object *out, const DsType *type, int depth)
{
    const DsChoiceArm *arms = type->p.choice.arms;
    const DsField *fields = type->p.choice.fields;
    json_set(out, "discriminator", fields == nullptr ? nullptr : field_ref(fields[0], depth));
    JsonPtr list = json_array_or_throw();
    for (uint32_t i = 0; fields != nullptr && arms != nullptr && i < type->p.choice.arm_count;
         ++i) {
        JsonPtr arm = json_object_or_throw();
        JsonPtr values = json_array_or_throw();
        for (uint32_t v = 0; arms[i].values && v < arms[i].value_count; ++v) {
            JsonPtr value = json_object_or_throw();
            json_set(value.get(), "value", arms[i].values[v]);
            json_set(value.get(), "name",
                     json_text_or_null(enum_name(fields[0].type, arms[i].values[v])));
            json_append(values.get(), value.release());
        }
        json_set(arm.get(), "values", values.release());
        JsonPtr arm_fields = json_array_or_throw();
        for (uint32_t f = 0; f < arms[i].field_count; ++f)
            json_append(arm_fields.get(), field_ref(fields[arms[i].first_field + f], depth));
        json_set(arm.get(), "fields", arm_fields.release());
        json_append(list.get(), arm.release());
    }
    json_set(out, "arms", list.release());
}

JsonPtr
parameters(const DsType *type, int depth)
{
    JsonPtr out = json_object_or_throw();
    const DsTypeParams &p = type->p;
    switch (type->kind) {
    case DS_KIND_INT:
        describe_int(out.get(), type);
        break;
    case DS_KIND_STRING:
        json_set(out.get(), "pattern", json_text_or_null(p.string.regex));
        break;
    case DS_KIND_ENUM:
        json_set(out.get(), "base", type_ref(p.enumeration.base, depth));
        json_set(out.get(), "values", enum_rows(type).release());
        break;
    case DS_KIND_ARRAY:
        json_set(out.get(), "max_count", static_cast<int64_t>(p.array.max_count));
        json_set(out.get(), "element", type_ref(p.array.element, depth));
        break;
    case DS_KIND_SEQUENCE: {
        JsonPtr fields = json_array_or_throw();
        for (uint32_t i = 0; p.sequence.fields && i < p.sequence.field_count; ++i)
            json_append(fields.get(), field_ref(p.sequence.fields[i], depth));
        json_set(out.get(), "fields", fields.release());
        break;
    }
    case DS_KIND_CHOICE:
        choice_parameters(out.get(), type, depth);
        break;
    case DS_KIND_BITMAP:
        describe_bitmap(out.get(), type);
        break;
    case DS_KIND_CONVERTED:
        json_set(out.get(), "converter", static_cast<int64_t>(p.converted.converter));
        json_set(out.get(), "converter_name", std::string(converter_name(p.converted.converter)));
        json_set(out.get(), "base", type_ref(p.converted.base, depth));
        break;
    default:
        break;
    }
    return out;
}

} // namespace

JsonPtr
type_parameters(const DsType *type)
{
    return parameters(type, 0);
}

JsonPtr
describe_type(const DsType *type)
{
    return describe(type, 0);
}

std::string
describe_text(const json_object *description)
{
    std::string out;
    render(description, "", 0, out);
    return out;
}

std::string
type_summary(const DsType *type)
{
    const DsTypeParams &p = type->p;
    switch (type->kind) {
    case DS_KIND_INT:
        return std::to_string(p.integer.min) + ".." + std::to_string(p.integer.max);
    case DS_KIND_DOUBLE:
        return "-";
    case DS_KIND_STRING:
        return "pattern " + printable(text_or(p.string.regex, ""), 40);
    case DS_KIND_ENUM:
        return "base " + type_label(p.enumeration.base) + ", " +
               std::to_string(p.enumeration.count) + " values";
    case DS_KIND_ARRAY:
        return "up to " + std::to_string(p.array.max_count) + " of " + type_label(p.array.element);
    case DS_KIND_SEQUENCE:
        return std::to_string(p.sequence.field_count) + " fields";
    case DS_KIND_CHOICE:
        if (p.choice.fields == nullptr)
            return std::to_string(p.choice.arm_count) + " arms";
        return "discriminator " + text_or(p.choice.fields[0].name, "(unnamed)") + " (" +
               type_label(p.choice.fields[0].type) + "), " + std::to_string(p.choice.arm_count) +
               " arms, " + std::to_string(choice_field_count(type)) + " fields";
    case DS_KIND_BITMAP:
        return std::to_string(p.bitmap.bit_count) + " bits";
    case DS_KIND_CONVERTED:
        return std::string("converter ") + converter_name(p.converted.converter) + " over " +
               type_label(p.converted.base);
    default:
        return "-";
    }
}

} // namespace dstool
