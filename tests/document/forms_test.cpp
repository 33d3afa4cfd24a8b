// The spellings of values and members that a document may use, split over
// the hand-written module doc_fixture and held against libyang's strict,
// validated parse of the same documents over its twin doc_fixture.yang:
// the same verdict, and for a value both take, libyang's canonical value.
#include "document/doc.h"
#include "dstypes_doc.h"
#include "tests/dsgen/levels.h"

#include <libyang/libyang.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct ly_ctx *
context()
{
    static struct ly_ctx *ctx = all_features_context(nullptr, DOC_FIXTURE_YANG, LY_LOSTORE_LAST);
    return ctx;
}

struct Entry {
    std::string path;
    const DsKeyNode *key;
    std::vector<unsigned char> value;
};

int
keep(const DsDocEntry *entry, void *arg)
{
    const auto *bytes = static_cast<const unsigned char *>(entry->value);
    static_cast<std::vector<Entry> *>(arg)->push_back(
        {std::string(entry->path, entry->path_len), entry->key,
         std::vector<unsigned char>(bytes, bytes + entry->value_len)});
    return 0;
}

// The document value of the last entry, as the document writes it.
std::string
last_value(const std::vector<Entry> &entries)
{
    const Entry &entry = entries.back();
    std::string reason;
    doc::Node node = doc::node_of(entry.key, reason);
    doc::JsonPtr library(
        ds_c_to_jo(ds_key_leaf_type(entry.key), entry.value.data(), entry.value.size()));
    doc::Scalar scalar;
    if (library == nullptr ||
        !doc::library_to_scalar(*node.doc->value, library.get(), scalar, reason))
        return "(no document form: " + reason + ")";
    return scalar.text;
}

