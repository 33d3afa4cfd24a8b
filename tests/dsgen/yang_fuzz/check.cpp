// The value check of the YANG fuzzer (yang_fuzz.py): one generated schema
// module, loaded by the library from the fuzzer's module directory, held
// against libyang on the same YANG files. Every data leaf of the models must
// be a leaf key or a typed level of the forest, and each value of the pool
// gets libyang's verdict (lyd_value_validate) and the library's
// (ds_jo_value_is_valid on the level's type). A disagreement is excused only
// by one of the kinds of Excuse; every other one is printed.
//
// usage: yang_fuzz_check FEATURES VALUES.json DSGEN_STDERR YANG...
//   FEATURES: the -F argument given to dsgen for the first file ("MOD:F,..."),
//   or "*" for all; VALUES.json: a JSON array of value texts, or --load-only
//   to compile the models and stop.
// Output: "disagree PATH TEXT ours=N theirs=N TYPE" and "forest ..." lines,
// then one "counts" line; exit 0 when the counts line was written.
#include "../levels.h"
#include "core/regex.h"
#include "dstypes.h"

#include <json-c/json.h>
#include <libyang/libyang.h>

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{

// The differences that the library's reading of a YANG type admits, each
// with the direction it allows ("ours" is the library's verdict).
enum class Excuse {
    above_int63,        // a 64-bit value above 2^63-1: int bounds are signed 64-bit
    longer_than_size,   // a text longer than the size chosen for an unbounded string
    non_ascii,          // the library checks bytes, libyang characters
    identity_no_prefix, // an identity of the leaf's own module written without it
    json_number,        // a number spelt as JSON cannot (" 1", "+1", "01", "-.9")
    clamped,            // an integer beyond 64 bits, which json-c reads as the nearest bound
    lone_minus,         // libyang takes "-" for a decimal64 value; no JSON number spells it
    repeated_bit,       // a bit named twice: the library's bit numbers may repeat
    libyang_caret,      // libyang reads XSD's \^ outside a bracket as "\" and an anchor
    decimal64,          // decimal64 becomes a double: range and digits unchecked
    announced,          // dsgen warned that it loosens this type this way (Loosening)
    count
};
const char *const kExcuseNames[] = {"above-int63",        "longer-than-size", "non-ascii",
                                    "identity-no-prefix", "json-number",      "clamped",
                                    "lone-minus",         "repeated-bit",     "libyang-caret",
                                    "decimal64",          "announced"};
static_assert(sizeof kExcuseNames / sizeof kExcuseNames[0] == size_t(Excuse::count));

// dsgen's warnings that say that a type accepts more than libyang's, and
// which texts each of them lets through.
enum class Loosening {
    range_parts,   // "a range of several parts is kept as one ...": numbers between parts
    min_length,    // "the minimum length N is not enforced": shorter texts
    length_parts,  // "a length of several parts is kept as its largest bound"
    union_members, // "... does not check those members exactly": texts like numbers,
                   // identities, paths or bit names
    member_length, // "the length of a union member with a pattern is not enforced"
    unchecked,     // instance-identifier, binary length: any text
};
struct Warned {
    std::map<const struct lysc_type *, std::set<Loosening>> types;
    std::map<const struct lysc_type *, size_t> min_length;
};
const std::pair<const char *, Loosening> kLoosenings[] = {
    {"is kept as one from its lowest to its highest bound", Loosening::range_parts},
    {"the minimum length", Loosening::min_length},
    {"is kept as its largest bound", Loosening::length_parts},
    {"does not check those members exactly", Loosening::union_members},
    {"the length of a union member with a pattern", Loosening::member_length},
    {"becomes a string that is not checked", Loosening::unchecked},
    {"the length of a binary value is not enforced", Loosening::unchecked},
};

using Json = std::unique_ptr<json_object, decltype(&json_object_put)>;

// The models, the first file with the features given to dsgen ("MOD:F,..."
// or "*"), the others with all.
struct ly_ctx *
load_context(const std::string &features, const std::vector<std::string> &files,
             std::vector<const struct lys_module *> &modules)
{
    static const char *all[] = {"*", nullptr};
    std::vector<std::string> names;
    std::vector<const char *> first;
    if (features != "*")
        names = split(features.substr(features.find(':') + 1), ',');
    for (const std::string &name : names)
        first.push_back(name.c_str());
    first.push_back(nullptr);
    std::vector<const char **> lists(files.size(), all);
    if (features != "*")
        lists[0] = first.data();
    std::string dir = files[0].substr(0, files[0].rfind('/'));
    std::string error;
    struct ly_ctx *ctx = yang_context(dir.c_str(), files, lists, &modules, &error);
    if (ctx == nullptr)
        std::printf("error: libyang refuses %s: %s\n", files[modules.size() - 1].c_str(),
                    error.c_str());
    return ctx;
}

// The types whose schema nodes dsgen warned about with a loosening.
Warned
warned_types(struct ly_ctx *ctx, const std::string &stderr_file)
{
    Warned out;
    std::ifstream in(stderr_file);
    for (std::string line; std::getline(in, line);) {
        const std::string prefix = "dsgen: warning: ";
        size_t path = line.find(": /", prefix.size()); // after the file's name
        if (line.rfind(prefix, 0) != 0 || path == std::string::npos)
            continue;
        size_t end = line.find(": ", path + 2);
        std::string schema = line.substr(path + 2, end - path - 2);
        const struct lysc_node *node = lys_find_path(ctx, nullptr, schema.c_str(), 0);
        if (node == nullptr || !(node->nodetype & (LYS_LEAF | LYS_LEAFLIST)))
            continue;
        for (const auto &[phrase, kind] : kLoosenings) {
            size_t at = line.find(phrase);
            if (at == std::string::npos)
                continue;
            out.types[yang_type(node)].insert(kind);
            if (kind == Loosening::min_length)
                out.min_length[yang_type(node)] = std::stoul(line.substr(at + 19));
        }
    }
    return out;
}

// The longest text that a YANG type admits, as far as the library's string
// size is concerned (UINT64_MAX: unbounded).
uint64_t
longest_text(const struct lysc_type *type)
{
    switch (type->basetype) {
    case LY_TYPE_STRING: {
        const struct lysc_range *length = ((const struct lysc_type_str *)type)->length;
        return length ? length->parts[LY_ARRAY_COUNT(length->parts) - 1].max_u64 : UINT64_MAX;
    }
    case LY_TYPE_UNION: {
        uint64_t longest = 0;
        const auto *un = (const struct lysc_type_union *)type;
        for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(un->types); ++i)
            longest = std::max(longest, longest_text(un->types[i]));
        return longest;
    }
    case LY_TYPE_ENUM:
    case LY_TYPE_BOOL:
    case LY_TYPE_EMPTY:
        return 0;
    default:
        return UINT64_MAX;
    }
}

