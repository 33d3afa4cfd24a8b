// The allocation functions of the test executable. It comes first in symbol
// lookup, so the library's objects and json-c (a shared library, out of reach
// of link-time wrapping) both allocate through these; each forwards to the
// next definition (libc's, or the sanitizer runtime's) unless it is the call
// chosen to fail, and counts the blocks it hands out and takes back. Until
// dlsym has found those, requests are served from a static arena that free
// recognises.
#include "fail_alloc.h"

#include <dlfcn.h>
#include <json-c/json.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace
{

void *(*next_malloc)(size_t);
void *(*next_calloc)(size_t, size_t);
void *(*next_realloc)(void *, size_t);
void (*next_free)(void *);
bool resolving;

alignas(16) unsigned char arena[16384];
size_t arena_used;

bool armed, persistent, failed;
long fail_at = LONG_MAX, calls, blocks;
// json-c 0.16's tokener copies member names with strdup and checks neither
// the copy nor the insertion of the member: no caller survives such a
// failure, so copies made inside the tokener never fail (its other
// allocations do).
int in_tokener;

void *
arena_alloc(size_t n)
{
    n = (n + 15) & ~size_t{15};
    if (n > sizeof arena - arena_used)
        return nullptr;
    arena_used += n;
    return arena + arena_used - n;
}

bool
in_arena(const void *p)
{
    return p >= arena && p < arena + sizeof arena;
}

template <class Fn>
void
find_next(Fn &fn, const char *name)
{
    fn = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// False while the next definitions are being looked up (dlsym may allocate).
bool
resolved()
{
    if (next_free != nullptr)
        return true;
    if (resolving)
        return false;
    resolving = true;
    find_next(next_malloc, "malloc");
    find_next(next_calloc, "calloc");
    find_next(next_realloc, "realloc");
    find_next(next_free, "free");
    resolving = false;
    return true;
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

void
failalloc::arm(long at, bool keep_failing)
{
    fail_at = at;
    persistent = keep_failing;
    calls = 0;
    failed = false;
}

void
failalloc::live(bool on)
{
    armed = on;
}

bool
failalloc::disarm()
{
    armed = persistent = false;
    fail_at = LONG_MAX;
    return failed;
}

long
failalloc::blocks_in_use()
{
    return blocks;
}

extern "C" void *
malloc(size_t n)
{
    if (!resolved())
        return arena_alloc(n);
    void *p = fails() ? nullptr : next_malloc(n);
    blocks += p != nullptr;
    return p;
}

extern "C" void *
calloc(size_t count, size_t n)
{
    if (!resolved())
        return arena_alloc(count * n); // static, so already zero
    void *p = fails() ? nullptr : next_calloc(count, n);
    blocks += p != nullptr;
    return p;
}

extern "C" void *
realloc(void *p, size_t n)
{
    if (p == nullptr)
        return malloc(n);
    if (!resolved() || fails())
        return nullptr;
    if (!in_arena(p))
        return next_realloc(p, n);
    void *moved = next_malloc(n);
    blocks += moved != nullptr;
    size_t room = static_cast<size_t>(arena + sizeof arena - static_cast<unsigned char *>(p));
    return moved != nullptr ? std::memcpy(moved, p, n < room ? n : room) : nullptr;
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
    if (p == nullptr || in_arena(p) || !resolved())
        return;
    --blocks;
    next_free(p);
}

// The tokener entry points that the library uses; json-c calls between them
// directly, so each one is wrapped.
namespace
{

template <class Fn, class... Args>
json_object *
in_tokener_call(Fn &next, const char *name, Args... args)
{
    if (next == nullptr)
        find_next(next, name);
    ++in_tokener;
    json_object *jo = next(args...);
    --in_tokener;
    return jo;
}

json_object *(*next_parse_verbose)(const char *, json_tokener_error *);
json_object *(*next_parse_ex)(json_tokener *, const char *, int);

} // namespace

extern "C" json_object *
json_tokener_parse_verbose(const char *text, json_tokener_error *error)
{
    return in_tokener_call(next_parse_verbose, "json_tokener_parse_verbose", text, error);
}

extern "C" json_object *
json_tokener_parse_ex(json_tokener *tok, const char *text, int len)
{
    return in_tokener_call(next_parse_ex, "json_tokener_parse_ex", tok, text, len);
}
