// The document data of key nodes: a key node's module exports a DsDocSchema
// as "ds_doc_schema" (dsgen writes it), whose records run parallel to the
// module's key forest. Each module's data is looked up and checked once, the
// first time a document call needs any module; hand-written modules without
// it, and data this library cannot read, are refused with the reason.
#include "document/doc.h"
#include "keys/keys.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

namespace doc
{

namespace
{

struct ModuleData {
    const DsModule *module = nullptr;
    const DsDocSchema *schema = nullptr; // null: reason says why
    std::string reason;
    bool plain = false; // the forest is a plain tree (plain_tree)
};

using ModuleTable = std::vector<ModuleData>;

std::atomic<const ModuleTable *> g_table{nullptr};

bool
value_ok(const DsDocValue *value, int depth)
{
    if (value == nullptr || depth > 8 || value->base < DS_DOC_BINARY || value->base > DS_DOC_UNION)
        return false;
    if (value->base == DS_DOC_DECIMAL64 &&
        (value->fraction_digits < 1 || value->fraction_digits > 18))
        return false;
    if (value->base == DS_DOC_BITS && value->count > 0 && value->bits == nullptr)
        return false;
    if (value->base != DS_DOC_UNION)
        return true;
    if (value->count == 0 || value->members == nullptr)
        return false;
    for (uint32_t i = 0; i < value->count; ++i)
        if (!value_ok(&value->members[i], depth + 1))
            return false;
    return true;
}

// A list key's value is checked where it is read: the position level of a
// keyless list has none.
bool
needs_value(uint8_t kind)
{
    return kind == DS_DOC_LEAF || kind == DS_DOC_LEAF_LIST;
}

// Why the records of a module's data cannot be used; empty when they can.
std::string
check_records(const DsDocSchema *schema)
{
    if (schema->version < DS_DOC_SCHEMA_VERSION)
        return "its document data is of version " + std::to_string(schema->version) +
               ", older than this library reads";
    if (schema->nodes == nullptr || schema->modules == nullptr || schema->module_count == 0)
        return "its document data has no nodes or no module names";
    for (uint32_t i = 0; i < schema->module_count; ++i)
        if (schema->modules[i] == nullptr)
            return "its document data lacks module name " + std::to_string(i);
    for (uint32_t i = 0; i < schema->node_count; ++i) {
        const DsDocNode &node = schema->nodes[i];
        bool ok = node.kind >= DS_DOC_CONTAINER && node.kind <= DS_DOC_LEAF_LIST &&
                  node.module < schema->module_count && node.name != nullptr &&
                  (node.value == nullptr ? !needs_value(node.kind) : value_ok(node.value, 0));
        if (!ok)
            return "its document record " + std::to_string(i) + " is broken";
    }
    return "";
}

// Whether every node that the forest reaches from its first record lies
// among the schema's node_count records (so the index of a key is a record).
bool
forest_within(const DsKeyNode *keys, uint32_t count)
{
    std::vector<uint32_t> stack{0};
    uint32_t visited = 0;
    while (!stack.empty()) {
        uint32_t at = stack.back();
        stack.pop_back();
        if (at >= count || ++visited > count)
            return false;
        const DsKeyNode &node = keys[at];
        if (node.first_child != 0)
            stack.push_back(at + node.first_child);
        if (node.next_sibling != 0)
            stack.push_back(at + node.next_sibling);
    }
    return true;
}

// Whether the forest of count records is a plain tree: every child and
// sibling link from the first record on stays among the records and reaches
// a record not reached before, and each record's parent link names the
// record among whose children it is (none at the top). The library follows
// every link of such a forest, so matching a path over it here gives what
// the library's match gives.
bool
plain_tree(const DsKeyNode *keys, uint32_t count)
{
    struct Visit {
        int64_t at;
        int64_t parent; // the record among whose children it is; -1: the top
    };
    std::vector<bool> reached(count, false);
    std::vector<Visit> stack{{0, -1}};
    while (!stack.empty()) {
        Visit visit = stack.back();
        stack.pop_back();
        if (visit.at < 0 || visit.at >= int64_t{count} || reached[visit.at])
            return false;
        reached[visit.at] = true;
        const DsKeyNode &node = keys[visit.at];
        if ((node.parent == 0 ? -1 : visit.at + node.parent) != visit.parent)
            return false;
        if (node.first_child != 0)
            stack.push_back({visit.at + node.first_child, visit.at});
        if (node.next_sibling != 0)
            stack.push_back({visit.at + node.next_sibling, visit.parent});
    }
    return true;
}

ModuleData
load_module_data(const DsModule *module)
{
    ModuleData data;
    data.module = module;
    void *symbol = module->handle != nullptr ? dlsym(module->handle, "ds_doc_schema") : nullptr;
    if (symbol == nullptr) {
        data.reason = "it exports no \"ds_doc_schema\" (the module was not made by dsgen)";
        return data;
    }
    const auto *schema = static_cast<const DsDocSchema *>(symbol);
    data.reason = check_records(schema);
    if (data.reason.empty() && !forest_within(module->keys, schema->node_count))
        data.reason = "its key forest has more records than its document data";
    if (data.reason.empty()) {
        data.schema = schema;
        data.plain = plain_tree(module->keys, schema->node_count);
    }
    return data;
}

// The table of every module with keys, built by the first caller. Callers
// that start together may each build one; the first published one stays.
const ModuleTable *
module_table()
{
    const ModuleTable *table = g_table.load(std::memory_order_acquire);
    if (table != nullptr)
        return table;
    if (module_list == nullptr)
        ds_find_key("/", false); // builds the module list
    auto *built = new (std::nothrow) ModuleTable;
    if (built == nullptr)
        return nullptr;
    for (const DsModule *m = module_list; m != nullptr; m = m->next)
        if (m->keys != nullptr)
            built->push_back(load_module_data(m));
    const ModuleTable *expected = nullptr;
    if (g_table.compare_exchange_strong(expected, built, std::memory_order_acq_rel))
        return built;
    delete built;
    return expected;
}

const DsKeyNode *
linked(const DsKeyNode *key, int16_t link)
{
    return link != 0 ? key + link : nullptr;
}

// The module entry found last: a walk asks for nodes of one module in a row.
std::atomic<const ModuleData *> g_last{nullptr};

bool
holds(const ModuleData *data, const DsKeyNode *key)
{
    return data != nullptr && data->schema != nullptr && key >= data->module->keys &&
           key < data->module->keys + data->schema->node_count;
}

// The module entry whose key forest holds key.
const ModuleData *
module_holding(const DsKeyNode *key)
{
    const ModuleData *last = g_last.load(std::memory_order_relaxed);
    if (holds(last, key))
        return last;
    const ModuleTable *table = module_table();
    if (table == nullptr)
        return nullptr;
    for (const ModuleData &data : *table) {
        const DsKeyNode *first = data.module->keys;
        if (key < first)
            continue;
        if (data.schema != nullptr && key < first + data.schema->node_count) {
            g_last.store(&data, std::memory_order_relaxed);
            return &data;
        }
        // Without data the forest's extent is unknown: walk up to its top
        // and along the top-level chain from the first node.
        if (data.schema == nullptr) {
            const DsKeyNode *top = key;
            while (top->parent != 0)
                top = top + top->parent;
            for (const DsKeyNode *t = first; t != nullptr; t = linked(t, t->next_sibling))
                if (t == top)
                    return &data;
        }
    }
    return nullptr;
}

} // namespace

Node
node_of(const DsKeyNode *key, std::string &reason)
{
    Node node;
    node.key = key;
    const ModuleData *data = key != nullptr ? module_holding(key) : nullptr;
    if (data == nullptr) {
        reason = "the key is in no loaded module";
        return node;
    }
    if (data->schema == nullptr) {
        reason = "the key's module cannot be used for documents: " + data->reason;
        return node;
    }
    node.schema = data->schema;
    node.doc = &data->schema->nodes[key - data->module->keys];
    return node;
}

const char *
module_of(const Node &node)
{
    return node.schema->modules[node.doc->module];
}

const DsKeyNode *
first_child(const DsKeyNode *key)
{
    return linked(key, key->first_child);
}

const DsKeyNode *
next_sibling(const DsKeyNode *key)
{
    return linked(key, key->next_sibling);
}

const DsKeyNode *
parent_of(const DsKeyNode *key)
{
    return linked(key, key->parent);
}

const DsKeyNode *
first_top_node()
{
    const ModuleTable *table = module_table();
    if (table == nullptr || table->empty())
        return nullptr;
    return table->front().module->keys;
}

const DsKeyNode *
next_top_node(const DsKeyNode *key)
{
    if (key->next_sibling != 0)
        return key + key->next_sibling;
    const ModuleTable *table = module_table();
    const ModuleData *data = module_holding(key);
    if (table == nullptr || data == nullptr)
        return nullptr;
    size_t index = static_cast<size_t>(data - table->data()) + 1;
    return index < table->size() ? (*table)[index].module->keys : nullptr;
}

uint32_t
first_forest_match(const std::string_view *components, uint32_t count, const DsKeyNode **levels)
{
    const ModuleTable *table = module_table();
    if (table == nullptr || table->empty() || !table->front().plain || count == 0 ||
        count > DS_MAX_KEY_LEVELS)
        return 0;
    DsPathComponent parts[DS_MAX_KEY_LEVELS];
    for (uint32_t i = 0; i < count; ++i)
        parts[i] = {components[i].data(), static_cast<uint32_t>(components[i].size())};
    // A plain tree's links are all followed, as the library follows them.
    KeyForest forest{table->front().module->keys, 0, nullptr};
    return match_components(parts, count, forest, levels) != nullptr ? count : 0;
}

std::string
member_name(const Node &node, const char *parent_module)
{
    const char *own = module_of(node);
    if (parent_module != nullptr && std::string_view(own) == parent_module)
        return node.doc->name;
    return std::string(own) + ":" + node.doc->name;
}

} // namespace doc
