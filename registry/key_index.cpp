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
#include "registry/key_index.h"

#include "keys/keys.h"
#include "registry/registry.h"

#include <cstdlib>
#include <cstring>

namespace
{

// One literal level that answers its name in its chain, or (name null) the
// typed level that answers every other name in the chain. A slot without a
// node is free.
struct ChainSlot {
    const DsKeyNode *head; // first node of the chain
    const DsKeyNode *node;
    uint32_t hash;
};

// One module whose top chain answers a name with a literal level. Sorted by
// hash, name and list position, so that the modules for a name are one run.
struct TopEntry {
    uint32_t hash;
    uint32_t module; // position in the list
    const char *name;
};

// The first alarm row of a module for one key node. A slot without a row is
// free.
struct AlarmSlot {
    const DsModule *module;
    const DsKeyNode *key;
    const DsAlarm *row;
};

// A module of the list with its forest as the walks see it.
struct ModuleEntry {
    const DsModule *module;
    KeyForest forest;
};

// The records of one module's forest, for finding the forest of a node.
struct ForestRange {
    const DsKeyNode *begin;
    const DsKeyNode *end;
    uint32_t module; // position in the list
};

} // namespace

struct KeyIndex {
    ModuleEntry *modules; // list order
    uint32_t module_count;
    ForestRange *ranges; // sorted by begin
    uint32_t range_count;
    ChainSlot *slots; // literal and typed answers of every chain
    uint32_t mask;    // slot count - 1, a power of two
    TopEntry *top;    // sorted
    uint32_t top_count;
    uint32_t *typed_top; // modules whose top chain has a typed level, ascending
    uint32_t typed_top_count;
    AlarmSlot *alarms;
    uint32_t alarm_mask;
};

namespace
{

constexpr uint32_t kFnvBasis = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;

uint32_t
text_hash(const char *text, size_t length)
{
    uint32_t hash = kFnvBasis;
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<unsigned char>(text[i])) * kFnvPrime;
    return hash;
}

// The chain's hash mixes in the head so that equal names of different chains
// spread; the typed answer of a chain hashes its head alone.
uint32_t
chain_hash(const DsKeyNode *head, uint32_t name_hash)
{
    uint64_t h = reinterpret_cast<uintptr_t>(head) * 0x9E3779B97F4A7C15ull;
    return name_hash ^ static_cast<uint32_t>(h >> 32);
}

bool
same_name(const char *name, const char *text, size_t length)
{
    return std::strncmp(name, text, length) == 0 && name[length] == '\0';
}

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

uint32_t
pointer_hash(const void *a, const void *b)
{
    uint64_t h = (reinterpret_cast<uintptr_t>(a) ^ (reinterpret_cast<uintptr_t>(b) << 7)) *
                 0x9E3779B97F4A7C15ull;
    return static_cast<uint32_t>(h >> 32);
}

