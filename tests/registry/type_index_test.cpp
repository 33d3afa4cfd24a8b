// The name index behind ds_find_type against the walk it replaces: for every
// type name of every loaded table, and for names close to them that no table
// has, both give the same type. The directory holds two modules that both
// define "h3a_dup" and a "u32" of their own (a.so, b.so), the example module
// and the shapes module.
#include "dstest.h"
#include "registry/registry.h"
#include "scenario.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

TEST(TypeIndex, AgreesWithTheTableWalkForEveryNameAndNearMisses)
{
    ASSERT_EQ(dstest::load_stderr(), "");
    const DsModule *first = reg_first_module();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(reg_has_type_index(first));

    std::vector<std::string> names = {"",         "u",      "u3",         "u320",         "U32",
                                      "h3a_dup ", "h3a_du", "interface-", "oper-state\n", "nope"};
    std::map<std::string, int> seen;
    for (const DsModule *module = first; module != nullptr; module = module->next) {
        for (uint16_t i = 0; i < module->type_count; ++i) {
            std::string name = module->types[i].name;
            names.push_back(name);
            names.push_back(name + "x");
            names.push_back(name.substr(0, name.size() - 1));
            ++seen[name];
        }
    }
    // The premise: names shared across modules and with the built-in table.
    ASSERT_EQ(seen["h3a_dup"], 2);
    ASSERT_EQ(seen["u32"], 3);

    for (const std::string &name : names) {
        const DsType *walked = reg_find_type_linear(first, name.c_str());
        EXPECT_EQ(ds_find_type(name.c_str()), walked) << '"' << name << '"';
    }
    EXPECT_EQ(ds_find_type("u32"), &ds_global_types[0]);
}
