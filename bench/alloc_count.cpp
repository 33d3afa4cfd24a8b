// The allocation counter of the benchmark binaries: malloc, calloc and realloc
// defined here take precedence over glibc's for the whole process (the
// library and json-c included) and forward to glibc's allocator, whose free
// accepts every block. Counting uses a relaxed atomic so that a stray thread
// cannot corrupt the count.
#include "alloc_count.h"

#include <atomic>
#include <cstddef>

namespace
{

std::atomic<bool> counting{false};
std::atomic<uint64_t> count{0};

inline void
note_allocation()
{
    if (counting.load(std::memory_order_relaxed))
        count.fetch_add(1, std::memory_order_relaxed);
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

void *
malloc(size_t size)
{
    note_allocation();
    return __libc_malloc(size);
}

void *
calloc(size_t n, size_t size)
{
    note_allocation();
    return __libc_calloc(n, size);
}

void *
realloc(void *p, size_t size)
{
    note_allocation();
    return __libc_realloc(p, size);
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
