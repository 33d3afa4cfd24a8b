// Counting of heap allocations in the benchmark binaries. The binaries replace
// malloc, calloc and realloc with wrappers around glibc's own allocator, so
// every allocation of the library, json-c and libyang goes through a counter
// while counting is switched on. Sanitizer builds keep the sanitizer's
// allocator and count nothing.
#ifndef DSTYPES_BENCH_ALLOC_COUNT_H
#define DSTYPES_BENCH_ALLOC_COUNT_H

#include <benchmark/benchmark.h>

#include <cstdint>

namespace dsbench
{

// Whether this binary counts allocations at all.
bool alloc_counting_available();

// Switches counting on from zero; alloc_count_stop switches it off and
// returns the number of malloc, calloc and realloc calls in between.
void alloc_count_start();
uint64_t alloc_count_stop();

// Switches tracking of the heap's size on; heap_peak_stop switches it off and
// returns the most bytes that blocks allocated in between held at once
// (usable sizes, net of what was freed meanwhile). Blocks of memalign and its
// kin are not seen; the library, json-c and libyang use none.
void heap_peak_start();
uint64_t heap_peak_stop();

// Runs body once as warm-up (caches, lazily loaded tables), then runs the
// benchmark loop over it with counting on, and reports the allocations per
// iteration as the counter "allocs". Kept out of line so that a profiler can
// collect this function alone (callgrind --toggle-collect='*run_counted*').
template <typename Body>
[[gnu::noinline]] void
run_counted(benchmark::State &state, Body body)
{
    body();
    alloc_count_start();
    for (auto _ : state)
        body();
    const uint64_t allocs = alloc_count_stop();
    if (alloc_counting_available())
        state.counters["allocs"] =
            benchmark::Counter(static_cast<double>(allocs), benchmark::Counter::kAvgIterations);
}

} // namespace dsbench

#endif