bool
has_base(const struct lysc_type *type, LY_DATA_TYPE base)
{
    if (type->basetype == LY_TYPE_LEAFREF)
        type = ((const struct lysc_type_leafref *)type)->realtype;
    if (type->basetype != LY_TYPE_UNION)
        return type->basetype == base;
    const auto *un = (const struct lysc_type_union *)type;
    for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(un->types); ++i)
        if (has_base(un->types[i], base))
            return true;
    return false;
}

// Whether an integer text lies beyond the signed 64-bit range (below it when
// negative).
bool
beyond_int64(const std::string &text)
{
    size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    errno = 0;
    (void)std::strtoll(text.c_str(), nullptr, 10);
    return errno == ERANGE;
}

bool
has_number(const struct lysc_type *type)
{
    for (LY_DATA_TYPE base :
         {LY_TYPE_INT8, LY_TYPE_INT16, LY_TYPE_INT32, LY_TYPE_INT64, LY_TYPE_UINT8, LY_TYPE_UINT16,
          LY_TYPE_UINT32, LY_TYPE_UINT64, LY_TYPE_DEC64})
        if (has_base(type, base))
            return true;
    return false;
}

bool
repeats_a_word(const std::string &text)
{
    std::istringstream words(text);
    std::set<std::string> seen;
    for (std::string word; words >> word;)
        if (!seen.insert(word).second)
            return true;
    return false;
}

// Whether a pattern of the type (or of a union member) escapes a '^'
// outside brackets.
bool
has_escaped_caret(const struct lysc_type *type)
{
    if (type->basetype == LY_TYPE_UNION) {
        const auto *un = (const struct lysc_type_union *)type;
        for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(un->types); ++i)
            if (has_escaped_caret(un->types[i]))
                return true;
        return false;
    }
    if (type->basetype != LY_TYPE_STRING)
        return false;
    const auto *str = (const struct lysc_type_str *)type;
    for (LY_ARRAY_COUNT_TYPE i = 0; i < LY_ARRAY_COUNT(str->patterns); ++i) {
        bool bracket = false;
        for (const char *p = str->patterns[i]->expr; *p != '\0'; ++p) {
            if (*p == '\\' && p[1] == '^' && !bracket)
                return true;
            if (*p == '\\' && p[1] != '\0')
                ++p;
            else if (*p == '[' || *p == ']')
                bracket = *p == '[';
        }
    }
    return false;
}

