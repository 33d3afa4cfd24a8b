// ds_doc_split held against libyang 2 on the IETF models (ietf-interfaces
// with ietf-ip and iana-if-type, ietf-system, ietf-hardware with
// iana-hardware, ietf-routing), compiled by dsgen into doc_ietf.so.
// Documents are written from libyang's compiled schema with random values
// that libyang takes, then mutated (a value, a member name, a JSON type, a
// list key); split must accept exactly what libyang's strict, validated
// parse accepts, but for the constraints that need the whole tree and the
// values the library cannot hold, and its entries must carry the values
// that libyang's tree holds, canonical.
#include "document/doc.h"
#include "dstypes_doc.h"
#include "tests/dsgen/levels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>

namespace
{

struct ly_ctx *
context()
{
    static struct ly_ctx *ctx =
        all_features_context(DOC_SEARCH_DIRS, DOC_YANG_FILES, LY_LOSTORE_LAST);
    return ctx;
}

using Json = doc::JsonPtr;

// A leaf member written into a document, for the mutations.
struct Spot {
    json_object *parent;
    std::string name;
    const struct lysc_node *node;
    bool key;
};

// Writes random documents of the models from libyang's compiled schema.
class Writer
{
  public:
    explicit Writer(unsigned seed) : random_(seed) {}
    std::vector<Spot> leaves;
    std::vector<json_object *> objects;
    std::vector<std::pair<json_object *, const struct lysc_node *>> entries; // list arrays

    Json
    document()
    {
        leaves.clear();
        objects.clear();
        entries.clear();
        Json top(json_object_new_object());
        objects.push_back(top.get());
        uint32_t index = 0;
        const struct lys_module *module = nullptr;
        while ((module = ly_ctx_get_module_iter(context(), &index)) != nullptr)
            if (module->implemented &&
                std::string(DOC_YANG_FILES).find(std::string("/") + module->name + "@") !=
                    std::string::npos)
                children(top.get(), nullptr, module);
        return top;
    }

    // A JSON value of a libyang type that it takes for node, or null.
    json_object *
    value(const struct lysc_node *node, bool valid_only)
    {
        static std::map<std::pair<const struct lysc_node *, bool>, std::vector<std::string>> cache;
        std::vector<std::string> &picks = cache[{node, valid_only}];
        std::set<std::string> samples;
        if (picks.empty())
            add_type_samples(yang_type(node), samples);
        for (const std::string &text : samples) {
            // Base documents keep to what the library holds: short texts,
            // integers up to 2^63-1.
            bool holdable = text.size() <= 40 && text != "9223372036854775808" &&
                            text != "18446744073709551615";
            if (!valid_only ||
                (holdable && lyd_value_validate(context(), node, text.c_str(), text.size(), nullptr,
                                                nullptr, nullptr) == LY_SUCCESS))
                picks.push_back(text);
        }
        if (picks.empty())
            return nullptr;
        const std::string &text = picks[random_() % picks.size()];
        switch (yang_type(node)->basetype) {
        case LY_TYPE_EMPTY: {
            json_object *array = json_object_new_array();
            json_object_array_add(array, nullptr);
            return array;
        }
        case LY_TYPE_BOOL:
            return text == "true" || text == "false" ? json_object_new_boolean(text == "true")
                                                     : json_object_new_string(text.c_str());
        case LY_TYPE_INT8:
        case LY_TYPE_INT16:
        case LY_TYPE_INT32:
        case LY_TYPE_UINT8:
        case LY_TYPE_UINT16:
        case LY_TYPE_UINT32: {
            Json number(json_tokener_parse(text.c_str()));
            return number != nullptr ? number.release() : json_object_new_string(text.c_str());
        }
        default:
            return json_object_new_string(text.c_str());
        }
    }

  private:
    bool
    coin(unsigned percent)
    {
        return random_() % 100 < percent;
    }

