// The key index: answers "which node does this path name, in which modules"
// without walking every forest. It is built with the module list, published
// with it, and never changes. A lookup costs one hash probe per component
// plus one per module that could hold the path, whatever the number and size
// of the forests.
//
// It reproduces the matching of match_components exactly: at each level the
// first sibling in chain order that fits the component is taken for good, a
// typed level fitting any component. So a chain answers a component with the
// first literal of that name when it comes before the chain's first typed
// level, and with that typed level otherwise. Across modules the first module
// in list order whose forest has the whole path decides; the index narrows
// the modules to try to those whose top chain answers the first component.
#include "registry/key_index_tables.h"
#include "registry/registry.h"

#include <cstdlib>
#include <cstring>

namespace
{

// The first typed level of a chain, or null.
const DsKeyNode *
first_typed(const KeyForest &forest, const DsKeyNode *head)
{
    for (const DsKeyNode *node = head; node != nullptr; node = forest.next_sibling(node)) {
        if (node->field_type != nullptr)
            return node;
    }
    return nullptr;
}

// Calls visit(node) for the literal levels of a chain that answer their name:
// those before the first typed level, each name at its first occurrence (a
// later one with the same name is shadowed; the probe in add_slot drops it).
template <typename Visit>
void
each_answering_literal(const KeyForest &forest, const DsKeyNode *head, Visit visit)
{
    for (const DsKeyNode *node = head; node != nullptr; node = forest.next_sibling(node)) {
        if (node->field_type != nullptr)
            return;
        if (node->name != nullptr)
            visit(node);
    }
}

// Calls visit(head) for every chain of a forest: the top chain and the child
// chain of every record. The loader cut every link that would enter a record
// twice, so each chain is visited once and ends; the chains of records that
// no walk reaches are indexed too, and simply never asked.
template <typename Visit>
void
each_chain(const KeyForest &forest, Visit visit)
{
    visit(forest.nodes);
    for (uint32_t i = 0; i < forest.count; ++i) {
        const DsKeyNode *child = forest.first_child(forest.nodes + i);
        if (child != nullptr)
            visit(child);
    }
}

// Keeps the first row of each key, as the scan in table order would find it.
void
add_alarm(KeyIndex *index, const DsModule *module, const DsAlarm *row)
{
    uint32_t hash = reg_pointer_hash(module, row->key);
    for (uint32_t i = hash & index->alarm_mask;; i = (i + 1) & index->alarm_mask) {
        AlarmSlot &slot = index->alarms[i];
        if (slot.row == nullptr) {
            slot = {module, row->key, row};
            return;
        }
        if (slot.module == module && slot.key == row->key)
            return;
    }
}

bool
add_slot(KeyIndex *index, const DsKeyNode *head, const DsKeyNode *node, bool typed)
{
    uint32_t hash = typed
                        ? reg_chain_hash(head, 0)
                        : reg_chain_hash(head, reg_text_hash(node->name, std::strlen(node->name)));
    for (uint32_t i = hash & index->mask;; i = (i + 1) & index->mask) {
        ChainSlot &slot = index->slots[i];
        if (slot.node == nullptr) {
            slot = {head, node, hash};
            return true;
        }
        if (slot.hash != hash || slot.head != head)
            continue;
        bool slot_typed = slot.node->field_type != nullptr;
        if (typed == slot_typed && (typed || std::strcmp(slot.node->name, node->name) == 0))
            return false; // the same chain seen again (a module listed twice), or a shadowed name
    }
}

// Counts what the tables must hold: every literal level and every chain
// (for its typed answer); only an upper bound, shadowed names take no slot.
// False when a module's forest has no known size: only the loader's records
// can be indexed.
bool
count_nodes(const DsModule *first, uint64_t *slots, uint64_t *top, uint32_t *modules,
            uint64_t *alarms)
{
    for (const DsModule *module = first; module != nullptr; module = module->next) {
        ++*modules;
        *alarms += module->alarm_count;
        if (module->keys == nullptr)
            continue;
        KeyForest forest = reg_forest(module);
        if (forest.links == nullptr)
            return false;
        *slots += forest.count + forest.count; // every literal, and a typed answer per chain
        *top += forest.count;
    }
    return true;
}

int
compare_top(const void *a, const void *b)
{
    const auto *x = static_cast<const TopEntry *>(a);
    const auto *y = static_cast<const TopEntry *>(b);
    if (x->hash != y->hash)
        return x->hash < y->hash ? -1 : 1;
    int names = std::strcmp(x->name, y->name);
    if (names != 0)
        return names;
    return x->module < y->module ? -1 : (x->module > y->module ? 1 : 0);
}

int
compare_range(const void *a, const void *b)
{
    const auto *x = static_cast<const ForestRange *>(a);
    const auto *x2 = static_cast<const ForestRange *>(b);
    if (x->begin != x2->begin)
        return x->begin < x2->begin ? -1 : 1;
    return x->module < x2->module ? -1 : (x->module > x2->module ? 1 : 0);
}

void
fill(KeyIndex *index, const DsModule *first)
{
    uint32_t position = 0;
    for (const DsModule *module = first; module != nullptr; module = module->next, ++position) {
        KeyForest forest = module->keys != nullptr ? reg_forest(module) : KeyForest{};
        index->modules[position] = ModuleEntry{module, forest};
        for (uint16_t i = 0; i < module->alarm_count; ++i)
            add_alarm(index, module, &module->alarms[i]);
        if (module->keys == nullptr)
            continue;
        index->ranges[index->range_count++] =
            ForestRange{forest.nodes, forest.nodes + forest.count, position};
        each_chain(forest, [&](const DsKeyNode *head) {
            each_answering_literal(
                forest, head, [&](const DsKeyNode *node) { add_slot(index, head, node, false); });
            const DsKeyNode *typed = first_typed(forest, head);
            if (typed != nullptr)
                add_slot(index, head, typed, true);
        });
        // The top chain's answers, once per name and module.
        each_answering_literal(forest, forest.nodes, [&](const DsKeyNode *node) {
            index->top[index->top_count++] =
                TopEntry{reg_text_hash(node->name, std::strlen(node->name)), position, node->name};
        });
        if (first_typed(forest, forest.nodes) != nullptr)
            index->typed_top[index->typed_top_count++] = position;
    }
    std::qsort(index->ranges, index->range_count, sizeof(ForestRange), compare_range);
    std::qsort(index->top, index->top_count, sizeof(TopEntry), compare_top);
    // Drop a module's repeated name, keeping one entry per name and module.
    uint32_t kept = 0;
    for (uint32_t i = 0; i < index->top_count; ++i) {
        if (kept > 0 && compare_top(&index->top[kept - 1], &index->top[i]) == 0)
            continue;
        index->top[kept++] = index->top[i];
    }
    index->top_count = kept;
}

// Tables hold at most this many entries, so that the doubled slot count stays
// far inside 32 bits; a larger list goes without an index.
constexpr uint64_t kMaxIndexed = uint64_t{1} << 28;

// A power of two at least twice the entries: probes stay short.
uint32_t
table_size(uint64_t entries)
{
    uint32_t size = 8;
    while (size < 2 * entries)
        size *= 2;
    return size;
}

} // namespace

