// The type mapping: one libdstypes descriptor per YANG leaf type, chosen so
// that validation accepts what libyang accepts for the leaf and the packed
// form is as small as the values allow. A typedef becomes a type named
// "module:typedef"; a type restricted in place is anonymous and shared with
// every identical one. This file holds the table of generated types and the
// dispatch on the YANG base type; each family of types has a file of its
// own: types_int.cpp, types_string.cpp (lengths and patterns too),
// types_enum.cpp (enumeration, bits, identityref), types_union.cpp and
// types_other.cpp (decimal64, binary, instance-identifier).
#include "dsgen.h"

namespace dsgen
{

namespace
{

const struct lysc_type *
node_type(const struct lysc_node *node)
{
    if (node->nodetype == LYS_LEAF)
        return reinterpret_cast<const struct lysc_node_leaf *>(node)->type;
    return reinterpret_cast<const struct lysc_node_leaflist *>(node)->type;
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

// A leafref takes the type of the leaf it points to (its typedef name too);
// without a target in the compiled tree, libyang's resolved type.
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
    GenType gen;
    gen.name = chain.empty() ? "" : chain.front();
    switch (type->basetype) {
    case LY_TYPE_UINT8:
    case LY_TYPE_UINT16:
    case LY_TYPE_UINT32:
    case LY_TYPE_UINT64:
    case LY_TYPE_INT8:
    case LY_TYPE_INT16:
    case LY_TYPE_INT32:
    case LY_TYPE_INT64:
        return map_int(node, type, std::move(gen));
    case LY_TYPE_BOOL:
    case LY_TYPE_EMPTY: // present or absent: true or false
        return builtin_ref(DS_BUILTIN_BOOL);
    case LY_TYPE_DEC64:
        return map_decimal64(node);
    case LY_TYPE_ENUM:
        return map_enum(reinterpret_cast<const struct lysc_type_enum *>(type), std::move(gen));
    case LY_TYPE_BITS:
        return map_bits(node, reinterpret_cast<const struct lysc_type_bits *>(type),
                        std::move(gen));
    case LY_TYPE_BINARY:
        return map_binary(node, reinterpret_cast<const struct lysc_type_bin *>(type), schema_path,
                          std::move(gen));
    case LY_TYPE_STRING:
        return map_string_family(node, reinterpret_cast<const struct lysc_type_str *>(type), chain,
                                 schema_path, std::move(gen));
    case LY_TYPE_UNION:
        return map_union(node, reinterpret_cast<const struct lysc_type_union *>(type), gen.name,
                         schema_path);
    case LY_TYPE_IDENT:
        return map_identityref(node, reinterpret_cast<const struct lysc_type_identityref *>(type),
                               std::move(gen));
    case LY_TYPE_INST:
        return map_instance_identifier(node, std::move(gen));
    default:
        report_error(where_of(node), "this type has no libdstypes form",
                     "change the model or leave the module out");
        return {};
    }
}

} // namespace dsgen
