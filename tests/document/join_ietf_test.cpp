// Join held against libyang on dsgen's module of the IETF models: generated
// documents that libyang accepts (strict, validated, state data allowed) are
// split by the library and joined back, in document order and shuffled,
// and must print byte for byte what libyang prints, indented and compact,
// as a whole tree and as the body of one list entry.
#include "dstypes_doc.h"
#include "ietf_documents.h"
#include "tests/dsgen/levels.h"

#include <libyang/libyang.h>

#include <gtest/gtest.h>
#include <json-c/json.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{

// Dates print in the local time zone, in libyang and in the library alike.
const bool kUtc = [] {
    setenv("TZ", "UTC", 1);
    tzset();
    return true;
}();

struct ly_ctx *
context()
{
    static struct ly_ctx *ctx =
        all_features_context(DOC_SEARCH_DIRS, DOC_YANG_FILES, LY_LOSTORE_LAST);
    return ctx;
}

struct Printed {
    std::string pretty, compact, error;
};

std::string
print(const struct lyd_node *node, uint32_t options)
{
    char *text = nullptr;
    lyd_print_mem(&text, node, LYD_JSON, options);
    std::string out = text != nullptr ? text : "";
    std::free(text);
    return out;
}

// libyang's two prints of a document (of the node at xpath in it, when
// xpath is given); error says why libyang refused the document.
Printed
libyang_print(const std::string &text, const char *xpath = nullptr)
{
    Printed out;
    struct lyd_node *tree = nullptr;
    if (lyd_parse_data_mem(context(), text.c_str(), LYD_JSON, LYD_PARSE_STRICT, 0, &tree) !=
        LY_SUCCESS) {
        const struct ly_err_item *e = ly_err_last(context());
        out.error = e != nullptr && e->msg != nullptr ? e->msg : "refused";
        if (e != nullptr && e->path != nullptr)
            out.error += std::string(" (") + e->path + ")";
        ly_err_clean(context(), nullptr);
        return out;
    }
    struct lyd_node *node = tree;
    uint32_t siblings = LYD_PRINT_WITHSIBLINGS;
    if (xpath != nullptr) {
        siblings = 0;
        if (lyd_find_path(tree, xpath, 0, &node) != LY_SUCCESS)
            out.error = "no node at the path";
    }
    if (out.error.empty()) {
        out.pretty = print(node, siblings);
        out.compact = print(node, siblings | LYD_PRINT_SHRINK);
    }
    lyd_free_all(tree);
    return out;
}

struct Entry {
    std::string path;
    std::string value;
};

int
collect(const DsDocEntry *entry, void *arg)
{
    static_cast<std::vector<Entry> *>(arg)->push_back(
        {std::string(entry->path, entry->path_len),
         std::string(static_cast<const char *>(entry->value), entry->value_len)});
    return 0;
}

std::string
error_text(DsDocError *error)
{
    std::string out = error != nullptr ? std::string(ds_doc_error_where(error)) + ": " +
                                             ds_doc_error_reason(error)
                                       : "";
    ds_doc_error_free(error);
    return out;
}

std::vector<Entry>
split(const std::string &text, std::string &error)
{
    std::vector<Entry> entries;
    DsDocError *raw = nullptr;
    if (ds_doc_split(text.data(), text.size(), nullptr, collect, &entries, &raw) != 0)
        error = error_text(raw);
    return entries;
}

// The library's two prints of the entries (below at, when given).
Printed
join(const std::vector<Entry> &entries, const char *at = nullptr)
{
    Printed out;
    DsDocError *raw = nullptr;
    DsDocJoin *j = ds_doc_join_new(at, &raw);
    for (size_t i = 0; j != nullptr && i < entries.size() && out.error.empty(); ++i)
        if (ds_doc_join_add(j, entries[i].path.c_str(),
                            entries[i].value.empty() ? nullptr : entries[i].value.data(),
                            entries[i].value.size(), &raw) != 0)
            out.error = error_text(raw);
    for (unsigned flags : {0u, unsigned(DS_DOC_PRINT_COMPACT)}) {
        char *text =
            j != nullptr && out.error.empty() ? ds_doc_join_print(j, flags, &raw) : nullptr;
        (flags != 0 ? out.compact : out.pretty) = text != nullptr ? text : "";
        std::free(text);
    }
    if (j == nullptr)
        out.error = error_text(raw);
    ds_doc_join_free(j);
    return out;
}

// The entries in a random order that keeps the order of list entries (which
// is the order in which they first come): shuffled, then sorted stably by
// the places of the valueless entries (list entries, presence containers)
// above each entry, so that members of one object come in any order.
std::vector<Entry>
shuffled(const std::vector<Entry> &entries, std::mt19937 &rng)
{
    std::map<std::string, size_t> place;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].value.empty())
            place.emplace(entries[i].path, i);
    std::vector<std::pair<std::vector<size_t>, Entry>> keyed;
    for (const Entry &e : entries) {
        std::vector<size_t> above;
        for (size_t cut = 1; cut <= e.path.size(); ++cut) {
            if (cut < e.path.size() && e.path[cut] != '/')
                continue;
            auto it = place.find(e.path.substr(0, cut));
            if (it != place.end())
                above.push_back(it->second);
        }
        keyed.emplace_back(std::move(above), e);
    }
    std::shuffle(keyed.begin(), keyed.end(), rng);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<Entry> out;
    for (auto &k : keyed)
        out.push_back(std::move(k.second));
    return out;
}

