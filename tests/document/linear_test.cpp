// Splitting a document costs work linear in its text. Adversarial documents
// (long texts, escapes, runs of blanks, many list entries with their keys
// last, deep nesting passed over while a list entry's keys are read ahead)
// are split at 1, 4, 16 and 64 KiB, and the work of the document library is
// counted, not timed: this test links a build of it with a hook at every
// basic block. Work per byte that grows with the length means bytes are read
// again and again.
#include "dstypes_doc.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

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

void
expect_linear(const Family &family)
{
    double previous = 0;
    for (size_t length = 1024; length <= 65536; length *= 4) {
        std::string text = family.prefix;
        for (size_t i = 0; text.size() < length; ++i)
            text += family.unit(i);
        text += family.suffix;
        uint64_t before = work;
        int result = ds_doc_split(text.data(), text.size(), nullptr, ignore, nullptr, nullptr);
        double per_byte = static_cast<double>(work - before) / static_cast<double>(text.size());
        EXPECT_EQ(result == 0, family.accepted) << family.name << " at " << text.size();
        EXPECT_GT(per_byte, 1.0) << family.name << ": the work is not counted";
        if (previous > 0 && per_byte > 1.5 * previous) {
            ADD_FAILURE() << family.name << " at " << text.size() << " bytes: " << per_byte
                          << " steps per byte after " << previous;
            return;
        }
        previous = per_byte;
    }
}

std::string
repeat(const char *unit)
{
    return unit;
}

TEST(SplitWork, GrowsLinearlyWithTheDocument)
{
    auto same = [](const char *unit) { return [unit](size_t) { return repeat(unit); }; };
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
        expect_linear(family);
}

} // namespace
