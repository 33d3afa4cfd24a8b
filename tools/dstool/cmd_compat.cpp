// dstool compat OLD.so NEW.so: whether a new revision of a schema module
// still reads every value that the old one stored. Both files are opened
// side by side (RTLD_LOCAL, so that their same-named symbols stay apart) and
// read through their own symbols, never through the module list, which only
// knows the module directory. Every key of OLD is paired with the key of
// the same name in NEW; its typed levels and its leaf type are compared
// (compat_types.cpp), and so is the YANG data where both export it
// (compat_doc.cpp). One line per changed key, grouped breaking and
// compatible; exit 1 when anything breaks.
#include "compat.h"
#include "keys/keys.h"
#include "registry/registry.h"

#include <dlfcn.h>

#include <unordered_map>

namespace dstool
{

namespace
{

// Keys deeper than this are not compared (the library's level lists hold 32).
constexpr size_t kMaxLevels = 64;

struct Key {
    std::string name; // as ds_key_name writes it: typed levels as "*"
    const DsKeyNode *node;
    std::vector<const DsKeyNode *> levels; // top first
    uint32_t index;                        // record of "ds_keys"
};

struct Module {
    std::string path;
    const DsDocSchema *doc = nullptr; // null when the module exports none we read
    std::vector<Key> keys;            // in pre-order
    std::vector<std::string> cut;     // keys whose children lie too deep
    std::vector<uint8_t> links;       // link flags of the forest
};

void
walk(const KeyForest &forest, const DsKeyNode *first, const Key *parent, Module &out)
{
    for (const DsKeyNode *node = first; node != nullptr; node = forest.next_sibling(node)) {
        Key key{parent != nullptr ? parent->name : "", node,
                parent != nullptr ? parent->levels : std::vector<const DsKeyNode *>{},
                static_cast<uint32_t>(node - forest.nodes)};
        key.name += "/";
        key.name += node->field_type != nullptr ? "*" : node->name != nullptr ? node->name : "";
        key.levels.push_back(node);
        const DsKeyNode *child = forest.first_child(node);
        if (child != nullptr && key.levels.size() >= kMaxLevels)
            out.cut.push_back(key.name);
        out.keys.push_back(key);
        if (child != nullptr && key.levels.size() < kMaxLevels)
            walk(forest, child, &key, out);
    }
}

// The YANG data, when the module exports it in a version this tool reads
// and with one record per key node.
const DsDocSchema *
doc_schema(void *handle, size_t key_count)
{
    const auto *doc = static_cast<const DsDocSchema *>(dlsym(handle, "ds_doc_schema"));
    if (doc == nullptr || reg_symbol_size(doc) < sizeof(DsDocSchema) || doc->version < 1 ||
        doc->node_count != key_count || doc->nodes == nullptr)
        return nullptr;
    return doc;
}

Module
open_module(const std::string &path)
{
    std::string open_path = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void *handle = dlopen(open_path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *reason = dlerror();
        fail(kStatusUsage, path, std::string("does not open: ") + (reason ? reason : "unknown"));
    }
    Module module;
    module.path = path;
    const auto *nodes = static_cast<const DsKeyNode *>(dlsym(handle, "ds_keys"));
    size_t count = nodes != nullptr ? reg_symbol_size(nodes) / sizeof(DsKeyNode) : 0;
    if (count == 0 || count > UINT32_MAX)
        return module;
    module.links.resize(count);
    auto records = static_cast<uint32_t>(count);
    if (!keys_check_links(nodes, records, module.links.data(), nullptr, nullptr))
        throw std::bad_alloc();
    walk(KeyForest{nodes, records, module.links.data()}, nodes, nullptr, module);
    module.doc = doc_schema(handle, count);
    // The module stays open: its descriptors are read until the tool exits.
    return module;
}

// A key's name with each run of typed levels written "+": keys that differ
// only in how many values their list takes have the same shape.
std::string
shape(const Key &key)
{
    std::string out;
    bool typed_run = false;
    for (const DsKeyNode *level : key.levels) {
        if (level->field_type != nullptr && typed_run)
            continue;
        typed_run = level->field_type != nullptr;
        out += '/';
        out += typed_run ? "+" : level->name != nullptr ? level->name : "";
    }
    return out;
}

std::string
typed_names(const Key &key)
{
    std::string out;
    for (const DsKeyNode *level : key.levels) {
        if (level->field_type != nullptr)
            out += (out.empty() ? "" : ", ") +
                   std::string(level->name != nullptr ? level->name : "(no name)");
    }
    return out.empty() ? "none" : out;
}

const DsDocValue *
doc_value(const Module &module, const Key &key)
{
    return module.doc != nullptr ? module.doc->nodes[key.index].value : nullptr;
}

// How the old key's stored values read under the new key of the same name.
Changes
compare_keys(const Module &om, const Key &o, const Module &nm, const Key &n, TypeComparer &types)
{
    Changes out;
    for (size_t i = 0; i < o.levels.size(); ++i) {
        const DsKeyNode *ol = o.levels[i], *nl = n.levels[i];
        if (ol->field_type == nullptr || nl->field_type == nullptr)
            continue;
        std::string where = "level " + std::to_string(i + 1) + " (" +
                            (ol->name != nullptr ? printable(ol->name, 60) : "(no name)") + ")";
        add_changes(out, types.compare(ol->field_type, nl->field_type), where);
    }
    const DsType *ot = o.node->leaf_type, *nt = n.node->leaf_type;
    if (ot == nullptr && nt != nullptr)
        out.push_back(Change{false, "", "now stores a value"});
    else if (ot != nullptr && nt == nullptr)
        out.push_back(Change{true, "", "stores no value any more"});
    else if (ot != nullptr)
        add_changes(out, types.compare(ot, nt), "leaf");
    add_changes(out, types.compare_doc(doc_value(om, o), doc_value(nm, n)), "leaf");
    return out;
}

struct Report {
    // key name -> the texts of its changes, in the order keys were met
    std::vector<std::pair<std::string, std::vector<std::string>>> breaking, compatible;

