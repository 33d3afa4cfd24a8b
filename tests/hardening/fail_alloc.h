// Allocation failure injection (fail_alloc.cpp): the allocation functions of
// this executable, which the library and json-c both allocate through.
#ifndef DSTYPES_TESTS_HARDENING_FAIL_ALLOC_H
#define DSTYPES_TESTS_HARDENING_FAIL_ALLOC_H

namespace failalloc
{

// Of the allocations made while live from now on, counting from 0, number at
// fails; with persistent set, every later one fails as well.
void arm(long at, bool persistent);
// Starts or stops counting (and failing) allocations, as around each call of
// the library, so that a test's own allocations are never failed.
void live(bool on);
// Stops failing until the next arm; returns whether any allocation was made
// to fail since the last arm.
bool disarm();
// Blocks handed out by malloc, calloc, realloc and strdup and not yet freed.
long blocks_in_use();

} // namespace failalloc

#endif
