// String patterns whose verdict is read off the text itself, without the
// regex engine: ".*", and the IETF types' patterns that dsgen writes (a
// date-and-time, a phys-address, an IPv4 or IPv6 address). The split packs
// values under them directly (split_pack.cpp); the join checks its texts
// with them before it asks the library (join_direct.cpp, join_keys.cpp).
#ifndef DSTYPES_DOCUMENT_KNOWN_PATTERNS_H
#define DSTYPES_DOCUMENT_KNOWN_PATTERNS_H

#include "document/doc.h"

#include <string>
#include <string_view>
#include <vector>

namespace doc
{

enum class KnownPattern : uint8_t { none, any, date_and_time, phys_address, ipv4, ipv6 };
struct KnownPatternText {
    KnownPattern kind;
    std::string text;
};
// Their texts, each with its kind.
const std::vector<KnownPatternText> &known_patterns();
// Which of them pattern is (by its text).
KnownPattern known_pattern(const char *pattern);
// Whether the known pattern accepts text, as regexec says in the C locale;
// for ipv6, true only for the text that the library writes for the address
// it reads (which the pattern accepts), so that false is no verdict there.
// False for none.
bool known_pattern_accepts(KnownPattern kind, std::string_view text);
// An IPv4 address text that the IPv4 patterns accept, read into out
// (written only then).
bool dotted_quad(std::string_view text, uint8_t out[4]);
// An IPv6 address text as the library writes it, read into out (written
// only then).
bool formatted_ipv6(std::string_view text, uint8_t out[16]);

// The known patterns of the string types met last, by the pattern's
// address, so that a pattern's text is compared once and not for each
// value. A fixed number are kept, the oldest replaced.
class PatternKinds
{
  public:
    // The kind of a string type's pattern (none without one).
    KnownPattern of(const DsType *string_type);
    // True when string_type's pattern is known and accepts text, which is
    // then regexec's verdict; false says nothing.
    bool accepts(const DsType *string_type, std::string_view text);

  private:
    static constexpr size_t kSeen = 8;
    struct Seen {
        const char *pattern = nullptr;
        KnownPattern kind = KnownPattern::none;
    };
    Seen seen_[kSeen];
    size_t next_ = 0;
};

// value_is_valid for a text of a string type, held with its NUL and zero
// filler in the type's size bytes: a known pattern's acceptance stands for
// the library's check, whose only other check (the NUL within the size) the
// holder already made; anything else is the library's to decide.
inline bool
text_is_valid(PatternKinds &kinds, const DsType *string_type, const char *text, size_t length)
{
    return kinds.accepts(string_type, {text, length}) ||
           value_is_valid(string_type, text, string_type->size);
}

} // namespace doc

#endif