TEST(JoinIetf, RoundTripsPrintAsLibyangInBothLayouts)
{
    std::mt19937 rng(7);
    int documents = 0, refused_by_libyang = 0;
    size_t entries_compared = 0;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        std::string text = dstest::ietf_document(seed, int(seed % 5));
        Printed expected = libyang_print(text);
        if (!expected.error.empty()) {
            if (++refused_by_libyang <= 3)
                ADD_FAILURE() << "libyang refuses generated document " << seed << ": "
                              << expected.error << "\n"
                              << text;
            continue;
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + text);
        std::string error;
        std::vector<Entry> entries = split(text, error);
        ASSERT_EQ(error, "");
        for (int round = 0; round < 2; ++round) {
            Printed got = join(entries);
            ASSERT_EQ(got.error, "");
            EXPECT_EQ(got.pretty, expected.pretty);
            EXPECT_EQ(got.compact, expected.compact);
            entries_compared += entries.size();
            entries = shuffled(entries, rng);
        }
        ++documents;
    }
    std::printf("joined %d documents (%zu entries, each document in order and shuffled) "
                "byte-equal to libyang's print in both layouts\n",
                documents, entries_compared / 2);
    EXPECT_EQ(refused_by_libyang, 0);
}

// --at: the entries below one node print as RESTCONF's body of that
// resource, which is libyang's print of the node alone: a list entry, a
// container, a state container holding defaults, a leaf.
TEST(JoinIetf, BodiesPrintAsLibyangPrintsTheNodeAlone)
{
    const std::string eth0 = "/ietf-interfaces:interfaces/interface/\"eth0\"";
    const std::string rib = "/ietf-routing:routing-state/ribs/rib/\"main\"";
    const std::vector<std::pair<std::string, std::string>> nodes = {
        {eth0, "/ietf-interfaces:interfaces/interface[name='eth0']"},
        {eth0 + "/statistics", "/ietf-interfaces:interfaces/interface[name='eth0']/statistics"},
        {eth0 + "/if-index", "/ietf-interfaces:interfaces/interface[name='eth0']/if-index"},
        {rib, "/ietf-routing:routing-state/ribs/rib[name='main']"},
        {"/ietf-routing:routing-state/ribs", "/ietf-routing:routing-state/ribs"}};
    int bodies = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::string text = dstest::ietf_document(seed, 2), error;
        std::vector<Entry> entries = split(text, error);
        for (const auto &[at, xpath] : nodes) {
            Printed expected = libyang_print(text, xpath.c_str());
            if (!expected.error.empty())
                continue; // no such node in this document
            std::vector<Entry> below;
            for (const Entry &e : entries)
                if (e.path.compare(0, at.size(), at) == 0 &&
                    (e.path.size() == at.size() || e.path[at.size()] == '/'))
                    below.push_back(e);
            Printed got = join(below, at.c_str());
            ASSERT_EQ(got.error, "") << text;
            EXPECT_EQ(got.pretty, expected.pretty) << at << "\n" << text;
            EXPECT_EQ(got.compact, expected.compact) << at << "\n" << text;
            ++bodies;
        }
    }
    EXPECT_GT(bodies, 100);
}

// The packed value of a JSON value (the library's form) for the key at path.
std::string
packed(const std::string &path, const char *json)
{
    const DsType *type = ds_key_leaf_type(ds_find_key(path.c_str(), 1));
    json_object *jo = json_tokener_parse(json);
    std::string out(type != nullptr ? ds_type_size(type) : 0, '\0');
    if (type == nullptr || jo == nullptr || !ds_jo_to_c(type, jo, out.data(), out.size()))
        out = "unpackable";
    json_object_put(jo);
    return out;
}

const std::string kIf = "/ietf-interfaces:interfaces/interface/\"eth0\"";
const std::string kAddress = kIf + "/ietf-ip:ipv4/address/\"192.0.2.1\"";

