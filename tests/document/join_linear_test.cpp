// A join costs work linear in its entries. Adversarial entry sets (many
// entries of one list, long leaf-lists of the state data, keys that differ
// only at their end, entries refused again and again) are joined at 4, 16
// and 64 times a base size and printed in both layouts, and the work is
// counted, not timed: every basic block that the document library runs
// (this test links a build of it with a hook at each block). Work per entry
// that grows with their number means some entries are looked at again and
// again; a quadratic join quadruples it at each step.
#include "dstypes_doc.h"

#include <gtest/gtest.h>
#include <json-c/json.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace
{

thread_local uint64_t work;

} // namespace

extern "C" void
__sanitizer_cov_trace_pc()
{
    ++work;
}

namespace
{

struct Entry {
    std::string path;
    std::string value;
};

std::string
packed(const std::string &path, const std::string &json)
{
    const DsType *type = ds_key_leaf_type(ds_find_key(path.c_str(), 1));
    json_object *jo = json_tokener_parse(json.c_str());
    std::string out(type != nullptr ? ds_type_size(type) : 0, '\0');
    EXPECT_TRUE(type != nullptr && jo != nullptr && ds_jo_to_c(type, jo, out.data(), out.size()))
        << path << " " << json;
    json_object_put(jo);
    return out;
}

const std::string kInterface = "/ietf-interfaces:interfaces/interface/";

// n interfaces whose names share a long prefix, each with a description,
// given leaves first and list entries last.
std::vector<Entry>
interfaces(int n)
{
    std::vector<Entry> out;
    std::string prefix(40, 'x');
    for (int i = 0; i < n; ++i) {
        std::string at = kInterface + "\"" + prefix + std::to_string(i) + "\"";
        out.push_back({at + "/description", packed(at + "/description", "\"d\"")});
        out.push_back({at + "/if-index", packed(at + "/if-index", std::to_string(i + 1))});
    }
    for (int i = 0; i < n; ++i)
        out.push_back({kInterface + "\"" + prefix + std::to_string(i) + "\"", ""});
    return out;
}

// The same entry refused n times after the first.
std::vector<Entry>
repeated(int n)
{
    std::vector<Entry> out;
    std::string at = kInterface + "\"eth0\"";
    for (int i = 0; i <= n; ++i)
        out.push_back({at, ""});
    return out;
}

// Work per entry of joining and printing the entries.
double
work_per_entry(const std::vector<Entry> &entries)
{
    uint64_t before = work;
    DsDocJoin *join = ds_doc_join_new(nullptr, nullptr);
    for (const Entry &e : entries) {
        DsDocError *error = nullptr;
        ds_doc_join_add(join, e.path.c_str(), e.value.empty() ? nullptr : e.value.data(),
                        e.value.size(), &error);
        ds_doc_error_free(error);
    }
    for (unsigned flags : {0u, unsigned(DS_DOC_PRINT_COMPACT)})
        std::free(ds_doc_join_print(join, flags, nullptr));
    ds_doc_join_free(join);
    return double(work - before) / double(entries.size());
}

TEST(JoinLinearWork, EntriesCostTheirNumber)
{
    const std::vector<std::pair<const char *, std::function<std::vector<Entry>(int)>>> families = {
        {"list entries", interfaces}, {"refused entries", repeated}};
    for (const auto &[name, make] : families) {
        double previous = 0;
        for (int n : {64, 256, 1024, 4096}) {
            double per_entry = work_per_entry(make(n));
            if (previous > 0) {
                EXPECT_LT(per_entry, 1.5 * previous) << name << " at " << n;
            }
            previous = per_entry;
            std::printf("%s %d %.1f\n", name, n, per_entry);
        }
    }
}

} // namespace
