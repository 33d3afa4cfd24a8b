// The allocation functions of the test executable. It comes first in symbol
// lookup, so the library's objects and json-c (a shared library, out of reach
// of link-time wrapping) both allocate through these; each forwards to the
// next definition (libc's, or the sanitizer runtime's) unless it is the call
// chosen to fail, and counts the blocks it hands out and takes back. Its
// controls, in namespace failalloc, are declared by the test.
#include <dlfcn.h>
#include <json-c/json.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace
{

void *(*next_malloc)(size_t);
void *(*next_realloc)(void *, size_t);
void (*next_free)(void *);
bool resolving;

bool armed, persistent, failed;
long fail_at = LONG_MAX, calls, blocks;
// json-c 0.16's tokener copies member names with strdup and checks neither
// the copy nor the insertion of the member: no caller survives such a
// failure, so copies made inside the tokener never fail (its other
// allocations do).
int in_tokener;

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
    if (!armed)
        return false;
    long n = calls++;
    if (n != fail_at && !(persistent && n > fail_at))
        return false;
    failed = true;
    errno = ENOMEM;
    return true;
}

} // namespace

namespace failalloc
{

void
arm(long at, bool keep_failing)
{
    fail_at = at;
    persistent = keep_failing;
    calls = 0;
    failed = false;
}

void
live(bool on)
{
    armed = on;
}

bool
disarm()
{
    armed = persistent = false;
    fail_at = LONG_MAX;
    return failed;
}

long
blocks_in_use()
{
    return blocks;
}

} // namespace failalloc

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
