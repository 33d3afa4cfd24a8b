// dstypes_doc.hpp over dsgen's module of the IETF models: a document split
// and joined through the C++ face prints as the C calls print it, and its
// refusals carry the place and reason of the C error, or this header's own.
#include "dstypes_doc.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const char kDocument[] = R"({"ietf-interfaces:interfaces":{"interface":[{"name":"eth0",)"
                         R"("type":"iana-if-type:ethernetCsmacd","admin-status":"up",)"
                         R"("oper-status":"up","if-index":1,)"
                         R"("statistics":{"discontinuity-time":"2023-01-01T00:00:00Z"}}]},)"
                         R"("ietf-routing:routing-state":{"ribs":{"rib":[{"name":"main",)"
                         R"("address-family":"ietf-routing:ipv4"}]}}})";

struct Kept {
    std::string path;
    std::vector<std::byte> value;
};

TEST(DocHpp, SplitAndJoinRoundTripThroughOwners)
{
    std::vector<Kept> entries;
    auto split = ds::doc::split(kDocument, {}, [&](const ds::doc::Entry &e) {
        entries.push_back({std::string(e.path), {e.value.begin(), e.value.end()}});
        return true;
    });
    ASSERT_TRUE(split.ok()) << split.error().reason();
    EXPECT_EQ(*split, entries.size());
    auto join = ds::doc::Join::create();
    ASSERT_TRUE(join.ok());
    for (const Kept &e : entries)
        ASSERT_TRUE(join->add(e.path, e.value).ok()) << e.path;
    auto compact = join->print(true);
    ASSERT_TRUE(compact.ok());
    EXPECT_EQ(*compact,
              R"({"ietf-interfaces:interfaces":{"interface":[{"name":"eth0",)"
              R"("type":"iana-if-type:ethernetCsmacd","admin-status":"up","oper-status":"up",)"
              R"("if-index":1,"statistics":{"discontinuity-time":"2023-01-01T00:00:00+00:00"}}]},)"
              R"("ietf-routing:routing-state":{"ribs":{"rib":[{"name":"main",)"
              R"("address-family":"ietf-routing:ipv4","default-rib":true}]}}})");
    auto pretty = join->print();
    ASSERT_TRUE(pretty.ok());
    EXPECT_EQ(pretty->back(), '\n');
}

TEST(DocHpp, RefusalsSayWhereAndWhy)
{
    auto stopped = ds::doc::split(kDocument, {}, [](const ds::doc::Entry &) { return false; });
    EXPECT_TRUE(stopped.ok());
    EXPECT_EQ(*stopped, 1u);
    auto broken = ds::doc::split("{\"ietf-interfaces:interfaces\":", {},
                                 [](const ds::doc::Entry &) { return true; });
    ASSERT_FALSE(broken.ok());
    EXPECT_NE(broken.error().reason(), "");
    auto join = ds::doc::Join::create();
    ASSERT_TRUE(join.ok());
    auto unknown = join->add("/no-such:thing");
    ASSERT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error().where(), "/no-such:thing");
    EXPECT_EQ(unknown.error().reason(), "names no key of a loaded module");
    using namespace std::string_view_literals;
    auto cut = join->add("/ietf-interfaces:interfaces/interface/\"eth0\"\0/x"sv);
    ASSERT_FALSE(cut.ok());
    EXPECT_EQ(cut.error().reason(), "the key path holds a NUL byte");
    auto at = ds::doc::Join::create("/ietf-interfaces:interfaces/interface");
    ASSERT_FALSE(at.ok());
    EXPECT_EQ(at.error().reason(), "names a list, not one of its entries");
}

} // namespace