    void
    add(const std::string &key, const Changes &changes)
    {
        std::vector<std::string> broken, kept;
        for (const Change &change : changes) {
            std::string text =
                change.where.empty() ? change.what : change.where + ": " + change.what;
            (change.breaking ? broken : kept).push_back(text);
        }
        if (!broken.empty())
            breaking.emplace_back(key, broken);
        if (!kept.empty())
            compatible.emplace_back(key, kept);
    }
};

Report
compare_modules(const Module &om, const Module &nm)
{
    std::unordered_map<std::string, size_t> by_name, by_shape;
    for (size_t i = 0; i < nm.keys.size(); ++i) {
        by_name.emplace(nm.keys[i].name, i);
        by_shape.emplace(shape(nm.keys[i]), i);
    }
    std::vector<bool> paired(nm.keys.size());
    TypeComparer types;
    Report report;
    for (const Key &o : om.keys) {
        auto found = by_name.find(o.name);
        if (found != by_name.end()) {
            paired[found->second] = true;
            report.add(o.name, compare_keys(om, o, nm, nm.keys[found->second], types));
            continue;
        }
        auto similar = by_shape.find(shape(o));
        if (similar != by_shape.end() && !paired[similar->second]) {
            const Key &n = nm.keys[similar->second];
            paired[similar->second] = true;
            report.add(o.name, {Change{true, "",
                                       "now " + n.name + ": typed levels " + typed_names(o) +
                                           " -> " + typed_names(n)}});
            continue;
        }
        report.add(o.name, {Change{true, "", "removed"}});
    }
    for (const std::string &name : om.cut)
        report.add(name, {Change{true, "",
                                 "keys below lie deeper than " + std::to_string(kMaxLevels) +
                                     " levels: not compared"}});
    for (size_t i = 0; i < nm.keys.size(); ++i) {
        if (!paired[i])
            report.add(nm.keys[i].name, {Change{false, "", "added"}});
    }
    return report;
}

std::string
verdict(const Report &report)
{
    std::string counts = " (" + std::to_string(report.breaking.size()) + " breaking, " +
                         std::to_string(report.compatible.size()) + " compatible)";
    if (!report.breaking.empty())
        return "breaking" + counts;
    return report.compatible.empty() ? "unchanged" : "compatible" + counts;
}

std::string
group_text(const char *title,
           const std::vector<std::pair<std::string, std::vector<std::string>>> &rows)
{
    if (rows.empty())
        return "";
    std::string text = std::string(title) + ":\n";
    for (const auto &[key, changes] : rows) {
        text += "  " + key + ":";
        for (size_t i = 0; i < changes.size(); ++i)
            text += (i == 0 ? " " : "; ") + changes[i];
        text += "\n";
    }
    return text;
}

json_object *
group_json(const std::vector<std::pair<std::string, std::vector<std::string>>> &rows)
{
    JsonPtr array = json_array_or_throw();
    for (const auto &[key, changes] : rows) {
        JsonPtr row = json_object_or_throw();
        json_set(row.get(), "key", key);
        JsonPtr list = json_array_or_throw();
        for (const std::string &change : changes)
            json_append(list.get(), json_text_or_null(change.c_str()));
        json_set(row.get(), "changes", list.release());
        json_append(array.get(), row.release());
    }
    return array.release();
}

} // namespace

int
cmd_compat(const Invocation &inv)
{
    Module om = open_module(inv.args[0]);
    Module nm = open_module(inv.args[1]);
    Report report = compare_modules(om, nm);
    std::string word = verdict(report);
    if (inv.has("--json")) {
        JsonPtr out = json_object_or_throw();
        json_set(out.get(), "old", inv.args[0]);
        json_set(out.get(), "new", inv.args[1]);
        json_set(out.get(), "breaking", group_json(report.breaking));
        json_set(out.get(), "compatible", group_json(report.compatible));
        json_set(out.get(), "verdict", word.substr(0, word.find(' ')));
        print_json(out.get());
    } else {
        print(group_text("breaking", report.breaking) +
              group_text("compatible", report.compatible) + "verdict: " + word + "\n");
    }
    return report.breaking.empty() ? kStatusOk : kStatusFailed;
}

} // namespace dstool
