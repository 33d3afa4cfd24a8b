// The printer of a joined data tree: a walk over the tree, whose children are
// kept in schema order, with list entries and leaf-list elements in the order
// in which they came, member names qualified with their module at the top and
// where the module changes, and the defaults of state leaves that YANG
// validation adds (a leaf with a default that is config false is reported
// although no entry gave it). Two layouts, as YANG tools print them: indented
// by two blanks per level with a final newline, or compact without any.
#include "document/join_text.h"
#include "document/join_tree.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>

namespace doc
{

namespace
{

// A top-level member: given data or an added default.
struct TopMember {
    std::string_view module;
    uint64_t rank = 0;
    const JoinNode *data = nullptr;
    const Default *added = nullptr;
};

class Printer
{
  public:
    Printer(bool compact, PrintedText &out) : compact_(compact), out_(out) {}

    // The members of data (null: an added container) whose schema children
    // are those of schema_parent, after any already printed (first false).
    void
    members(const JoinNode *data, const DsKeyNode *schema_parent, const char *module, int depth,
            bool &first)
    {
        const std::vector<Default> &added = defaults(schema_parent);
        const JoinNode *child = data != nullptr ? data->first : nullptr;
        size_t d = 0;
        while (child != nullptr || d < added.size()) {
            if (d < added.size() && !default_applies(added[d], data)) {
                ++d;
                continue;
            }
            begin_member(first, depth);
            if (child != nullptr &&
                (d == added.size() || child->node.doc->order <= added[d].node.doc->order)) {
                name(child->node, module);
                value(*child, depth + 1);
                child = child->next;
            } else {
                name(added[d].node, module);
                default_value(added[d], depth + 1);
                ++d;
            }
        }
    }

    void
    object(const JoinNode *data, const DsKeyNode *schema_parent, const char *module, int depth)
    {
        bool first = true;
        members(data, schema_parent, module, depth, first);
        end_object(first, depth);
    }

    // A list entry: its keys first, in key order, then its other members.
    void
    entry(const JoinNode &data, int depth)
    {
        const char *module = module_of(data.node);
        const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
        size_t count = 0;
        for (const DsKeyNode *k = data.node.key;
             k != nullptr && k->field_type != nullptr && count < DS_MAX_KEY_LEVELS;
             k = parent_of(k))
            levels[count++] = k;
        std::reverse(levels, levels + count);
        bool first = true;
        std::string reason;
        std::string_view keys = data.printed;
        for (size_t i = 0; i < count && i < data.count; ++i) {
            begin_member(first, depth);
            name(node_of(levels[i], reason), module);
            out_ += next_text(keys);
        }
        members(&data, data.node.key, module, depth, first);
        end_object(first, depth);
    }

    // The whole tree: top-level members by module name, then by the module's
    // place in the module list and schema order.
    void
    top(const JoinNode &root)
    {
        std::map<const DsDocSchema *, uint64_t> ranks = top_ranks();
        auto rank = [&ranks](const Node &node) {
            auto it = ranks.find(node.schema);
            return (it != ranks.end() ? it->second : 0) << 32 | node.doc->order;
        };
        std::vector<TopMember> all;
        for (const JoinNode *c = root.first; c != nullptr; c = c->next)
            all.push_back({module_of(c->node), rank(c->node), c, nullptr});
        for (const Default &d : defaults(nullptr))
            if (default_applies(d, &root))
                all.push_back({module_of(d.node), rank(d.node), nullptr, &d});
        std::stable_sort(all.begin(), all.end(), [](const TopMember &a, const TopMember &b) {
            return a.module != b.module ? a.module < b.module : a.rank < b.rank;
        });
        if (all.empty() && !compact_) {
            out_ += "{\n\n}\n";
            return;
        }
        bool first = true;
        for (const TopMember &m : all) {
            begin_member(first, 0);
            name(m.data != nullptr ? m.data->node : m.added->node, nullptr);
            if (m.data != nullptr)
                value(*m.data, 1);
            else
                default_value(*m.added, 1);
        }
        end_object(first, 0);
        if (!compact_)
            out_ += '\n';
    }

    // The body of one node: an object with it as its one member.
    void
    single(const JoinNode *node)
    {
        if (node == nullptr && !compact_) {
            out_ += "{\n\n}\n";
            return;
        }
        bool first = true;
        if (node != nullptr) {
            begin_member(first, 0);
            name(node->node, nullptr);
            value(*node, 1);
        }
        end_object(first, 0);
        if (!compact_)
            out_ += '\n';
    }

    // Appends text as it is.
    void
    text(std::string_view piece)
    {
        out_ += piece;
    }

    void
    newline(int depth)
    {
        if (compact_)
            return;
        out_.new_line(static_cast<size_t>(depth) * 2);
    }

