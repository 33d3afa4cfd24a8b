// The allocation functions and the log of a test executable that fails
// allocations on demand (failing_heap.h). Each forwards to the next
// definition (libc's, or the sanitizer runtime's) unless it is the one
// chosen to fail, and counts the blocks it hands out.
#include "failing_heap.h"

#include "core/json_ref.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace failing_heap
{

bool armed;
int log_lines;

} // namespace failing_heap

using failing_heap::armed;
using failing_heap::log_lines;

namespace
{

void *(*next_malloc)(size_t);
void *(*next_realloc)(void *, size_t);
void (*next_free)(void *);
bool resolving;

// Of the allocations made while armed since the count was reset, number
// fail_at (from 0) fails, and with persistent every later one; blocks counts
// those handed out and not yet freed.
bool persistent, failed;
long fail_at = LONG_MAX, calls, blocks;
// json-c 0.16's tokener copies member names with strdup and checks neither
// the copy nor the insertion of the member: no caller survives such a
// failure, so copies made inside the tokener never fail (its other
// allocations do).
int in_tokener;
bool log_null_text;

// False until the next definitions are found; should dlsym allocate while
// looking them up, it is refused.
bool
resolved()
{
    if (next_free == nullptr && !resolving) {
        resolving = true;
        next_malloc = reinterpret_cast<decltype(next_malloc)>(dlsym(RTLD_NEXT, "malloc"));
        next_realloc = reinterpret_cast<decltype(next_realloc)>(dlsym(RTLD_NEXT, "realloc"));
        next_free = reinterpret_cast<decltype(next_free)>(dlsym(RTLD_NEXT, "free"));
        resolving = false;
    }
    return next_free != nullptr;
}

bool
fails()
{
    bool fail = armed && (calls == fail_at || (persistent && calls > fail_at));
    calls += armed;
    failed = failed || fail;
    if (fail)
        errno = ENOMEM; // only then: errno is out of reach before the sanitizer starts
    return fail;
}

} // namespace

extern "C" void *
malloc(size_t n)
{
    if (!resolved())
        return nullptr;
    void *p = fails() ? nullptr : next_malloc(n);
    blocks += p != nullptr;
    return p;
}

extern "C" void *
calloc(size_t count, size_t n)
{
    size_t bytes = 0;
    void *p = __builtin_mul_overflow(count, n, &bytes) ? nullptr : malloc(bytes);
    return p != nullptr ? std::memset(p, 0, bytes) : nullptr;
}

extern "C" void *
realloc(void *p, size_t n)
{
    if (p == nullptr)
        return malloc(n);
    return resolved() && !fails() ? next_realloc(p, n) : nullptr;
}

// Made here, since the sanitizer runtime's strdup allocates without malloc.
extern "C" char *
strdup(const char *text)
{
    size_t n = std::strlen(text) + 1;
    bool was_armed = armed;
    armed = armed && in_tokener == 0;
    void *copy = malloc(n);
    armed = was_armed;
    return copy != nullptr ? static_cast<char *>(std::memcpy(copy, text, n)) : nullptr;
}

extern "C" void
free(void *p)
{
    if (p == nullptr || !resolved())
        return;
    --blocks;
    next_free(p);
}

// The tokener entry points that the library uses; json-c calls between them
// directly, so each one is wrapped.
extern "C" json_object *
json_tokener_parse_verbose(const char *text, json_tokener_error *error)
{
    static auto next = reinterpret_cast<decltype(&json_tokener_parse_verbose)>(
        dlsym(RTLD_NEXT, "json_tokener_parse_verbose"));
    ++in_tokener;
    json_object *jo = next(text, error);
    --in_tokener;
    return jo;
}

extern "C" json_object *
json_tokener_parse_ex(json_tokener *tok, const char *text, int len)
{
    static auto next = reinterpret_cast<decltype(&json_tokener_parse_ex)>(
        dlsym(RTLD_NEXT, "json_tokener_parse_ex"));
    ++in_tokener;
    json_object *jo = next(tok, text, len);
    --in_tokener;
    return jo;
}

// The log capture of this executable: no heap, since it runs while
// allocations fail. Every conversion in the library's formats is %s.
extern "C" void
rk_syslog(int, int, int, uint32_t, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    for (const char *p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p + 2, '%'))
        if (p[1] != '%' && va_arg(args, const char *) == nullptr)
            log_null_text = true;
    va_end(args);
    ++log_lines;
}

namespace failing_heap
{

std::string
jo_text(json_object *jo)
{
    JsonRef ref(jo);
    return jo != nullptr ? json_object_to_json_string(jo) : "";
}

std::string
owned_text(char *text)
{
    std::string out = text != nullptr ? text : "";
    std::free(text);
    return out;
}

void
fail_each_allocation(const std::function<std::vector<std::string>()> &script)
{
    const std::vector<std::string> clean = script();
    for (const std::string &outcome : clean)
        ASSERT_NE(outcome, "");
    for (bool keep_failing : {false, true}) {
        for (long n = 0;; ++n) {
            ASSERT_LT(n, 100000) << "the script never stops allocating";
            log_lines = 0;
            log_null_text = false;
            long before = blocks;
            calls = 0;
            failed = false;
            fail_at = n;
            persistent = keep_failing;
            std::vector<std::string> got = script();
            fail_at = LONG_MAX;
            for (size_t i = 0; i < got.size(); ++i)
                EXPECT_TRUE(got[i].empty() || got[i] == clean[i])
                    << n << ", " << i << ": " << got[i];
            got = std::vector<std::string>();
            EXPECT_EQ(blocks, before) << "leak, failing allocation " << n;
            EXPECT_FALSE(log_null_text) << "null text logged, allocation " << n;
            if (!failed)
                break;
        }
    }
}

} // namespace failing_heap