// A number text as JSON would spell it: without surrounding white space, a
// leading '+' or leading zeros, with a digit on both sides of the point.
std::string
plain_number(std::string text)
{
    size_t first = text.find_first_not_of(" \t\n\r"), last = text.find_last_not_of(" \t\n\r");
    text = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    while (text.size() > sign + 1 && text[sign] == '0' &&
           std::isdigit((unsigned char)text[sign + 1]))
        text.erase(sign, 1);
    if (text.size() > sign && text[sign] == '.')
        text.insert(sign, "0"); // "-.9" is -0.9
    if (text.size() > sign + 1 && text.back() == '.')
        text.pop_back(); // "5." is 5
    return text;
}

bool
matches(const char *ere, const std::string &text)
{
    return Regex(ere).matches(text.c_str());
}

// Whether one of the loosenings that dsgen announced for a type explains
// why the library accepts a text that libyang refuses.
bool
announced(const Warned &warned, const struct lysc_type *yang, const std::string &text)
{
    auto found = warned.types.find(yang);
    if (found == warned.types.end())
        return false;
    for (Loosening kind : found->second) {
        switch (kind) {
        case Loosening::range_parts:
            if (json_number(text))
                return true;
            break;
        case Loosening::min_length:
            if (text.size() < warned.min_length.at(yang))
                return true;
            break;
        case Loosening::union_members:
            // The alternatives that dsgen writes for members that are not texts.
            if (matches("^(-?[0-9]+(\\.[0-9]+)?|true|false)$", text) ||
                (has_base(yang, LY_TYPE_IDENT) &&
                 matches("^([a-zA-Z_][a-zA-Z0-9_.-]*:)?[a-zA-Z_][a-zA-Z0-9_.-]*$", text)) ||
                (has_base(yang, LY_TYPE_INST) && text[0] == '/') ||
                (has_base(yang, LY_TYPE_BITS) && repeats_a_word(text)) ||
                has_base(yang, LY_TYPE_BINARY))
                return true;
            break;
        case Loosening::length_parts:
        case Loosening::member_length:
        case Loosening::unchecked:
            return true;
        }
    }
    return false;
}

// The excuse that covers a disagreement, or Excuse::count for none.
Excuse
excuse_for(const struct lysc_type *yang, const DsType *type, const std::string &text, bool ours,
           const Warned &warned)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return Excuse::non_ascii;
    if (!ours) {
        if (has_base(yang, LY_TYPE_UINT64) && beyond_int64(text) && text[0] != '-')
            return Excuse::above_int63;
        if (type->kind == DS_KIND_STRING && text.size() >= type->size &&
            longest_text(yang) >= type->size)
            return Excuse::longer_than_size;
        if (has_base(yang, LY_TYPE_IDENT) && text.find(':') == std::string::npos)
            return Excuse::identity_no_prefix;
        if (has_number(yang) && !json_number(text) && json_number(plain_number(text)))
            return Excuse::json_number;
        if (has_base(yang, LY_TYPE_DEC64) && plain_number(text) == "-")
            return Excuse::lone_minus;
        return Excuse::count;
    }
    if (type->kind == DS_KIND_INT && beyond_int64(text))
        return Excuse::clamped;
    if (type->kind == DS_KIND_BITMAP && repeats_a_word(text))
        return Excuse::repeated_bit;
    if (yang->basetype == LY_TYPE_DEC64)
        return Excuse::decimal64;
    if (has_escaped_caret(yang))
        return Excuse::libyang_caret;
    if (announced(warned, yang, text))
        return Excuse::announced;
    return Excuse::count;
}

// The data leaves and leaf-lists of the implemented modules, operations and
// notifications left out.
std::set<const struct lysc_node *>
yang_leaves(const std::vector<const struct lys_module *> &modules)
{
    std::set<const struct lysc_node *> out;
    for (const struct lys_module *mod : modules) {
        lysc_module_dfs_full(
            mod,
            [](struct lysc_node *node, void *data, ly_bool *) -> LY_ERR {
                for (const struct lysc_node *up = node; up != nullptr; up = up->parent)
                    if (up->nodetype & (LYS_RPC | LYS_ACTION | LYS_NOTIF))
                        return LY_SUCCESS;
                if (node->nodetype & (LYS_LEAF | LYS_LEAFLIST))
                    static_cast<std::set<const struct lysc_node *> *>(data)->insert(node);
                return LY_SUCCESS;
            },
            &out);
    }
    return out;
}

