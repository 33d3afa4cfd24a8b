// dsgen's translations of XSD brackets and of union members, pinned by value:
// each row holds the verdict that libyang gives the text, and the generated
// module must give the same.
#include "dstypes.h"

#include <json-c/json.h>
#include <libyang/libyang.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

struct ly_ctx *
context()
{
    static struct ly_ctx *ctx = [] {
        struct ly_ctx *c = nullptr;
        ly_log_options(0);
        ly_ctx_new(nullptr, LY_CTX_DISABLE_SEARCHDIR_CWD | LY_CTX_NO_YANGLIBRARY, &c);
        lys_parse_path(c, DSGEN_TRANSLATIONS_YANG, LYS_IN_YANG, nullptr);
        return c;
    }();
    return ctx;
}

struct Row {
    const char *leaf;
    std::string text;
    bool valid;
};

TEST(Translations, AcceptWhatLibyangAccepts)
{
    const Row rows[] = {
        {"caret-dash", "-", true},
        {"caret-dash", "^", true},
        {"caret-dash", "a", false},
        {"escaped-caret", "a^", true},
        {"escaped-caret", "a", false},
        {"caret-open", "^x", true},
        {"caret-open", "[x", true},
        {"caret-open", "ax", false},
        {"not-caret", "a", true},
        {"not-caret", "^", false},
        {"min-length-member", "abc", true},
        {"min-length-member", std::string(20, 'a'), true},
        {"min-length-member", std::string(21, 'a'), false},
        {"min-length-member", "", false},
        {"min-length-member", "none", true},
        {"parts-member", "ab", true},
        {"parts-member", "abc", false},
        {"parts-member", std::string(12, 'a'), true},
        {"parts-member", std::string(13, 'a'), false},
        {"parts", "a", true},
        {"parts", "abc", false},
        {"parts", std::string(11, 'a'), true},
        {"binary-member", "AAAA", true},
        {"binary-member", "AAA", false},
        {"binary-member", "none", true},
        {"bits-member", "a b", true},
        {"bits-member", "", true},
        {"bits-member", "ab", false},
        {"bits-member", "none", true},
        {"ident", "translations:on-id", true},
        {"ident", "translations:off-id", false},
    };
    for (const Row &row : rows) {
        std::string path = std::string("/translations:") + row.leaf;
        const struct lysc_node *snode = lys_find_path(context(), nullptr, path.c_str(), 0);
        if (snode == nullptr) {
            ADD_FAILURE() << "libyang has no " << path;
            continue;
        }
        LY_ERR rc = lyd_value_validate(context(), snode, row.text.c_str(), row.text.size(), nullptr,
                                       nullptr, nullptr);
        EXPECT_EQ(rc == LY_SUCCESS, row.valid) << "libyang: " << path << " \"" << row.text << "\"";
        const DsType *type = ds_key_leaf_type(ds_find_key(path.c_str(), true));
        if (type == nullptr) {
            ADD_FAILURE() << "the module has no leaf key " << path;
            continue;
        }
        std::unique_ptr<json_object, decltype(&json_object_put)> jo(
            json_object_new_string(row.text.c_str()), json_object_put);
        EXPECT_EQ(ds_jo_value_is_valid(type, jo.get()) != 0, row.valid)
            << path << " \"" << row.text
            << "\": " << (type->kind == DS_KIND_STRING ? type->p.string.regex : ds_type_name(type));
    }
}

} // namespace
