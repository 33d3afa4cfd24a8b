// String types: a string with its length and patterns becomes a string type
// whose size holds the longest text and whose expression is the patterns'
// (translated from XSD to POSIX) or, without patterns, the length's. The
// address typedefs of ietf-inet-types and ietf-yang-types become converted
// types that hold the address in binary.
#include "dsgen.h"

#include <regex.h>

#include <algorithm>

namespace dsgen
{

namespace
{

// The texts that a length allows: each part as .{min,max} between anchors,
// ".*" when there is no length. The size of a string type already refuses
// texts above a single part's upper bound, so a part from 0 up needs no
// expression unless the upper bounds are asked for (a union member, whose
// size is the union's). Bounds above RE_DUP_MAX cannot be written: a part
// then stays open at that end.
std::string
length_ere(const struct lysc_range *length, bool with_upper_bounds)
{
    if (length == nullptr)
        return kAnyText;
    LY_ARRAY_COUNT_TYPE count = LY_ARRAY_COUNT(length->parts);
    if (count == 1 && length->parts[0].min_u64 == 0 && !with_upper_bounds)
        return kAnyText;
    std::string parts;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(length->parts, i)
    {
        uint64_t min = std::min<uint64_t>(length->parts[i].min_u64, RE_DUP_MAX);
        uint64_t max = length->parts[i].max_u64;
        parts += (parts.empty() ? ".{" : "|.{") + std::to_string(min) + ",";
        if (max <= RE_DUP_MAX && (with_upper_bounds || count > 1))
            parts += std::to_string(max);
        parts += "}";
    }
    return "^(" + parts + ")$";
}

bool
has(const std::vector<std::string> &chain, const char *name)
{
    return std::find(chain.begin(), chain.end(), name) != chain.end();
}

// An address typedef that libdstypes holds in binary: its converter and the
// size of its text form.
struct AddressForm {
    uint32_t converter; // 0: not an address typedef
    uint32_t text_size;
    uint32_t packed_size;
};

AddressForm
address_form(const std::vector<std::string> &chain)
{
    if (has(chain, "ietf-inet-types:ipv4-address-no-zone") ||
        has(chain, "ietf-yang-types:dotted-quad"))
        return {DS_CONVERT_IPV4, 16, 4};
    if (has(chain, "ietf-inet-types:ipv6-address-no-zone"))
        return {DS_CONVERT_IPV6, 46, 16};
    if (has(chain, "ietf-yang-types:mac-address"))
        return {DS_CONVERT_MAC, 18, 6};
    return {0, 0, 0};
}

} // namespace

// The annotation file's expression wins; otherwise one pattern is
// translated, several need a known intersection, and a length without
// patterns gives its own expression.
std::optional<std::string>
TypeMapper::string_ere(const struct lysc_node *node, const struct lysc_type_str *type,
                       const std::string &schema_path, bool with_upper_bounds)
{
    auto annotation = annotations_.paths.find(schema_path);
    if (annotation != annotations_.paths.end() && annotation->second.pattern) {
        annotation->second.used = true;
        return annotation->second.pattern;
    }
    LY_ARRAY_COUNT_TYPE count = LY_ARRAY_COUNT(type->patterns);
    std::string ere;
    if (count == 0)
        return length_ere(type->length, with_upper_bounds);
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(type->patterns, i)
    {
        if (type->patterns[i]->inverted) {
            report_error(where_of(node), "an invert-match pattern has no POSIX form",
                         "give the expression as \"pattern\" for this path in the annotation file");
            return std::nullopt;
        }
    }
    if (count == 1) {
        std::string error;
        std::optional<std::string> one = translate_pattern(type->patterns[0]->expr, error);
        if (!one) {
            report_error(where_of(node),
                         std::string("pattern '") + type->patterns[0]->expr + "': " + error,
                         "give the expression as \"pattern\" for this path in the annotation file");
            return std::nullopt;
        }
        ere = *one;
    } else {
        std::optional<std::string> known = known_intersection(ctx_, type);
        if (!known) {
            report_error(where_of(node),
                         std::to_string(count) + " patterns must all match, and no single "
                                                 "POSIX expression is known for them",
                         "give the expression as \"pattern\" for this path in the annotation file");
            return std::nullopt;
        }
        ere = *known;
    }
    uint64_t min = type->length != nullptr ? type->length->parts[0].min_u64 : 0;
    if (min > 1 || (min == 1 && ere_matches(ere, "")))
        report_warning(where_of(node),
                       "the minimum length " + std::to_string(min) + " is not enforced",
                       "give an expression that checks it as \"pattern\" in the annotation file");
    return ere;
}

uint32_t
TypeMapper::string_size(const struct lysc_node *node, const struct lysc_type_str *type,
                        const std::string &schema_path)
{
    auto annotation = annotations_.paths.find(schema_path);
    if (annotation != annotations_.paths.end() && annotation->second.string_size) {
        annotation->second.used = true;
        return *annotation->second.string_size;
    }
    if (type->length == nullptr)
        return options_.string_size;
    LY_ARRAY_COUNT_TYPE last = LY_ARRAY_COUNT(type->length->parts) - 1;
    if (last > 0 && type->patterns != nullptr)
        report_warning(where_of(node), "a length of several parts is kept as its largest bound",
                       "lengths between the parts are accepted");
    uint64_t max = type->length->parts[last].max_u64;
    if (max == UINT64_MAX)
        return options_.string_size;
    if (max >= UINT16_MAX) {
        report_error(where_of(node),
                     "a length of up to " + std::to_string(max) + " does not fit 65535 bytes",
                     "give a string-size for this path in the annotation file");
        return 0;
    }
    return static_cast<uint32_t>(max + 1);
}

TypeRef
TypeMapper::map_string(const struct lysc_node *node, const struct lysc_type_str *type,
                       const std::string &name, const std::string &schema_path)
{
    std::optional<std::string> ere = string_ere(node, type, schema_path);
    uint32_t size = string_size(node, type, schema_path);
    if (!ere || size == 0)
        return {};
    GenType gen;
    gen.name = name;
    gen.kind = DS_KIND_STRING;
    gen.size = size;
    gen.regex = *ere;
    return table_.add(std::move(gen));
}

// An address typedef becomes a converted type over an anonymous string type
// that checks the text; every other string is a string type.
TypeRef
TypeMapper::map_string_family(const struct lysc_node *node, const struct lysc_type_str *type,
                              const std::vector<std::string> &chain, const std::string &schema_path,
                              GenType gen)
{
    AddressForm form = address_form(chain);
    if (form.converter == 0)
        return map_string(node, type, gen.name, schema_path);
    std::optional<std::string> ere = string_ere(node, type, schema_path);
    if (!ere)
        return {};
    GenType base;
    base.kind = DS_KIND_STRING;
    base.size = form.text_size;
    base.regex = *ere;
    gen.kind = DS_KIND_CONVERTED;
    gen.size = form.packed_size;
    gen.ref = table_.add(std::move(base));
    gen.converter = form.converter;
    return table_.add(std::move(gen));
}

} // namespace dsgen