std::string
quoted(const std::string &text)
{
    Json jo(json_object_new_string_len(text.c_str(), static_cast<int>(text.size())),
            json_object_put);
    return json_object_to_json_string_ext(jo.get(), JSON_C_TO_STRING_NOSLASHESCAPE);
}

// Which call a crash happened in, for the line that reports it. libyang
// 2.1.30 has been seen to crash inside lyd_value_validate on a union, and to
// free a nested union's member typedef that is still in use (reading it
// crashes in ly_ctx_destroy).
char crash_line[512];

void
crash_site(const std::string &path, const std::string &text, const char *who)
{
    std::snprintf(crash_line, sizeof crash_line, "crash in %s: %s %s\n", who, path.c_str(),
                  quoted(text).c_str());
}

void
report_crash(int)
{
    ssize_t written = write(STDOUT_FILENO, crash_line, strlen(crash_line));
    _exit(written > 0 ? 3 : 4);
}

} // namespace

int
main(int argc, char **argv)
{
    std::signal(SIGSEGV, report_crash);
    std::signal(SIGABRT, report_crash);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 5) {
        std::fprintf(stderr, "usage: yang_fuzz_check FEATURES VALUES.json DSGEN_STDERR YANG...\n");
        return 2;
    }
    std::vector<std::string> files(argv + 4, argv + argc);
    std::vector<const struct lys_module *> modules;
    crash_site("compiling the models", "", "libyang");
    struct ly_ctx *ctx = load_context(argv[1], files, modules);
    if (std::strcmp(argv[2], "--load-only") == 0) { // does libyang alone compile them?
        crash_site("destroying the context", "", "libyang");
        ly_ctx_destroy(ctx);
        return ctx != nullptr ? 0 : 1;
    }
    Json pool(json_object_from_file(argv[2]), json_object_put);
    if (ctx == nullptr || pool == nullptr) {
        std::printf("error: no models, or the values file is not JSON\n");
        return 1;
    }
    Warned warned = warned_types(ctx, argv[3]);
    std::set<const struct lysc_node *> leaves = yang_leaves(modules);
    uint64_t values = 0, agreed = 0, disagreed = 0, excused[size_t(Excuse::count)] = {};
    for (const Level &level : forest_levels()) {
        const struct lysc_node *snode = lys_find_path(ctx, nullptr, level.schema_path.c_str(), 0);
        if (snode == nullptr || leaves.erase(snode) == 0) {
            std::printf("forest %s: no data leaf of the models\n", level.schema_path.c_str());
            continue;
        }
        const DsType *type = level.type;
        const struct lysc_type *yang = yang_type(snode);
        for (size_t i = 0; i < json_object_array_length(pool.get()); ++i) {
            json_object *item = json_object_array_get_idx(pool.get(), i);
            std::string text(json_object_get_string(item), json_object_get_string_len(item));
            Json jo(json_for(type, yang, text), json_object_put);
            crash_site(level.schema_path, text, "the library");
            bool ours = ds_jo_value_is_valid(type, jo.get());
            crash_site(level.schema_path, text, "libyang");
            LY_ERR rc = lyd_value_validate(ctx, snode, text.c_str(), text.size(), nullptr, nullptr,
                                           nullptr);
            bool theirs = rc == LY_SUCCESS || rc == LY_EINCOMPLETE;
            ++values;
            if (ours == theirs) {
                ++agreed;
                continue;
            }
            Excuse excuse = excuse_for(yang, type, text, ours, warned);
            if (excuse != Excuse::count) {
                ++excused[size_t(excuse)];
                continue;
            }
            ++disagreed;
            std::printf("disagree %s %s ours=%d theirs=%d kind=%s size=%u regex=%s\n",
                        level.schema_path.c_str(), quoted(text).c_str(), ours, theirs,
                        ds__kind_name(type->kind), type->size,
                        type->kind == DS_KIND_STRING ? quoted(type->p.string.regex).c_str() : "-");
        }
    }
    for (const struct lysc_node *left : leaves) {
        char *path = lysc_path(left, LYSC_PATH_DATA, nullptr, 0);
        std::printf("forest %s: no level of the module\n", path);
        std::free(path);
    }
    std::printf("counts values=%" PRIu64 " agreed=%" PRIu64 " disagreed=%" PRIu64, values, agreed,
                disagreed);
    for (size_t i = 0; i < size_t(Excuse::count); ++i)
        std::printf(" %s=%" PRIu64, kExcuseNames[i], excused[i]);
    std::printf(" forest_missing=%zu\n", leaves.size());
    crash_site("destroying the context", "", "libyang");
    ly_ctx_destroy(ctx);
    return 0;
}
