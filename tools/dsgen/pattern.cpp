// XSD regular expressions (YANG patterns) as POSIX extended regular
// expressions. The library applies a type's pattern unanchored and as one
// expression, so a translation is anchored as ^(...)$, and the patterns that
// a typedef ANDs need one expression that accepts exactly their
// intersection: for the typedefs of ietf-inet-types and ietf-yang-types that
// expression is written out here. Glibc's regcomp works on bytes in the C
// locale, so the Unicode classes \p{L} and \p{N} become their ASCII part.
#include "core/ietf_patterns.h"
#include "core/regex.h"
#include "dsgen.h"

#include <set>

namespace dsgen
{

namespace
{

struct Intersection {
    const char *module;
    const char *typedef_name;
    std::string ere;
};

const std::vector<Intersection> &
intersections()
{
    static const std::string oid = "(([0-1](\\.[1-3]?[0-9]))|(2\\.(0|([1-9][0-9]*))))";
    static const std::vector<Intersection> table = {
        {"ietf-inet-types", "ipv4-address-no-zone", "^" + core::ipv4_expression() + "$"},
        {"ietf-inet-types", "ipv6-address", "^" + core::ipv6_expression() + "(%[[:alnum:]]+)?$"},
        {"ietf-inet-types", "ipv6-address-no-zone", "^" + core::ipv6_expression() + "$"},
        {"ietf-inet-types", "ipv6-prefix",
         "^" + core::ipv6_expression() + "/([0-9]|[0-9]{2}|1[0-1][0-9]|12[0-8])$"},
        {"ietf-yang-types", "object-identifier-128", "^" + oid + "(\\.(0|([1-9][0-9]*))){0,126}$"},
        {"ietf-yang-types", "yang-identifier",
         "^([a-zA-Z_][a-zA-Z0-9_.-]?|[a-wyzA-WYZ_][a-zA-Z0-9_.-]*|[xX][a-ln-zA-LN-Z0-9_.-][a-zA-Z0-"
         "9_.-]*"
         "|[xX][mM][a-km-zA-KM-Z0-9_.-][a-zA-Z0-9_.-]*)$"},
    };
    return table;
}

const struct lysc_type *
compiled_typedef(struct ly_ctx *ctx, const char *module, const char *name)
{
    const struct lys_module *mod = ly_ctx_get_module_latest(ctx, module);
    if (mod == nullptr || mod->parsed == nullptr)
        return nullptr;
    const struct lysp_tpdf *tpdfs = mod->parsed->typedefs;
    LY_ARRAY_COUNT_TYPE i;
    LY_ARRAY_FOR(tpdfs, i)
    {
        if (std::string(tpdfs[i].name) == name)
            return tpdfs[i].type.compiled;
    }
    return nullptr;
}

// One bracket expression: its members collected as a set of bytes, then
// written in an order that POSIX reads literally (']' first, '-' last).
class Bracket
{
  public:
    void
    add(unsigned char c)
    {
        bytes_.insert(c);
    }
    void
    add_range(unsigned char first, unsigned char last)
    {
        for (unsigned c = first; c <= last; ++c)
            bytes_.insert(static_cast<unsigned char>(c));
    }
    void
    add_class(const std::string &name)
    {
        classes_.insert(name);
    }
    std::string
    text(bool negated) const
    {
        std::string out = negated ? "[^" : "[";
        if (bytes_.count(']'))
            out += ']';
        std::string body;
        // Runs of three or more bytes become ranges; '[' '-' ']' '^' stay single.
        auto special = [](unsigned c) { return c == ']' || c == '-' || c == '[' || c == '^'; };
        for (auto it = bytes_.begin(); it != bytes_.end();) {
            unsigned first = *it;
            if (special(first)) {
                ++it;
                continue;
            }
            unsigned last = first;
            auto next = std::next(it);
            while (next != bytes_.end() && *next == last + 1 && !special(*next)) {
                last = *next;
                ++next;
            }
            if (last - first >= 2) {
                body += static_cast<char>(first);
                body += '-';
                body += static_cast<char>(last);
            } else {
                for (unsigned c = first; c <= last; ++c)
                    body += static_cast<char>(c);
            }
            it = next;
        }
        out += body;
        for (const std::string &name : classes_)
            out += "[:" + name + ":]";
        bool caret = bytes_.count('^') != 0, open = bytes_.count('[') != 0;
        bool dash = bytes_.count('-') != 0;
        // A '^' right behind the opening "[" would negate the bracket, so
        // then '[' or '-' goes before it; a lone '^' needs no bracket.
        if (caret && !negated && out == "[") {
            if (!open && !dash)
                return "\\^";
            out += open ? "[^" : "-^";
            if (open)
                open = false;
            else
                dash = false;
        } else if (caret) {
            out += '^';
        }
        if (open)
            out += '[';
        if (dash)
            out += '-';
        if (out == "[" || out == "[^")
            return "";
        return out + "]";
    }

