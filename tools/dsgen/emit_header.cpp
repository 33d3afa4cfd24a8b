// The header emitter: what a program that uses a generated module needs at
// compile time. A packed C type per named type with a static assertion on
// its size, the values of every enumeration and identity as constants, and a
// printf template per leaf key with one %s per typed level (the level's JSON
// text). It compiles as C and as C++. YANG names become identifiers by
// mangle(): "-" and "." become "_", ":" becomes "__", C and C++ keywords get
// a trailing "_", and a name that is taken gets a number.
#include "dsgen.h"

#include <set>

namespace dsgen
{

namespace
{

const std::set<std::string> &
keywords()
{
    static const std::set<std::string> words = {"alignas",
                                                "alignof",
                                                "and",
                                                "and_eq",
                                                "asm",
                                                "auto",
                                                "bitand",
                                                "bitor",
                                                "bool",
                                                "break",
                                                "case",
                                                "catch",
                                                "char",
                                                "char8_t",
                                                "char16_t",
                                                "char32_t",
                                                "class",
                                                "compl",
                                                "concept",
                                                "const",
                                                "consteval",
                                                "constexpr",
                                                "constinit",
                                                "const_cast",
                                                "continue",
                                                "co_await",
                                                "co_return",
                                                "co_yield",
                                                "decltype",
                                                "default",
                                                "delete",
                                                "do",
                                                "double",
                                                "dynamic_cast",
                                                "else",
                                                "enum",
                                                "explicit",
                                                "export",
                                                "extern",
                                                "false",
                                                "float",
                                                "for",
                                                "friend",
                                                "goto",
                                                "if",
                                                "inline",
                                                "int",
                                                "long",
                                                "mutable",
                                                "namespace",
                                                "new",
                                                "noexcept",
                                                "not",
                                                "not_eq",
                                                "nullptr",
                                                "operator",
                                                "or",
                                                "or_eq",
                                                "private",
                                                "protected",
                                                "public",
                                                "register",
                                                "reinterpret_cast",
                                                "requires",
                                                "restrict",
                                                "return",
                                                "short",
                                                "signed",
                                                "sizeof",
                                                "static",
                                                "static_assert",
                                                "static_cast",
                                                "struct",
                                                "switch",
                                                "template",
                                                "this",
                                                "thread_local",
                                                "throw",
                                                "true",
                                                "try",
                                                "typedef",
                                                "typeid",
                                                "typename",
                                                "union",
                                                "unsigned",
                                                "using",
                                                "virtual",
                                                "void",
                                                "volatile",
                                                "wchar_t",
                                                "while",
                                                "xor",
                                                "xor_eq",
                                                "_Alignas",
                                                "_Alignof",
                                                "_Atomic",
                                                "_Bool",
                                                "_Complex",
                                                "_Generic",
                                                "_Imaginary",
                                                "_Noreturn",
                                                "_Static_assert",
                                                "_Thread_local"};
    return words;
}

const char *
int_c_type(uint32_t size, bool is_signed)
{
    switch (size) {
    case 1:
        return is_signed ? "int8_t" : "uint8_t";
    case 2:
        return is_signed ? "int16_t" : "uint16_t";
    case 4:
        return is_signed ? "int32_t" : "uint32_t";
    default:
        return is_signed ? "int64_t" : "uint64_t";
    }
}

class HeaderWriter
{
  public:
    HeaderWriter(const TypeTable &table, const Forest &forest) : table_(table), forest_(forest) {}

    std::string
    text(const Model &model, const std::string &guard)
    {
        std::string out = "/*\n * Packed C types, constants and key path templates of the "
                          "schema module generated\n * by dsgen from";
        for (const struct lys_module *module : model.modules)
            out += std::string(" ") + module->name;
        out += ". Do not edit.\n *\n"
               " * A template has one %s per typed level, for that level's JSON text. Integers\n"
               " * of uint64 leaves stop at 2^63-1.\n */\n";
        out += "#ifndef " + guard + "\n#define " + guard + "\n\n#include <stdint.h>\n\n";
        out += "#ifdef __cplusplus\n#define DSGEN_STATIC_ASSERT static_assert\n#else\n"
               "#define DSGEN_STATIC_ASSERT _Static_assert\n#endif\n\n";
        out += types();
        out += enum_constants();
        out += templates();
        out += "#undef DSGEN_STATIC_ASSERT\n\n#endif\n";
        return out;
    }

  private:
    std::string
    unique(const std::string &name)
    {
        std::string candidate = mangle(name);
        std::string base = candidate;
        for (int n = 2; !taken_.insert(candidate).second; ++n)
            candidate = base + "_" + std::to_string(n);
        return candidate;
    }

