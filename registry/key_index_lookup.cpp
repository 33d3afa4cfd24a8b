// Lookups in the key index: the modules and nodes that a path names, the
// alarm row of a key, the module that holds a node. Each answers as the walk
// over the forests would (see registry/key_index.cpp for how the index
// mirrors that walk), at the cost of a few hash probes.
#include "registry/key_index_tables.h"

#include <cstring>

namespace
{

bool
same_name(const char *name, const char *text, size_t length)
{
    return std::strncmp(name, text, length) == 0 && name[length] == '\0';
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
            return reg_text_hash(components_[i].text, components_[i].length);
        if ((known_ >> i & 1) == 0) {
            hashes_[i] = reg_text_hash(components_[i].text, components_[i].length);
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
    uint32_t literal = reg_chain_hash(head, name_hash);
    for (uint32_t i = literal & index->mask;; i = (i + 1) & index->mask) {
        const ChainSlot &slot = index->slots[i];
        if (slot.node == nullptr)
            break;
        if (slot.hash == literal && slot.head == head && slot.node->field_type == nullptr &&
            same_name(slot.node->name, component.text, component.length))
            return slot.node;
    }
    uint32_t typed = reg_chain_hash(head, 0);
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

} // namespace

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
    uint32_t hash = reg_pointer_hash(module, node);
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
