// Unions: a union of enumerations whose names and values agree becomes one
// enum; every other union becomes one string type whose expression is the
// alternation of its members' texts (or the annotation file's expression),
// sized for the longest member, with a warning for each member whose texts
// the alternation only approximates.
#include "dsgen.h"

#include <algorithm>
#include <cstring>

namespace dsgen
{

namespace
{

std::string
regex_escape(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// "^(X)$" or "^X$" -> "(X)", to be one alternative of a larger expression.
std::string
unanchored(const std::string &ere)
{
    std::string inner = ere;
    if (!inner.empty() && inner.front() == '^')
        inner.erase(0, 1);
    if (!inner.empty() && inner.back() == '$')
        inner.pop_back();
    return "(" + inner + ")";
}

// Bit names separated by blanks; a name written twice is not caught.
std::string
bits_alternative(const struct lysc_type_bits *bits)
{
    std::string names;
    LY_ARRAY_COUNT_TYPE j;
    LY_ARRAY_FOR(bits->bits, j)
    {
        names += (names.empty() ? "" : "|") + regex_escape(bits->bits[j].name);
    }
    return names.empty() ? "()" : "([[:space:]]*((" + names + ")([[:space:]]+|$))*)";
}

} // namespace

// What the members of a union give the string that stands for it.
struct TypeMapper::UnionText {
    std::vector<std::string> alternatives;
    std::vector<std::string> inexact;       // members the alternation only approximates
    std::vector<uint32_t> bounded_patterns; // what the union's size enforces of their lengths
    uint32_t size = 0;
    bool any_text = false;
};

// The enum of a union of enumerations; none when a member is no
// enumeration, or one name or value stands for different things.
std::optional<TypeRef>
TypeMapper::union_of_enums(const struct lysc_type_union *type, GenType gen)
{
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(type->types, i)
    {
        if (type->types[i]->basetype != LY_TYPE_ENUM)
            return std::nullopt;
    }
    std::map<std::string, int64_t> by_name;
    std::map<int64_t, std::string> by_value;
    bool clash = false;
    LY_ARRAY_FOR(type->types, i)
    {
        const auto *en = reinterpret_cast<const struct lysc_type_enum *>(type->types[i]);
        LY_ARRAY_COUNT_TYPE j;
        LY_ARRAY_FOR(en->enums, j)
        {
            std::string n = en->enums[j].name;
            int64_t v = en->enums[j].value;
            if (by_name.count(n) != 0 || by_value.count(v) != 0) {
                clash = clash || by_name[n] != v || by_value[v] != n;
                continue;
            }
            by_name[n] = v;
            by_value[v] = n;
            gen.values.emplace_back(n, v);
        }
    }
    if (clash)
        return std::nullopt;
    const IntRow &row = smallest_int(by_value.begin()->first, by_value.rbegin()->first);
    gen.kind = DS_KIND_ENUM;
    gen.size = row.size;
    gen.ref = builtin_ref(row.row);
    return table_.add(std::move(gen));
}

bool
TypeMapper::add_union_string(const struct lysc_node *node, const struct lysc_type_str *member,
                             UnionText &text)
{
    std::optional<std::string> ere = string_ere(node, member, "", true);
    if (!ere)
        return false;
    text.any_text = text.any_text || *ere == kAnyText;
    text.alternatives.push_back(unanchored(*ere == kAnyText ? "^.*$" : *ere));
    if (*ere != kAnyText)
        member_patterns_[reinterpret_cast<const struct lysc_type *>(member)] = *ere;
    // The union holds the member's longest text: the bound of its last
    // length part.
    uint64_t longest =
        member->length != nullptr
            ? member->length->parts[LY_ARRAY_COUNT(member->length->parts) - 1].max_u64
            : UINT64_MAX;
    uint32_t member_size =
        longest < UINT16_MAX ? static_cast<uint32_t>(longest + 1) : options_.string_size;
    text.size = std::max(text.size, member_size);
    // Only the union's size limits a patterned member's length: a lower
    // bound or several parts are not enforced at all.
    if (member->patterns != nullptr && member->length != nullptr)
        text.bounded_patterns.push_back(LY_ARRAY_COUNT(member->length->parts) == 1 &&
                                                member->length->parts[0].min_u64 == 0
                                            ? member_size
                                            : 0);
    return true;
}

// Adds a member's texts to the alternation; false after reporting an error.
bool
TypeMapper::add_union_member(const struct lysc_node *node, const struct lysc_type *member,
                             UnionText &text)
{
    if (member->basetype == LY_TYPE_LEAFREF)
        member = reinterpret_cast<const struct lysc_type_leafref *>(member)->realtype;
    switch (member->basetype) {
    case LY_TYPE_STRING:
        return add_union_string(node, reinterpret_cast<const struct lysc_type_str *>(member), text);
    case LY_TYPE_ENUM: {
        const auto *en = reinterpret_cast<const struct lysc_type_enum *>(member);
        std::string names;
        LY_ARRAY_COUNT_TYPE j;
        LY_ARRAY_FOR(en->enums, j)
        {
            text.alternatives.push_back("(" + regex_escape(en->enums[j].name) + ")");
            text.size = std::max<uint32_t>(text.size, strlen(en->enums[j].name) + 1);
            names += (names.empty() ? "" : "|") + regex_escape(en->enums[j].name);
        }
        // The union's one string takes the texts of every member, so the
        // document reader needs the names to tell an enumeration's text
        // from a number's digits given as a string.
        member_patterns_[member] = "^(" + names + ")$";
        return true;
    }
    case LY_TYPE_IDENT:
        text.inexact.push_back("identityref");
        text.alternatives.push_back("([a-zA-Z_][a-zA-Z0-9_.-]*:)?[a-zA-Z_][a-zA-Z0-9_.-]*");
        text.size = std::max(text.size, options_.string_size);
        return true;
    case LY_TYPE_INST:
        text.inexact.push_back("instance-identifier");
        text.alternatives.push_back("(/.*)");
        text.size = std::max(text.size, options_.string_size);
        return true;
    case LY_TYPE_BINARY:
        if (reinterpret_cast<const struct lysc_type_bin *>(member)->length != nullptr)
            text.inexact.push_back("a binary length");
        text.alternatives.push_back(unanchored(kBase64));
        text.size = std::max(text.size, options_.string_size);
        return true;
    case LY_TYPE_BITS:
        text.inexact.push_back("bits");
        text.alternatives.push_back(
            bits_alternative(reinterpret_cast<const struct lysc_type_bits *>(member)));
        text.size = std::max(text.size, options_.string_size);
        return true;
    case LY_TYPE_EMPTY:
        text.alternatives.push_back("()");
        return true;
    default:
        text.inexact.push_back("a number or boolean");
        text.alternatives.push_back("(-?[0-9]+(\\.[0-9]+)?|true|false)");
        text.size = std::max<uint32_t>(text.size, 22);
        return true;
    }
}

// The anchored alternation, or every text when a member takes every text;
// warns about the members it only approximates.
std::string
TypeMapper::union_ere(const struct lysc_node *node, const UnionText &text)
{
    if (text.any_text)
        return kAnyText;
    std::string ere;
    for (const std::string &alt : text.alternatives)
        ere += (ere.empty() ? "" : "|") + alt;
    ere = "^(" + ere + ")$";
    if (!text.inexact.empty()) {
        std::string members;
        for (const std::string &m : text.inexact)
            members += (members.empty() ? "" : ", ") + m;
        report_warning(where_of(node),
                       "a union with " + members +
                           " among its members becomes one string that does not check "
                           "those members exactly",
                       "give the expression as \"pattern\" for this path in the annotation file");
    }
    return ere;
}

const std::string *
TypeMapper::member_pattern(const struct lysc_type *member) const
{
    auto found = member_patterns_.find(member);
    return found == member_patterns_.end() ? nullptr : &found->second;
}

TypeRef
TypeMapper::map_union(const struct lysc_node *node, const struct lysc_type_union *type,
                      const std::string &name, const std::string &schema_path)
{
    GenType gen;
    gen.name = name;
    if (std::optional<TypeRef> en = union_of_enums(type, gen))
        return *en;
    // An expression from the annotation file stands for the members' texts.
    auto annotation = annotations_.paths.find(schema_path);
    if (annotation != annotations_.paths.end() && annotation->second.pattern) {
        annotation->second.used = true;
        gen.kind = DS_KIND_STRING;
        gen.size = annotation->second.string_size.value_or(options_.string_size);
        gen.regex = *annotation->second.pattern;
        return table_.add(std::move(gen));
    }
    UnionText text;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(type->types, i)
    {
        if (!add_union_member(node, type->types[i], text))
            return {};
    }
    std::string ere = union_ere(node, text);
    uint32_t size = text.size;
    if (annotation != annotations_.paths.end() && annotation->second.string_size) {
        size = *annotation->second.string_size;
        annotation->second.used = true;
    }
    // A member's pattern stands for it in the alternation, its length only
    // through the union's size.
    if (!text.any_text && std::any_of(text.bounded_patterns.begin(), text.bounded_patterns.end(),
                                      [size](uint32_t member) { return member < size; }))
        report_warning(where_of(node),
                       "the length of a union member with a pattern is not enforced: the "
                       "union holds texts of up to " +
                           std::to_string(size - 1) + " characters",
                       "give the expression as \"pattern\" for this path in the annotation file");
    std::string error;
    if (!ere_compiles(ere, error)) {
        report_error(where_of(node), "union: " + error, "report this model to dsgen's maintainers");
        return {};
    }
    gen.kind = DS_KIND_STRING;
    gen.size = size;
    gen.regex = ere;
    return table_.add(std::move(gen));
}

} // namespace dsgen
