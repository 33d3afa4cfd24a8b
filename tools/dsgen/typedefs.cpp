// What compiled types no longer say: the typedef a leaf's type is (libyang
// keeps typedef names only in the parsed trees) and the leaf a leafref points
// to. Both are looked up from the parsed statement behind each compiled node.
#include "dsgen.h"

#include <cstring>

namespace dsgen
{

namespace
{

struct Found {
    const struct lysp_tpdf *tpdf = nullptr;
    const struct lys_module *module = nullptr;
};

const struct lysp_tpdf *
find_in(const struct lysp_tpdf *tpdfs, const char *name)
{
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(tpdfs, i)
    {
        if (std::strcmp(tpdfs[i].name, name) == 0)
            return &tpdfs[i];
    }
    return nullptr;
}

const struct lysp_tpdf *
find_in_module(const struct lys_module *module, const char *name)
{
    if (module == nullptr || module->parsed == nullptr)
        return nullptr;
    if (const struct lysp_tpdf *found = find_in(module->parsed->typedefs, name))
        return found;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(module->parsed->includes, i)
    {
        const struct lysp_submodule *sub = module->parsed->includes[i].submodule;
        if (sub != nullptr)
            if (const struct lysp_tpdf *found = find_in(sub->typedefs, name))
                return found;
    }
    return nullptr;
}

// The typedef that the type statement of (pmod, scope) names, or none for a
// built-in type.
Found
resolve(const struct lysp_type &type, const struct lysp_node *scope)
{
    Found found;
    const char *colon = std::strchr(type.name, ':');
    const struct lysp_module *pmod = type.pmod;
    if (pmod == nullptr)
        return found;
    if (colon != nullptr) {
        std::string prefix(type.name, colon);
        const struct lys_module *module = nullptr;
        if (prefix == pmod->mod->prefix)
            module = pmod->mod;
        LY_ARRAY_COUNT_TYPE i;
        LY_ARRAY_FOR(pmod->imports, i)
        {
            if (prefix == pmod->imports[i].prefix)
                module = pmod->imports[i].module;
        }
        found.tpdf = find_in_module(module, colon + 1);
        found.module = module;
        return found;
    }
    for (const struct lysp_node *n = scope; n != nullptr; n = n->parent) {
        if (const struct lysp_tpdf *tpdf = find_in(lysp_node_typedefs(n), type.name)) {
            found.tpdf = tpdf;
            found.module = pmod->mod;
            return found;
        }
    }
    found.tpdf = find_in_module(pmod->mod, type.name);
    found.module = pmod->mod;
    return found;
}

const struct lysc_type *
compiled_type(const struct lysc_node *node)
{
    if (node->nodetype == LYS_LEAF)
        return reinterpret_cast<const struct lysc_node_leaf *>(node)->type;
    return reinterpret_cast<const struct lysc_node_leaflist *>(node)->type;
}

} // namespace

std::vector<std::string>
typedef_chain(const struct lysc_node *node)
{
    std::vector<std::string> chain;
    const auto *parsed = static_cast<const struct lysp_node *>(node->priv);
    if (parsed == nullptr || !(parsed->nodetype & (LYS_LEAF | LYS_LEAFLIST)))
        return chain;
    const struct lysp_type &type =
        parsed->nodetype == LYS_LEAF
            ? reinterpret_cast<const struct lysp_node_leaf *>(parsed)->type
            : reinterpret_cast<const struct lysp_node_leaflist *>(parsed)->type;
    Found found = resolve(type, parsed);
    // A leaf that restricts its typedef gets a compiled type of its own.
    if (found.tpdf == nullptr || found.tpdf->type.compiled != compiled_type(node))
        return chain;
    while (found.tpdf != nullptr && chain.size() < 32) {
        chain.push_back(std::string(found.module->name) + ":" + found.tpdf->name);
        found = resolve(found.tpdf->type, nullptr);
    }
    return chain;
}

const struct lysc_node *
leafref_target(const struct lysc_node *node)
{
    for (int depth = 0; depth < 32 && node != nullptr; ++depth) {
        const auto *lref = reinterpret_cast<const struct lysc_type_leafref *>(compiled_type(node));
        if (lref->basetype != LY_TYPE_LEAFREF)
            return node;
        struct ly_set *atoms = nullptr;
        if (lys_find_expr_atoms(node, node->module, lref->path, lref->prefixes, 0, &atoms) !=
            LY_SUCCESS)
            return nullptr;
        // The target is the last leaf of the path; predicates add atoms
        // before it.
        const struct lysc_node *target = nullptr;
        for (uint32_t i = 0; i < atoms->count; ++i) {
            const struct lysc_node *atom = atoms->snodes[i];
            if (atom == node || !(atom->nodetype & (LYS_LEAF | LYS_LEAFLIST)))
                continue;
            const struct lysc_type *t = compiled_type(atom);
            if (t == lref->realtype)
                target = atom;
            else if (t->basetype == LY_TYPE_LEAFREF && target == nullptr &&
                     reinterpret_cast<const struct lysc_type_leafref *>(t)->realtype ==
                         lref->realtype)
                target = atom;
        }
        ly_set_free(atoms, nullptr);
        node = target;
    }
    return nullptr;
}

} // namespace dsgen
