// The document data of a module that dsgen made ("ds_doc_schema": of the
// IETF models, and of doc-shapes.yang with what they lack) held against
// libyang on the same models: every record against its compiled schema
// node, and documents written from the records alone (names, kinds, keys,
// choices, JSON forms by base, defaults) that libyang must take strictly and
// print back in the order that the records give.
#include "levels.h"

#include <dstypes_doc_schema.h>
#include <json-c/json.h>
#include <libyang/libyang.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{

using JsonPtr = std::unique_ptr<json_object, decltype(&json_object_put)>;

// The models with every feature on, and a module that the generated one
// does not hold but whose identities documents may take (iana-hardware for
// a component's class).
struct ly_ctx *
context()
{
#ifdef DSGEN_EXTRA_YANG
    static struct ly_ctx *ctx =
        all_features_context(DSGEN_SEARCH_DIRS, DSGEN_YANG_FILES ";" DSGEN_EXTRA_YANG, 0);
#else
    static struct ly_ctx *ctx = all_features_context(DSGEN_SEARCH_DIRS, DSGEN_YANG_FILES, 0);
#endif
    return ctx;
}

// The generated module's key forest and its document data.
struct Loaded {
    const DsKeyNode *keys = nullptr;
    const DsDocSchema *doc = nullptr;
    const DsDocNode &
    of(const DsKeyNode *node) const
    {
        return doc->nodes[node - keys];
    }
};

const Loaded &
loaded()
{
    static Loaded data = [] {
        Loaded out;
        (void)ds_find_type("");
        for (const DsModule *m = module_list; m != nullptr; m = m->next)
            if (m->keys != nullptr) {
                out.keys = m->keys;
                out.doc = static_cast<const DsDocSchema *>(dlsym(m->handle, "ds_doc_schema"));
            }
        return out;
    }();
    return data;
}

const DsKeyNode *
child(const DsKeyNode *node)
{
    return node->first_child == 0 ? nullptr : node + node->first_child;
}

const DsKeyNode *
next(const DsKeyNode *node)
{
    return node->next_sibling == 0 ? nullptr : node + node->next_sibling;
}

// The schema node of a record: its literal levels, and its own name for a
// typed level; null for the position of a keyless list.
const struct lysc_node *
schema_node(const DsKeyNode *key)
{
    const DsKeyNode *levels[DS_MAX_KEY_LEVELS];
    uint32_t depth = ds__get_key_levels(key, levels, DS_MAX_KEY_LEVELS);
    std::string path;
    for (uint32_t i = 0; i < depth; ++i)
        if (levels[i]->field_type == nullptr || i + 1 == depth)
            path += std::string("/") + levels[i]->name;
    return lys_find_path(context(), nullptr, path.c_str(), 0);
}

const struct lysc_type *
own_type(const struct lysc_node *node)
{
    return node->nodetype == LYS_LEAF ? ((const struct lysc_node_leaf *)node)->type
                                      : ((const struct lysc_node_leaflist *)node)->type;
}

// Fraction digits, bits in position order, members and range parts.
void
expect_encoding(const DsDocValue &value, const struct lysc_type *type, const std::string &at)
{
    if (type->basetype == LY_TYPE_LEAFREF)
        type = ((const struct lysc_type_leafref *)type)->realtype;
    if (type->basetype == LY_TYPE_DEC64) {
        EXPECT_EQ(value.fraction_digits, ((const struct lysc_type_dec *)type)->fraction_digits);
    }
    if (type->basetype == LY_TYPE_BITS) {
        const auto *bits = (const struct lysc_type_bits *)type;
        std::vector<std::pair<uint32_t, std::string>> want, got;
        for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(bits->bits); ++i)
            want.emplace_back(bits->bits[i].position, bits->bits[i].name);
        std::sort(want.begin(), want.end());
        for (uint32_t i = 0; i < value.count; ++i)
            got.emplace_back(value.bits[i].position, value.bits[i].name);
        EXPECT_EQ(got, want) << at;
    }
    if (type->basetype == LY_TYPE_UNION) {
        const auto *un = (const struct lysc_type_union *)type;
        ASSERT_EQ(value.count, LY_ARRAY_COUNT(un->types)) << at;
        for (uint32_t i = 0; i < value.count; ++i)
            expect_encoding(value.members[i], un->types[i], at + " member " + std::to_string(i));
    }
    const struct lysc_range *range = nullptr;
    bool is_signed = type->basetype >= LY_TYPE_INT8 && type->basetype <= LY_TYPE_INT64;
    if (is_signed || (type->basetype >= LY_TYPE_UINT8 && type->basetype <= LY_TYPE_UINT64))
        range = ((const struct lysc_type_num *)type)->range;
    if (range != nullptr) {
        ASSERT_EQ(value.count, LY_ARRAY_COUNT(range->parts)) << at;
        for (uint32_t i = 0; i < value.count; ++i)
            EXPECT_EQ(value.ranges[2 * i + 1],
                      is_signed ? range->parts[i].max_64 : int64_t(range->parts[i].max_u64))
                << at;
    }
}