// Keeps the first row of each key, as the scan in table order would find it.
void
add_alarm(KeyIndex *index, const DsModule *module, const DsAlarm *row)
{
    uint32_t hash = pointer_hash(module, row->key);
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
    uint32_t hash = typed ? chain_hash(head, 0)
                          : chain_hash(head, text_hash(node->name, std::strlen(node->name)));
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
                TopEntry{text_hash(node->name, std::strlen(node->name)), position, node->name};
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

// The hashes of a path's components for one lookup, each computed when first
// asked for and kept: every module tried asks again, and a long component
// must be read once, not once per module. Components past the first kKept
// (deeper than any real key) are hashed at each use.
class ComponentHashes
{
  public:
    explicit ComponentHashes(const DsPathComponent *components) : components_(components) {}

    uint32_t
    operator[](uint32_t i)
    {
        if (i >= kKept)
            return text_hash(components_[i].text, components_[i].length);
        if ((known_ >> i & 1) == 0) {
            hashes_[i] = text_hash(components_[i].text, components_[i].length);
            known_ |= uint64_t{1} << i;
        }
        return hashes_[i];
    }

  private:
    static constexpr uint32_t kKept = 64;
    const DsPathComponent *components_;
    uint64_t known_ = 0; // bit i: hashes_[i] is set
    uint32_t hashes_[kKept] = {};
};

// The node that answers a component, whose text hashes to name_hash, in the
// chain that starts at head.
const DsKeyNode *
answer(const KeyIndex *index, const DsKeyNode *head, const DsPathComponent &component,
       uint32_t name_hash)
{
    if (head == nullptr)
        return nullptr;
    uint32_t literal = chain_hash(head, name_hash);
    for (uint32_t i = literal & index->mask;; i = (i + 1) & index->mask) {
        const ChainSlot &slot = index->slots[i];
        if (slot.node == nullptr)
            break;
        if (slot.hash == literal && slot.head == head && slot.node->field_type == nullptr &&
            same_name(slot.node->name, component.text, component.length))
            return slot.node;
    }
    uint32_t typed = chain_hash(head, 0);
    for (uint32_t i = typed & index->mask;; i = (i + 1) & index->mask) {
        const ChainSlot &slot = index->slots[i];
        if (slot.node == nullptr)
            return nullptr;
        if (slot.hash == typed && slot.head == head && slot.node->field_type != nullptr)
            return slot.node;
    }
}

const DsKeyNode *
match(const KeyIndex *index, const ModuleEntry &entry, const DsPathComponent *components,
      uint32_t count, ComponentHashes &hashes)
{
    const DsKeyNode *node = answer(index, entry.forest.nodes, components[0], hashes[0]);
    for (uint32_t i = 1; i < count && node != nullptr; ++i)
        node = answer(index, entry.forest.first_child(node), components[i], hashes[i]);
    return node;
}

// The run of top entries for a name whose text hashes to hash: [*begin, *end).
void
top_run(const KeyIndex *index, const DsPathComponent &component, uint32_t hash, uint32_t *begin,
        uint32_t *end)
{
    uint32_t lo = 0, hi = index->top_count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (index->top[mid].hash < hash)
            lo = mid + 1;
        else
            hi = mid;
    }
    // Entries of other names with the same hash are skipped by the name check.
    while (lo < index->top_count && index->top[lo].hash == hash &&
           !same_name(index->top[lo].name, component.text, component.length))
        ++lo;
    hi = lo;
    while (hi < index->top_count && index->top[hi].hash == hash &&
           same_name(index->top[hi].name, component.text, component.length))
        ++hi;
    *begin = lo;
    *end = hi;
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

// Two ascending runs of module positions, merged: the modules whose top
// chain answers the name with a literal, and those with a typed top level.
bool
reg_index_each_match(const KeyIndex *index, const DsPathComponent *components, uint32_t count,
                     bool (*on_match)(void *ctx, const DsModule *module, const DsKeyNode *node),
                     void *ctx)
{
    ComponentHashes hashes(components);
    uint32_t begin, end;
    top_run(index, components[0], hashes[0], &begin, &end);
    uint32_t t = 0;
    bool matched = false;
    while (begin < end || t < index->typed_top_count) {
        uint32_t literal = begin < end ? index->top[begin].module : UINT32_MAX;
        uint32_t typed = t < index->typed_top_count ? index->typed_top[t] : UINT32_MAX;
        uint32_t position = literal < typed ? literal : typed;
        if (literal == position)
            ++begin;
        if (typed == position)
            ++t;
        const ModuleEntry &entry = index->modules[position];
        const DsKeyNode *node = match(index, entry, components, count, hashes);
        if (node == nullptr)
            continue;
        matched = true;
        if (on_match(ctx, entry.module, node))
            break;
    }
    return matched;
}

const DsAlarm *
reg_index_alarm(const KeyIndex *index, const DsModule *module, const DsKeyNode *node)
{
    uint32_t hash = pointer_hash(module, node);
    for (uint32_t i = hash & index->alarm_mask;; i = (i + 1) & index->alarm_mask) {
        const AlarmSlot &slot = index->alarms[i];
        if (slot.row == nullptr)
            return nullptr;
        if (slot.module == module && slot.key == node)
            return slot.row;
    }
}

// The first module in list order whose forest holds the record: forests are
// disjoint arrays, except that one file listed twice shares its forest, and
// the earlier module of such a pair sorts first.
const DsModule *
reg_index_module_of(const KeyIndex *index, const DsKeyNode *node)
{
    uint32_t lo = 0, hi = index->range_count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (index->ranges[mid].begin <= node)
            lo = mid + 1;
        else
            hi = mid;
    }
    // ranges[lo - 1] is the last forest starting at or before node; walk back
    // over forests that start at the same record to the earliest module.
    if (lo == 0)
        return nullptr;
    uint32_t at = lo - 1;
    while (at > 0 && index->ranges[at - 1].begin == index->ranges[at].begin)
        --at;
    const ForestRange &range = index->ranges[at];
    if (node >= range.end)
        return nullptr;
    return index->modules[range.module].module;
}

size_t
reg_key_index_bytes(const KeyIndex *index)
{
    return sizeof(KeyIndex) +
           index->module_count * (sizeof(ModuleEntry) + sizeof(ForestRange) + sizeof(uint32_t)) +
           (size_t{index->mask} + 1) * sizeof(ChainSlot) + index->top_count * sizeof(TopEntry) +
           (size_t{index->alarm_mask} + 1) * sizeof(AlarmSlot);
}
