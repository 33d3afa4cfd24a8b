// The document calls under failing allocations (failing_heap.h): a split of
// a document with every kind of node and value gives all its entries or
// "out of memory" (after a beginning of them at most); an add that fails
// for want of memory leaves the join as it was, so that it prints what a
// join that never had that entry prints. No block is left allocated either
// way.
#include "dstypes_doc.h"
#include "failing_heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace
{

using failing_heap::armed;
using failing_heap::fail_each_allocation;
using failing_heap::lib;
using failing_heap::owned_text;

const std::string kDocument = R"({"dt:top": {
    "name": "eth/0", "count": 7, "big": "+0014", "ratio": "99.5", "flag": [null], "on": true,
    "color": "green", "perms": "write read", "kind": "a-id", "addr": "2001:DB8::0:1",
    "tags": ["x", "y"], "either": "some text", "net": "10.1.2.3/8", "stamp":
    "2026-12-07T10:00:00Z", "opts": {"x": 1}, "c2": 3,
    "item": [{"id": "a/b", "v": -1, "sub": [{"a": 1, "b": "q", "w": 2}, {"a": 1, "b": "r"}]},
             {"id": "c", "sub": [{"a": 2, "b": "2"}]}],
    "log": [{"msg": "m1"}, {"msg": "m1"}]}})";

using Entry = std::pair<std::string, std::string>; // key path, packed value

// Entries as the split hands them out; the test's own allocations never fail.
int
collect(const DsDocEntry *entry, void *arg)
{
    bool was_armed = std::exchange(armed, false);
    static_cast<std::vector<Entry> *>(arg)->emplace_back(
        std::string(entry->path, entry->path_len),
        std::string(static_cast<const char *>(entry->value), entry->value_len));
    armed = was_armed;
    return 0;
}

// True when the call's error, if it could make one, says "out of memory".
bool
out_of_memory(DsDocError *error)
{
    bool said = error == nullptr || std::string(ds_doc_error_reason(error)) == "out of memory";
    if (!said)
        ADD_FAILURE() << ds_doc_error_where(error) << ": " << ds_doc_error_reason(error);
    ds_doc_error_free(error);
    return said;
}

std::string
entries_text(const std::vector<Entry> &entries)
{
    std::string out;
    for (const auto &[path, value] : entries)
        out += path + "\t" + value + "\n";
    return out;
}

// The document's entries, or none when the split failed; clean, when given,
// is what a split that never failed hands out. A failure that comes while
// the entries are handed out (the document was checked whole before) stops
// after a beginning of them.
std::vector<Entry>
split_document(const std::vector<Entry> *clean = nullptr)
{
    std::vector<Entry> entries;
    DsDocError *error = nullptr;
    if (lib([&] {
            return ds_doc_split(kDocument.data(), kDocument.size(), nullptr, collect, &entries,
                                &error);
        }) == 0)
        return entries;
    EXPECT_TRUE(out_of_memory(error));
    if (clean != nullptr) {
        EXPECT_TRUE(entries.size() < clean->size() &&
                    std::equal(entries.begin(), entries.end(), clean->begin()))
            << "a failed split handed out entries that a whole one does not";
    }
    return {};
}

// The join's prints of entries (both layouts), "" when a call failed. The
// entries whose add was refused for want of memory are left out and listed
// in skipped. Allocations fail only with may_fail.
std::string
join_entries(const std::vector<Entry> &entries, bool may_fail, std::vector<Entry> &skipped)
{
    auto call = [may_fail](auto fn) { return may_fail ? lib(fn) : fn(); };
    DsDocError *error = nullptr;
    DsDocJoin *join = call([&] { return ds_doc_join_new(nullptr, &error); });
    if (join == nullptr) {
        EXPECT_TRUE(out_of_memory(error));
        return "";
    }
    for (const Entry &entry : entries) {
        const void *value = entry.second.empty() ? nullptr : entry.second.data();
        if (call([&] {
                return ds_doc_join_add(join, entry.first.c_str(), value, entry.second.size(),
                                       &error);
            }) == 0)
            continue;
        EXPECT_TRUE(out_of_memory(std::exchange(error, nullptr))) << entry.first;
        skipped.push_back(entry);
    }
    std::string printed;
    bool printed_both = true;
    for (unsigned flags : {0u, unsigned(DS_DOC_PRINT_COMPACT)}) {
        std::string one = owned_text(call([&] { return ds_doc_join_print(join, flags, &error); }));
        if (one.empty()) {
            EXPECT_TRUE(out_of_memory(std::exchange(error, nullptr)));
            printed_both = false;
        }
        printed += one + "\n";
    }
    ds_doc_join_free(join);
    return printed_both ? printed : "";
}

// The join's print; when adds failed, it must be the print of a join that
// never had those entries, and the outcome is "".
std::string
join_with_failures(const std::vector<Entry> &entries)
{
    std::vector<Entry> skipped, none;
    std::string printed = join_entries(entries, true, skipped);
    if (skipped.empty() || printed.empty())
        return printed;
    std::vector<Entry> added;
    for (const Entry &entry : entries)
        if (std::find(skipped.begin(), skipped.end(), entry) == skipped.end())
            added.push_back(entry);
    EXPECT_EQ(printed, join_entries(added, false, none)) << "a failed add changed the join";
    return "";
}

TEST(DocAllocationFailure, SplitAndJoinGiveAllOrOutOfMemoryAndNothingHalfBuilt)
{
    const std::vector<Entry> entries = split_document();
    ASSERT_GT(entries.size(), 20u);
    fail_each_allocation([&] {
        return std::vector<std::string>{entries_text(split_document(&entries)),
                                        join_with_failures(entries)};
    });
}

} // namespace

// The test module directory holds the document fixture module alone: the
// library loads it on the first lookup, outside the counted runs.
int
main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    namespace fs = std::filesystem;
    for (const fs::directory_entry &entry : fs::directory_iterator(DOC_MODULE_DIR))
        fs::remove_all(entry.path());
    fs::copy_file(DOC_FIXTURE_MODULE, fs::path(DOC_MODULE_DIR) / "doc_fixture.so");
    int failed = RUN_ALL_TESTS();
    fs::remove(fs::path(DOC_MODULE_DIR) / "doc_fixture.so");
    return failed;
}