// A string encoding says a canonical form exactly when libyang rewrites one
// of the sample texts that it takes.
// Texts that libyang's type plugins rewrite, if they take them at all.
const char kRewritten[] =
    "2001:DB8:0::1|FE80::1%eth0|10.1.2.3/8|2001:DB8::1/32|2023-01-01T00:00:00Z";

void
expect_canon(const DsDocValue &value, const struct lysc_node *node, const std::string &at)
{
    bool any_canon = value.canon != DS_DOC_CANON_NONE;
    for (uint32_t i = 0; value.base == DS_DOC_UNION && i < value.count; ++i)
        any_canon = any_canon || value.members[i].canon != DS_DOC_CANON_NONE;
    if (value.base != DS_DOC_STRING && value.base != DS_DOC_UNION)
        return;
    bool rewrites = false;
    for (const std::string &text : split(kTexts + "|" + kRewritten, '|')) {
        const char *canonical = nullptr;
        LY_ERR rc = lyd_value_validate(context(), node, text.c_str(), text.size(), nullptr, nullptr,
                                       &canonical);
        rewrites = rewrites || (rc == LY_SUCCESS && canonical != nullptr && text != canonical);
    }
    EXPECT_EQ(any_canon, rewrites) << at;
}

TEST(DocSchema, RecordsDescribeTheCompiledSchema)
{
    const Loaded &m = loaded();
    ASSERT_NE(m.doc, nullptr);
    EXPECT_EQ(m.doc->version, DS_DOC_SCHEMA_VERSION);
    for (uint32_t i = 0; i < m.doc->node_count; ++i) {
        const DsKeyNode *key = &m.keys[i];
        const DsDocNode &doc = m.doc->nodes[i];
        const struct lysc_node *node = schema_node(key);
        std::string at = std::to_string(i) + " " + key->name;
        if (node == nullptr) { // the position of a keyless list
            const struct lysc_node *list = schema_node(m.keys + i + key->parent);
            ASSERT_NE(list, nullptr) << at;
            EXPECT_TRUE(doc.kind == DS_DOC_LIST_KEY && doc.value == nullptr &&
                        (list->flags & LYS_KEYLESS))
                << at;
            continue;
        }
        uint8_t kind = key->field_type != nullptr          ? DS_DOC_LIST_KEY
                       : node->nodetype == LYS_LIST        ? DS_DOC_LIST
                       : node->nodetype == LYS_LEAF        ? DS_DOC_LEAF
                       : node->nodetype == LYS_LEAFLIST    ? DS_DOC_LEAF_LIST
                       : (node->flags & LYS_PRESENCE) != 0 ? DS_DOC_PRESENCE
                                                           : DS_DOC_CONTAINER;
        EXPECT_EQ(doc.kind, kind) << at;
        EXPECT_EQ((doc.flags & DS_DOC_CONFIG) != 0, (node->flags & LYS_CONFIG_W) != 0) << at;
        EXPECT_EQ((doc.flags & DS_DOC_MANDATORY) != 0,
                  lysc_is_key(node) || (kind == DS_DOC_LEAF && (node->flags & LYS_MAND_TRUE)))
            << at;
        EXPECT_STREQ(m.doc->modules[doc.module], node->module->name) << at;
        EXPECT_STREQ(doc.name, node->name) << at;
        if (kind == DS_DOC_LIST) { // its keys in order, one level each
            uint16_t keys = 0;
            const DsKeyNode *level = child(key);
            for (const struct lysc_node *c = lysc_node_child(node); c && lysc_is_key(c);
                 c = c->next, level = child(level)) {
                ASSERT_NE(level, nullptr) << at;
                EXPECT_STREQ(level->name, c->name) << at;
                EXPECT_EQ(m.of(level).key_index, keys++) << at;
            }
            EXPECT_EQ(doc.key_count, keys) << at;
        }
        if ((node->nodetype & (LYS_LEAF | LYS_LEAFLIST)) == 0)
            continue;
        ASSERT_NE(doc.value, nullptr) << at;
        expect_encoding(*doc.value, own_type(node), at);
        expect_canon(*doc.value, node, at);
    }
}

