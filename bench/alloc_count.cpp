// The allocation counter of the benchmark binaries: malloc, calloc, realloc
// and free defined here take precedence over glibc's for the whole process
// (the library, json-c and libyang included) and forward to glibc's
// allocator. Counting uses relaxed atomics so that a stray thread cannot
// corrupt the count. While the heap is tracked, each block adds its usable
// size and each free takes it off again; the peak is the most held at once.
#include "alloc_count.h"

#include <malloc.h>

#include <atomic>
#include <cstddef>

namespace
{

std::atomic<bool> counting{false};
std::atomic<uint64_t> count{0};
std::atomic<bool> tracking{false};
std::atomic<int64_t> held{0};
std::atomic<int64_t> peak{0};

inline void
note_allocation()
{
    if (counting.load(std::memory_order_relaxed))
        count.fetch_add(1, std::memory_order_relaxed);
}

inline void
note_size(void *p, int sign)
{
    if (p == nullptr || !tracking.load(std::memory_order_relaxed))
        return;
    const int64_t now =
        held.fetch_add(sign * int64_t(malloc_usable_size(p)), std::memory_order_relaxed) +
        sign * int64_t(malloc_usable_size(p));
    int64_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)

bool
dsbench::alloc_counting_available()
{
    return false;
}

#else

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t n, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);

void *
malloc(size_t size)
{
    note_allocation();
    void *p = __libc_malloc(size);
    note_size(p, 1);
    return p;
}

void *
calloc(size_t n, size_t size)
{
    note_allocation();
    void *p = __libc_calloc(n, size);
    note_size(p, 1);
    return p;
}

void *
realloc(void *p, size_t size)
{
    note_allocation();
    note_size(p, -1);
    void *q = __libc_realloc(p, size);
    note_size(q != nullptr || size == 0 ? q : p, 1);
    return q;
}

void
free(void *p)
{
    note_size(p, -1);
    __libc_free(p);
}
}

bool
dsbench::alloc_counting_available()
{
    return true;
}

#endif

void
dsbench::alloc_count_start()
{
    count.store(0, std::memory_order_relaxed);
    counting.store(true, std::memory_order_relaxed);
}

uint64_t
dsbench::alloc_count_stop()
{
    counting.store(false, std::memory_order_relaxed);
    return count.load(std::memory_order_relaxed);
}

void
dsbench::heap_peak_start()
{
    held.store(0, std::memory_order_relaxed);
    peak.store(0, std::memory_order_relaxed);
    tracking.store(true, std::memory_order_relaxed);
}

uint64_t
dsbench::heap_peak_stop()
{
    tracking.store(false, std::memory_order_relaxed);
    return uint64_t(peak.load(std::memory_order_relaxed));
}
