// The pattern check of string types. Patterns are POSIX extended expressions
// applied unanchored: a match anywhere in the text accepts it. A pattern that
// does not compile is a fault of the schema, not of the value: it is reported
// on standard error at every check and lets the text through.
#include "codec/codec.h"

#include <cstdio>
#include <regex.h>

bool
pattern_matches(const DsType *type, const char *text)
{
    const char *pattern = type->p.string.regex;
    regex_t compiled;
    int rc = regcomp(&compiled, pattern, REG_EXTENDED | REG_NOSUB);
    if (rc != 0) {
        char description[60];
        regerror(rc, &compiled, description, sizeof description);
        const char *name = type->name != nullptr ? type->name : "<unnamed type>";
        std::fprintf(stderr, "INTERNAL ERROR: regexp %s for type %s: %s\n", pattern, name,
                     description);
        regfree(&compiled);
        return true;
    }
    bool matched = regexec(&compiled, text, 0, nullptr, 0) == 0;
    regfree(&compiled);
    return matched;
}
