// Finding the key that a path names across the loaded modules: the first
// module in list order whose forest has the path decides. The key index of
// the list answers; a list without one (no memory when it was built) is
// matched forest by forest, with the same results.
#include "keys/keys.h"
#include "registry/key_index.h"
#include "registry/registry.h"

namespace
{

bool
walk_each_match(const DsModule *first, const DsPathComponent *parts, uint32_t count,
                bool (*on_match)(void *ctx, const DsModule *module, const DsKeyNode *node),
                void *ctx)
{
    bool matched = false;
    for (const DsModule *module = first; module != nullptr; module = module->next) {
        if (module->keys == nullptr)
            continue;
        const DsKeyNode *node = match_components(parts, count, reg_forest(module));
        if (node == nullptr)
            continue;
        matched = true;
        if (on_match(ctx, module, node))
            break;
    }
    return matched;
}

struct FirstMatch {
    const DsModule *module = nullptr;
    const DsKeyNode *node = nullptr;
};

bool
keep_first(void *ctx, const DsModule *module, const DsKeyNode *node)
{
    auto *first = static_cast<FirstMatch *>(ctx);
    first->module = module;
    first->node = node;
    return true;
}

} // namespace

bool
reg_each_match(const DsPathComponent *parts, uint32_t count,
               bool (*on_match)(void *ctx, const DsModule *module, const DsKeyNode *node),
               void *ctx)
{
    const DsModule *first = reg_first_module();
    if (first == nullptr)
        return false;
    const KeyIndex *index = reg_key_index(first);
    if (index == nullptr)
        return walk_each_match(first, parts, count, on_match, ctx);
    return reg_index_each_match(index, parts, count, on_match, ctx);
}

// The first module whose forest has the path decides, also when leaf_only
// then rejects its node: a later module with the same path as a leaf does
// not count.
const DsKeyNode *
reg_find_key(const char *path, bool leaf_only, const DsModule **module_out)
{
    if (reg_first_module() == nullptr)
        ensure_modules_loaded();
    PathComponents parts(path);
    if (parts.count() == 0)
        return nullptr;
    FirstMatch first;
    if (!reg_each_match(parts.data(), parts.count(), keep_first, &first))
        return nullptr;
    if (module_out != nullptr)
        *module_out = first.module;
    if (leaf_only && first.node->leaf_type == nullptr)
        return nullptr;
    return first.node;
}

extern "C" DS_EXPORT const DsKeyNode *
ds_find_key(const char *path, bool leaf_only)
{
    return reg_find_key(path, leaf_only, nullptr);
}
