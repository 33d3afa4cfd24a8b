// dstool check, document part: the "ds_doc_schema" data that dsgen writes
// beside the key forest (dstypes_doc_schema.h), held against the forest it
// describes: one record per key node, kinds that fit the levels (a list
// followed by its key levels, leaves with a leaf type, containers without),
// names and modules that agree with the key names, encodings that fit the
// library types of the values (check_doc_value.cpp), distinct print orders
// among siblings, and defaults that are JSON. A module without the data is
// not looked at.
#include "check.h"

#include <json-c/json.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>

namespace dstool
{

namespace
{

std::string
node_where(const KeyForest &forest, uint32_t i)
{
    return check_record("ds_doc_schema.nodes", i, forest.nodes[i].name);
}

// YANG's names of kinds, for messages.
std::string
kind_text(uint8_t kind)
{
    static const char *const names[] = {"container", "presence container", "list", "list key",
                                        "leaf",      "leaf-list"};
    if (kind >= DS_DOC_CONTAINER && kind <= DS_DOC_LEAF_LIST)
        return names[kind - DS_DOC_CONTAINER];
    return "kind " + std::to_string(kind);
}

// Text as exactly one strict JSON value (an array when asked). It is read
// inside brackets, which end a number that would otherwise wait for more.
bool
is_json(const char *text, bool array)
{
    json_tokener *tok = json_tokener_new();
    if (tok == nullptr)
        throw std::bad_alloc();
    json_tokener_set_flags(tok, JSON_TOKENER_STRICT);
    std::string wrapped = std::string("[") + text + "]";
    json_object *jo = json_tokener_parse_ex(tok, wrapped.c_str(), static_cast<int>(wrapped.size()));
    bool fits = jo != nullptr && json_tokener_get_error(tok) == json_tokener_success &&
                json_tokener_get_parse_end(tok) == wrapped.size() &&
                json_object_array_length(jo) == 1 &&
                (!array || json_object_is_type(json_object_array_get_idx(jo, 0), json_type_array));
    json_object_put(jo);
    json_tokener_free(tok);
    return fits;
}

// "choice/case" pairs joined by "/", a choice's name possibly followed by "!".
bool
is_choice_path(std::string_view text)
{
    for (size_t at = 0, steps = 0;; ++steps) {
        size_t end = std::min(text.find('/', at), text.size());
        std::string_view step = text.substr(at, end - at);
        size_t bang = step.find('!');
        if (step.empty() || step == "!" ||
            (bang != step.npos && (steps % 2 != 0 || bang + 1 != step.size())))
            return false;
        if (end == text.size())
            return steps % 2 == 1;
        at = end + 1;
    }
}

class DocChecker
{
  public:
    DocChecker(const DsDocSchema &doc, const KeyForest &forest, Findings &out)
        : doc_(doc), forest_(forest), out_(out)
    {
    }

    void
    run()
    {
        for (uint32_t m = 0; m < doc_.module_count && doc_.modules != nullptr; ++m)
            if (doc_.modules[m] == nullptr || *doc_.modules[m] == '\0')
                out_.add("ds_doc_schema.modules[" + std::to_string(m) + "]", "no module name");
        if (doc_.module_count > 0 && doc_.modules == nullptr)
            out_.add("ds_doc_schema",
                     std::to_string(doc_.module_count) + " modules declared, but modules is null");
        for (uint32_t i = 0; i < forest_.count; ++i)
            check_node(i);
        check_orders(forest_.nodes);
        for (uint32_t i = 0; i < forest_.count; ++i)
            check_orders(forest_.first_child(&forest_.nodes[i]));
    }

  private:
    const DsDocNode &
    doc_of(const DsKeyNode *node) const
    {
        return doc_.nodes[node - forest_.nodes];
    }