    // The C spelling of a packed type, as a typedef of `name`.
    std::string
    declaration(TypeRef ref, const std::string &name)
    {
        uint32_t size = table_.size_of(ref);
        if (ref.table == TypeRef::Table::builtin) {
            const DsType &type = ds_global_types[ref.index];
            if (type.kind == DS_KIND_INT)
                return std::string("typedef ") + int_c_type(size, type.p.integer.min < 0) + " " +
                       name + ";";
            if (type.kind == DS_KIND_ENUM)
                return "typedef uint8_t " + name + ";";
            if (type.kind == DS_KIND_DOUBLE)
                return "typedef double " + name + ";";
            return "typedef uint8_t " + name + "[" + std::to_string(size) + "];";
        }
        const GenType &gen = table_.types[ref.index];
        switch (gen.kind) {
        case DS_KIND_INT:
            return std::string("typedef ") + int_c_type(size, gen.min < 0) + " " + name + ";";
        case DS_KIND_ENUM:
            return declaration(gen.ref, name);
        case DS_KIND_STRING:
            return "typedef char " + name + "[" + std::to_string(size) + "];";
        case DS_KIND_ARRAY: {
            std::string element = c_names_.count(gen.ref) != 0 ? c_names_[gen.ref] : "";
            std::string item = element.empty()
                                   ? "uint8_t items[" + std::to_string(gen.count) + "][" +
                                         std::to_string(table_.size_of(gen.ref)) + "]"
                                   : element + " items[" + std::to_string(gen.count) + "]";
            return "typedef struct __attribute__((packed)) {\n    uint16_t count;\n    " + item +
                   ";\n} " + name + ";";
        }
        default: // bitmaps and addresses: their bytes
            return "typedef uint8_t " + name + "[" + std::to_string(size) + "];";
        }
    }

    std::string
    types()
    {
        std::string out = "/* Packed forms of the named types. */\n";
        std::string asserts;
        for (size_t i = 0; i < table_.types.size(); ++i) {
            const GenType &gen = table_.types[i];
            if (gen.name.empty())
                continue;
            std::string name = unique(gen.name);
            TypeRef ref{TypeRef::Table::generated, static_cast<int>(i)};
            c_names_[ref] = name;
            out += "/* " + gen.name + " */\n" + declaration(ref, name) + "\n";
            asserts += "DSGEN_STATIC_ASSERT(sizeof(" + name + ") == " + std::to_string(gen.size) +
                       ", \"" + gen.name + " is " + std::to_string(gen.size) + " bytes\");\n";
        }
        return out + "\n" + asserts + "\n";
    }

    std::string
    constants_of(const GenType &gen, const std::string &prefix)
    {
        std::string out;
        for (const auto &[name, value] : gen.values) {
            std::string constant = unique(prefix + "__" + name);
            std::string literal = gen.identity ? "UINT32_C(" + std::to_string(value) + ")"
                                               : "INT64_C(" + std::to_string(value) + ")";
            out += "#define " + constant + " " + literal + "\n";
        }
        return out;
    }

    std::string
    enum_constants()
    {
        std::string out = "/* Values of the enumerations and identities. */\n";
        std::set<std::string> identities;
        for (const GenType &gen : table_.types) {
            if (gen.kind != DS_KIND_ENUM)
                continue;
            if (gen.identity) {
                for (const auto &[name, value] : gen.values)
                    if (identities.insert(name).second)
                        out += "#define " + unique("DS_IDENTITY_" + name) + " UINT32_C(" +
                               std::to_string(value) + ")\n";
            } else if (!gen.name.empty()) {
                out += constants_of(gen, gen.name);
            }
        }
        // Enumerations defined in place are named after the first leaf key that has them.
        std::set<const GenType *> done;
        for (const KeyLevel &level : forest_.levels) {
            const GenType *gen = table_.get(level.leaf_type);
            if (gen != nullptr && gen->kind == DS_KIND_ARRAY)
                gen = table_.get(gen->ref);
            if (gen == nullptr || gen->kind != DS_KIND_ENUM || gen->identity ||
                !gen->name.empty() || !done.insert(gen).second)
                continue;
            out += constants_of(*gen, path_name(level));
        }
        return out + "\n";
    }

    static std::string
    path_name(const KeyLevel &level)
    {
        std::string name;
        size_t start = 1;
        const std::string &key = level.key_name;
        while (start <= key.size()) {
            size_t end = key.find('/', start);
            if (end == std::string::npos)
                end = key.size();
            std::string part = key.substr(start, end - start);
            if (part != "*")
                name += (name.empty() ? "" : "/") + part;
            start = end + 1;
        }
        return name;
    }

    std::string
    templates()
    {
        std::string out = "/* Key path templates of the leaf keys. */\n";
        for (const KeyLevel &level : forest_.levels) {
            if (!level.leaf_type.is_set())
                continue;
            std::string path;
            size_t start = 1;
            while (start <= level.key_name.size()) {
                size_t end = level.key_name.find('/', start);
                if (end == std::string::npos)
                    end = level.key_name.size();
                std::string part = level.key_name.substr(start, end - start);
                path += "/" + (part == "*" ? std::string("%s") : part);
                start = end + 1;
            }
            out += "#define " + unique("DS_PATH_" + path_name(level)) + " " +
                   c_string_literal(path) + "\n";
        }
        return out + "\n";
    }

    const TypeTable &table_;
    const Forest &forest_;
    std::set<std::string> taken_;
    std::map<TypeRef, std::string> c_names_;
};

} // namespace

std::string
mangle(const std::string &name)
{
    std::string out;
    for (char c : name) {
        if (c == ':' || c == '/')
            out += "__";
        else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_')
            out += c;
        else
            out += '_';
    }
    if (out.empty() || std::isdigit(static_cast<unsigned char>(out[0])))
        out = "n" + out;
    if (keywords().count(out) != 0)
        out += "_";
    return out;
}

std::string
emit_header(const Model &model, const TypeTable &table, const Forest &forest,
            const std::string &guard_name)
{
    HeaderWriter writer(table, forest);
    return writer.text(model, guard_name);
}

} // namespace dsgen