    static std::string
    name_of(const struct lysc_node *node)
    {
        const struct lysc_node *up = lysc_data_parent(node);
        if (up == nullptr || up->module != node->module)
            return std::string(node->module->name) + ":" + node->name;
        return node->name;
    }

    void
    children(json_object *object, const struct lysc_node *parent, const struct lys_module *module,
             bool force = false)
    {
        const struct lysc_node *node = nullptr;
        while ((node = lys_getnext(node, parent, module != nullptr ? module->compiled : nullptr,
                                   LYS_GETNEXT_WITHCHOICE)) != nullptr)
            member(object, node, force);
    }

    void
    member(json_object *object, const struct lysc_node *node, bool force = false)
    {
        bool mandatory = force || (node->flags & LYS_MAND_TRUE) != 0;
        if (lysc_node_when(node) != nullptr || (node->flags & LYS_STATUS_DEPRC) != 0)
            return;
        switch (node->nodetype) {
        case LYS_CHOICE: {
            // Cases in a random order until one gives data: a mandatory
            // choice must have some.
            const struct lysc_node_case *each = ((const struct lysc_node_choice *)node)->cases;
            std::vector<const struct lysc_node *> all;
            for (const struct lysc_node *k = &each->node; k != nullptr; k = k->next)
                if (lysc_node_when(k) == nullptr)
                    all.push_back(k);
            std::shuffle(all.begin(), all.end(), random_);
            if (!mandatory && !coin(60))
                return;
            for (const struct lysc_node *k : all) {
                int before = json_object_object_length(object);
                children(object, k, nullptr, mandatory);
                if (json_object_object_length(object) > before)
                    return;
            }
            return;
        }
        case LYS_CASE:
            children(object, node, nullptr);
            return;
        case LYS_CONTAINER: {
            if ((node->flags & LYS_PRESENCE) && !coin(70))
                return;
            Json inner(json_object_new_object());
            objects.push_back(inner.get());
            children(inner.get(), node, nullptr);
            if ((node->flags & LYS_PRESENCE) || json_object_object_length(inner.get()) > 0)
                json_object_object_add(object, name_of(node).c_str(), inner.release());
            else
                objects.pop_back();
            return;
        }
        case LYS_LIST:
            return list(object, node);
        case LYS_LEAF:
        case LYS_LEAFLIST: {
            bool leafref = ((const struct lysc_node_leaf *)node)->type->basetype == LY_TYPE_LEAFREF;
            if (!lysc_is_key(node) && !mandatory && (leafref || !coin(60)))
                return;
            json_object *one = value(node, true);
            if (one == nullptr)
                return;
            if (node->nodetype == LYS_LEAFLIST) {
                json_object *array = json_object_new_array();
                json_object_array_add(array, one);
                one = array;
            }
            json_object_object_add(object, name_of(node).c_str(), one);
            leaves.push_back({object, name_of(node), node, lysc_is_key(node)});
            return;
        }
        default:
            return;
        }
    }

    void
    list(json_object *object, const struct lysc_node *node)
    {
        size_t count = 1 + random_() % 3;
        Json array(json_object_new_array());
        std::set<std::string> keys_seen;
        for (size_t i = 0; i < count; ++i) {
            Json entry(json_object_new_object());
            size_t before = leaves.size(), objects_before = objects.size(),
                   entries_before = entries.size();
            objects.push_back(entry.get());
            children(entry.get(), node, nullptr);
            std::string keys;
            for (size_t j = before; j < leaves.size(); ++j)
                if (leaves[j].key && leaves[j].parent == entry.get())
                    keys += json_object_to_json_string(
                        json_object_object_get(entry.get(), leaves[j].name.c_str()));
            if (!keys_seen.insert(keys).second && !(node->flags & LYS_KEYLESS)) {
                leaves.resize(before);
                objects.resize(objects_before);
                entries.resize(entries_before);
                continue;
            }
            json_object_array_add(array.get(), entry.release());
        }
        entries.emplace_back(array.get(), node);
        json_object_object_add(object, name_of(node).c_str(), array.release());
    }

