// Allocation failure on demand, for tests that prove that a call survives
// every failed allocation: the executable that links failing_heap.cpp gets
// its malloc, realloc, calloc, strdup and free (so that the library's objects
// and json-c, a shared library out of reach of link-time wrapping, both
// allocate through them), and its rk_syslog, which counts the log lines
// without touching the heap.
#ifndef DSTYPES_TESTS_HARDENING_FAILING_HEAP_H
#define DSTYPES_TESTS_HARDENING_FAILING_HEAP_H

#include <json-c/json.h>

#include <functional>
#include <string>
#include <vector>

namespace failing_heap
{

// Whether allocations may fail now (only inside lib()); the log lines
// written since the script's run began.
extern bool armed;
extern int log_lines;

// Each call of the library goes through here: the test's own allocations never fail.
template <class Fn>
auto
lib(Fn fn)
{
    armed = true;
    auto result = fn();
    armed = false;
    return result;
}

// Outcomes as text, "" for a failed call; each releases what the call made.
std::string jo_text(json_object *jo);
std::string owned_text(char *text);

// Runs script once with nothing failing (threads keep their tokener and
// compiled patterns), then with each of its allocations failed in turn, and
// with that one and every later one: every outcome is the clean run's or ""
// (a failure), no block stays allocated and no null text is logged.
void fail_each_allocation(const std::function<std::vector<std::string>()> &script);

} // namespace failing_heap

#endif
