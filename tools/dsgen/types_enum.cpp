// Types with a list of names: an enumeration becomes an enum on the
// smallest int row that holds its values, bits a bitmap of their positions,
// and an identityref an enum of the identities it admits, each valued by a
// hash of its name. (boolean maps to the built-in "bool" in the dispatch.)
#include "dsgen.h"

#include <algorithm>
#include <set>

namespace dsgen
{

namespace
{

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

// Identities derived from every base, from implemented modules only and not
// disabled by a feature: libyang refuses the others in data.
std::set<std::string>
admitted_identities(const struct lysc_type_identityref *type)
{
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
    return names;
}

} // namespace

TypeRef
TypeMapper::map_enum(const struct lysc_type_enum *type, GenType gen)
{
    int64_t min = 0, max = 0;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(type->enums, i)
    {
        gen.values.emplace_back(type->enums[i].name, type->enums[i].value);
        min = i == 0 ? type->enums[i].value : std::min<int64_t>(min, type->enums[i].value);
        max = i == 0 ? type->enums[i].value : std::max<int64_t>(max, type->enums[i].value);
    }
    const IntRow &row = smallest_int(min, max);
    gen.kind = DS_KIND_ENUM;
    gen.size = row.size;
    gen.ref = builtin_ref(row.row);
    return table_.add(std::move(gen));
}

TypeRef
TypeMapper::map_bits(const struct lysc_node *node, const struct lysc_type_bits *type, GenType gen)
{
    uint32_t count = 0;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(type->bits, i)
    {
        count = std::max(count, type->bits[i].position + 1);
    }
    report_warning(where_of(node),
                   "bits become a bitmap written as bit numbers (\"0,3-5\"), not bit names",
                   "convert the names to their positions");
    gen.kind = DS_KIND_BITMAP;
    gen.size = (count + 7) / 8;
    gen.count = count;
    return table_.add(std::move(gen));
}

TypeRef
TypeMapper::map_identityref(const struct lysc_node *node, const struct lysc_type_identityref *type,
                            GenType gen)
{
    std::set<std::string> names = admitted_identities(type);
    if (names.empty())
        report_warning(where_of(node),
                       "no identity derived from the base is known: every value is refused",
                       "add the modules that define the identities");
    // A value is a hash of the identity's name, so that it stays the same
    // when another compile knows more identities.
    std::map<int64_t, std::string> by_value;
    gen.kind = DS_KIND_ENUM;
    gen.identity = true;
    gen.size = 4;
    gen.ref = builtin_ref(DS_BUILTIN_U32);
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