    std::mt19937 random_;
};

std::string
text_of(json_object *jo)
{
    return json_object_to_json_string_ext(jo,
                                          JSON_C_TO_STRING_PLAIN | JSON_C_TO_STRING_NOSLASHESCAPE);
}

// libyang's verdict: empty when it takes the text, else its message.
std::string
libyang_refusal(const std::string &text, struct lyd_node **tree)
{
    struct lyd_node *parsed = nullptr;
    LY_ERR rc = lyd_parse_data_mem(context(), text.c_str(), LYD_JSON, LYD_PARSE_STRICT, 0, &parsed);
    if (tree != nullptr)
        *tree = parsed;
    else
        lyd_free_all(parsed);
    if (rc == LY_SUCCESS)
        return "";
    const char *message = ly_errmsg(context());
    return message != nullptr ? message : "refused";
}

int
count_entry(const DsDocEntry *, void *arg)
{
    ++*static_cast<size_t *>(arg);
    return 0;
}

// The split's verdict: empty when it takes the text, else where and why.
std::string
split_refusal(const std::string &text, size_t &entries)
{
    DsDocError *error = nullptr;
    entries = 0;
    int rc = ds_doc_split(text.data(), text.size(), nullptr, count_entry, &entries, &error);
    std::string out =
        rc == 0 ? "" : std::string(ds_doc_error_where(error)) + ": " + ds_doc_error_reason(error);
    ds_doc_error_free(error);
    return out;
}

bool
whole_tree_rule(const std::string &message)
{
    for (const char *rule : {"Mandatory", "When condition", "leafref", "Must condition", "Too few",
                             "instance-required", "required instance"})
        if (message.find(rule) != std::string::npos)
            return true;
    return false;
}

bool
beyond_library(const std::string &reason)
{
    return reason.find("the library holds") != std::string::npos ||
           reason.find("library's text cannot hold") != std::string::npos ||
           reason.find("more than the library's double") != std::string::npos;
}

// --- Mutations ---

std::string
mutate(Writer &writer, json_object *doc, std::mt19937 &pick)
{
    if (writer.leaves.empty())
        return "";
    Spot &spot = writer.leaves[pick() % writer.leaves.size()];
    json_object *now = json_object_object_get(spot.parent, spot.name.c_str());
    switch (pick() % 6) {
    case 0: { // a changed value (or a changed list key)
        json_object *other = writer.value(spot.node, false);
        if (other == nullptr)
            return "";
        if (spot.node->nodetype == LYS_LEAFLIST) {
            json_object *array = json_object_new_array();
            json_object_array_add(array, other);
            other = array;
        }
        json_object_object_add(spot.parent, spot.name.c_str(), other);
        break;
    }
    case 1: // an unknown member
        json_object_object_add(writer.objects[pick() % writer.objects.size()], "bogus",
                               json_object_new_int(1));
        break;
    case 2: // a misspelt member
        json_object_object_add(spot.parent, (spot.name + "x").c_str(), json_object_get(now));
        json_object_object_del(spot.parent, spot.name.c_str());
        break;
    case 3: { // a wrong JSON type
        json_type type = json_object_get_type(now);
        json_object *other = type == json_type_string ? json_object_new_int(7)
                             : type == json_type_int  ? json_object_new_string(text_of(now).c_str())
                             : type == json_type_boolean ? json_object_new_string("true")
                                                         : json_object_new_string("");
        json_object_object_add(spot.parent, spot.name.c_str(), other);
        break;
    }
    case 4: // a missing list key, or a missing leaf
        json_object_object_del(spot.parent, spot.name.c_str());
        break;
    default: { // a list entry that repeats its neighbour's keys
        if (writer.entries.empty())
            return "";
        json_object *array = writer.entries[pick() % writer.entries.size()].first;
        size_t length = json_object_array_length(array);
        if (length == 0)
            return "";
        json_object *entry = json_object_array_get_idx(array, pick() % length);
        json_object_array_add(array, json_tokener_parse(text_of(entry).c_str()));
        break;
    }
    }
    return text_of(doc);
}

// --- Entries against libyang's tree ---

struct Entry {
    std::string path;
    const DsKeyNode *key;
    std::vector<unsigned char> value;
};

int
keep_entry(const DsDocEntry *entry, void *arg)
{
    const auto *bytes = static_cast<const unsigned char *>(entry->value);
    static_cast<std::vector<Entry> *>(arg)->push_back(
        {std::string(entry->path, entry->path_len), entry->key,
         std::vector<unsigned char>(bytes, bytes + entry->value_len)});
    return 0;
}

std::vector<std::string>
components(const std::string &path)
{
    std::vector<std::string> out;
    std::string part;
    bool quoted = false;
    for (size_t i = 1; i < path.size(); ++i) {
        char c = path[i];
        if (c == '/' && !quoted) {
            out.push_back(part);
            part.clear();
            continue;
        }
        part += c;
        if (c == '"')
            quoted = !quoted;
        else if (quoted && c == '\\')
            part += path[++i];
    }
    out.push_back(part);
    return out;
}

// A value in the library's JSON form as the document writes it.
std::string
document_text(const DsKeyNode *key, json_object *library)
{
    std::string reason;
    doc::Node node = doc::node_of(key, reason);
    doc::Scalar scalar;
    EXPECT_TRUE(doc::library_to_scalar(*node.doc->value, library, scalar, reason)) << reason;
    return scalar.text;
}

// The libyang data path of an entry's key path.
std::string
data_path(const Entry &entry)
{
    const DsKeyNode *levels[32];
    uint32_t depth = ds__get_key_levels(entry.key, levels, 32);
    std::vector<std::string> parts = components(entry.path);
    std::string out;
    for (uint32_t i = 0; i < depth; ++i) {
        if (levels[i]->field_type == nullptr) {
            out += "/" + parts[i];
            continue;
        }
        std::string reason;
        doc::Node node = doc::node_of(levels[i], reason);
        if (node.doc->value == nullptr) {
            out += "[" + parts[i] + "]";
            continue;
        }
        Json library(json_tokener_parse(parts[i].c_str()));
        std::string text = document_text(levels[i], library.get());
        char quote = text.find('\'') == std::string::npos ? '\'' : '"';
        out += "[" + std::string(node.doc->name) + "=" + quote + text + quote + "]";
    }
    return out;
}

size_t
libyang_entries(const struct lyd_node *tree)
{
    size_t count = 0;
    for (const struct lyd_node *top = tree; top != nullptr; top = top->next) {
        const struct lyd_node *node;
        LYD_TREE_DFS_BEGIN(top, node)
        {
            const struct lysc_node *s = node->schema;
            bool counted = (s->nodetype == LYS_LIST) ||
                           (s->nodetype == LYS_CONTAINER && (s->flags & LYS_PRESENCE)) ||
                           (s->nodetype == LYS_LEAF && !lysc_is_key(s)) ||
                           (s->nodetype == LYS_LEAFLIST &&
                            (node->prev->next == nullptr || node->prev->schema != s));
            count += counted && !(node->flags & LYD_DEFAULT);
            LYD_TREE_DFS_END(top, node);
        }
    }
    return count;
}

// The node at a data path; for a leaf-list (which a path names only with
// a value) the first instance below the parent's path.
struct lyd_node *
find_node(const struct lyd_node *tree, const std::string &path)
{
    struct lyd_node *found = nullptr;
    if (lyd_find_path(tree, path.c_str(), 0, &found) == LY_SUCCESS)
        return found;
    size_t slash = path.rfind('/');
    std::string name = path.substr(slash + 1);
    name = name.substr(name.find(':') + 1);
    struct lyd_node *parent = nullptr;
    if (slash > 0 && lyd_find_path(tree, path.substr(0, slash).c_str(), 0, &parent) != LY_SUCCESS)
        return nullptr;
    const struct lyd_node *first = slash > 0 ? lyd_child(parent) : tree;
    for (const struct lyd_node *n = first; n != nullptr; n = n->next)
        if (name == n->schema->name)
            return const_cast<struct lyd_node *>(n);
    return nullptr;
}

size_t
compare_entries(const std::string &text, const struct lyd_node *tree)
{
    std::vector<Entry> entries;
    ds_doc_split(text.data(), text.size(), nullptr, keep_entry, &entries, nullptr);
    EXPECT_EQ(entries.size(), libyang_entries(tree)) << text;
    for (const Entry &entry : entries) {
        std::string path = data_path(entry);
        struct lyd_node *found = find_node(tree, path);
        EXPECT_NE(found, nullptr) << path;
        if (found == nullptr || entry.value.empty())
            continue;
        const DsType *type = ds_key_leaf_type(entry.key);
        Json library(ds_c_to_jo(type, entry.value.data(), entry.value.size()));
        EXPECT_NE(library, nullptr) << path;
        if (library == nullptr)
            continue;
        if (found->schema->nodetype == LYS_LEAF) {
            EXPECT_EQ(document_text(entry.key, library.get()), lyd_get_value(found)) << path;
            continue;
        }
        size_t i = 0;
        for (const struct lyd_node *n = found; n != nullptr && n->schema == found->schema;
             n = n->next, ++i) {
            if (i >= json_object_array_length(library.get()))
                break;
            EXPECT_EQ(document_text(entry.key, json_object_array_get_idx(library.get(), i)),
                      lyd_get_value(n))
                << path;
        }
        EXPECT_EQ(i, json_object_array_length(library.get())) << path;
    }
    return entries.size();
}

} // namespace