    void
    check_node(uint32_t i)
    {
        const DsDocNode &node = doc_.nodes[i];
        const DsKeyNode &key = forest_.nodes[i];
        std::string where = node_where(forest_, i);
        if (node.kind < DS_DOC_CONTAINER || node.kind > DS_DOC_LEAF_LIST) {
            out_.add(where, "kind " + std::to_string(node.kind) + " unknown");
            return;
        }
        if ((node.flags &
             ~(DS_DOC_CONFIG | DS_DOC_MANDATORY | DS_DOC_USER_ORDERED | DS_DOC_WHEN)) != 0)
            out_.add(where, "flags " + std::to_string(node.flags) + " hold unknown bits");
        check_name(node, key, where);
        check_kind(node, key, where);
        if (node.value != nullptr)
            check_doc_value(*node.value, value_type(node, key), where + " value", false, out_);
        if (node.default_json != nullptr &&
            (node.kind != DS_DOC_LEAF && node.kind != DS_DOC_LEAF_LIST))
            out_.add(where, "a default on a node that is no leaf or leaf-list");
        else if (node.default_json != nullptr &&
                 !is_json(node.default_json, node.kind == DS_DOC_LEAF_LIST))
            out_.add(where, "default " + check_quoted(node.default_json) + " is not " +
                                (node.kind == DS_DOC_LEAF_LIST ? "a JSON array" : "JSON"));
        if (node.choices != nullptr && !is_choice_path(node.choices))
            out_.add(where, "choices " + check_quoted(node.choices) +
                                " are not \"choice/case\" pairs joined by \"/\"");
    }

    void
    check_name(const DsDocNode &node, const DsKeyNode &key, const std::string &where)
    {
        if (node.module >= doc_.module_count)
            out_.add(where, "module " + std::to_string(node.module) + " beyond the " +
                                std::to_string(doc_.module_count) + " modules");
        if (node.name == nullptr)
            out_.add(where, "no name");
        if (node.name == nullptr || key.name == nullptr)
            return;
        std::string expected = key.name;
        size_t colon = expected.find(':');
        if (colon != std::string::npos && key.field_type == nullptr) {
            std::string module = expected.substr(0, colon);
            expected.erase(0, colon + 1);
            if (node.module < doc_.module_count && doc_.modules != nullptr &&
                doc_.modules[node.module] != nullptr && module != doc_.modules[node.module])
                out_.add(where, "module " + check_quoted(doc_.modules[node.module]) +
                                    ", but the key name says " + check_quoted(module.c_str()));
        }
        if (expected != node.name)
            out_.add(where, "name " + check_quoted(node.name) + " is not the key node's " +
                                check_quoted(expected.c_str()));
    }

    // A list is followed by max(key_count, 1) typed levels, each the only
    // child of the one before, whose key_index counts them.
    void
    check_kind(const DsDocNode &node, const DsKeyNode &key, const std::string &where)
    {
        bool typed = key.field_type != nullptr;
        bool is_leaf = node.kind == DS_DOC_LEAF || node.kind == DS_DOC_LEAF_LIST;
        if (typed != (node.kind == DS_DOC_LIST_KEY))
            out_.add(where, std::string(typed ? "a typed level" : "a literal level") +
                                " said to be a " + kind_text(node.kind));
        if (is_leaf && key.leaf_type == nullptr)
            out_.add(where, "a leaf or leaf-list without a leaf type");
        if (!is_leaf && key.leaf_type != nullptr)
            out_.add(where, "a " + kind_text(node.kind) + " with a leaf type");
        if (node.kind == DS_DOC_LEAF_LIST && key.leaf_type != nullptr &&
            key.leaf_type->kind != DS_KIND_ARRAY)
            out_.add(where, "a leaf-list whose leaf type is no array");
        bool keyless_position = node.kind == DS_DOC_LIST_KEY && parent_list_keys(&key) == 0;
        if ((node.value != nullptr) !=
            ((is_leaf || node.kind == DS_DOC_LIST_KEY) && !keyless_position))
            out_.add(where, node.value != nullptr ? "a value encoding on a node that holds no value"
                                                  : "no value encoding");
        if (node.kind == DS_DOC_LIST)
            check_key_levels(&key, node.key_count, where);
        else if (node.key_count != 0)
            out_.add(where,
                     "key_count " + std::to_string(node.key_count) + " on a node that is no list");
    }

