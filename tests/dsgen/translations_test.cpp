// dsgen's translations of XSD brackets and of union members: each leaf gives
// every text of a set made at their edges the verdict that libyang gives it.
#include "levels.h"

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
    static struct ly_ctx *ctx = yang_context(nullptr, {DSGEN_TRANSLATIONS_YANG}, {nullptr});
    return ctx;
}

const char *const kLeaves[] = {"caret-dash",        "escaped-caret", "caret-open", "not-caret",
                               "min-length-member", "parts-member",  "parts",      "binary-member",
                               "bits-member",       "ident"};

TEST(Translations, AcceptWhatLibyangAccepts)
{
    // Texts at the edges of the leaves; every leaf gets every one of them.
    std::vector<std::string> texts = split(
        "-|^|a|a^|^x|[x|ax|ab|abc||none|AAAA|AAA|a b|translations:on-id|translations:off-id", '|');
    for (size_t length : {11, 12, 13, 20, 21})
        texts.push_back(std::string(length, 'a'));
    for (const char *leaf : kLeaves) {
        size_t accepted = 0;
        std::string path = std::string("/translations:") + leaf;
        const struct lysc_node *snode = lys_find_path(context(), nullptr, path.c_str(), 0);
        const DsType *type = ds_key_leaf_type(ds_find_key(path.c_str(), true));
        ASSERT_NE(snode, nullptr) << "libyang has no " << path;
        ASSERT_NE(type, nullptr) << "the module has no leaf key " << path;
        for (const std::string &text : texts) {
            bool theirs = lyd_value_validate(context(), snode, text.c_str(), text.size(), nullptr,
                                             nullptr, nullptr) == LY_SUCCESS;
            std::unique_ptr<json_object, decltype(&json_object_put)> jo(
                json_object_new_string(text.c_str()), json_object_put);
            EXPECT_EQ(ds_jo_value_is_valid(type, jo.get()) != 0, theirs)
                << path << " \"" << text << "\": "
                << (type->kind == DS_KIND_STRING ? type->p.string.regex : ds_type_name(type));
            accepted += theirs;
        }
        // The texts probe both sides of every leaf.
        EXPECT_GT(accepted, 0u) << path;
        EXPECT_LT(accepted, texts.size()) << path;
    }
}

} // namespace
