// The refusal's message pieces shared by both reason walks, and how a
// refused text is shown.
#include "core/grammar.h"
#include "core/reason_text.h"
#include "core/regex.h"

#include <cstdio>

namespace core
{

std::string
shown(std::string_view text, size_t max)
{
    std::string out;
    size_t count = 0;
    for (unsigned char c : text) {
        if (count == max) {
            out += "...";
            break;
        }
        ++count;
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string
holder(const DsType *type)
{
    return type == nullptr || type->name == nullptr ? "the type" : type->name;
}

std::string
of_type(const DsType *type)
{
    return type == nullptr || type->name == nullptr ? "" : std::string(" of ") + type->name;
}

std::string
quoted(const char *text)
{
    // Built piece by piece: gcc 12 warns falsely (-Wrestrict) about "\"" + std::string.
    std::string out(1, '"');
    out += shown(text == nullptr ? "" : text, kShown);
    out += '"';
    return out;
}

std::string
enum_names(const DsType *type)
{
    std::string text;
    for (uint32_t i = 0; i < type->p.enumeration.count && i < 16; ++i) {
        const DsEnumValue &row = type->p.enumeration.values[i];
        text += (i == 0 ? "" : ", ") + std::string(row.name == nullptr ? "(unnamed)" : row.name) +
                " = " + std::to_string(row.value);
    }
    return type->p.enumeration.count > 16 ? text + ", ..." : text;
}

std::string
int_range(const DsType *type)
{
    return std::to_string(type->p.integer.min) + ".." + std::to_string(type->p.integer.max);
}

std::string
arm_label(const DsType *choice, int64_t value)
{
    const DsField &discriminator = choice->p.choice.fields[0];
    const DsType *type = discriminator.type;
    std::string label = std::string(discriminator.name == nullptr ? "?" : discriminator.name) + " ";
    const DsEnumValue *row =
        type != nullptr && type->kind == DS_KIND_ENUM ? enum_row(type, value) : nullptr;
    if (row != nullptr && row->name != nullptr)
        return label + row->name;
    return label + std::to_string(value);
}

bool
pattern_accepts(const DsType *type, const char *text)
{
    Regex compiled(type->p.string.regex == nullptr ? "" : type->p.string.regex);
    return !compiled.ok() || compiled.matches(text);
}

std::string
element_place(uint64_t i)
{
    // Built piece by piece: gcc 12 warns falsely (-Wrestrict) about "[" + std::string.
    std::string place(1, '[');
    place += std::to_string(i);
    place += ']';
    return place;
}

bool
refuse(Refusal &r, Rule rule, std::string message, std::string allowed)
{
    r.rule = rule;
    r.message = std::move(message);
    r.allowed = std::move(allowed);
    return true;
}

bool
inside(Refusal &r, const std::string &place, bool refused)
{
    if (refused)
        r.path.insert(0, place);
    return refused;
}

bool
refuse_range(Refusal &r, const DsType *type, int64_t value)
{
    if (int_in_range(type, value))
        return false;
    return refuse(r, Rule::int_range,
                  std::to_string(value) + " is outside the range " + int_range(type) +
                      of_type(type),
                  int_range(type));
}

bool
refuse_not_in_enum(Refusal &r, const DsType *type, const std::string &what)
{
    return refuse(r, Rule::enum_value,
                  what + " is not in the enumeration" + of_type(type) + " (" + enum_names(type) +
                      ")",
                  enum_names(type));
}

bool
refuse_pattern(Refusal &r, const DsType *type, const char *text)
{
    std::string pattern = shown(type->p.string.regex == nullptr ? "" : type->p.string.regex, 80);
    return refuse(r, Rule::pattern,
                  quoted(text) + " does not match the pattern " + pattern + of_type(type),
                  "the pattern " + pattern + " in " + std::to_string(type->size) + " bytes");
}

bool
refuse_nesting(Refusal &r, const DsType *type, unsigned depth)
{
    if (type == nullptr)
        return refuse(r, Rule::no_type, "no type record");
    if (depth > kMaxDepth)
        return refuse(r, Rule::too_deep,
                      "the type is nested more than " + std::to_string(kMaxDepth) + " deep");
    return false;
}

} // namespace core
