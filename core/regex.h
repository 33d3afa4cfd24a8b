// One compiled POSIX extended regular expression, with the flags that the
// library applies string patterns with (REG_EXTENDED | REG_NOSUB, matched
// unanchored). The library's pattern cache, the reasons of a refusal,
// dsgen's pattern checks and dstool's type checks all compile through it. Header-only, so that the
// tools need none of the library's private objects.
#ifndef DSTYPES_CORE_REGEX_H
#define DSTYPES_CORE_REGEX_H

#include <regex.h>

#include <cstddef>
#include <string>

class Regex
{
  public:
    static constexpr int kFlags = REG_EXTENDED | REG_NOSUB;

    explicit Regex(const char *pattern) noexcept : rc_(regcomp(&re_, pattern, kFlags)) {}
    // glibc leaves a pattern that failed to compile safe to free.
    ~Regex() { regfree(&re_); }
    Regex(const Regex &) = delete;
    Regex &operator=(const Regex &) = delete;

    bool
    ok() const noexcept
    {
        return rc_ == 0;
    }
    // Whether text holds a match anywhere; a pattern that did not compile
    // matches nothing.
    bool
    matches(const char *text) const noexcept
    {
        return ok() && regexec(&re_, text, 0, nullptr, 0) == 0;
    }
    // regerror's words for a failed compile, cut to fit size bytes.
    void
    describe(char *buf, std::size_t size) const noexcept
    {
        regerror(rc_, &re_, buf, size);
    }
    std::string
    error() const
    {
        char text[256];
        describe(text, sizeof text);
        return text;
    }

  private:
    regex_t re_;
    int rc_;
};

#endif
