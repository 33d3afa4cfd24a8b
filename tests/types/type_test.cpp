// The accessors of a type descriptor.
#include "dstest.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(TypeAccessors, NullTypeHasFixedNameAndSizeZero)
{
    EXPECT_STREQ(ds_type_name(nullptr), "<unnamed type>");
    EXPECT_EQ(ds_type_size(nullptr), 0u);
}

TEST(TypeAccessors, AnonymousTypeYieldsItsNullName)
{
    const DsType anonymous = {nullptr, DS_KIND_INT, 1, {{0, 255, 0}}};
    EXPECT_EQ(ds_type_name(&anonymous), nullptr);
    EXPECT_EQ(ds_type_size(&anonymous), 1u);
}

TEST(KindName, CodesZeroToSevenHaveNamesOthersAreInvalid)
{
    const struct {
        uint32_t kind;
        const char *name;
    } cases[] = {
        {0, "int"},
        {1, "double"},
        {2, "string"},
        {3, "enum"},
        {4, "array"},
        {5, "sequence"},
        {6, "choice"},
        {7, "bitmap"},
        {8, "invalid"},
        {9, "invalid"},
        {4000000000u, "invalid"},
    };
    for (const auto &c : cases)
        EXPECT_STREQ(ds__kind_name(c.kind), c.name) << "kind " << c.kind;
}
