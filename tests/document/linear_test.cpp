// Splitting a document costs work linear in its text, and joining entries
// work linear in their number. Adversarial inputs (long texts, escapes, runs
// of blanks, many list entries with their keys last, deep nesting passed over
// while a list entry's keys are read ahead; many entries of one list whose
// keys differ only at their end, one entry refused again and again) are made
// at four sizes, each four times the one before, and the work of the
// document library is counted, not timed: this test links a build of it
// with a hook at every basic block. Work per byte or per entry that grows
// with the size means some of the input is looked at again and again; a
// quadratic walk quadruples it at each step.
#include "dstypes_doc.h"

#include <gtest/gtest.h>
#include <json-c/json.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace
{

uint64_t work;

} // namespace

extern "C" void
__sanitizer_cov_trace_pc()
{
    ++work;
}

namespace
{

// The work per unit of an input at size steps 0 to 3 (cost_at(step)). Each
// step may cost at most 1.5 times the previous one per unit; the steps stop
// at the first that costs more.
void
expect_linear(const std::string &name, const std::function<double(int step)> &cost_at)
{
    double previous = 0;
    for (int step = 0; step < 4; ++step) {
        double per_unit = cost_at(step);
        EXPECT_GT(per_unit, 0.1)
            << name << ": the work is not counted"; // a word-wise scan reads 8 bytes a step
        if (previous > 0 && per_unit > 1.5 * previous) {
            ADD_FAILURE() << name << " at step " << step << ": " << per_unit
                          << " steps per unit after " << previous;
            return;
        }
        previous = per_unit;
    }
}

// A document: prefix, then unit(i) for i = 0, 1, ... until the length is
// reached, then suffix; accepted says whether split takes it.
struct Family {
    const char *name;
    std::string prefix;
    std::function<std::string(size_t)> unit;
    std::string suffix;
    bool accepted;
};

int
ignore(const DsDocEntry *, void *)
{
    return 0;
}

double
split_work_per_byte(const Family &family, int step)
{
    std::string text = family.prefix;
    for (size_t i = 0; text.size() < size_t(1024) << (2 * step); ++i)
        text += family.unit(i);
    text += family.suffix;
    uint64_t before = work;
    int result = ds_doc_split(text.data(), text.size(), nullptr, ignore, nullptr, nullptr);
    EXPECT_EQ(result == 0, family.accepted) << family.name << " at " << text.size();
    return static_cast<double>(work - before) / static_cast<double>(text.size());
}

TEST(SplitWork, GrowsLinearlyWithTheDocument)
{
    auto same = [](const char *unit) { return [unit](size_t) { return std::string(unit); }; };
    auto numbered = [](const char *before, const char *after) {
        return [before, after](size_t i) {
            return std::string(i == 0 ? "" : ",") + before + std::to_string(i) + after;
        };
    };
    const Family families[] = {
        {"a long text", R"({"dt:top": {"name": ")", same("a"), R"("}})", false},
        {"a long text of escapes", R"({"dt:top": {"name": ")", same("\\u00e9\\n"), R"("}})", false},
        {"blanks", R"({"dt:top": {"count":)", same(" \n\t"), "1}}", true},
        {"keyless entries", R"({"dt:top": {"log": [{"msg": "m"})", same(R"(, {"msg": "m"})"), "]}}",
         true},
        {"entries with their key last", R"({"dt:top": {"item": [)",
         numbered(R"({"v": 1, "sub": [{"b": "x", "a": 1}], "id": "k)", R"("})"), "]}}", true},
        {"nested entries", R"({"dt:top": {"item": [{"id": "a", "sub": [)",
         numbered(R"({"b": "k)", R"(", "a": 7})"), "]}]}}", true},
        {"entries that repeat their neighbour's keys but the last character",
         R"({"dt:top": {"item": [)", numbered(R"({"id": "aaaaaaaaaa)", R"("})"), "]}}", true},
        {"nesting passed over before a key", R"({"dt:top": {"item": [{"v": )", same("["), "",
         false},
        {"nesting of objects passed over", R"({"dt:top": {"item": [{"v": )", same(R"({"x":)"), "",
         false},
    };
    for (const Family &family : families)
        expect_linear(family.name,
                      [&family](int step) { return split_work_per_byte(family, step); });
}

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
    return std::vector<Entry>(n + 1, {kInterface + "\"eth0\"", ""});
}

// Work per entry of joining and printing the entries in both layouts.
double
join_work_per_entry(const std::vector<Entry> &entries)
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

// Over dsgen's module of the IETF models, where the build has it.
TEST(JoinWork, EntriesCostTheirNumber)
{
    if (ds_find_key((kInterface + "\"eth0\"").c_str(), false) == nullptr)
        GTEST_SKIP() << "no module of the IETF models in this build";
    const std::pair<const char *, std::function<std::vector<Entry>(int)>> families[] = {
        {"list entries", interfaces}, {"refused entries", repeated}};
    for (const auto &[name, make] : families)
        expect_linear(name,
                      [&make](int step) { return join_work_per_entry(make(64 << (2 * step))); });
}

} // namespace
