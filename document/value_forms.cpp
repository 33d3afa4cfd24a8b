// Value forms: a value as an RFC 7951 document writes it against the same
// value in the library's JSON form. 64-bit integers and decimal64 are JSON
// strings in a document and numbers in the library; bits are names in a
// document and bit numbers in a bitmap; an identity is "module:identity",
// the module optional in a document when it is the node's own; an empty
// leaf is [null] in a document and the "bool" true in the library; a union
// takes the first member type that accepts the value, chosen by the JSON
// type as YANG tools do. This file reads the document's side into canonical
// texts (numbers in value_numbers.cpp); value_library.cpp holds the
// library's side of both directions, so that split and join read and write
// the same forms.
#include "document/value_forms.h"

#include "core/regex.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace doc
{

namespace
{

bool
is_blank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

const char *
base_name(uint8_t base)
{
    static const char *const names[] = {"?",           "binary",      "bits",
                                        "boolean",     "decimal64",   "empty",
                                        "enumeration", "identityref", "instance-identifier",
                                        "int8",        "int16",       "int32",
                                        "int64",       "string",      "uint8",
                                        "uint16",      "uint32",      "uint64",
                                        "union"};
    return base <= DS_DOC_UNION ? names[base] : "?";
}

namespace
{

// A thread's compiled union member patterns, by the pattern's address
// (module data, never unloaded): compiling one costs up to a millisecond,
// matching microseconds. A few are kept, the oldest replaced.
class PatternCache
{
  public:
    // Whether pattern matches text; a pattern that does not compile matches
    // everything (the module's fault, which dstool check reports).
    bool
    matches(const char *pattern, const std::string &text)
    {
        Slot *slot = nullptr;
        for (Slot &s : slots_)
            slot = s.pattern == pattern ? &s : slot;
        if (slot == nullptr) {
            slot = &slots_[next_++ % kSlots];
            slot->compiled.reset();
            slot->compiled.emplace(pattern);
            slot->pattern = pattern;
        }
        return !slot->compiled->ok() || slot->compiled->matches(text.c_str());
    }

  private:
    static constexpr size_t kSlots = 16;
    struct Slot {
        const char *pattern = nullptr;
        std::optional<Regex> compiled;
    };
    Slot slots_[kSlots];
    size_t next_ = 0;
};

bool
pattern_accepts(const char *pattern, const std::string &text)
{
    thread_local PatternCache cache;
    return cache.matches(pattern, text);
}

} // namespace

const DsDocBit *
find_bit(const DsDocValue &value, std::string_view name)
{
    for (uint32_t i = 0; i < value.count; ++i)
        if (name == value.bits[i].name)
            return &value.bits[i];
    return nullptr;
}

namespace
{

// Bit names separated by blanks, each at most once; the canonical text
// lists them in position order.
bool
canonical_bits(const DsDocValue &value, std::string_view text, std::string &out,
               std::string &reason)
{
    std::vector<const DsDocBit *> set;
    size_t at = 0;
    while (at < text.size()) {
        if (is_blank(text[at])) {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && !is_blank(text[end]))
            ++end;
        std::string_view name = text.substr(at, end - at);
        const DsDocBit *bit = find_bit(value, name);
        if (bit == nullptr) {
            reason = "no bit of the type is named \"" + std::string(name) + "\"";
            return false;
        }
        if (std::find(set.begin(), set.end(), bit) != set.end()) {
            reason = "bit \"" + std::string(name) + "\" is named twice";
            return false;
        }
        set.push_back(bit);
        at = end;
    }
    std::sort(set.begin(), set.end(),
              [](const DsDocBit *a, const DsDocBit *b) { return a->position < b->position; });
    out.clear();
    for (const DsDocBit *bit : set)
        out += (out.empty() ? "" : " ") + std::string(bit->name);
    return true;
}

bool
canonical_identity(const char *own_module, std::string_view text, std::string &out,
                   std::string &reason)
{
    if (text.empty() || text == ":" || text.back() == ':') {
        reason = "not an identity name";
        return false;
    }
    // No module, or an empty one (":name", which libyang 2 reads so): the
    // node's own.
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0)
        out = std::string(own_module) + ":" + std::string(text.substr(colon == 0 ? 1 : 0));
    else
        out = text;
    return true;
}

} // namespace

bool
kind_fits(uint8_t base, Scalar::Kind kind)
{
    switch (base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
        return kind == Scalar::Kind::number;
    case DS_DOC_BOOLEAN:
        return kind == Scalar::Kind::boolean;
    case DS_DOC_EMPTY:
        return kind == Scalar::Kind::empty;
    case DS_DOC_UNION:
        return true;
    default:
        return kind == Scalar::Kind::string;
    }
}

namespace
{

const char *
kind_name(Scalar::Kind kind)
{
    switch (kind) {
    case Scalar::Kind::string:
        return "a string";
    case Scalar::Kind::number:
        return "a number";
    case Scalar::Kind::boolean:
        return "a boolean";
    default:
        return "[null]";
    }
}

std::string
wanted(uint8_t base)
{
    std::string name = base_name(base);
    switch (base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
        return "a number (" + name + ")";
    case DS_DOC_BOOLEAN:
        return "true or false (boolean)";
    case DS_DOC_EMPTY:
        return "[null] (empty)";
    default:
        return "a string (" + name + ")";
    }
}

} // namespace

// The canonical text of a document scalar under one member type (not a
// union), or false with reason.
bool
canonical_member(const DsDocValue &value, const char *own_module, const Scalar &in,
                 std::string &out, std::string &reason)
{
    if (!kind_fits(value.base, in.kind)) {
        reason = std::string(kind_name(in.kind)) + " where the type wants " + wanted(value.base);
        return false;
    }
    switch (value.base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
    case DS_DOC_INT64:
    case DS_DOC_UINT64:
        return canonical_integer(value, in.text, in.kind == Scalar::Kind::number, out, reason);
    case DS_DOC_DECIMAL64:
        return canonical_decimal(value, in.text, out, reason);
    case DS_DOC_BITS:
        return canonical_bits(value, in.text, out, reason);
    case DS_DOC_IDENTITYREF:
        return canonical_identity(own_module, in.text, out, reason);
    case DS_DOC_EMPTY:
        out.clear();
        return true;
    case DS_DOC_ENUMERATION:
        if (value.pattern != nullptr && !pattern_accepts(value.pattern, in.text)) {
            reason = "not a name of the member's enumeration";
            return false;
        }
        out = in.text;
        return true;
    case DS_DOC_STRING:
        if (value.canon != DS_DOC_CANON_NONE && !canonical_text(value.canon, in.text, out)) {
            reason = "not a valid value of its type";
            return false;
        }
        if (value.canon == DS_DOC_CANON_NONE)
            out = in.text;
        if (value.pattern != nullptr && !pattern_accepts(value.pattern, out)) {
            reason = "not a text of the member type's pattern";
            return false;
        }
        return true;
    default:
        out = in.text;
        return true;
    }
}

// The member of a union that takes a scalar: the first whose JSON type fits
// and that reads the value.
const DsDocValue *
union_member(const DsDocValue &value, const char *own_module, const Scalar &in, std::string &out,
             std::string &reason)
{
    std::string first_reason;
    for (uint32_t i = 0; i < value.count; ++i) {
        const DsDocValue &member = value.members[i];
        std::string why;
        if (member.base == DS_DOC_UNION) {
            if (union_member(member, own_module, in, out, why) != nullptr)
                return &member;
        } else if (canonical_member(member, own_module, in, out, why)) {
            return &member;
        }
        if (first_reason.empty())
            first_reason = why;
    }
    reason = "no member type of the union takes it (the first: " + first_reason + ")";
    return nullptr;
}

} // namespace doc
