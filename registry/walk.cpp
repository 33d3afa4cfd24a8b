// The walks and lookups that reach across every module through keys: the
// pre-order walk over all key forests, the per-module callback for one path,
// the alarm row of a key and the conversion of a key's leaf value. Cutting
// and matching paths belong to the keys (keys/key_path.cpp); building the
// list belongs to registry/modules.cpp.
#include "keys/keys.h"
#include "registry/key_index.h"
#include "registry/registry.h"

namespace
{

// Calls back for node and its subtree, then for each following sibling and
// its subtree: one recursion per tree level, siblings in a loop.
void
walk_forest(const KeyForest &forest, const DsKeyNode *node, DsKeyCallback callback, void *ctx)
{
    for (; node != nullptr; node = forest.next_sibling(node)) {
        callback(ctx, node);
        walk_forest(forest, forest.first_child(node), callback, ctx);
    }
}

struct DoKey {
    bool leaf_only;
    DsKeyCallback callback;
    void *ctx;
    int called;
};

// Never stops the search: every module that has the path is visited.
bool
call_back(void *ctx, const DsModule *, const DsKeyNode *node)
{
    auto *walk = static_cast<DoKey *>(ctx);
    if (walk->leaf_only && node->leaf_type == nullptr)
        return false;
    walk->called = 1;
    walk->callback(walk->ctx, node);
    return false;
}

} // namespace

void
reg_walk_forest(const KeyForest &forest, DsKeyCallback callback, void *ctx)
{
    walk_forest(forest, forest.nodes, callback, ctx);
}

// Every node of every forest, modules in list order, each forest in pre-order.
// The callback cannot stop the walk.
extern "C" DS_EXPORT void
ds__all_keys(DsKeyCallback callback, void *ctx)
{
    ensure_modules_loaded();
    for (const DsModule *module = reg_first_module(); module != nullptr; module = module->next) {
        if (module->keys != nullptr)
            reg_walk_forest(reg_forest(module), callback, ctx);
    }
}

// Unlike ds_find_key, a module whose node has no leaf type does not end the
// search under leaf_only: every later module that has the path as a leaf still
// gets its callback. The path is split once, before the modules are visited.
extern "C" DS_EXPORT int
ds__do_key(const char *path, bool leaf_only, DsKeyCallback callback, void *ctx)
{
    ensure_modules_loaded();
    PathComponents parts(path);
    if (parts.count() == 0)
        return 0;
    DoKey walk{leaf_only, callback, ctx, 0};
    reg_each_match(parts.data(), parts.count(), call_back, &walk);
    return walk.called;
}

// Only the table of the module that holds the key is searched: rows of other
// modules belong to their own keys, even where the paths coincide.
extern "C" DS_EXPORT const DsAlarm *
ds_find_alarm(const char *path)
{
    const DsModule *module = nullptr;
    const DsKeyNode *node = reg_find_key(path, true, &module);
    if (node == nullptr)
        return nullptr;
    const KeyIndex *index = reg_key_index(reg_first_module());
    if (index != nullptr)
        return reg_index_alarm(index, module, node);
    for (uint16_t i = 0; i < module->alarm_count; ++i) {
        if (module->alarms[i].key == node)
            return &module->alarms[i];
    }
    return nullptr;
}

// A path that names no leaf key hands ds_type_to_c a null type, which clears
// dst and fails.
extern "C" DS_EXPORT int
ds_leaf_to_c(const char *keypath, const char *text, void *dst, size_t dstlen)
{
    const DsType *type = ds_key_leaf_type(ds_find_key(keypath, true));
    return ds_type_to_c(type, text, dst, dstlen);
}