  private:
    std::set<unsigned char> bytes_;
    std::set<std::string> classes_;
};

// A single-character escape of XSD: the byte it stands for, or -1.
int
escaped_byte(char c)
{
    switch (c) {
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    case '\\':
    case '|':
    case '.':
    case '-':
    case '^':
    case '?':
    case '*':
    case '+':
    case '{':
    case '}':
    case '(':
    case ')':
    case '[':
    case ']':
    case '$':
        return static_cast<unsigned char>(c);
    default:
        return -1;
    }
}

// \d, \p{L}, \p{N}: the classes this translation knows. Others are refused.
bool
class_escape(const std::string &xsd, size_t &i, std::string &cls, std::string &error)
{
    char c = xsd[i];
    if (c == 'd') {
        cls = "digit";
        ++i;
        return true;
    }
    if (c == 'p' && xsd.compare(i, 4, "p{L}") == 0) {
        cls = "alpha";
        i += 4;
        return true;
    }
    if (c == 'p' && xsd.compare(i, 4, "p{N}") == 0) {
        cls = "digit";
        i += 4;
        return true;
    }
    error = std::string("the escape \\") + c + " has no POSIX equivalent";
    return false;
}

bool
translate_bracket(const std::string &xsd, size_t &i, std::string &out, std::string &error)
{
    ++i; // '['
    bool negated = false;
    if (i < xsd.size() && xsd[i] == '^') {
        negated = true;
        ++i;
    }
    Bracket bracket;
    bool first = true;
    while (i < xsd.size() && (xsd[i] != ']' || first)) {
        first = false;
        int low = -1;
        if (xsd[i] == '[' || (xsd[i] == '-' && i + 1 < xsd.size() && xsd[i + 1] == '[')) {
            error = "character class subtraction or nesting has no POSIX equivalent";
            return false;
        }
        if (xsd[i] == '\\') {
            if (++i >= xsd.size())
                break;
            low = escaped_byte(xsd[i]);
            if (low < 0) {
                std::string cls;
                if (!class_escape(xsd, i, cls, error))
                    return false;
                bracket.add_class(cls);
                continue;
            }
        } else {
            low = static_cast<unsigned char>(xsd[i]);
        }
        ++i;
        if (i + 1 < xsd.size() && xsd[i] == '-' && xsd[i + 1] != ']') {
            ++i;
            int high = static_cast<unsigned char>(xsd[i]);
            if (xsd[i] == '\\' && i + 1 < xsd.size())
                high = escaped_byte(xsd[++i]);
            ++i;
            if (high < low) {
                error = "a bracket range runs backwards";
                return false;
            }
            bracket.add_range(static_cast<unsigned char>(low), static_cast<unsigned char>(high));
            continue;
        }
        bracket.add(static_cast<unsigned char>(low));
    }
    if (i >= xsd.size()) {
        error = "a bracket is not closed";
        return false;
    }
    ++i; // ']'
    std::string text = bracket.text(negated);
    if (text.empty()) {
        error = "an empty bracket matches nothing";
        return false;
    }
    out += text;
    return true;
}

} // namespace

std::optional<std::string>
translate_pattern(const std::string &xsd, std::string &error)
{
    std::string out = "^(";
    for (size_t i = 0; i < xsd.size();) {
        char c = xsd[i];
        if (c == '[') {
            if (!translate_bracket(xsd, i, out, error))
                return std::nullopt;
            continue;
        }
        if (c == '\\') {
            if (++i >= xsd.size()) {
                error = "the pattern ends in a backslash";
                return std::nullopt;
            }
            int byte = escaped_byte(xsd[i]);
            if (byte < 0) {
                std::string cls;
                if (!class_escape(xsd, i, cls, error))
                    return std::nullopt;
                out += "[[:" + cls + ":]]";
                continue;
            }
            ++i;
            if (byte == '\n' || byte == '\r' || byte == '\t' || byte == '-')
                out += static_cast<char>(byte);
            else
                out += std::string("\\") + static_cast<char>(byte);
            continue;
        }
        ++i;
        switch (c) {
        case '.':
            // XSD's '.' is any character but a line feed.
            out += "[^\n]";
            break;
        case '^':
        case '$':
            // Not anchors in XSD: literal characters.
            out += std::string("\\") + c;
            break;
        default:
            out += c;
        }
    }
    out += ")$";
    if (!ere_compiles(out, error))
        return std::nullopt;
    return out;
}

std::optional<std::string>
known_intersection(struct ly_ctx *ctx, const struct lysc_type_str *type)
{
    for (const Intersection &known : intersections()) {
        const struct lysc_type *tpdf = compiled_typedef(ctx, known.module, known.typedef_name);
        if (tpdf == nullptr || tpdf->basetype != LY_TYPE_STRING)
            continue;
        const auto *str = reinterpret_cast<const struct lysc_type_str *>(tpdf);
        if (LY_ARRAY_COUNT(str->patterns) != LY_ARRAY_COUNT(type->patterns))
            continue;
        bool same = true;
        LY_ARRAY_COUNT_TYPE i;
        LY_ARRAY_FOR(type->patterns, i)
        {
            same = same && type->patterns[i] == str->patterns[i];
        }
        if (same)
            return known.ere;
    }
    return std::nullopt;
}

// Compiled as the library compiles the patterns it checks strings with.
bool
ere_compiles(const std::string &ere, std::string &error)
{
    Regex re(ere.c_str());
    if (!re.ok())
        error = "the expression does not compile: " + re.error();
    return re.ok();
}

bool
ere_matches(const std::string &ere, const std::string &text)
{
    return Regex(ere.c_str()).matches(text.c_str());
}

} // namespace dsgen