    // A member's name as written below a node of module parent_module (null:
    // at the top), and the colon.
    void
    name(const Node &node, const char *parent_module)
    {
        const char *own = module_of(node);
        out_ += '"';
        if (parent_module == nullptr ||
            (own != parent_module && std::strcmp(own, parent_module) != 0)) {
            out_ += std::string_view(own);
            out_ += ':';
        }
        out_ += std::string_view(node.doc->name);
        if (compact_)
            out_ += "\":";
        else
            out_ += "\": ";
    }

  private:
    void
    begin_member(bool &first, int depth)
    {
        out_ += first ? '{' : ',';
        first = false;
        newline(depth + 1);
    }

    void
    end_object(bool first, int depth)
    {
        if (first) {
            out_ += "{}";
            return;
        }
        newline(depth);
        out_ += '}';
    }

    // The first of the texts and the rest after it.
    static std::string_view
    next_text(std::string_view &texts)
    {
        size_t end = std::min(texts.find('\0'), texts.size());
        std::string_view one = texts.substr(0, end);
        texts.remove_prefix(std::min(end + 1, texts.size()));
        return one;
    }

    void
    texts(std::string_view all, uint32_t count, bool array, int depth)
    {
        if (!array) {
            if (count != 0)
                out_ += next_text(all);
            return;
        }
        out_ += '[';
        for (uint32_t i = 0; i < count; ++i) {
            if (i != 0)
                out_ += ',';
            newline(depth + 1);
            out_ += next_text(all);
        }
        newline(depth);
        out_ += ']';
    }

    // The value of a data node.
    void
    value(const JoinNode &data, int depth)
    {
        switch (data.node.doc->kind) {
        case DS_DOC_LEAF:
            texts(data.printed, data.count, false, depth);
            return;
        case DS_DOC_LEAF_LIST:
            texts(data.printed, data.count, true, depth);
            return;
        case DS_DOC_LIST:
            out_ += '[';
            for (const JoinNode *e = data.first; e != nullptr; e = e->next) {
                if (e != data.first)
                    out_ += ',';
                newline(depth + 1);
                entry(*e, depth + 1);
            }
            newline(depth);
            out_ += ']';
            return;
        default:
            object(&data, data.node.key, module_of(data.node), depth);
        }
    }

    void
    default_value(const Default &d, int depth)
    {
        if (d.container)
            object(nullptr, d.node.key, module_of(d.node), depth);
        else
            texts(d.values, d.count, d.node.doc->kind == DS_DOC_LEAF_LIST, depth);
    }

    // The defaults that validation may add among the children of the schema
    // node parent (null: the top-level nodes), found once per print.
    const std::vector<Default> &
    defaults(const DsKeyNode *parent)
    {
        auto [it, added] = defaults_.try_emplace(parent);
        if (added)
            it->second = defaults_below(parent);
        return it->second;
    }

    // The rank of each module with document data, in the order of the module
    // list: top-level nodes print by module, and validation adds the state
    // defaults of every module, whether the data holds any of its nodes or not.
    static std::map<const DsDocSchema *, uint64_t>
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

    bool compact_;
    PrintedText &out_;
    std::unordered_map<const DsKeyNode *, std::vector<Default>> defaults_;
};

} // namespace

void
PrintedText::grow(size_t n)
{
    size_t capacity = std::max({2 * capacity_, length_ + n + 1, size_t(4096)});
    auto *grown = static_cast<char *>(std::realloc(text_, capacity));
    if (grown == nullptr)
        throw std::bad_alloc();
    text_ = grown;
    capacity_ = capacity;
}

char *
PrintedText::release()
{
    room(1);
    text_[length_] = '\0';
    char *text = text_;
    text_ = nullptr;
    length_ = capacity_ = 0;
    return text;
}

void
print_tree(const JoinNode &root, bool compact, PrintedText &out)
{
    Printer(compact, out).top(root);
}

void
print_body(const JoinNode *node, const Node &at, bool compact, PrintedText &out)
{
    Printer printer(compact, out);
    if (node == nullptr || at.doc->kind != DS_DOC_LIST_KEY) {
        printer.single(node);
        return;
    }
    // A list entry prints as its list holding this one entry.
    const DsKeyNode *k = parent_of(at.key);
    while (k != nullptr && k->field_type != nullptr)
        k = parent_of(k);
    std::string reason;
    Node list = node_of(k, reason);
    printer.text("{");
    printer.newline(1);
    printer.name(list, nullptr);
    printer.text("[");
    printer.newline(2);
    printer.entry(*node, 2);
    printer.newline(1);
    printer.text("]");
    printer.newline(0);
    printer.text(compact ? "}" : "}\n");
}

} // namespace doc