// A value that libyang takes for the node, in the JSON form of the type
// that takes it (for a union, the member libyang picks): the smaller
// integers and booleans bare, empty as [null], everything else (64-bit
// integers included) a string.
std::string
sample_json(const struct lysc_node *node)
{
    std::set<std::string> texts;
    add_type_samples(yang_type(node), texts);
    for (const std::string &text : texts) {
        const struct lysc_type *taken = nullptr;
        LY_ERR rc = lyd_value_validate(context(), node, text.c_str(), text.size(), nullptr, &taken,
                                       nullptr);
        if (rc != LY_SUCCESS && rc != LY_EINCOMPLETE)
            continue;
        if (taken == nullptr)
            taken = yang_type(node);
        while (taken->basetype == LY_TYPE_LEAFREF)
            taken = reinterpret_cast<const struct lysc_type_leafref *>(taken)->realtype;
        switch (taken->basetype) {
        case LY_TYPE_EMPTY:
            return "[null]";
        case LY_TYPE_BOOL:
        case LY_TYPE_INT8:
        case LY_TYPE_INT16:
        case LY_TYPE_INT32:
        case LY_TYPE_UINT8:
        case LY_TYPE_UINT16:
        case LY_TYPE_UINT32:
            return text;
        default:
            JsonPtr str(json_object_new_string(text.c_str()), json_object_put);
            return json_object_to_json_string_ext(str.get(), JSON_C_TO_STRING_NOSLASHESCAPE);
        }
    }
    return "";
}

// Writes documents from the records, one per combination of the cases of
// the choices; members are written in reverse print order.
class DocumentWriter
{
  public:
    explicit DocumentWriter(const Loaded &m) : m_(m)
    {
        for (uint32_t i = 0; i < m.doc->node_count; ++i)
            for (const auto &[choice, chosen] : case_steps(&m.keys[i])) {
                std::vector<std::string> &cases = cases_[choice];
                if (std::find(cases.begin(), cases.end(), chosen) == cases.end())
                    cases.push_back(chosen);
            }
        // Document n writes case (n / stride) mod cases of each choice, so
        // that every combination of cases is written once.
        for (const auto &[choice, cases] : cases_) {
            stride_[choice] = documents_;
            documents_ *= cases.size();
        }
    }
    size_t
    documents() const
    {
        return documents_;
    }
    std::string
    write(size_t n)
    {
        n_ = n;
        return object(m_.keys);
    }

  private:
    // (the choice, named by its parent and the choices above it; the case)
    std::vector<std::pair<std::string, std::string>>
    case_steps(const DsKeyNode *key) const
    {
        std::vector<std::pair<std::string, std::string>> out;
        const char *choices = m_.of(key).choices;
        std::string prefix = std::to_string(key->parent == 0 ? -1 : key - m_.keys + key->parent);
        std::vector<std::string> steps = choices ? split(choices, '/') : std::vector<std::string>();
        for (size_t i = 0; i + 1 < steps.size(); i += 2) {
            prefix += "/" + steps[i];
            out.emplace_back(prefix, steps[i + 1]);
            prefix += "/" + steps[i + 1];
        }
        return out;
    }

    bool
    chosen(const DsKeyNode *key) const
    {
        for (const auto &[choice, name] : case_steps(key)) {
            const std::vector<std::string> &cases = cases_.at(choice);
            if (cases[n_ / stride_.at(choice) % cases.size()] != name)
                return false;
        }
        return true;
    }

    std::string
    object(const DsKeyNode *first, const DsKeyNode *keys = nullptr)
    {
        std::map<uint32_t, std::string> members;
        for (const DsKeyNode *k = keys; k != nullptr && m_.of(k).kind == DS_DOC_LIST_KEY;
             k = child(k))
            if (m_.of(k).value != nullptr)
                members[m_.of(k).order] = member(k);
        for (const DsKeyNode *node = first; node != nullptr; node = next(node))
            if (chosen(node))
                members[m_.of(node).order] = member(node);
        std::string out;
        for (auto it = members.rbegin(); it != members.rend(); ++it)
            out += (out.empty() ? "" : ",") + it->second;
        return "{" + out + "}";
    }