// Each refused entry says why, names its path, and leaves the join as it was.
TEST(JoinIetf, RefusedEntriesSayWhyAndChangeNothing)
{
    struct Row {
        std::string path;
        std::string value;
        std::string reason;
    };
    const std::vector<Row> rows = {
        {"/no-such:thing", "", "names no key of a loaded module"},
        {kIf + "/description", "abc", "value of 3 bytes where its type has 65"},
        {kIf + "/if-index", std::string(4, '\0'), "value is not valid for its type"},
        {kIf, "x", "takes no value"},
        {"/ietf-interfaces:interfaces", "",
         "names a container without presence, which has no entry"},
        {"/ietf-interfaces:interfaces/interface", "", "names a list, not one of its entries"},
        {"/ietf-interfaces:interfaces/interface/42", "", "key 42 is not a valid name"},
        {kIf + "/enabled", packed(kIf + "/enabled", "false"), "is given twice"},
        {kAddress + "/netmask", packed(kAddress + "/netmask", "\"255.0.0.0\""),
         "netmask is in another case of choice subnet than prefix-length"},
        {"/ietf-system:system/dns-resolver/search",
         packed("/ietf-system:system/dns-resolver/search", "[\"a.org\",\"a.org\"]"),
         "value \"a.org\" appears twice in a configuration leaf-list"},
    };
    DsDocError *raw = nullptr;
    DsDocJoin *j = ds_doc_join_new(nullptr, &raw);
    ASSERT_NE(j, nullptr);
    ASSERT_EQ(ds_doc_join_add(j, kIf.c_str(), nullptr, 0, &raw), 0);
    std::string on = packed(kIf + "/enabled", "true");
    ASSERT_EQ(ds_doc_join_add(j, (kIf + "/enabled").c_str(), on.data(), on.size(), &raw), 0);
    std::string length = packed(kAddress + "/prefix-length", "24");
    ASSERT_EQ(ds_doc_join_add(j, (kAddress + "/prefix-length").c_str(), length.data(),
                              length.size(), &raw),
              0);
    char *before = ds_doc_join_print(j, DS_DOC_PRINT_COMPACT, &raw);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(ds_doc_join_add(j, row.path.c_str(),
                                  row.value.empty() ? nullptr : row.value.data(), row.value.size(),
                                  &raw),
                  -1);
        ASSERT_NE(raw, nullptr);
        EXPECT_EQ(ds_doc_error_where(raw), row.path);
        EXPECT_EQ(ds_doc_error_reason(raw), row.reason);
        ds_doc_error_free(raw);
        raw = nullptr;
        char *after = ds_doc_join_print(j, DS_DOC_PRINT_COMPACT, &raw);
        EXPECT_STREQ(after, before);
        std::free(after);
    }
    std::free(before);
    ds_doc_join_free(j);
    // A body takes only entries below its node.
    j = ds_doc_join_new(kIf.c_str(), &raw);
    std::string other = "/ietf-interfaces:interfaces/interface/\"eth1\"";
    EXPECT_EQ(ds_doc_join_add(j, other.c_str(), nullptr, 0, &raw), -1);
    EXPECT_EQ(error_text(raw), other + ": is not below the joined node");
    ds_doc_join_free(j);
}

struct ToolRun {
    int status;
    std::string out, err;
};

// dstool doc join on the given standard input.
ToolRun
dstool(const std::string &arguments, const std::string &input)
{
    char in_name[] = "/tmp/doc_join_inXXXXXX", err_name[] = "/tmp/doc_join_errXXXXXX";
    close(mkstemp(in_name));
    close(mkstemp(err_name));
    FILE *f = std::fopen(in_name, "w");
    std::fwrite(input.data(), 1, input.size(), f);
    std::fclose(f);
    std::string command =
        std::string(DOC_DSTOOL) + " doc join " + arguments + " <" + in_name + " 2>" + err_name;
    ToolRun run;
    FILE *p = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
        run.out.append(buffer, n);
    run.status = WEXITSTATUS(pclose(p));
    std::ifstream err(err_name);
    std::getline(err, run.err, '\0');
    std::remove(in_name);
    std::remove(err_name);
    return run;
}

// The command prints what the library prints, and nothing when it refuses.
TEST(JoinIetf, DstoolDocJoinFollowsTheExitCodeRule)
{
    std::string text = dstest::ietf_document(3, 2), error, lines;
    std::vector<Entry> entries = split(text, error);
    ASSERT_EQ(error, "");
    for (const Entry &e : entries) {
        lines += e.path + "\t";
        for (unsigned char c : e.value) {
            char pair[4];
            std::snprintf(pair, sizeof pair, "%02x ", c);
            lines += pair;
        }
        lines += "\n";
    }
    Printed expected = join(entries);
    ToolRun pretty = dstool("", lines), compact = dstool("--compact -", lines);
    EXPECT_EQ(pretty.status, 0);
    EXPECT_EQ(pretty.out, expected.pretty);
    EXPECT_EQ(compact.out, expected.compact);
    ToolRun refused = dstool("", lines + kIf + "\tzz\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    ToolRun no_tab = dstool("", "/ietf-interfaces:interfaces\n");
    EXPECT_EQ(no_tab.status, 1);
    EXPECT_EQ(no_tab.err, "dstool: doc join: line 1: no TAB between the key path and the value\n");
    ToolRun twice = dstool("", kIf + "\t\n" + kIf + "\t\n");
    EXPECT_EQ(twice.err, "dstool: doc join: line 2: " + kIf + ": is given twice\n");
    EXPECT_EQ(dstool("--no-such-option", "").status, 2);
    EXPECT_EQ(dstool("a b", "").status, 2);
}

} // namespace
