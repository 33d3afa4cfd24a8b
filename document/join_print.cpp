// The printer of a joined data tree: members in schema order, list entries
// and leaf-list elements in the order in which they came, member names
// qualified with their module at the top and where the module changes, and
// the defaults of state leaves that YANG validation adds (a leaf with a
// default that is config false is reported although no entry gave it).
// Two layouts, as YANG tools print them: indented by two blanks per level
// with a final newline, or compact without any.
#include "document/join_tree.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace doc
{

namespace
{

// A member of an object: given data, or a default that validation adds
// (a state leaf, or a container holding such leaves).
struct Member {
    std::string_view top_module; // top-level members print by module name first
    uint64_t rank = 0;
    std::string name;
    const JoinNode *data = nullptr; // given data; null for an added default
    Node schema;                    // the added default's node
    std::vector<Scalar> defaults;   // an added leaf's or leaf-list's value
};

bool
is_state(const Node &node)
{
    return (node.doc->flags & DS_DOC_CONFIG) == 0;
}

// The scalars of a default text (compact RFC 7951 JSON: one value, or an
// array of them for a leaf-list).
std::vector<Scalar>
default_scalars(const char *text)
{
    std::vector<Scalar> out;
    JsonPtr jo(json_tokener_parse(text));
    if (jo == nullptr)
        return out;
    bool array = json_object_is_type(jo.get(), json_type_array);
    size_t count = array ? json_object_array_length(jo.get()) : 1;
    for (size_t i = 0; i < count; ++i) {
        json_object *item = array ? json_object_array_get_idx(jo.get(), i) : jo.get();
        Scalar s;
        s.text = json_object_get_string(item);
        if (json_object_is_type(item, json_type_boolean))
            s.kind = Scalar::Kind::boolean;
        else if (json_object_is_type(item, json_type_int) ||
                 json_object_is_type(item, json_type_double))
            s.kind = Scalar::Kind::number;
        out.push_back(std::move(s));
    }
    return out;
}

// Whether a container that no entry gave holds a state default that
// validation would add, so that it is printed.
bool
holds_state_default(const DsKeyNode *container)
{
    std::string reason;
    for (const DsKeyNode *k = first_child(container); k != nullptr; k = next_sibling(k)) {
        Node node = node_of(k, reason);
        if (node.doc == nullptr || node.doc->choices != nullptr ||
            (node.doc->flags & DS_DOC_WHEN) != 0)
            continue;
        uint8_t kind = node.doc->kind;
        if ((kind == DS_DOC_LEAF || kind == DS_DOC_LEAF_LIST) && node.doc->default_json &&
            is_state(node))
            return true;
        if (kind == DS_DOC_CONTAINER && holds_state_default(k))
            return true;
    }
    return false;
}

// Whether a node inside a choice has a sibling in its case among the data.
bool
case_taken(const Node &node, const JoinNode *data)
{
    if (node.doc->choices == nullptr)
        return true;
    if (data == nullptr)
        return false;
    for (const auto &child : data->children)
        if (child->node.doc->choices != nullptr &&
            std::string_view(child->node.doc->choices) == node.doc->choices)
            return true;
    return false;
}

class Printer
{
  public:
    Printer(bool compact, std::string &out) : compact_(compact), out_(out) {}

    // The members of data (null: an added container) whose schema children
    // are those of schema_parent (null: the top-level nodes of tops).
    std::vector<Member>
    members(const JoinNode *data, const DsKeyNode *schema_parent, const char *module,
            const std::map<const DsDocSchema *, uint64_t> *tops) const
    {
        std::vector<Member> out;
        if (data != nullptr)
            for (const auto &child : data->children)
                out.push_back({top_module(child->node, tops),
                               rank(child->node, tops),
                               member_name(child->node, module),
                               child.get(),
                               child->node,
                               {}});
        const DsKeyNode *k =
            schema_parent != nullptr ? first_child(schema_parent) : first_top_node();
        for (; k != nullptr; k = schema_parent != nullptr ? next_sibling(k) : next_top_node(k))
            add_default(k, data, module, tops, out);
        std::stable_sort(out.begin(), out.end(), [](const Member &a, const Member &b) {
            return a.top_module != b.top_module ? a.top_module < b.top_module : a.rank < b.rank;
        });
        return out;
    }

    void
    object(const std::vector<Member> &members, int depth)
    {
        if (members.empty()) {
            out_ += "{}";
            return;
        }
        out_ += '{';
        for (size_t i = 0; i < members.size(); ++i) {
            if (i != 0)
                out_ += ',';
            newline(depth + 1);
            member(members[i], depth + 1);
        }
        newline(depth);
        out_ += '}';
    }

    // One member: its name and its value.
    void
    member(const Member &m, int depth)
    {
        append_json_string(out_, m.name);
        out_ += compact_ ? ":" : ": ";
        if (m.data == nullptr) {
            if (m.schema.doc->kind == DS_DOC_CONTAINER)
                object(members(nullptr, m.schema.key, module_of(m.schema), nullptr), depth);
            else
                values(m.defaults, m.schema.doc->kind == DS_DOC_LEAF_LIST, depth);
            return;
        }
        value(*m.data, depth);
    }

    // The value of a data node.
    void
    value(const JoinNode &data, int depth)
    {
        const char *module = module_of(data.node);
        switch (data.node.doc->kind) {
        case DS_DOC_LEAF:
            values(data.values, false, depth);
            return;
        case DS_DOC_LEAF_LIST:
            values(data.values, true, depth);
            return;
        case DS_DOC_LIST:
            out_ += '[';
            for (size_t i = 0; i < data.entries.size(); ++i) {
                if (i != 0)
                    out_ += ',';
                newline(depth + 1);
                entry(*data.entries[i], depth + 1);
            }
            newline(depth);
            out_ += ']';
            return;
        default:
            object(members(&data, data.node.key, module, nullptr), depth);
        }
    }

    // A list entry: its keys first, in key order, then its other members.
    void
    entry(const JoinNode &data, int depth)
    {
        const char *module = module_of(data.node);
        std::vector<Member> all;
        std::vector<const DsKeyNode *> levels;
        for (const DsKeyNode *k = data.node.key; k != nullptr && k->field_type != nullptr;
             k = parent_of(k))
            levels.insert(levels.begin(), k);
        std::string reason;
        for (size_t i = 0; i < levels.size() && i < data.keys.size(); ++i) {
            Node key = node_of(levels[i], reason);
            Member m{{}, 0, member_name(key, module), nullptr, key, {data.keys[i]}};
            all.push_back(std::move(m));
        }
        for (Member &m : members(&data, data.node.key, module, nullptr))
            all.push_back(std::move(m));
        object(all, depth);
    }

    void
    newline(int depth)
    {
        if (compact_)
            return;
        out_ += '\n';
        out_.append(static_cast<size_t>(depth) * 2, ' ');
    }

    void
    scalar(const Scalar &s)
    {
        switch (s.kind) {
        case Scalar::Kind::string:
            append_json_string(out_, s.text);
            return;
        case Scalar::Kind::empty:
            out_ += "[null]";
            return;
        default:
            out_ += s.text;
        }
    }

  private:
    void
    values(const std::vector<Scalar> &items, bool array, int depth)
    {
        if (!array) {
            if (!items.empty())
                scalar(items[0]);
            return;
        }
        out_ += '[';
        for (size_t i = 0; i < items.size(); ++i) {
            if (i != 0)
                out_ += ',';
            newline(depth + 1);
            scalar(items[i]);
        }
        newline(depth);
        out_ += ']';
    }

    static std::string_view
    top_module(const Node &node, const std::map<const DsDocSchema *, uint64_t> *tops)
    {
        return tops != nullptr ? module_of(node) : std::string_view();
    }

    static uint64_t
    rank(const Node &node, const std::map<const DsDocSchema *, uint64_t> *tops)
    {
        uint64_t module = 0;
        if (tops != nullptr) {
            auto it = tops->find(node.schema);
            module = it != tops->end() ? it->second : 0;
        }
        return module << 32 | node.doc->order;
    }

    // Adds the default that validation would add for the schema node k when
    // no data gave it.
    void
    add_default(const DsKeyNode *k, const JoinNode *data, const char *module,
                const std::map<const DsDocSchema *, uint64_t> *tops, std::vector<Member> &out) const
    {
        std::string reason;
        Node node = node_of(k, reason);
        // A node under a "when" condition exists only where the condition
        // holds, which the document data cannot tell: no default is added.
        if (node.doc == nullptr || !is_state(node) || (node.doc->flags & DS_DOC_WHEN) != 0 ||
            !case_taken(node, data))
            return;
        if (data != nullptr)
            for (const auto &child : data->children)
                if (child->node.key == k)
                    return;
        uint8_t kind = node.doc->kind;
        Member m{
            top_module(node, tops), rank(node, tops), member_name(node, module), nullptr, node, {}};
        if ((kind == DS_DOC_LEAF || kind == DS_DOC_LEAF_LIST) && node.doc->default_json) {
            m.defaults = default_scalars(node.doc->default_json);
            out.push_back(std::move(m));
        } else if (kind == DS_DOC_CONTAINER && holds_state_default(k)) {
            out.push_back(std::move(m));
        }
    }

    bool compact_;
    std::string &out_;
};

// The rank of each module with document data, in the order of the module
// list: top-level nodes print by module, and validation adds the state
// defaults of every module, whether the data holds any of its nodes or not.
std::map<const DsDocSchema *, uint64_t>
top_ranks()
{
    std::map<const DsDocSchema *, uint64_t> out;
    std::string reason;
    for (const DsKeyNode *k = first_top_node(); k != nullptr; k = next_top_node(k)) {
        Node node = node_of(k, reason);
        if (node.doc != nullptr && out.count(node.schema) == 0)
            out.emplace(node.schema, out.size());
    }
    return out;
}

// The document around its members: indented output ends with a newline.
void
print_top(Printer &printer, const std::vector<Member> &members, bool compact, std::string &out)
{
    if (members.empty() && !compact) {
        out += "{\n\n}\n";
        return;
    }
    printer.object(members, 0);
    if (!compact)
        out += '\n';
}

} // namespace

void
append_json_string(std::string &out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

void
print_tree(const JoinNode &root, bool compact, std::string &out)
{
    Printer printer(compact, out);
    std::map<const DsDocSchema *, uint64_t> tops = top_ranks();
    print_top(printer, printer.members(&root, nullptr, nullptr, &tops), compact, out);
}

void
print_body(const JoinNode *node, const Node &at, bool compact, std::string &out)
{
    Printer printer(compact, out);
    std::vector<Member> members;
    if (node != nullptr && at.doc->kind == DS_DOC_LIST_KEY) {
        // A list entry prints as its list holding this one entry.
        const DsKeyNode *k = parent_of(at.key);
        while (k != nullptr && k->field_type != nullptr)
            k = parent_of(k);
        std::string reason;
        Node list = node_of(k, reason);
        out += '{';
        printer.newline(1);
        append_json_string(out, member_name(list, nullptr));
        out += compact ? ":[" : ": [";
        printer.newline(2);
        printer.entry(*node, 2);
        printer.newline(1);
        out += ']';
        printer.newline(0);
        out += compact ? "}" : "}\n";
        return;
    }
    if (node != nullptr)
        members.push_back({{}, 0, member_name(node->node, nullptr), node, node->node, {}});
    print_top(printer, members, compact, out);
}

} // namespace doc
