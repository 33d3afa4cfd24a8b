// Allocation failure injection for the hardening tests. The test executable
// defines malloc, calloc, realloc, strdup and free itself (fail_alloc.cpp);
// the executable comes first in symbol lookup, so both the library's objects
// and json-c, a shared library, allocate through them. Each forwards to the
// next definition in lookup order (libc's, or the sanitizer runtime's in an
// ASan build) except the calls chosen to fail. Link-time wrapping
// (-Wl,--wrap=malloc) would reach only the statically linked objects, never
// json-c's allocations, which are most of what a conversion allocates.
#ifndef DSTYPES_TESTS_HARDENING_FAIL_ALLOC_H
#define DSTYPES_TESTS_HARDENING_FAIL_ALLOC_H

#include <cstddef>

namespace failalloc
{

// From the next allocation on, counting from 0, allocation number fail_at
// fails; with persistent set, every later one fails as well.
void arm(long fail_at, bool persistent);
// Stops failing; returns whether any allocation was made to fail since arm.
bool disarm();
// Allocations made since arm, the failed ones included.
long allocations_made();
// The function whose call was the first to fail ("malloc", "strdup", ...),
// or null when none did.
const char *failed_function();
// Bytes currently allocated from the heap, as the allocator counts them.
size_t bytes_in_use();

} // namespace failalloc

#endif
