// dstool tree: the key forest of each loaded module drawn as a YANG tree
// diagram (RFC 8340), the picture that yanglint -f tree and pyang draw. A
// module that dsgen made exports its YANG data ("ds_doc_schema"): config
// (rw) or state (ro), lists with their keys, optional leaves, leaf-lists,
// presence containers, choices and cases, and the order YANG tools print
// in. A list's key levels become its key leaves, as in YANG. A hand-written
// module is drawn as its levels: literal levels by name, typed levels as
// [name: type]. Every leaf shows its type and packed size.
#include "dstool.h"
#include "dstypes_doc_schema.h"
#include "keys/keys.h"
#include "registry/registry.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace dstool
{

namespace
{

constexpr size_t kMaxDepth = 64; // levels drawn, at most

// One line of the diagram with the lines below it.
struct Line {
    std::string head;    // flags, name and marks: "rw interface* [name]"
    std::string type;    // the type column; empty for none
    uint64_t order = 0;  // place among its siblings
    std::string choices; // the choices and cases it sits in below its parent
    std::string module;  // the YANG module of a top-level line
    bool choice = false; // a choice's line, with its cases below
    std::vector<Line> children;

    Line(std::string head_text, std::string type_text)
        : head(std::move(head_text)), type(std::move(type_text))
    {
    }
};

struct Forest {
    KeyForest keys;
    std::vector<uint8_t> links;
    const DsDocSchema *doc = nullptr;
};

std::string
type_column(const DsType *type)
{
    if (type == nullptr)
        return "";
    return type_label(type) + ", " + std::to_string(type->size) +
           (type->size == 1 ? " byte" : " bytes");
}

Forest
forest_of(const DsModule *module)
{
    Forest forest;
    size_t count = module->keys != nullptr ? reg_symbol_size(module->keys) / sizeof(DsKeyNode) : 0;
    if (count == 0 || count > UINT32_MAX)
        return forest;
    forest.links.resize(count);
    if (!keys_check_links(module->keys, static_cast<uint32_t>(count), forest.links.data(), nullptr,
                          nullptr))
        throw std::bad_alloc();
    forest.keys = KeyForest{module->keys, static_cast<uint32_t>(count), forest.links.data()};
    const auto *doc = static_cast<const DsDocSchema *>(dlsym(module->handle, "ds_doc_schema"));
    if (doc != nullptr && reg_symbol_size(doc) >= sizeof(DsDocSchema) && doc->version >= 1 &&
        doc->node_count == count && doc->nodes != nullptr)
        forest.doc = doc;
    return forest;
}

class TreeBuilder
{
  public:
    explicit TreeBuilder(const Forest &forest) : f_(forest) {}

    // The lines below node (or the top-level lines for null), in print order.
    std::vector<Line>
    children(const DsKeyNode *node, size_t depth)
    {
        std::vector<Line> out;
        if (depth >= kMaxDepth)
            return out;
        const DsKeyNode *child = node != nullptr ? f_.keys.first_child(node) : f_.keys.nodes;
        for (; child != nullptr; child = f_.keys.next_sibling(child))
            add_line(child, depth, out);
        if (f_.doc != nullptr)
            std::stable_sort(out.begin(), out.end(),
                             [](const Line &a, const Line &b) { return a.order < b.order; });
        return out;
    }

  private:
    const DsDocNode &
    doc(const DsKeyNode *node) const
    {
        return f_.doc->nodes[node - f_.keys.nodes];
    }

    void
    add_line(const DsKeyNode *node, size_t depth, std::vector<Line> &out)
    {
        if (f_.doc == nullptr) {
            Line line{node->field_type != nullptr ? "[" + std::string(name(node)) + ": " +
                                                        type_label(node->field_type) + "]"
                                                  : name(node),
                      type_column(node->leaf_type)};
            line.children = children(node, depth + 1);
            out.push_back(std::move(line));
            return;
        }
        const DsDocNode &d = doc(node);
        // Below "module: NAME" a top-level node goes without its module.
        const char *shown = depth == 0 && d.name != nullptr ? d.name : name(node);
        Line line{std::string((d.flags & DS_DOC_CONFIG) ? "rw " : "ro ") + shown, ""};
        line.order = d.order;
        line.choices = d.choices != nullptr ? d.choices : "";
        line.module = d.module < f_.doc->module_count ? f_.doc->modules[d.module] : "";
        if (d.kind == DS_DOC_LIST)
            return out.push_back(list_line(node, std::move(line), depth));
        if (d.kind == DS_DOC_PRESENCE)
            line.head += "!";
        if (d.kind == DS_DOC_LEAF_LIST)
            line.head += "*";
        if (d.kind == DS_DOC_LEAF && (d.flags & DS_DOC_MANDATORY) == 0)
            line.head += "?";
        line.type = type_column(node->leaf_type);
        line.children = children(node, depth + 1);
        out.push_back(std::move(line));
    }

    // A list and its key levels: "rw name* [k1 k2]", the keys as its first
    // leaves, then the members below its last key level (below the position
    // level of a keyless list, which YANG does not have).
    Line
    list_line(const DsKeyNode *list, Line line, size_t depth)
    {
        const DsDocNode &d = doc(list);
        uint32_t levels = d.key_count == 0 ? 1 : d.key_count;
        const DsKeyNode *last = list;
        std::string names;
        for (uint32_t i = 0; i < levels; ++i) {
            const DsKeyNode *level = f_.keys.first_child(last);
            if (level == nullptr || level->field_type == nullptr ||
                doc(level).kind != DS_DOC_LIST_KEY)
                break;
            last = level;
            if (d.key_count == 0)
                break;
            const DsDocNode &k = doc(level);
            names += names.empty() ? "" : " ";
            names += k.name != nullptr ? k.name : "";
            Line key{std::string((k.flags & DS_DOC_CONFIG) ? "rw " : "ro ") + name(level),
                     type_column(level->field_type)};
            key.order = k.key_index;
            line.children.push_back(std::move(key));
        }
        line.head += names.empty() ? "*" : "* [" + names + "]";
        if (last == list)
            return line;
        for (Line &member : children(last, depth + 1))
            line.children.push_back(std::move(member));
        return line;
    }

    static const char *
    name(const DsKeyNode *node)
    {
        return node->name != nullptr ? node->name : "(no name)";
    }

    const Forest &f_;
};

// Choices and cases become lines of their own between a parent and the
// nodes in them, as YANG tools draw them: "rw (choice)?" and ":(case)".
// lines' own children are grouped already.
std::vector<Line>
group_choices(std::vector<Line> lines)
{
    std::vector<Line> out;
    for (Line &line : lines) {
        if (line.choices.empty()) {
            out.push_back(std::move(line));
            continue;
        }
        std::string path = std::move(line.choices);
        size_t cut = std::min(path.find('/'), path.size());
        size_t next = std::min(path.find('/', std::min(cut + 1, path.size())), path.size());
        std::string choice = path.substr(0, cut);
        std::string ccase =
            ":(" + path.substr(std::min(cut + 1, path.size()), next - cut - 1) + ")";
        line.choices = next < path.size() ? path.substr(next + 1) : "";
        bool mandatory = !choice.empty() && choice.back() == '!';
        if (mandatory)
            choice.pop_back();
        std::string head = line.head.substr(0, 3) + "(" + choice + ")" + (mandatory ? "" : "?");
        if (out.empty() || !out.back().choice || out.back().head != head) {
            out.emplace_back(head, "");
            out.back().order = line.order;
            out.back().module = line.module;
            out.back().choice = true;
        }
        std::vector<Line> &cases = out.back().children;
        if (cases.empty() || cases.back().head != ccase)
            cases.emplace_back(ccase, "");
        cases.back().children.push_back(std::move(line));
    }
    for (Line &line : out) {
        if (!line.choice)
            continue;
        for (Line &ccase : line.children)
            ccase.children = group_choices(std::move(ccase.children));
    }
    return out;
}

std::vector<Line>
with_choices(std::vector<Line> lines)
{
    for (Line &line : lines)
        line.children = with_choices(std::move(line.children));
    return group_choices(std::move(lines));
}

void
draw(const std::vector<Line> &lines, const std::string &prefix, std::string &out)
{
    size_t width = 0;
    for (const Line &line : lines)
        width = std::max(width, line.head.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line &line = lines[i];
        out += prefix + "+--" + line.head;
        if (!line.type.empty())
            out += std::string(width - line.head.size() + 3, ' ') + line.type;
        out += "\n";
        draw(line.children, prefix + (i + 1 < lines.size() ? "|  " : "   "), out);
    }
}

json_object *
lines_json(const std::vector<Line> &lines)
{
    JsonPtr array = json_array_or_throw();
    for (const Line &line : lines) {
        JsonPtr node = json_object_or_throw();
        json_set(node.get(), "node", line.head);
        json_set(node.get(), "type",
                 json_text_or_null(line.type.empty() ? nullptr : line.type.c_str()));
        json_set(node.get(), "children", lines_json(line.children));
        json_append(array.get(), node.release());
    }
    return array.release();
}

using Section = std::pair<std::string, std::vector<Line>>; // "module: NAME" and its lines

// The top-level lines by YANG module, modules by name, as YANG tools print;
// a hand-written module is one section named after its file.
std::vector<Section>
module_sections(const DsModule *module)
{
    Forest forest = forest_of(module);
    if (forest.keys.nodes == nullptr)
        return {};
    std::vector<Line> top = TreeBuilder(forest).children(nullptr, 0);
    if (forest.doc == nullptr)
        return {Section{module_name(module), std::move(top)}};
    std::map<std::string, std::vector<Line>> by_module;
    for (Line &line : top)
        by_module[line.module].push_back(std::move(line));
    std::vector<Section> out;
    for (auto &[name, lines] : by_module)
        out.emplace_back(name, with_choices(std::move(lines)));
    return out;
}

} // namespace

int
cmd_tree(const Invocation &inv)
{
    const DsModule *only = selected_module(inv);
    std::string text;
    JsonPtr json = json_array_or_throw();
    for (const DsModule *m = loaded_modules(); m != nullptr; m = m->next) {
        if ((only != nullptr && m != only) || m->keys == nullptr)
            continue;
        for (const Section &section : module_sections(m)) {
            text += text.empty() ? "module: " : "\nmodule: ";
            text += section.first;
            text += '\n';
            draw(section.second, "  ", text);
            JsonPtr entry = json_object_or_throw();
            json_set(entry.get(), "module", section.first);
            json_set(entry.get(), "file", module_name(m));
            json_set(entry.get(), "nodes", lines_json(section.second));
            json_append(json.get(), entry.release());
        }
    }
    if (inv.has("--json"))
        print_json(json.get());
    else
        print(text);
    return kStatusOk;
}

} // namespace dstool