    // The key_count of the list whose key level node is; -1 when it has none.
    int
    parent_list_keys(const DsKeyNode *node) const
    {
        const DsKeyNode *up = forest_.parent(node);
        while (up != nullptr && doc_of(up).kind == DS_DOC_LIST_KEY)
            up = forest_.parent(up);
        return up != nullptr && doc_of(up).kind == DS_DOC_LIST ? doc_of(up).key_count : -1;
    }

    void
    check_key_levels(const DsKeyNode *list, uint16_t key_count, const std::string &where)
    {
        const DsKeyNode *level = list;
        uint32_t levels = key_count == 0 ? 1 : key_count;
        for (uint32_t k = 0; k < levels; ++k) {
            const DsKeyNode *child = forest_.first_child(level);
            bool only = child != nullptr && forest_.next_sibling(child) == nullptr;
            if (!only || doc_of(child).kind != DS_DOC_LIST_KEY || doc_of(child).key_index != k ||
                (key_count == 0 && child->field_type != &ds_global_types[DS_BUILTIN_U32])) {
                out_.add(where, "a list of " + std::to_string(key_count) +
                                    " keys not followed by " +
                                    (key_count == 0 ? std::string("one \"u32\" position level")
                                                    : std::to_string(levels) + " key levels") +
                                    " in order, each the only child of the one before");
                return;
            }
            level = child;
        }
    }

    // The library type that holds one value of the node.
    static const DsType *
    value_type(const DsDocNode &node, const DsKeyNode &key)
    {
        if (node.kind == DS_DOC_LIST_KEY)
            return key.field_type;
        if (node.kind == DS_DOC_LEAF_LIST && key.leaf_type != nullptr &&
            key.leaf_type->kind == DS_KIND_ARRAY)
            return key.leaf_type->p.array.element;
        return key.leaf_type;
    }

    void
    check_orders(const DsKeyNode *first)
    {
        std::map<uint32_t, const DsKeyNode *> seen;
        for (const DsKeyNode *node = first; node != nullptr; node = forest_.next_sibling(node)) {
            auto [earlier, fresh] = seen.emplace(doc_of(node).order, node);
            if (!fresh)
                out_.add(node_where(forest_, static_cast<uint32_t>(node - forest_.nodes)),
                         "order " + std::to_string(doc_of(node).order) + " also that of sibling " +
                             node_where(forest_,
                                        static_cast<uint32_t>(earlier->second - forest_.nodes)));
        }
    }

    const DsDocSchema &doc_;
    const KeyForest &forest_;
    Findings &out_;
};

} // namespace

void
check_doc(const Exported &doc, const KeyForest &forest, Findings &out)
{
    if (doc.address == nullptr)
        return;
    if (doc.size < sizeof(DsDocSchema)) {
        out.add("ds_doc_schema", std::to_string(doc.size) + " bytes, not a " +
                                     std::to_string(sizeof(DsDocSchema)) + "-byte DsDocSchema");
        return;
    }
    const auto &schema = *static_cast<const DsDocSchema *>(doc.address);
    if (schema.version != DS_DOC_SCHEMA_VERSION)
        out.add("ds_doc_schema", "version " + std::to_string(schema.version) +
                                     " unknown: this dstool reads version " +
                                     std::to_string(DS_DOC_SCHEMA_VERSION));
    if (schema.version == 0)
        return;
    if (schema.node_count != forest.count || (schema.nodes == nullptr && schema.node_count > 0)) {
        out.add("ds_doc_schema", std::to_string(schema.node_count) + " nodes" +
                                     (schema.nodes == nullptr ? " at a null address" : "") +
                                     ", \"ds_keys\" holds " + std::to_string(forest.count) +
                                     " records: one per key node is needed");
        return;
    }
    DocChecker(schema, forest, out).run();
}

} // namespace dstool
