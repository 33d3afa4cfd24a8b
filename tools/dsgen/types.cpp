// The type mapping: one libdstypes descriptor per YANG leaf type, chosen so
// that validation accepts what libyang accepts for the leaf and the packed
// form is as small as the values allow. A typedef becomes a type named
// "module:typedef"; a type restricted in place is anonymous and shared with
// every identical one. uint64 stops at 2^63-1, the largest int bound a
// descriptor holds.
#include "dsgen.h"

#include <regex.h>

#include <algorithm>
#include <climits>
#include <set>

namespace dsgen
{

namespace
{

const char kAnyText[] = ".*";
const char kBase64[] = "^([A-Za-z0-9+/]{4})*([A-Za-z0-9+/]{2}==|[A-Za-z0-9+/]{3}=)?$";

TypeRef
builtin_ref(int row)
{
    return {TypeRef::Table::builtin, row};
}

struct IntRow {
    int row;
    uint32_t size;
    int64_t min, max;
};
const IntRow kIntRows[] = {
    {builtin::u8, 1, 0, 255},
    {builtin::i8, 1, -128, 127},
    {builtin::u16, 2, 0, 65535},
    {builtin::i16, 2, -32768, 32767},
    {builtin::u32, 4, 0, 4294967295LL},
    {builtin::i32, 4, INT32_MIN, INT32_MAX},
    {builtin::i64, 8, INT64_MIN, INT64_MAX},
};

// The smallest built-in int row that holds min..max.
const IntRow &
smallest_int(int64_t min, int64_t max)
{
    for (const IntRow &row : kIntRows)
        if (min >= row.min && max <= row.max)
            return row;
    return kIntRows[6];
}

bool
is_signed_base(LY_DATA_TYPE type)
{
    return type == LY_TYPE_INT8 || type == LY_TYPE_INT16 || type == LY_TYPE_INT32 ||
           type == LY_TYPE_INT64;
}

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

uint32_t
fnv1a(const std::string &text)
{
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

void
collect_derived(const struct lysc_ident *ident, std::set<const struct lysc_ident *> &out)
{
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(ident->derived, i)
    {
        const struct lysc_ident *d = ident->derived[i];
        if (out.insert(d).second)
            collect_derived(d, out);
    }
}

std::string
ident_name(const struct lysc_ident *ident)
{
    return std::string(ident->module->name) + ":" + ident->name;
}

const struct lysc_type *
node_type(const struct lysc_node *node)
{
    if (node->nodetype == LYS_LEAF)
        return reinterpret_cast<const struct lysc_node_leaf *>(node)->type;
    return reinterpret_cast<const struct lysc_node_leaflist *>(node)->type;
}

bool
has(const std::vector<std::string> &chain, const char *name)
{
    return std::find(chain.begin(), chain.end(), name) != chain.end();
}

} // namespace

std::string
GenType::describe() const
{
    std::string d = std::to_string(kind) + "|" + std::to_string(size) + "|" + std::to_string(min) +
                    "|" + std::to_string(max) + "|" + regex + "|" +
                    std::to_string(static_cast<int>(ref.table)) + "." + std::to_string(ref.index) +
                    "|" + std::to_string(count) + "|" + std::to_string(converter) + "|" +
                    (identity ? "i" : "");
    for (const auto &[name, value] : values)
        d += "|" + name + "=" + std::to_string(value);
    return d;
}

TypeRef
TypeTable::add(GenType type)
{
    std::string content = type.describe();
    if (!type.name.empty()) {
        auto named = by_name.find(type.name);
        if (named == by_name.end()) {
            types.push_back(std::move(type));
            by_name[types.back().name] = static_cast<int>(types.size()) - 1;
            return {TypeRef::Table::generated, static_cast<int>(types.size()) - 1};
        }
        if (types[named->second].describe() == content)
            return {TypeRef::Table::generated, named->second};
        // The same typedef sized differently at another node: that node's
        // copy is a restriction of its own.
        type.name.clear();
    }
    auto same = by_content.find(content);
    if (same != by_content.end())
        return {TypeRef::Table::generated, same->second};
    types.push_back(std::move(type));
    int index = static_cast<int>(types.size()) - 1;
    by_content[content] = index;
    return {TypeRef::Table::generated, index};
}

const GenType *
TypeTable::get(TypeRef ref) const
{
    if (ref.table != TypeRef::Table::generated)
        return nullptr;
    return &types[ref.index];
}

uint32_t
TypeTable::size_of(TypeRef ref) const
{
    if (ref.table == TypeRef::Table::builtin)
        return ds_global_types[ref.index].size;
    return ref.table == TypeRef::Table::generated ? types[ref.index].size : 0;
}

uint32_t
TypeTable::kind_of(TypeRef ref) const
{
    if (ref.table == TypeRef::Table::builtin)
        return ds_global_types[ref.index].kind;
    return types[ref.index].kind;
}

TypeRef
TypeMapper::map_leaf(const struct lysc_node *node, const std::string &schema_path)
{
    TypeRef element = map_type(node, node_type(node), schema_path, true);
    if (!element.is_set() || node->nodetype == LYS_LEAF)
        return element;
    const auto *list = reinterpret_cast<const struct lysc_node_leaflist *>(node);
    uint32_t max_count = options_.max_elements;
    auto annotation = annotations_.paths.find(schema_path);
    if (list->max != UINT32_MAX) {
        max_count = list->max;
    } else if (annotation != annotations_.paths.end() && annotation->second.max_elements) {
        max_count = *annotation->second.max_elements;
        annotation->second.used = true;
    }
    uint64_t size = 2 + uint64_t(max_count) * table_.size_of(element);
    if (size > UINT16_MAX) {
        report_error(where_of(node),
                     "a leaf-list of " + std::to_string(max_count) + " elements of " +
                         std::to_string(table_.size_of(element)) + " bytes exceeds 65535 bytes",
                     "give a smaller max-elements or string-size in the annotation file");
        return {};
    }
    GenType array;
    array.kind = DS_KIND_ARRAY;
    array.size = static_cast<uint32_t>(size);
    array.count = max_count;
    array.ref = element;
    return table_.add(std::move(array));
}

TypeRef
TypeMapper::map_type(const struct lysc_node *node, const struct lysc_type *type,
                     const std::string &schema_path, bool named_allowed)
{
    if (type->basetype == LY_TYPE_LEAFREF) {
        const struct lysc_node *target = named_allowed ? leafref_target(node) : nullptr;
        if (target != nullptr)
            return map_type(target, node_type(target), schema_path, true);
        const auto *lref = reinterpret_cast<const struct lysc_type_leafref *>(type);
        return map_type(node, lref->realtype, schema_path, false);
    }
    std::vector<std::string> chain;
    if (named_allowed)
        chain = typedef_chain(node);
    std::string name = chain.empty() ? "" : chain.front();
    GenType gen;
    gen.name = name;
    switch (type->basetype) {
    case LY_TYPE_UINT8:
    case LY_TYPE_UINT16:
    case LY_TYPE_UINT32:
    case LY_TYPE_UINT64:
    case LY_TYPE_INT8:
    case LY_TYPE_INT16:
    case LY_TYPE_INT32:
    case LY_TYPE_INT64: {
        const auto *num = reinterpret_cast<const struct lysc_type_num *>(type);
        bool is_signed = is_signed_base(type->basetype);
        static const std::map<LY_DATA_TYPE, std::pair<int64_t, int64_t>> full = {
            {LY_TYPE_UINT8, {0, 255}},
            {LY_TYPE_UINT16, {0, 65535}},
            {LY_TYPE_UINT32, {0, 4294967295LL}},
            {LY_TYPE_UINT64, {0, INT64_MAX}},
            {LY_TYPE_INT8, {-128, 127}},
            {LY_TYPE_INT16, {-32768, 32767}},
            {LY_TYPE_INT32, {INT32_MIN, INT32_MAX}},
            {LY_TYPE_INT64, {INT64_MIN, INT64_MAX}},
        };
        auto [min, max] = full.at(type->basetype);
        if (num->range != nullptr) {
            const auto *parts = num->range->parts;
            LY_ARRAY_COUNT_TYPE last = LY_ARRAY_COUNT(parts) - 1;
            if (last > 0)
                report_warning(where_of(node),
                               "a range of several parts is kept as one from its lowest to its "
                               "highest bound",
                               "the values between the parts are accepted");
            if (is_signed) {
                min = parts[0].min_64;
                max = parts[last].max_64;
            } else if (parts[0].min_u64 > uint64_t(INT64_MAX)) {
                report_error(where_of(node),
                             "every value of this range lies above 2^63-1, beyond the signed "
                             "64-bit bounds of an int: the type has no libdstypes form",
                             "lower the range, or leave the module out");
                return {};
            } else {
                min = static_cast<int64_t>(std::min<uint64_t>(parts[0].min_u64, INT64_MAX));
                max = static_cast<int64_t>(std::min<uint64_t>(parts[last].max_u64, INT64_MAX));
            }
        }
        const IntRow &row = smallest_int(min, max);
        if (name.empty() && row.min == min && row.max == max)
            return builtin_ref(row.row);
        gen.kind = DS_KIND_INT;
        gen.size = row.size;
        gen.min = min;
        gen.max = max;
        return table_.add(std::move(gen));
    }
    case LY_TYPE_BOOL:
    case LY_TYPE_EMPTY:
        return builtin_ref(builtin::boolean);
    case LY_TYPE_DEC64:
        report_warning(where_of(node),
                       "decimal64 becomes a double: its range and fraction digits are not enforced",
                       "check them in the program");
        return builtin_ref(builtin::dbl);
    case LY_TYPE_ENUM: {
        const auto *en = reinterpret_cast<const struct lysc_type_enum *>(type);
        int64_t min = 0, max = 0;
        LY_ARRAY_COUNT_TYPE i;
        LY_ARRAY_FOR(en->enums, i)
        {
            gen.values.emplace_back(en->enums[i].name, en->enums[i].value);
            min = i == 0 ? en->enums[i].value : std::min<int64_t>(min, en->enums[i].value);
            max = i == 0 ? en->enums[i].value : std::max<int64_t>(max, en->enums[i].value);
        }
        const IntRow &row = smallest_int(min, max);
        gen.kind = DS_KIND_ENUM;
        gen.size = row.size;
        gen.ref = builtin_ref(row.row);
        return table_.add(std::move(gen));
    }
    case LY_TYPE_BITS: {
        const auto *bits = reinterpret_cast<const struct lysc_type_bits *>(type);
        uint32_t count = 0;
        LY_ARRAY_COUNT_TYPE i;
        LY_ARRAY_FOR(bits->bits, i)
        {
            count = std::max(count, bits->bits[i].position + 1);
        }
        report_warning(where_of(node),
                       "bits become a bitmap written as bit numbers (\"0,3-5\"), not bit names",
                       "convert the names to their positions");
        gen.kind = DS_KIND_BITMAP;
        gen.size = (count + 7) / 8;
        gen.count = count;
        return table_.add(std::move(gen));
    }
    case LY_TYPE_BINARY: {
        const auto *bin = reinterpret_cast<const struct lysc_type_bin *>(type);
        if (bin->length != nullptr)
            report_warning(where_of(node), "the length of a binary value is not enforced",
                           "check it in the program");
        gen.kind = DS_KIND_STRING;
        gen.regex = kBase64;
        gen.size = options_.string_size;
        auto annotation = annotations_.paths.find(schema_path);
        if (annotation != annotations_.paths.end() && annotation->second.string_size) {
            gen.size = *annotation->second.string_size;
            annotation->second.used = true;
        }
        return table_.add(std::move(gen));
    }
    case LY_TYPE_STRING: {
        const auto *str = reinterpret_cast<const struct lysc_type_str *>(type);
        uint32_t converter = 0, base_size = 0;
        if (has(chain, "ietf-inet-types:ipv4-address-no-zone") ||
            has(chain, "ietf-yang-types:dotted-quad")) {
            converter = DS_CONVERT_IPV4;
            base_size = 16;
        } else if (has(chain, "ietf-inet-types:ipv6-address-no-zone")) {
            converter = DS_CONVERT_IPV6;
            base_size = 46;
        } else if (has(chain, "ietf-yang-types:mac-address")) {
            converter = DS_CONVERT_MAC;
            base_size = 18;
        }
        if (converter == 0)
            return map_string(node, str, name, schema_path);
        std::optional<std::string> ere = string_ere(node, str, schema_path);
        if (!ere)
            return {};
        GenType base;
        base.kind = DS_KIND_STRING;
        base.size = base_size;
        base.regex = *ere;
        gen.kind = DS_KIND_CONVERTED;
        gen.size = converter == DS_CONVERT_IPV4 ? 4 : converter == DS_CONVERT_IPV6 ? 16 : 6;
        gen.ref = table_.add(std::move(base));
        gen.converter = converter;
        return table_.add(std::move(gen));
    }
    case LY_TYPE_UNION:
        return map_union(node, reinterpret_cast<const struct lysc_type_union *>(type), name,
                         schema_path);
    case LY_TYPE_IDENT:
        return map_identityref(node, reinterpret_cast<const struct lysc_type_identityref *>(type),
                               name);
    case LY_TYPE_INST:
        report_warning(where_of(node),
                       "an instance-identifier becomes a string that is not checked",
                       "check the path in the program");
        gen.kind = DS_KIND_STRING;
        gen.size = options_.string_size;
        gen.regex = kAnyText;
        return table_.add(std::move(gen));
    default:
        report_error(where_of(node), "this type has no libdstypes form",
                     "change the model or leave the module out");
        return {};
    }
}

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

TypeRef
TypeMapper::map_union(const struct lysc_node *node, const struct lysc_type_union *type,
                      const std::string &name, const std::string &schema_path)
{
    GenType gen;
    gen.name = name;
    bool all_enums = true;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(type->types, i)
    {
        all_enums = all_enums && type->types[i]->basetype == LY_TYPE_ENUM;
    }
    if (all_enums) {
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
        if (!clash) {
            const IntRow &row = smallest_int(by_value.begin()->first, by_value.rbegin()->first);
            gen.kind = DS_KIND_ENUM;
            gen.size = row.size;
            gen.ref = builtin_ref(row.row);
            return table_.add(std::move(gen));
        }
        gen.values.clear();
    }
    // An expression from the annotation file stands for the members' texts.
    auto annotation = annotations_.paths.find(schema_path);
    if (annotation != annotations_.paths.end() && annotation->second.pattern) {
        annotation->second.used = true;
        gen.kind = DS_KIND_STRING;
        gen.size = annotation->second.string_size.value_or(options_.string_size);
        gen.regex = *annotation->second.pattern;
        return table_.add(std::move(gen));
    }
    // One string whose expression is the alternation of the members' texts.
    std::vector<std::string> alternatives;
    std::vector<std::string> inexact;
    std::vector<uint32_t> bounded_patterns; // what the union's size enforces of their lengths
    uint32_t size = 0;
    bool any_text = false;
    LY_ARRAY_FOR(type->types, i)
    {
        const struct lysc_type *member = type->types[i];
        if (member->basetype == LY_TYPE_LEAFREF)
            member = reinterpret_cast<const struct lysc_type_leafref *>(member)->realtype;
        switch (member->basetype) {
        case LY_TYPE_STRING: {
            const auto *str = reinterpret_cast<const struct lysc_type_str *>(member);
            std::optional<std::string> ere = string_ere(node, str, "", true);
            if (!ere)
                return {};
            any_text = any_text || *ere == kAnyText;
            alternatives.push_back(unanchored(*ere == kAnyText ? "^.*$" : *ere));
            // The union holds the member's longest text: the bound of its
            // last length part.
            uint64_t longest =
                str->length != nullptr
                    ? str->length->parts[LY_ARRAY_COUNT(str->length->parts) - 1].max_u64
                    : UINT64_MAX;
            uint32_t member_size =
                longest < UINT16_MAX ? static_cast<uint32_t>(longest + 1) : options_.string_size;
            size = std::max(size, member_size);
            // Only the union's size limits a patterned member's length: a
            // lower bound or several parts are not enforced at all.
            if (str->patterns != nullptr && str->length != nullptr)
                bounded_patterns.push_back(LY_ARRAY_COUNT(str->length->parts) == 1 &&
                                                   str->length->parts[0].min_u64 == 0
                                               ? member_size
                                               : 0);
            break;
        }
        case LY_TYPE_ENUM: {
            const auto *en = reinterpret_cast<const struct lysc_type_enum *>(member);
            LY_ARRAY_COUNT_TYPE j;
            LY_ARRAY_FOR(en->enums, j)
            {
                alternatives.push_back("(" + regex_escape(en->enums[j].name) + ")");
                size = std::max<uint32_t>(size, strlen(en->enums[j].name) + 1);
            }
            break;
        }
        case LY_TYPE_IDENT:
            inexact.push_back("identityref");
            alternatives.push_back("([a-zA-Z_][a-zA-Z0-9_.-]*:)?[a-zA-Z_][a-zA-Z0-9_.-]*");
            size = std::max(size, options_.string_size);
            break;
        case LY_TYPE_INST:
            inexact.push_back("instance-identifier");
            alternatives.push_back("(/.*)");
            size = std::max(size, options_.string_size);
            break;
        case LY_TYPE_BINARY:
            if (reinterpret_cast<const struct lysc_type_bin *>(member)->length != nullptr)
                inexact.push_back("a binary length");
            alternatives.push_back(unanchored(kBase64));
            size = std::max(size, options_.string_size);
            break;
        case LY_TYPE_BITS: {
            // Bit names separated by blanks; a name written twice is not
            // caught.
            inexact.push_back("bits");
            const auto *bits = reinterpret_cast<const struct lysc_type_bits *>(member);
            std::string names;
            LY_ARRAY_COUNT_TYPE j;
            LY_ARRAY_FOR(bits->bits, j)
            {
                names += (names.empty() ? "" : "|") + regex_escape(bits->bits[j].name);
            }
            alternatives.push_back(
                names.empty() ? "()" : "([[:space:]]*((" + names + ")([[:space:]]+|$))*)");
            size = std::max(size, options_.string_size);
            break;
        }
        case LY_TYPE_EMPTY:
            alternatives.push_back("()");
            break;
        default:
            inexact.push_back("a number or boolean");
            alternatives.push_back("(-?[0-9]+(\\.[0-9]+)?|true|false)");
            size = std::max<uint32_t>(size, 22);
        }
    }
    std::string ere;
    if (any_text) {
        ere = kAnyText;
    } else {
        for (const std::string &alt : alternatives)
            ere += (ere.empty() ? "" : "|") + alt;
        ere = "^(" + ere + ")$";
        if (!inexact.empty()) {
            std::string members;
            for (const std::string &m : inexact)
                members += (members.empty() ? "" : ", ") + m;
            report_warning(
                where_of(node),
                "a union with " + members +
                    " among its members becomes one string that does not check "
                    "those members exactly",
                "give the expression as \"pattern\" for this path in the annotation file");
        }
    }
    if (annotation != annotations_.paths.end() && annotation->second.string_size) {
        size = *annotation->second.string_size;
        annotation->second.used = true;
    }
    // A member's pattern stands for it in the alternation, its length only
    // through the union's size.
    if (!any_text && std::any_of(bounded_patterns.begin(), bounded_patterns.end(),
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

TypeRef
TypeMapper::map_identityref(const struct lysc_node *node, const struct lysc_type_identityref *type,
                            const std::string &name)
{
    // Identities derived from every base, from implemented modules only and
    // not disabled by a feature: libyang refuses the others in data.
    std::set<std::string> names;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(type->bases, i)
    {
        std::set<const struct lysc_ident *> derived;
        collect_derived(type->bases[i], derived);
        std::set<std::string> these;
        for (const struct lysc_ident *ident : derived)
            if (ident->module->implemented && lys_identity_iffeature_value(ident) != LY_ENOT)
                these.insert(ident_name(ident));
        if (i == 0) {
            names = these;
            continue;
        }
        std::set<std::string> both;
        std::set_intersection(names.begin(), names.end(), these.begin(), these.end(),
                              std::inserter(both, both.end()));
        names = both;
    }
    if (names.empty())
        report_warning(where_of(node),
                       "no identity derived from the base is known: every value is refused",
                       "add the modules that define the identities");
    // A value is a hash of the identity's name, so that it stays the same
    // when another compile knows more identities.
    std::map<int64_t, std::string> by_value;
    GenType gen;
    gen.name = name;
    gen.kind = DS_KIND_ENUM;
    gen.identity = true;
    gen.size = 4;
    gen.ref = builtin_ref(builtin::u32);
    for (const std::string &n : names) {
        int64_t value = fnv1a(n);
        auto clash = by_value.find(value);
        if (clash != by_value.end()) {
            report_error(where_of(node),
                         "identities " + clash->second + " and " + n + " hash to the same value",
                         "report this pair to dsgen's maintainers");
            return {};
        }
        by_value[value] = n;
        gen.values.emplace_back(n, value);
    }
    return table_.add(std::move(gen));
}

} // namespace dsgen