    std::string
    member(const DsKeyNode *key)
    {
        const DsDocNode &doc = m_.of(key);
        std::string name = "\"" + std::string(key->name) + "\":";
        switch (doc.kind) {
        case DS_DOC_CONTAINER:
        case DS_DOC_PRESENCE:
            return name + object(child(key));
        case DS_DOC_LIST: {
            const DsKeyNode *last = child(key);
            while (child(last) != nullptr && m_.of(child(last)).kind == DS_DOC_LIST_KEY)
                last = child(last);
            return name + "[" + object(child(last), child(key)) + "]";
        }
        default: {
            if (doc.default_json != nullptr)
                return name + doc.default_json;
            std::string value = sample_json(schema_node(key));
            return name + (doc.kind == DS_DOC_LEAF_LIST ? "[" + value + "]" : value);
        }
        }
    }

    const Loaded &m_;
    std::map<std::string, std::vector<std::string>> cases_;
    std::map<std::string, size_t> stride_;
    size_t documents_ = 1, n_ = 0;
};

// Walks libyang's print: every member is a record's node, in ascending
// order, and a default is printed as its record says.
class PrintChecker
{
  public:
    explicit PrintChecker(const Loaded &m) : m_(m) {}
    std::set<const DsKeyNode *> covered;

    void
    object(json_object *jo, const DsKeyNode *first, const DsKeyNode *keys = nullptr)
    {
        int64_t last = -1;
        json_object_object_foreach(jo, name, value)
        {
            const DsKeyNode *node = find(first, name);
            for (const DsKeyNode *k = keys;
                 node == nullptr && k && m_.of(k).kind == DS_DOC_LIST_KEY; k = child(k))
                node = std::string(k->name) == name ? k : nullptr;
            ASSERT_NE(node, nullptr) << name << " is no record's node";
            covered.insert(node);
            const DsDocNode &doc = m_.of(node);
            EXPECT_GT(int64_t(doc.order), last) << name << " printed out of order";
            last = doc.order;
            if (doc.default_json != nullptr) {
                JsonPtr want(json_tokener_parse(doc.default_json), json_object_put);
                EXPECT_TRUE(json_object_equal(value, want.get()))
                    << name << " " << doc.default_json;
            }
            member(node, value);
        }
    }

  private:
    static const DsKeyNode *
    find(const DsKeyNode *first, const char *name)
    {
        for (const DsKeyNode *node = first; node != nullptr; node = next(node))
            if (node->field_type == nullptr && std::string(node->name) == name)
                return node;
        return nullptr;
    }

    void
    member(const DsKeyNode *node, json_object *value)
    {
        uint8_t kind = m_.of(node).kind;
        if (kind == DS_DOC_CONTAINER || kind == DS_DOC_PRESENCE)
            object(value, child(node));
        if (kind != DS_DOC_LIST)
            return;
        const DsKeyNode *last = child(node);
        covered.insert(last); // a keyless list's position is no member
        while (child(last) != nullptr && m_.of(child(last)).kind == DS_DOC_LIST_KEY)
            last = child(last);
        for (size_t i = 0; i < json_object_array_length(value); ++i)
            object(json_object_array_get_idx(value, i), child(last), child(node));
    }

    const Loaded &m_;
};

TEST(DocSchema, LibyangTakesDocumentsOfTheRecordsAndPrintsThemInRecordOrder)
{
    const Loaded &m = loaded();
    ASSERT_NE(m.doc, nullptr);
    DocumentWriter writer(m);
    PrintChecker checker(m);
    for (size_t n = 0; n < writer.documents(); ++n) {
        std::string text = writer.write(n);
        struct lyd_node *tree = nullptr;
        ASSERT_EQ(lyd_parse_data_mem(context(), text.c_str(), LYD_JSON,
                                     LYD_PARSE_ONLY | LYD_PARSE_STRICT, 0, &tree),
                  LY_SUCCESS)
            << text << "\n"
            << ly_errmsg(context());
        char *printed = nullptr;
        lyd_print_mem(&printed, tree, LYD_JSON, LYD_PRINT_WITHSIBLINGS | LYD_PRINT_SHRINK);
        lyd_free_all(tree);
        JsonPtr jo(json_tokener_parse(printed), json_object_put);
        std::free(printed);
        ASSERT_NE(jo, nullptr);
        checker.object(jo.get(), m.keys);
    }
    // Every node is printed, but a container without children (libyang
    // prints no empty container without presence).
    for (uint32_t i = 0; i < m.doc->node_count; ++i)
        if (m.doc->nodes[i].kind != DS_DOC_CONTAINER || child(&m.keys[i]) != nullptr) {
            EXPECT_EQ(checker.covered.count(&m.keys[i]), 1u)
                << "never printed: " << i << " " << m.keys[i].name;
        }
    std::printf("%zu documents, %u records, %zu printed\n", writer.documents(), m.doc->node_count,
                checker.covered.size());
}

} // namespace
