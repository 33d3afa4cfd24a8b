// Entries on their way into a join: an entry's levels (join_levels.cpp)
// walked over the tree, its list entries identified by their packed keys
// (join_list_entries.cpp), its value checked and brought into its document
// form, and its place in the tree checked against choices, all before
// anything changes; then the nodes it needs are built. The C calls live in
// join.cpp.
#include "document/join_tree.h"

#include <algorithm>
#include <new>

namespace doc
{

namespace
{

using Step = JoinStep;

// The choice/case pairs of a node, outermost first.
std::vector<std::pair<std::string_view, std::string_view>>
choice_cases(const char *choices)
{
    std::vector<std::pair<std::string_view, std::string_view>> out;
    if (choices == nullptr)
        return out;
    // YANG identifiers hold no "/": the pairs are cut at every one.
    std::vector<std::string_view> parts;
    for (std::string_view all(choices); !all.empty();) {
        size_t end = std::min(all.find('/'), all.size());
        parts.push_back(all.substr(0, end));
        all.remove_prefix(std::min(end + 1, all.size()));
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string_view choice = parts[i];
        if (!choice.empty() && choice.back() == '!')
            choice.remove_suffix(1);
        out.emplace_back(choice, parts[i + 1]);
    }
    return out;
}

// The name of the choice in which a and b sit in different cases; empty
// when they do not exclude each other.
std::string
conflicting_choice(const DsDocNode *a, const DsDocNode *b)
{
    auto ca = choice_cases(a->choices);
    auto cb = choice_cases(b->choices);
    for (size_t i = 0; i < ca.size() && i < cb.size(); ++i) {
        if (ca[i].first != cb[i].first)
            return {};
        if (ca[i].second != cb[i].second)
            return std::string(ca[i].first);
    }
    return {};
}

// Why a new child of parent at level cannot be created; empty when it can.
std::string
creation_conflict(const JoinNode *parent, const Node &node)
{
    if (parent == nullptr || node.doc->choices == nullptr)
        return {};
    for (const JoinNode *child = parent->first; child != nullptr; child = child->next) {
        std::string choice = conflicting_choice(node.doc, child->node.doc);
        if (!choice.empty())
            return "is in another case of choice " + choice + " than " + child->node.doc->name;
    }
    return {};
}

// The child of parent (null: none) that stands for node, or null. Children
// are in print order, where a schema node has one place: one that would
// come after the last child is not among them (the common case, as entries
// mostly come in schema order) and needs no search.
JoinNode *
child_of(const JoinNode *parent, const Node &node)
{
    if (parent == nullptr || parent->last == nullptr)
        return nullptr;
    JoinNode *last = parent->last;
    if (last->node.key == node.key)
        return last;
    if (last->node.doc->order < node.doc->order)
        return nullptr;
    return find_child(parent, node.key);
}

// The entry of list (null: none) whose identity memo holds, or null. Its
// absence is remembered too: only link_walk makes an entry, and it makes the
// memo of its step name it.
JoinNode *
entry_of(const DsDocJoin &join, const JoinNode *list, EntryMemo &memo)
{
    if (list == nullptr)
        return nullptr;
    if (memo.list == list)
        return memo.entry;
    memo.list = list;
    memo.entry = find_entry(join, list, memo.identity);
    return memo.entry;
}

// The walk of an entry's levels over the tree: what exists, and what to
// build (steps); cur ends at the entry's own node, or null when it is new.
// The first reused steps are those of the entry added before (reusable of
// them are known).
bool
plan_walk(DsDocJoin &join, const std::vector<Level> &levels, std::vector<Step> &steps,
          const JoinNode *&cur, size_t reusable, size_t &reused, std::string &reason)
{
    cur = &join.root;
    size_t i = 0;
    // The steps over levels that the entry before went the same way (they
    // end in order, so they are the first ones) need no looking up and no
    // checks again: steps holds them as link_walk left them.
    const size_t shared = join.path_memo.shared;
    reused = 0;
    while (reused < reusable && join.walked[reused].end < shared)
        ++reused;
    steps.resize(reused);
    if (reused != 0) {
        const Walked &last = join.walked[reused - 1];
        cur = last.entry != nullptr ? last.entry : last.node;
        i = last.end + 1;
    }
    for (size_t n = levels.size(); i < n; ++i) {
        const Node &node = levels[i].node;
        if (i < join.at_keys.size() && node.key != join.at_keys[i]) {
            reason = "is not below the joined node";
            return false;
        }
        if (node.doc->kind == DS_DOC_LIST_KEY) {
            reason = "names a key level without its list";
            return false;
        }
        JoinNode *next = child_of(cur, node);
        if (next == nullptr) {
            std::string conflict = creation_conflict(cur, node);
            if (!conflict.empty()) {
                reason = node.doc->name + (" " + conflict);
                return false;
            }
        }
        Step step;
        step.level = i;
        step.node = next;
        cur = next;
        if (node.doc->kind == DS_DOC_LIST) {
            size_t count = node.doc->key_count == 0 ? 1 : node.doc->key_count;
            if (i + count >= levels.size()) {
                reason = "names a list, not one of its entries";
                return false;
            }
            EntryMemo &memo = join.memo[steps.size()];
            if (!entry_step(join, levels, i, count, memo, reason))
                return false;
            step.entry = &memo;
            cur = entry_of(join, next, memo);
            i += count;
        }
        steps.push_back(std::move(step));
    }
    if (levels.size() >= join.at_ids.size())
        return true;
    reason = "is not below the joined node";
    return false;
}

// Puts child among parent's children, which are in print order (after
// those of the same place, as they came).
void
insert_child(JoinNode &parent, JoinNode *child)
{
    uint32_t order = child->node.doc->order;
    if (parent.last == nullptr || parent.last->node.doc->order <= order) {
        (parent.last != nullptr ? parent.last->next : parent.first) = child;
        parent.last = child;
        return;
    }
    JoinNode **at = &parent.first;
    while ((*at)->node.doc->order <= order)
        at = &(*at)->next;
    child->next = *at;
    *at = child;
}

// Makes what the steps after the reused ones found missing, linking none of
// it: all that can fail for want of memory happens here, so that a failed
// add leaves the tree as it was. A new list entry gets a slot in the entry
// index that stays null (as no entry) until the entry is linked.
void
make_walk(DsDocJoin &join, const std::vector<Step> &steps, size_t reused)
{
    for (size_t s = reused, n = steps.size(); s < n; ++s) {
        const Step &step = steps[s];
        Made &made = join.made[s];
        made = Made{}; // link_walk reads the steps from reused on
        JoinNode *list = step.node;
        if (list == nullptr)
            list = made.node = join.nodes.make();
        if (!step.entry ||
            (step.node != nullptr && entry_of(join, step.node, *step.entry) != nullptr))
            continue;
        made.entry = join.nodes.make();
        made.keys = join.texts.store(step.entry->printed);
        made.identity = join.texts.store(step.entry->identity);
        made.slot = &join.entries.try_emplace(EntryKey{list, made.identity}, nullptr).first->second;
    }
}

// Links what make_walk made into the tree (nothing here allocates) and
// returns the entry's own node.
JoinNode *
link_walk(DsDocJoin &join, const std::vector<Level> &levels, std::vector<Step> &steps,
          size_t reused)
{
    // The first reused steps went where they went before.
    JoinNode *node = &join.root;
    if (reused != 0) {
        const Walked &last = join.walked[reused - 1];
        node = last.entry != nullptr ? last.entry : last.node;
    }
    for (size_t s = reused, n = steps.size(); s < n; ++s) {
        Step &step = steps[s];
        const Made &made = join.made[s];
        Walked &walked = join.walked[s];
        const Node &schema = levels[step.level].node;
        // A node that the plan did not find is new, and so is all below it.
        JoinNode *next = step.node;
        if (next == nullptr) {
            next = made.node;
            next->node = schema;
            insert_child(*node, next);
        }
        node = next;
        walked = {step.level, next, nullptr};
        step.node = next; // as the next entry that reuses the step finds it
        if (!step.entry)
            continue;
        size_t count = schema.doc->key_count == 0 ? 1 : schema.doc->key_count;
        walked.end = step.level + count;
        if (made.entry == nullptr) {
            node = walked.entry = entry_of(join, next, *step.entry);
            continue;
        }
        node = walked.entry = made.entry;
        *made.slot = node;
        (next->last != nullptr ? next->last->next : next->first) = node;
        next->last = node;
        node->node = levels[step.level + count].node;
        node->printed = made.keys;
        node->count = step.entry->printed_count;
        step.entry->list = next;
        step.entry->entry = node;
    }
    return node;
}

} // namespace

// Checks an entry against the tree and the schema, then adds it; the tree
// is changed only when every check passed.
int
join_add(DsDocJoin &join, const char *path, const void *value, size_t value_len, DsDocError **error)
{
    std::string reason;
    std::vector<Level> &levels = join.levels;
    std::vector<Step> &steps = join.steps;
    // levels keeps the last path's, which the next path may share, and steps
    // the last walk's, which the next may reuse.
    const JoinNode *cur = nullptr;
    size_t reusable = join.walked_valid ? join.walked_count : 0;
    size_t reused = 0;
    join.walked_valid = false;
    if (!resolve_levels(path, levels, reason, &join.path_memo) ||
        !plan_walk(join, levels, steps, cur, reusable, reused, reason))
        return set_error(error, path, reason);
    const Node &last = levels.back().node;
    const Node &owner = steps.back().entry ? levels[steps.back().level].node : last;
    bool takes_value = owner.doc->kind == DS_DOC_LEAF || owner.doc->kind == DS_DOC_LEAF_LIST;
    if (owner.doc->kind == DS_DOC_CONTAINER)
        return set_error(error, path, "names a container without presence, which has no entry");
    if (!takes_value && (value != nullptr || value_len != 0))
        return set_error(error, path, "takes no value");
    // A leaf's or leaf-list's count is that of its values, which an entry
    // gives once; a list entry's is that of its keys.
    if (cur != nullptr && (cur->given || (takes_value && cur->count != 0)))
        return set_error(error, path, "is given twice");
    int64_t count = 0;
    std::string_view printed;
    if (takes_value) {
        count = entry_values(join, owner, last.key->leaf_type, value, value_len, printed, reason);
        if (count < 0)
            return set_error(error, path, reason);
        // A leaf-list without elements is no data: it makes no node, and
        // no container or list entry for it, as a parsed tree holds none.
        if (count == 0)
            return 0;
    }
    make_walk(join, steps, reused);
    JoinNode *node = link_walk(join, levels, steps, reused);
    if (takes_value) {
        node->printed = printed;
        node->count = static_cast<uint32_t>(count);
    } else {
        node->given = true;
    }
    join.walked_count = steps.size();
    join.walked_valid = true;
    return 0;
}

} // namespace doc