// A union is stored as the text of the member that took it, so the print
// must find the member again from the text: a member of numbers (or
// true/false, or [null]) that reads it comes before a member of strings,
// wherever each stands in the union, as a document that gave a number had
// the member of numbers take it.
TEST(UnionForms, AMemberOfNumbersPrintsBeforeAMemberOfStrings)
{
    const DsDocValue text{DS_DOC_STRING, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    const DsDocValue small{DS_DOC_INT8, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    const DsDocValue flag{DS_DOC_BOOLEAN, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    const DsDocValue string_first[] = {text, small, flag};
    const DsDocValue number_first[] = {small, flag, text};
    struct Row {
        const char *stored;
        doc::Scalar::Kind kind;
    };
    const Row rows[] = {{"5", doc::Scalar::Kind::number},     {"-128", doc::Scalar::Kind::number},
                        {"128", doc::Scalar::Kind::string},   {"05", doc::Scalar::Kind::string},
                        {"true", doc::Scalar::Kind::boolean}, {"eth0", doc::Scalar::Kind::string}};
    for (const DsDocValue *members : {string_first, number_first}) {
        const DsDocValue either{DS_DOC_UNION, 0, 0, 0, 3, nullptr, members, nullptr, nullptr};
        for (const Row &row : rows) {
            doc::JsonPtr stored(json_object_new_string(row.stored));
            doc::Scalar scalar;
            std::string reason;
            ASSERT_TRUE(doc::library_to_scalar(either, stored.get(), scalar, reason)) << reason;
            EXPECT_EQ(scalar.kind, row.kind)
                << row.stored << (members == string_first ? " (string first)" : "");
            EXPECT_EQ(scalar.text, row.stored);
        }
    }
}

TEST(SplitForms, SpellingsGetLibyangsVerdictAndCanonicalValue)
{
    setenv("TZ", "UTC", 1);
    tzset();
    // Each member by its name, with the JSON texts it is given in turn.
    const std::pair<const char *, std::vector<const char *>> members[] = {
        // numbers of the small widths are JSON numbers
        {"count", {"7", "-0", "1e1", "7.0", "255", "256", R"("7")", "true", "[7]"}},
        // 64-bit integers are strings
        {"big",
         {R"("7")", R"("+7")", R"("-0")", R"("007")", R"(" 7")", R"("7 ")", R"("0x10")", R"("")",
          R"("-9223372036854775808")", R"("9223372036854775808")", "7", R"("7.0")"}},
        // decimal64 with two fraction digits, 0..100
        {"ratio",
         {R"("1.5")", R"("100.00")", R"("1.")", R"(".5")", R"("1.505")", R"("1.500")", R"("+1.5")",
          R"("-0.00")", R"("100.01")", R"("1e1")", "1.5", R"(" 1.5")"}},
        // empty, boolean, enumeration
        {"flag", {"[null]", "[]", "null", R"("")", "[null, null]"}},
        {"on", {"false", R"("true")", "1"}},
        {"color", {R"("red")", R"("Red")", "0", R"("red ")"}},
        // bits
        {"perms",
         {R"("write read")", R"("")", R"(" read  ")", R"("read read")", R"("READ")",
          R"("read,write")"}},
        // identities
        {"kind",
         {R"("a-id")", R"("dt:a-id")", R"("dt:base-id")", R"("other:a-id")", R"(":a-id")",
          R"("dt:")"}},
        // an IPv6 address is written again; a zone stays
        {"addr",
         {R"("2001:DB8:0:0::1")", R"("::FFFF:1.2.3.4")", R"("fe80::1%eth0")", R"("1.2.3.4")",
          R"("2001:db8::1/64")", R"("::1%")"}},
        // prefixes lose their host bits; times move to the local zone (UTC here)
        {"net", {R"("10.1.2.3/8")", R"("10.0.0.0/33")", R"("10.0.0.0/08")", R"("10.0.0.0")"}},
        {"net6", {R"("2001:DB8::1/32")", R"("::/0")", R"("::1/129")"}},
        {"stamp",
         {R"("2020-01-01T00:00:00Z")", R"("2020-01-01T05:30:00.50+05:30")",
          R"("2020-01-01T00:00:00-00:00")", R"("2020-02-30T00:00:00Z")",
          R"("2020-01-01T24:00:00Z")", R"("2020-01-01t00:00:00z")", R"("2016-12-31T23:59:60Z")",
          R"("2020-01-01T00:00:00")", R"("2020-01-01 00:00:00Z")", R"("2020-13-45T99:99:99Z")",
          R"("2020-01-01T00:00:00+99:99")"}},
        // a union of int8 and string: the JSON type picks the member
        {"either", {"5", R"("5")", "-129", R"("text")", "true", "1.5"}},
        // strings
        {"name",
         {R"("a\u00e9\ud83d\ude00")", R"("a\/b")", R"("\ud800")", R"("fifteen chars..")",
          R"("\ufffe")", R"("a\u007f\u0009")", R"("a\u001fb")", R"("\ufdd0")", "\"\xef\xb7\x90\"",
          "\"\xef\xbf\xbf\"", "\"\xf0\x9f\xbf\xbf\""}},
        // leaf-lists, lists and containers
        {"tags", {R"(["a", "b"])", "[]", R"(["a", "a"])", R"("a")"}},
        {"item",
         {"[]", "{}", R"([{"id": "a"}, {"id": "a"}])",
          R"([{"id": "a", "sub": [{"b": "x", "a": 1}, {"a": 1, "b": "x"}]}])"}},
        {"log", {R"([{"msg": "x"}, {"msg": "x"}])"}},
        {"opts", {"{}", "[]"}},
        {"c1", {R"(1, "c2": 2)"}},
        // member names: qualified where the module does not change, unknown
        {"dt:count", {"7"}},
        {"dt:item", {R"([{"dt:id": "a"}])"}},
        {"nosuch", {"1"}},
    };
    size_t compared = 0;
    for (const auto &[name, values] : members) {
        for (const char *value : values) {
            std::string text = std::string(R"({"dt:top": {")") + name + "\": " + value + "}}";
            struct lyd_node *tree = nullptr;
            LY_ERR rc =
                lyd_parse_data_mem(context(), text.c_str(), LYD_JSON, LYD_PARSE_STRICT, 0, &tree);
            std::vector<Entry> entries;
            DsDocError *error = nullptr;
            int ours = ds_doc_split(text.data(), text.size(), nullptr, keep, &entries, &error);
            std::string why = error != nullptr ? ds_doc_error_reason(error) : "";
            ds_doc_error_free(error);
            bool beyond = why.find("the library holds") != std::string::npos;
            if (!beyond) {
                EXPECT_EQ(ours == 0, rc == LY_SUCCESS)
                    << text
                    << "\nlibyang: " << (rc == LY_SUCCESS ? "takes it" : ly_errmsg(context()))
                    << "\nsplit: " << (ours == 0 ? "takes it" : why);
            }
            if (ours == 0 && rc == LY_SUCCESS && !entries.empty() &&
                !entries.back().value.empty() && lyd_child(tree) != nullptr &&
                lyd_child(tree)->schema->nodetype == LYS_LEAF) {
                EXPECT_EQ(last_value(entries), lyd_get_value(lyd_child(tree))) << text;
                ++compared;
            }
            // A member that leaves no data node (an empty leaf-list) gives no entry.
            if (ours == 0 && rc == LY_SUCCESS && tree != nullptr && lyd_child(tree) == nullptr) {
                EXPECT_TRUE(entries.empty()) << text;
            }
            lyd_free_all(tree);
        }
    }
    EXPECT_GT(compared, 30u);
}

} // namespace
