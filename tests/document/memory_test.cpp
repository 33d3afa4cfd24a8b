// The heap that splitting holds grows with the document's nesting, not its
// size: this test counts the live heap through its own malloc and free (the
// C library's underneath) while documents of the same shape and growing
// size are split. The one thing that grows with a document is the check for
// repeated list entries, 8 bytes a slot of each open list's table.
#include "dstypes_doc.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <string>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);
}

namespace
{

bool counting;
long long live, peak;

void
note(void *block, int sign)
{
    if (!counting || block == nullptr)
        return;
    live += sign * static_cast<long long>(malloc_usable_size(block));
    peak = std::max(peak, live);
}

} // namespace

extern "C" void *
malloc(size_t size)
{
    void *block = __libc_malloc(size);
    note(block, 1);
    return block;
}

extern "C" void *
calloc(size_t count, size_t size)
{
    void *block = __libc_calloc(count, size);
    note(block, 1);
    return block;
}

extern "C" void *
realloc(void *block, size_t size)
{
    note(block, -1);
    void *moved = __libc_realloc(block, size);
    note(moved != nullptr ? moved : block, 1);
    return moved;
}

extern "C" void
free(void *block)
{
    note(block, -1);
    __libc_free(block);
}

namespace
{

int
ignore(const DsDocEntry *, void *)
{
    return 0;
}

// The peak live heap while text is split (after a first split, so that the
// library's one-time tables exist).
long long
peak_heap(const std::string &text)
{
    ds_doc_split(text.data(), text.size(), nullptr, ignore, nullptr, nullptr);
    live = peak = 0;
    counting = true;
    int result = ds_doc_split(text.data(), text.size(), nullptr, ignore, nullptr, nullptr);
    counting = false;
    EXPECT_EQ(result, 0) << text.substr(0, 200);
    return peak;
}

std::string
document(const char *prefix, const std::string &unit, size_t count, const char *suffix)
{
    std::string text = prefix;
    for (size_t i = 0; i < count; ++i) {
        text += i == 0 ? "" : ",";
        text += unit;
    }
    return text + suffix;
}

TEST(SplitMemory, PeakHeapFollowsNestingNotSize)
{
    std::string small = document(R"({"dt:top": {"log": [)", R"({"msg": "message"})", 100, "]}}");
    std::string large = document(R"({"dt:top": {"log": [)", R"({"msg": "message"})", 200000, "]}}");
    long long small_peak = peak_heap(small), large_peak = peak_heap(large);
    std::printf("peak heap %lld bytes for %zu bytes of document, %lld for %zu\n", small_peak,
                small.size(), large_peak, large.size());
    EXPECT_GT(small_peak, 0);
    EXPECT_LE(large_peak, small_peak + 1024) << large.size() << " bytes of document";
    // Deeper documents hold more: a key path and a place per level.
    std::string deep =
        R"({"dt:top": {"item": [{"id": "a", "sub": [{"a": 1, "b": "b", "w": 1}]}]}})";
    EXPECT_GT(peak_heap(deep), small_peak);
}

TEST(SplitMemory, RepeatedEntryCheckHoldsEightBytesASlot)
{
    auto keyed = [](size_t count) {
        std::string text = R"({"dt:top": {"item": [)";
        for (size_t i = 0; i < count; ++i) {
            text += i == 0 ? R"({"id": "k)" : R"(,{"id": "k)";
            text += std::to_string(i);
            text += "\"}";
        }
        return text + "]}}";
    };
    long long small_peak = peak_heap(keyed(1000)), large_peak = peak_heap(keyed(100000));
    std::printf("peak heap %lld bytes for 1000 list entries, %lld for 100000\n", small_peak,
                large_peak);
    // At most 8/3 slots an entry (the table is at most three quarters full,
    // and doubles), each of 8 bytes, and the old table while it doubles.
    EXPECT_LE(large_peak - small_peak, 32 * 99000);
}

} // namespace
