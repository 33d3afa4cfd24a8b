// Join held against libyang on a model with what the IETF ones lack
// (tests/dsgen/doc-shapes.yang and aaa-doc-aug.yang): decimal64 with
// fraction digits and ranges, bits out of position order, a union of a
// number, addresses, a prefix and a text, nested choices, keys out of
// order, an augmenting module whose top-level node prints first, an empty
// leaf, a keyless state list. Each document, written with non-canonical
// values, is split and joined and must print as libyang prints it.
#include "dstypes_doc.h"
#include "tests/dsgen/levels.h"

#include <libyang/libyang.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{

struct ly_ctx *
context()
{
    static struct ly_ctx *ctx = [] {
        setenv("TZ", "UTC", 1);
        return all_features_context(DOC_SHAPES_DIR, DOC_SHAPES_FILES, LY_LOSTORE_LAST);
    }();
    return ctx;
}

// libyang's print of text, or its reason for refusing it.
std::string
libyang_print(const std::string &text, uint32_t options)
{
    struct lyd_node *tree = nullptr;
    if (lyd_parse_data_mem(context(), text.c_str(), LYD_JSON, LYD_PARSE_STRICT, 0, &tree) != 0) {
        const struct ly_err_item *e = ly_err_last(context());
        return std::string("refused: ") + (e != nullptr ? e->msg : "");
    }
    char *out = nullptr;
    lyd_print_mem(&out, tree, LYD_JSON, LYD_PRINT_WITHSIBLINGS | options);
    std::string printed = out != nullptr ? out : "";
    std::free(out);
    lyd_free_all(tree);
    return printed;
}

int
add(const DsDocEntry *entry, void *arg)
{
    return ds_doc_join_add(static_cast<DsDocJoin *>(arg), entry->path, entry->value,
                           entry->value_len, nullptr);
}

// The library's print of text, split and joined.
std::string
joined(const std::string &text, unsigned flags)
{
    DsDocJoin *join = ds_doc_join_new(nullptr, nullptr);
    DsDocError *error = nullptr;
    std::string out;
    if (ds_doc_split(text.data(), text.size(), nullptr, add, join, &error) != 0) {
        out = std::string("refused: ") + ds_doc_error_where(error) + ": " +
              ds_doc_error_reason(error);
    } else {
        char *printed = ds_doc_join_print(join, flags, nullptr);
        out = printed;
        std::free(printed);
    }
    ds_doc_error_free(error);
    ds_doc_join_free(join);
    return out;
}

TEST(JoinShapes, DocumentsPrintAsLibyangPrintsThem)
{
    const std::vector<std::string> documents = {
        R"({"doc-shapes:top":{"dec":"2.50","flags":"b5 b9 b2","either":4}})",
        R"({"doc-shapes:top":{"dec":"-1.500","either":"2001:DB8:0::1"},"aaa-doc-aug:first":{"f":"x"}})",
        R"({"doc-shapes:top":{"either":"10.0.0.0/8","aaa-doc-aug:added":"+12","e":[null]}})",
        R"({"doc-shapes:top":{"either":"abc","y":"why","tags":["z","a"]}})",
        R"({"doc-shapes:top":{"other-c":{"z":"q"},"stamp":"2023-01-01T00:00:00-05:00"}})",
        R"({"doc-shapes:top":{"shorthand":"s","v6p":"2001:DB8::/32"}})",
        R"({"doc-shapes:top":{"multi":[{"k1":"b","k2":2,"v":"x"},{"k2":1,"k1":"a"}]}})",
        R"({"doc-shapes:top":{"keyless":[{"a":"1"},{"a":"1"},{}],"x":5}})",
        R"({"doc-shapes:top":{"id":"doc-shapes:one","big":"9"}})",
        R"({"aaa-doc-aug:first":{}})",
        R"({"doc-shapes:top":{"limit":13529}})",
        R"({"doc-shapes:top":{"limit":"infinite"}})",
    };
    for (const std::string &text : documents) {
        for (unsigned flags : {0u, unsigned(DS_DOC_PRINT_COMPACT)}) {
            std::string expected = libyang_print(text, flags != 0 ? LYD_PRINT_SHRINK : 0);
            ASSERT_EQ(expected.rfind("refused", 0), std::string::npos) << text << expected;
            EXPECT_EQ(joined(text, flags), expected) << text;
        }
    }
}

// A union's one string holds the texts of every member, so only the names
// of an enumeration member tell its text from a number's digits given as a
// string, which the integer member does not take.
TEST(JoinShapes, UnionTextsNoMemberTakesAreRefusedAsLibyangRefusesThem)
{
    for (const char *text :
         {R"({"doc-shapes:top":{"limit":"13529"}})", R"({"doc-shapes:top":{"limit":"Infinite"}})",
          R"({"doc-shapes:top":{"limit":"9223372036854775807"}})"}) {
        EXPECT_EQ(libyang_print(text, 0).rfind("refused", 0), 0u) << text;
        EXPECT_EQ(joined(text, 0).rfind("refused", 0), 0u) << text;
    }
}

} // namespace