KeyIndex *
reg_build_key_index(const DsModule *first)
{
    uint64_t slots = 0, top = 0, alarms = 0;
    uint32_t modules = 0;
    if (!count_nodes(first, &slots, &top, &modules, &alarms) || slots > kMaxIndexed ||
        alarms > kMaxIndexed)
        return nullptr;
    auto *index = static_cast<KeyIndex *>(std::calloc(1, sizeof(KeyIndex)));
    if (index == nullptr)
        return nullptr;
    uint32_t slot_count = table_size(slots);
    uint32_t alarm_count = table_size(alarms);
    index->modules = static_cast<ModuleEntry *>(std::calloc(modules, sizeof(ModuleEntry)));
    index->ranges = static_cast<ForestRange *>(std::calloc(modules, sizeof(ForestRange)));
    index->slots = static_cast<ChainSlot *>(std::calloc(slot_count, sizeof(ChainSlot)));
    index->top = static_cast<TopEntry *>(std::calloc(top + 1, sizeof(TopEntry)));
    index->typed_top = static_cast<uint32_t *>(std::calloc(modules, sizeof(uint32_t)));
    index->alarms = static_cast<AlarmSlot *>(std::calloc(alarm_count, sizeof(AlarmSlot)));
    if (index->modules == nullptr || index->ranges == nullptr || index->slots == nullptr ||
        index->top == nullptr || index->typed_top == nullptr || index->alarms == nullptr) {
        reg_free_key_index(index);
        return nullptr;
    }
    index->module_count = modules;
    index->mask = slot_count - 1;
    index->alarm_mask = alarm_count - 1;
    fill(index, first);
    return index;
}

void
reg_free_key_index(KeyIndex *index)
{
    if (index == nullptr)
        return;
    std::free(index->modules);
    std::free(index->ranges);
    std::free(index->slots);
    std::free(index->top);
    std::free(index->typed_top);
    std::free(index->alarms);
    std::free(index);
}

size_t
reg_key_index_bytes(const KeyIndex *index)
{
    return sizeof(KeyIndex) +
           index->module_count * (sizeof(ModuleEntry) + sizeof(ForestRange) + sizeof(uint32_t)) +
           (size_t{index->mask} + 1) * sizeof(ChainSlot) + index->top_count * sizeof(TopEntry) +
           (size_t{index->alarm_mask} + 1) * sizeof(AlarmSlot);
}
