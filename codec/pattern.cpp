// The pattern check of string types. Patterns are POSIX extended expressions
// applied unanchored: a match anywhere in the text accepts it. A pattern that
// does not compile is a fault of the schema, not of the value: it is reported
// on standard error at every check and lets the text through.
//
// Compiling a pattern costs from microseconds to a millisecond, matching with
// a compiled one well under one. Each thread therefore keeps its own small
// cache of compiled patterns, keyed by the pattern's address: descriptors are
// static data that is never unloaded, and a compiled pattern is not shared
// between threads because glibc's regexec locks inside it. A compiled pattern
// depends on the locale's character classes and collation, so an entry also
// records which locale data it was compiled under and is compiled again when
// the calling thread's locale has changed. The cache is released when the
// thread ends. The built-in rows' patterns skip the regex engine in the C
// locale: exact matchers (builtin_patterns.cpp) give the same verdicts.
#include "codec/codec.h"
#include "core/regex.h"

#include <cstdint>
#include <cstdio>
#include <langinfo.h>
#include <optional>

namespace
{

// The identity of the locale data that regcomp consults: the addresses of two
// strings inside the current LC_CTYPE and LC_COLLATE data. Loaded locale data
// stays in memory, so a different address means different data.
struct LocaleStamp {
    const char *ctype;
    const char *collate;

    static LocaleStamp
    current()
    {
        return {nl_langinfo(CODESET), nl_langinfo(_NL_COLLATE_CODESET)};
    }
    bool operator==(const LocaleStamp &) const = default;
};

void
report_bad_pattern(const DsType *type, const Regex &compiled)
{
    char description[60];
    compiled.describe(description, sizeof description);
    const char *name = type->name != nullptr ? type->name : "<unnamed type>";
    std::fprintf(stderr, "INTERNAL ERROR: regexp %s for type %s: %s\n", type->p.string.regex, name,
                 description);
}

// A direct-mapped table of compiled patterns, one per thread.
class PatternCache
{
  public:
    PatternCache() = default;
    PatternCache(const PatternCache &) = delete;
    PatternCache &operator=(const PatternCache &) = delete;

    // The compiled pattern of the type, or null when it does not compile
    // (reported on standard error).
    const Regex *
    lookup(const DsType *type)
    {
        const char *pattern = type->p.string.regex;
        LocaleStamp stamp = LocaleStamp::current();
        Slot &slot = slots_[index_of(pattern)];
        if (slot.pattern == pattern && slot.stamp == stamp)
            return &*slot.compiled;
        slot.pattern = nullptr;
        slot.compiled.emplace(pattern);
        if (!slot.compiled->ok()) {
            report_bad_pattern(type, *slot.compiled);
            slot.compiled.reset();
            return nullptr;
        }
        slot.pattern = pattern;
        slot.stamp = stamp;
        return &*slot.compiled;
    }

  private:
    static constexpr size_t kSlots = 64;

    struct Slot {
        const char *pattern = nullptr; // null: empty
        LocaleStamp stamp{};
        std::optional<Regex> compiled;
    };

    static size_t
    index_of(const char *pattern)
    {
        auto bits = reinterpret_cast<uintptr_t>(pattern);
        return (bits ^ (bits >> 7) ^ (bits >> 13)) % kSlots;
    }

    Slot slots_[kSlots];
};

thread_local PatternCache cache;

// ".*" matches the empty string, so it is found in every text, whatever the
// locale makes of its bytes: no need to run the matcher.
bool
matches_everything(const char *pattern)
{
    return pattern[0] == '.' && pattern[1] == '*' && pattern[2] == '\0';
}

} // namespace

bool
pattern_matches(const DsType *type, const char *text)
{
    if (matches_everything(type->p.string.regex))
        return true;
    bool accepted = false;
    if (builtin_pattern_verdict(type->p.string.regex, text, &accepted))
        return accepted;
    const Regex *compiled = cache.lookup(type);
    return compiled == nullptr || compiled->matches(text);
}

// The text is not read: only a pattern that does not compile has something
// to say, the same line at the same check as pattern_matches would write.
// The built-in rows' patterns compile, and where their exact matchers stand
// in they are not compiled at all.
void
pattern_report_broken(const DsType *type)
{
    const char *pattern = type->p.string.regex;
    if (matches_everything(pattern) || builtin_pattern_applies(pattern))
        return;
    cache.lookup(type);
}

bool
pattern_matches_uncached(const DsType *type, const char *text)
{
    Regex compiled(type->p.string.regex);
    if (!compiled.ok()) {
        report_bad_pattern(type, compiled);
        return true;
    }
    return compiled.matches(text);
}
