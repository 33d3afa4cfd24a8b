// Descriptions of types: the whole descriptor graph below a type as a json
// object (what "dstool type --json" prints), the same rendered as indented
// text, and the one-line summary of the type table. Descriptor graphs are
// acyclic when modules are well made; the converters' depth limit keeps a
// broken module from recursing without end.
#include "core/grammar.h"
#include "dstool.h"

namespace dstool
{

namespace
{

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
    if (type == nullptr || type->kind != DS_KIND_ENUM)
        return nullptr;
    const DsEnumValue *row = core::enum_row(type, value);
    return row == nullptr ? nullptr : row->name;
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

// How a description shows the types it refers to: in full ("dstool type"),
// or by name with only anonymous types spelled out (the type table).
enum class Refs { full, by_name };

void add_parameters(json_object *out, const DsType *type, int depth, Refs refs);

// The whole record of a type: name, kind, size and its parameters.
JsonPtr
describe(const DsType *type, int depth, Refs refs)
{
    JsonPtr out = json_object_or_throw();
    if (type == nullptr) {
        json_set(out.get(), "missing", std::string("no type record"));
        return out;
    }
    if (refs == Refs::full)
        json_set(out.get(), "name", json_text_or_null(ds_type_name(type)));
    json_set(out.get(), "kind", kind_label(type->kind));
    json_set(out.get(), "size", static_cast<int64_t>(type->size));
    // Described as deep as the converters walk; only a looping graph is cut.
    if (depth > static_cast<int>(core::kMaxDepth)) {
        json_set(out.get(), "truncated", std::string("nested too deep"));
        return out;
    }
    if (refs == Refs::full) {
        add_parameters(out.get(), type, depth, refs);
        return out;
    }
    JsonPtr parameters = json_object_or_throw();
    add_parameters(parameters.get(), type, depth, refs);
    json_set(out.get(), "parameters", parameters.release());
    return out;
}

// A type that a parameter refers to.
json_object *
refer(const DsType *type, int depth, Refs refs)
{
    if (refs == Refs::by_name && type != nullptr && ds_type_name(type) != nullptr)
        return json_text_or_null(ds_type_name(type));
    if (refs == Refs::by_name && type == nullptr)
        return nullptr;
    return describe(type, depth + 1, refs).release();
}

// A field row; choices number their fields (index into the field table).
json_object *
field_entry(const DsField &field, uint32_t index, bool with_index, int depth, Refs refs)
{
    JsonPtr entry = json_object_or_throw();
    if (with_index)
        json_set(entry.get(), "index", static_cast<int64_t>(index));
    json_set(entry.get(), "name", json_text_or_null(field.name));
    json_set(entry.get(), "type", refer(field.type, depth, refs));
    return entry.release();
}

void
describe_enum(json_object *out, const DsType *type, int depth, Refs refs)
{
    json_set(out, "base", refer(type->p.enumeration.base, depth, refs));
    JsonPtr values = json_array_or_throw();
    for (uint32_t i = 0; type->p.enumeration.values && i < type->p.enumeration.count; ++i) {
        JsonPtr row = json_object_or_throw();
        json_set(row.get(), "name", json_text_or_null(type->p.enumeration.values[i].name));
        json_set(row.get(), "value", type->p.enumeration.values[i].value);
        json_append(values.get(), row.release());
    }
    json_set(out, "values", values.release());
}

void
describe_sequence(json_object *out, const DsType *type, int depth, Refs refs)
{
    JsonPtr fields = json_array_or_throw();
    for (uint32_t i = 0; type->p.sequence.fields && i < type->p.sequence.field_count; ++i)
        json_append(fields.get(), field_entry(type->p.sequence.fields[i], i, false, depth, refs));
    json_set(out, "fields", fields.release());
}

json_object *
arm_entry(const DsType *type, const DsChoiceArm &arm, int depth, Refs refs)
{
    const DsType *discriminator = type->p.choice.fields[0].type;
    JsonPtr entry = json_object_or_throw();
    JsonPtr values = json_array_or_throw();
    for (uint32_t v = 0; arm.values && v < arm.value_count; ++v) {
        JsonPtr value = json_object_or_throw();
        json_set(value.get(), "value", arm.values[v]);
        json_set(value.get(), "name", json_text_or_null(enum_name(discriminator, arm.values[v])));
        json_append(values.get(), value.release());
    }
    json_set(entry.get(), "values", values.release());
    JsonPtr fields = json_array_or_throw();
    for (uint32_t f = arm.first_field; f < static_cast<uint32_t>(arm.first_field) + arm.field_count;
         ++f)
        json_append(fields.get(), field_entry(type->p.choice.fields[f], f, true, depth, refs));
    json_set(entry.get(), "fields", fields.release());
    return entry.release();
}

void
describe_choice(json_object *out, const DsType *type, int depth, Refs refs)
{
    if (type->p.choice.fields == nullptr)
        return;
    json_set(out, "discriminator", field_entry(type->p.choice.fields[0], 0, true, depth, refs));
    JsonPtr arms = json_array_or_throw();
    for (uint32_t i = 0; type->p.choice.arms && i < type->p.choice.arm_count; ++i)
        json_append(arms.get(), arm_entry(type, type->p.choice.arms[i], depth, refs));
    json_set(out, "arms", arms.release());
}

// The kind's own members of a description.
void
add_parameters(json_object *out, const DsType *type, int depth, Refs refs)
{
    const DsTypeParams &p = type->p;
    switch (type->kind) {
    case DS_KIND_INT:
        json_set(out, "min", p.integer.min);
        json_set(out, "max", p.integer.max);
        break;
    case DS_KIND_STRING:
        json_set(out, "pattern", json_text_or_null(p.string.regex));
        break;
    case DS_KIND_ENUM:
        describe_enum(out, type, depth, refs);
        break;
    case DS_KIND_ARRAY:
        json_set(out, "max_count", static_cast<int64_t>(p.array.max_count));
        json_set(out, "element", refer(p.array.element, depth, refs));
        break;
    case DS_KIND_SEQUENCE:
        describe_sequence(out, type, depth, refs);
        break;
    case DS_KIND_CHOICE:
        describe_choice(out, type, depth, refs);
        break;
    case DS_KIND_BITMAP:
        json_set(out, "bit_count", static_cast<int64_t>(p.bitmap.bit_count));
        break;
    case DS_KIND_CONVERTED:
        json_set(out, "converter", static_cast<int64_t>(p.converted.converter));
        json_set(out, "converter_name", std::string(converter_name(p.converted.converter)));
        json_set(out, "base", refer(p.converted.base, depth, refs));
        break;
    default:
        break;
    }
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

} // namespace

JsonPtr
type_parameters(const DsType *type)
{
    JsonPtr out = json_object_or_throw();
    add_parameters(out.get(), type, 0, Refs::by_name);
    return out;
}

json_object *
type_reference(const DsType *type)
{
    return refer(type, -1, Refs::by_name);
}

JsonPtr
describe_type(const DsType *type)
{
    return describe(type, 0, Refs::full);
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