TEST(IetfSplit, AcceptsWhatLibyangAcceptsAndHoldsItsValues)
{
    setenv("TZ", "UTC", 1);
    tzset();
    size_t documents = 0, entries_compared = 0, mutations = 0, agreed = 0;
    std::map<std::string, size_t> exempt;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        Writer writer(seed);
        Json doc = writer.document();
        std::string text = text_of(doc.get());
        struct lyd_node *tree = nullptr;
        std::string ly = libyang_refusal(text, &tree);
        size_t entries = 0;
        std::string ours = split_refusal(text, entries);
        if (!ly.empty()) {
            ++exempt["base document outside scope: " + ly.substr(0, 40)];
            continue;
        }
        ++documents;
        if (!ours.empty() && beyond_library(ours)) {
            ++exempt["the library cannot hold a value"];
            lyd_free_all(tree);
            continue;
        }
        EXPECT_EQ(ours, "") << text;
        entries_compared += compare_entries(text, tree);
        lyd_free_all(tree);
        for (unsigned m = 0; m < 30; ++m) {
            Json copy(json_tokener_parse(text.c_str()));
            Writer again(seed);
            Json fresh = again.document(); // the same document, its spots in reach
            std::mt19937 pick(seed * 100 + m);
            std::string mutated = mutate(again, fresh.get(), pick);
            if (mutated.empty())
                continue;
            ++mutations;
            std::string their = libyang_refusal(mutated, nullptr);
            std::string mine = split_refusal(mutated, entries);
            if (their.empty() == mine.empty()) {
                ++agreed;
            } else if (mine.empty() && whole_tree_rule(their)) {
                ++exempt["libyang, a constraint of the whole tree: " + their.substr(0, 36)];
            } else if (their.empty() && beyond_library(mine)) {
                ++exempt["the library cannot hold a value"];
            } else {
                ADD_FAILURE() << "libyang: " << (their.empty() ? "accepts" : their)
                              << "\nsplit: " << (mine.empty() ? "accepts" : mine) << "\n"
                              << mutated;
            }
        }
    }
    std::printf("%zu documents, %zu entries compared with libyang's tree; %zu mutations, %zu "
                "same verdict\n",
                documents, entries_compared, mutations, agreed);
    for (const auto &[why, count] : exempt)
        std::printf("  exempt %zu: %s\n", count, why.c_str());
    EXPECT_GT(documents, 20u);
}
