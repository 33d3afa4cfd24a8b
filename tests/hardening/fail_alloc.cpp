// The interposed allocation functions behind fail_alloc.h. Until the next
// definitions have been looked up with dlsym (which may itself allocate),
// requests are served from a small static arena that free recognises.
#include "fail_alloc.h"

#include <dlfcn.h>
#include <json-c/json.h>
#include <malloc.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (sanitizer/allocator_interface.h, which g++ 12
// does not install).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace
{

using MallocFn = void *(*)(size_t);
using CallocFn = void *(*)(size_t, size_t);
using ReallocFn = void *(*)(void *, size_t);
using StrdupFn = char *(*)(const char *);
using FreeFn = void (*)(void *);

MallocFn next_malloc;
CallocFn next_calloc;
ReallocFn next_realloc;
StrdupFn next_strdup;
// json-c 0.16's tokener copies member names with strdup and uses neither the
// copy nor json_object_object_add's result checked: a failed copy crashes
// it or leaks the member's value. No caller of json-c survives that, so
// copies made while the tokener runs are never failed; its other
// allocations are.
int in_tokener;
FreeFn next_free;
bool resolving;

alignas(16) unsigned char arena[16384];
size_t arena_used;

bool armed;
bool persistent;
long fail_at;
long calls;
const char *first_failed;

void *
arena_alloc(size_t n)
{
    n = (n + 15) & ~size_t{15};
    if (n > sizeof arena - arena_used)
        return nullptr;
    void *p = arena + arena_used;
    arena_used += n;
    return p;
}

bool
in_arena(const void *p)
{
    auto *byte = static_cast<const unsigned char *>(p);
    return byte >= arena && byte < arena + sizeof arena;
}

// False while the next definitions are being looked up: the caller then
// serves the request from the arena.
bool
resolved()
{
    if (next_malloc != nullptr)
        return true;
    if (resolving)
        return false;
    resolving = true;
    next_malloc = reinterpret_cast<MallocFn>(dlsym(RTLD_NEXT, "malloc"));
    next_calloc = reinterpret_cast<CallocFn>(dlsym(RTLD_NEXT, "calloc"));
    next_realloc = reinterpret_cast<ReallocFn>(dlsym(RTLD_NEXT, "realloc"));
    next_strdup = reinterpret_cast<StrdupFn>(dlsym(RTLD_NEXT, "strdup"));
    next_free = reinterpret_cast<FreeFn>(dlsym(RTLD_NEXT, "free"));
    resolving = false;
    return true;
}

bool
fails(const char *function)
{
    if (!armed)
        return false;
    long n = calls++;
    if (n != fail_at && !(persistent && n > fail_at))
        return false;
    if (first_failed == nullptr)
        first_failed = function;
    errno = ENOMEM; // as the allocators themselves report it
    return true;
}

} // namespace

namespace failalloc
{

void
arm(long n, bool keep_failing)
{
    fail_at = n;
    persistent = keep_failing;
    calls = 0;
    first_failed = nullptr;
    armed = true;
}

bool
disarm()
{
    armed = false;
    return first_failed != nullptr;
}

long
allocations_made()
{
    return calls;
}

const char *
failed_function()
{
    return first_failed;
}

size_t
bytes_in_use()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

} // namespace failalloc

extern "C" void *
malloc(size_t n)
{
    if (!resolved())
        return arena_alloc(n);
    return fails("malloc") ? nullptr : next_malloc(n);
}

extern "C" void *
calloc(size_t count, size_t n)
{
    if (!resolved())
        return arena_alloc(count * n); // static, so already zero
    return fails("calloc") ? nullptr : next_calloc(count, n);
}

extern "C" void *
realloc(void *p, size_t n)
{
    if (!resolved())
        return nullptr;
    if (fails("realloc"))
        return nullptr;
    if (p == nullptr || !in_arena(p))
        return next_realloc(p, n);
    void *moved = next_malloc(n);
    if (moved != nullptr) {
        size_t room = static_cast<size_t>(arena + sizeof arena - static_cast<unsigned char *>(p));
        std::memcpy(moved, p, n < room ? n : room);
    }
    return moved;
}

extern "C" char *
strdup(const char *text)
{
    if (!resolved()) {
        auto *copy = static_cast<char *>(arena_alloc(std::strlen(text) + 1));
        return copy != nullptr ? std::strcpy(copy, text) : nullptr;
    }
    if (!armed)
        return next_strdup(text);
    if (in_tokener == 0 && fails("strdup"))
        return nullptr;
    // One allocation: the malloc that libc's strdup makes is not counted again.
    armed = false;
    char *copy = next_strdup(text);
    armed = true;
    return copy;
}

extern "C" void
free(void *p)
{
    if (p == nullptr || in_arena(p))
        return;
    if (resolved())
        next_free(p);
}

// The tokener's entry points: json-c calls between them directly, so each
// one that a caller may use is wrapped.
namespace
{

template <class Fn, class... Args>
json_object *
in_tokener_call(Fn &next, const char *name, Args... args)
{
    if (next == nullptr)
        next = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
    ++in_tokener;
    json_object *jo = next(args...);
    --in_tokener;
    return jo;
}

json_object *(*next_parse)(const char *);
json_object *(*next_parse_verbose)(const char *, json_tokener_error *);
json_object *(*next_parse_ex)(json_tokener *, const char *, int);

} // namespace

extern "C" json_object *
json_tokener_parse(const char *text)
{
    return in_tokener_call(next_parse, "json_tokener_parse", text);
}

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
