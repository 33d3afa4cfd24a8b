// dstool check: names every mistake in schema module files before they ship,
// one line per problem: "FILE: WHERE: WHAT", WHERE being a symbol or a record
// of one ("ds_types[3] \"name\""). It reads the file's ELF symbol tables for
// names that look like the five module symbols but are not them, opens the
// file as the loader would (any path, nothing installed), compares each count
// with the size of its table, checks the key links with the library's own
// link check, and checks every type the module holds or reaches: kinds and
// converters, sizes against their parts, patterns, names hidden by a built-in
// type, by an earlier module or by an earlier row. Exit 1 when it found any.
#include "dstool.h"
#include "keys/keys.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <regex.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace dstool
{

namespace
{

const char *const kModuleSymbols[] = {"ds_types", "ds_type_count", "ds_keys", "ds_alarms",
                                      "ds_alarm_count"};

std::string
quoted(const char *text)
{
    if (text == nullptr)
        return "(no name)";
    std::string out(1, '"');
    out += printable(text, 80);
    out += '"';
    return out;
}

std::string
record(const char *symbol, size_t index, const char *name)
{
    return std::string(symbol) + "[" + std::to_string(index) + "] " + quoted(name);
}

// One file's problems, printed as they are found.
struct Findings {
    std::string file;
    size_t count = 0;
    void
    add(const std::string &where, const std::string &what)
    {
        print(file + ": " + (where.empty() ? "" : where + ": ") + what + "\n");
        ++count;
    }
};

// --- ELF symbol tables ---

struct ElfSymbol {
    std::string name;
    unsigned bind;
    unsigned visibility;
    bool dynamic; // from .dynsym, so seen by the loader
    uint64_t size;
};

template <typename T>
bool
read_at(const std::string &file, uint64_t offset, T *out)
{
    if (offset > file.size() || file.size() - offset < sizeof(T))
        return false;
    std::memcpy(out, file.data() + offset, sizeof(T));
    return true;
}

// The defined symbols of both tables; empty for a file that is not a 64-bit
// ELF object (the loader then says what it thinks of it).
std::vector<ElfSymbol>
elf_symbols(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ElfSymbol> symbols;
    Elf64_Ehdr header;
    if (!read_at(file, 0, &header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr))
        return symbols;
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    for (size_t i = 0; i < sections.size(); ++i) {
        if (!read_at(file, header.e_shoff + i * sizeof(Elf64_Shdr), &sections[i]))
            return symbols;
    }
    for (const Elf64_Shdr &table : sections) {
        if ((table.sh_type != SHT_SYMTAB && table.sh_type != SHT_DYNSYM) ||
            table.sh_link >= sections.size())
            continue;
        const Elf64_Shdr &strings = sections[table.sh_link];
        if (strings.sh_offset > file.size() || file.size() - strings.sh_offset < strings.sh_size)
            continue;
        std::string_view names(file.data() + strings.sh_offset, strings.sh_size);
        for (uint64_t at = 0; at + sizeof(Elf64_Sym) <= table.sh_size; at += sizeof(Elf64_Sym)) {
            Elf64_Sym sym;
            if (!read_at(file, table.sh_offset + at, &sym))
                break;
            if (sym.st_shndx == SHN_UNDEF || sym.st_name >= names.size())
                continue;
            std::string_view name = names.substr(sym.st_name);
            name = name.substr(0, name.find('\0'));
            symbols.push_back({std::string(name), ELF64_ST_BIND(sym.st_info),
                               ELF64_ST_VISIBILITY(sym.st_other), table.sh_type == SHT_DYNSYM,
                               sym.st_size});
        }
    }
    return symbols;
}

// The plain name behind a C++ mangled one ("_ZL8ds_types" -> "ds_types",
// "_ZN2ns7ds_keysE" -> "ds_keys"); empty when the name is not mangled or is
// a function's.
std::string
demangled_base(const std::string &name)
{
    if (name.compare(0, 2, "_Z") != 0)
        return "";
    int status = 0;
    char *text = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (text == nullptr)
        return "";
    std::string full = text;
    std::free(text);
    if (full.find('(') != std::string::npos)
        return "";
    size_t colon = full.rfind("::");
    return colon == std::string::npos ? full : full.substr(colon + 2);
}

size_t
edit_distance(const std::string &a, const std::string &b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            size_t same = std::tolower(a[i - 1]) == std::tolower(b[j - 1]) ? 0 : 1;
            row[j] = std::min(std::min(row[j], row[j - 1]) + 1, diagonal + same);
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool
is_module_symbol(const std::string &name)
{
    for (const char *symbol : kModuleSymbols) {
        if (name == symbol)
            return true;
    }
    return false;
}

// Names that the loader will not find although they were meant for it.
void
check_symbol_names(const std::vector<ElfSymbol> &symbols, Findings &out)
{
    std::set<std::string> said;
    auto say = [&](const std::string &where, const std::string &what) {
        if (said.insert(where + what).second)
            out.add(where, what);
    };
    for (const ElfSymbol &symbol : symbols) {
        std::string cxx = demangled_base(symbol.name);
        const std::string &base = cxx.empty() ? symbol.name : cxx;
        for (const char *wanted : kModuleSymbols) {
            std::string plain = wanted;
            if (base == plain && symbol.bind == STB_LOCAL) {
                say(symbol.name, "internal linkage: \"" + plain +
                                     "\" is not exported (in C++ a const global needs extern "
                                     "\"C\" on its own declaration)");
            } else if (base == plain && !cxx.empty()) {
                say(symbol.name, "C++ name of \"" + plain +
                                     "\": the loader looks for the plain name; declare it "
                                     "extern \"C\"");
            } else if (base == plain && symbol.visibility != STV_DEFAULT &&
                       symbol.visibility != STV_PROTECTED) {
                say(plain, "hidden visibility, not exported");
            } else if (base != plain && !is_module_symbol(base) && base.size() >= 6 &&
                       edit_distance(base, plain) <= 2) {
                say(symbol.name,
                    "looks like \"" + plain + "\" but is not it; the loader ignores it");
            }
        }
    }
}

// --- Tables ---

// What the loader will see of one exported symbol.
struct Exported {
    const void *address = nullptr;
    uint64_t size = 0;
};

Exported
exported(void *handle, const std::vector<ElfSymbol> &symbols, const char *name)
{
    for (const ElfSymbol &symbol : symbols) {
        if (symbol.dynamic && symbol.name == name && symbol.bind != STB_LOCAL &&
            (symbol.visibility == STV_DEFAULT || symbol.visibility == STV_PROTECTED))
            return {dlsym(handle, name), symbol.size};
    }
    return {};
}

// The rows of a counted table that the loader uses; reports every way in
// which count and table disagree.
uint32_t
check_counted_table(const Exported &count, const Exported &table, const char *count_name,
                    const char *table_name, size_t stride, const char *rows_word, Findings &out)
{
    uint32_t declared = 0;
    if (count.address != nullptr && count.size < 2)
        out.add(count_name, std::to_string(count.size) +
                                " bytes; the loader reads a u16 and takes it as missing");
    else if (count.address != nullptr)
        declared = *static_cast<const uint16_t *>(count.address);
    if (count.address != nullptr && count.size > 2)
        out.add(count_name, std::to_string(count.size) + " bytes; the loader reads a u16");
    uint64_t rows = table.size / stride;
    if (table.address != nullptr && table.size % stride != 0)
        out.add(table_name, std::to_string(table.size) + " bytes, not a whole number of " +
                                std::to_string(stride) + "-byte records");
    if (table.address == nullptr && declared > 0) {
        out.add(count_name, "declares " + std::to_string(declared) + " " + rows_word + " but \"" +
                                table_name + "\" is not exported: the loader refuses the module");
        return 0;
    }
    if (table.address != nullptr && count.address == nullptr)
        out.add(table_name, "exported without \"" + std::string(count_name) + "\": its " +
                                std::to_string(rows) + " " + rows_word +
                                " are never seen (in C++ a const global has internal linkage "
                                "unless declared extern \"C\" one by one)");
    if (declared > rows)
        out.add(count_name, "declares " + std::to_string(declared) + " " + rows_word + ", \"" +
                                table_name + "\" holds " + std::to_string(rows) +
                                ": the loader uses " + std::to_string(rows));
    else if (count.address != nullptr && declared < rows)
        out.add(count_name, "declares " + std::to_string(declared) + " " + rows_word + ", \"" +
                                table_name + "\" holds " + std::to_string(rows) + ": the last " +
                                std::to_string(rows - declared) + " are never seen");
    return static_cast<uint32_t>(declared < rows ? declared : rows);
}

// --- Types ---

bool
is_builtin(const DsType *type)
{
    return type >= ds_global_types && type < ds_global_types + ds_global_type_count;
}

struct TypeChecker {
    Findings &out;
    std::set<const DsType *> seen;

    void
    bad(const std::string &where, const std::string &what)
    {
        out.add(where, what);
    }

    // Checks type and, once each, every type it refers to. Built-in types
    // are the library's and taken as right.
    void
    check(const DsType *type, const std::string &where)
    {
        if (type == nullptr || is_builtin(type) || !seen.insert(type).second)
            return;
        std::string size = "size " + std::to_string(type->size);
        switch (type->kind) {
        case DS_KIND_INT:
            if (type->size != 1 && type->size != 2 && type->size != 4 && type->size != 8)
                bad(where, "int of " + size + ": only 1, 2, 4 or 8 bytes");
            if (type->p.integer.min > type->p.integer.max)
                bad(where, "empty range " + std::to_string(type->p.integer.min) + ".." +
                               std::to_string(type->p.integer.max));
            return;
        case DS_KIND_DOUBLE:
            if (type->size != 8)
                bad(where, "double of " + size + ": a double takes 8 bytes");
            return;
        case DS_KIND_STRING:
            return check_string(type, where);
        case DS_KIND_ENUM:
            return check_enum(type, where);
        case DS_KIND_ARRAY:
            return check_array(type, where);
        case DS_KIND_SEQUENCE:
            return check_sequence(type, where);
        case DS_KIND_CHOICE:
            return check_choice(type, where);
        case DS_KIND_BITMAP:
            if (type->size != (uint64_t{type->p.bitmap.bit_count} + 7) / 8)
                bad(where, size + " disagrees with its " +
                               std::to_string(type->p.bitmap.bit_count) + " bits (" +
                               std::to_string((uint64_t{type->p.bitmap.bit_count} + 7) / 8) +
                               " bytes)");
            return;
        case DS_KIND_CONVERTED:
            return check_converted(type, where);
        default:
            bad(where, "unknown kind " + std::to_string(type->kind));
        }
    }

    void
    check_string(const DsType *type, const std::string &where)
    {
        if (type->size == 0)
            bad(where, "string of size 0 has no room for its NUL");
        const char *pattern = type->p.string.regex;
        if (pattern == nullptr) {
            bad(where, "string without a pattern");
            return;
        }
        regex_t compiled;
        int error = regcomp(&compiled, pattern, REG_EXTENDED | REG_NOSUB);
        if (error == 0) {
            regfree(&compiled);
            return;
        }
        char text[256];
        regerror(error, &compiled, text, sizeof text);
        bad(where, "pattern " + quoted(pattern) + " does not compile: " + text);
    }

    void
    check_enum(const DsType *type, const std::string &where)
    {
        const DsType *base = type->p.enumeration.base;
        if (base == nullptr || base->kind != DS_KIND_INT)
            bad(where, "enum whose base is not an int type");
        else if (base->size != type->size)
            bad(where, "enum of size " + std::to_string(type->size) + " over a base of size " +
                           std::to_string(base->size));
        if (type->p.enumeration.count != 0 && type->p.enumeration.values == nullptr)
            bad(where, "enum of " + std::to_string(type->p.enumeration.count) +
                           " values without "
                           "a value table");
        check(base, where + " base");
    }

    void
    check_array(const DsType *type, const std::string &where)
    {
        const DsType *element = type->p.array.element;
        if (element == nullptr) {
            bad(where, "array without an element type");
            return;
        }
        uint64_t parts = 2 + uint64_t{type->p.array.max_count} * element->size;
        if (parts != type->size)
            bad(where, "size " + std::to_string(type->size) + " disagrees with its parts: 2 + " +
                           std::to_string(type->p.array.max_count) + " x " +
                           std::to_string(element->size) + " = " + std::to_string(parts));
        check(element, where + " element");
    }

    // The summed size of fields first .. first + count - 1; false when one
    // has no type.
    bool
    fields_size(const DsField *fields, uint32_t first, uint32_t count, const std::string &where,
                uint64_t *total)
    {
        *total = 0;
        for (uint32_t i = first; i < first + count; ++i) {
            std::string field = where + " field " + quoted(fields[i].name);
            if (fields[i].type == nullptr) {
                bad(field, "no type");
                return false;
            }
            *total += fields[i].type->size;
            check(fields[i].type, field);
        }
        return true;
    }

    void
    check_sequence(const DsType *type, const std::string &where)
    {
        uint32_t count = type->p.sequence.field_count;
        if (count != 0 && type->p.sequence.fields == nullptr) {
            bad(where, "sequence of " + std::to_string(count) + " fields without a field table");
            return;
        }
        uint64_t parts;
        if (fields_size(type->p.sequence.fields, 0, count, where, &parts) && parts != type->size)
            bad(where, "size " + std::to_string(type->size) +
                           " disagrees with the sum of its fields, " + std::to_string(parts));
    }

    void
    check_choice(const DsType *type, const std::string &where)
    {
        const DsField *fields = type->p.choice.fields;
        const DsChoiceArm *arms = type->p.choice.arms;
        if (fields == nullptr || fields[0].type == nullptr) {
            bad(where, "choice without a discriminator");
            return;
        }
        if (type->p.choice.arm_count != 0 && arms == nullptr) {
            bad(where, "choice of " + std::to_string(type->p.choice.arm_count) +
                           " arms without an arm table");
            return;
        }
        uint64_t discriminator = fields[0].type->size;
        check(fields[0].type, where + " discriminator");
        uint64_t largest = 0;
        for (uint32_t i = 0; i < type->p.choice.arm_count; ++i) {
            uint64_t arm;
            if (arms[i].value_count != 0 && arms[i].values == nullptr)
                bad(where + " arm " + std::to_string(i), "values missing");
            if (!fields_size(fields, arms[i].first_field, arms[i].field_count, where, &arm))
                return;
            largest = std::max(largest, arm);
        }
        uint64_t parts = discriminator + largest;
        if (parts != type->size)
            bad(where, "size " + std::to_string(type->size) +
                           (type->size < parts ? " is smaller than" : " disagrees with") +
                           " its parts: discriminator " + std::to_string(discriminator) +
                           " + largest arm " + std::to_string(largest) + " = " +
                           std::to_string(parts));
    }

    void
    check_converted(const DsType *type, const std::string &where)
    {
        uint64_t converter = type->p.converted.converter;
        const DsType *base = type->p.converted.base;
        static const uint16_t kPacked[] = {0, 4, 16, 6};
        if (converter > 3) {
            bad(where, "unknown converter " + std::to_string(converter));
            return;
        }
        if (base == nullptr) {
            bad(where, "converted type without a base");
            return;
        }
        bool wants_string = converter != 0;
        if ((base->kind == DS_KIND_STRING) != wants_string)
            bad(where, std::string("converter ") + std::to_string(converter) +
                           (wants_string ? " needs a string base" : " takes no string base"));
        uint16_t packed = converter == 0 ? base->size : kPacked[converter];
        if (type->size != packed)
            bad(where, "size " + std::to_string(type->size) + " disagrees with its packed form, " +
                           std::to_string(packed) + " bytes");
        check(base, where + " base");
    }
};

// --- Key forests ---

const char *
link_name(KeyLink link)
{
    switch (link) {
    case KeyLink::parent:
        return "parent";
    case KeyLink::first_child:
        return "first_child";
    case KeyLink::next_sibling:
        return "next_sibling";
    default:
        return "";
    }
}

struct ForestReport {
    const DsKeyNode *nodes;
    uint32_t count;
    Findings *out;
};

void
report_link(void *ctx, const KeyLinkProblem &problem)
{
    auto *report = static_cast<ForestReport *>(ctx);
    const DsKeyNode &node = report->nodes[problem.node];
    std::string where = record("ds_keys", problem.node, node.name);
    std::string link = std::string(link_name(problem.link)) + " link ";
    int16_t value = problem.link == KeyLink::parent        ? node.parent
                    : problem.link == KeyLink::first_child ? node.first_child
                                                           : node.next_sibling;
    link += std::to_string(value) + " (record " + std::to_string(problem.target) + ")";
    switch (problem.fault) {
    case KeyLinkFault::out_of_range:
        report->out->add(where, link + " leaves the forest of " + std::to_string(report->count) +
                                    " records; taken as absent");
        break;
    case KeyLinkFault::cycle:
        report->out->add(where, link + " closes a circle; taken as absent");
        break;
    case KeyLinkFault::rejoin:
        report->out->add(where, link + " leads to a node reached already; taken as absent");
        break;
    case KeyLinkFault::disagrees:
        report->out->add(where, link + " is not the node whose child it is");
        break;
    case KeyLinkFault::unreached:
        report->out->add(where, "not reached from the first node by child and sibling links");
        break;
    }
}

void
check_keys(const Exported &keys, TypeChecker &types, Findings &out)
{
    if (keys.address == nullptr)
        return;
    if (keys.size % sizeof(DsKeyNode) != 0)
        out.add("ds_keys", std::to_string(keys.size) + " bytes, not a whole number of " +
                               std::to_string(sizeof(DsKeyNode)) + "-byte records");
    uint64_t count = keys.size / sizeof(DsKeyNode);
    if (count == 0 || count > UINT32_MAX) {
        out.add("ds_keys",
                "size " + std::to_string(keys.size) + ": the loader takes it as no keys");
        return;
    }
    const auto *nodes = static_cast<const DsKeyNode *>(keys.address);
    std::vector<uint8_t> flags(count);
    ForestReport report{nodes, static_cast<uint32_t>(count), &out};
    if (!keys_check_links(nodes, report.count, flags.data(), report_link, &report))
        throw std::bad_alloc();
    for (uint32_t i = 0; i < count; ++i) {
        std::string where = record("ds_keys", i, nodes[i].name);
        if (nodes[i].name == nullptr && nodes[i].field_type == nullptr)
            out.add(where, "literal level without a name");
        types.check(nodes[i].field_type, where + " field type");
        types.check(nodes[i].leaf_type, where + " leaf type");
    }
}

// --- Type names across modules ---

// Type names that a checked file's types come after: those of the modules
// that the module directory lists before it (all of them, for a file that
// is not in the directory), then those of the files checked before it.
struct EarlierNames {
    std::map<std::string, std::string> owner; // type name -> module file name
};

std::string
real_path(const std::string &path)
{
    char *resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path;
    std::string text = resolved;
    std::free(resolved);
    return text;
}

void
add_names(EarlierNames &names, const DsType *types, uint32_t count, const std::string &module)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (types[i].name != nullptr)
            names.owner.emplace(types[i].name, module);
    }
}

// The schema modules of the module directory in listing order, loaded by
// the library; none, said once, when the directory is missing.
std::vector<const DsModule *>
directory_modules()
{
    std::vector<const DsModule *> modules;
    struct stat info;
    if (stat(DSTOOL_MODULE_DIR, &info) != 0) {
        std::fputs("dstool: check: " DSTOOL_MODULE_DIR " is missing: built-in types are "
                   "unavailable until it exists\n",
                   stderr);
        return modules;
    }
    (void)ds_find_type("");
    for (const DsModule *module = module_list ? module_list->next : nullptr; module != nullptr;
         module = module->next)
        modules.push_back(module);
    return modules;
}

EarlierNames
earlier_names(const std::vector<const DsModule *> &directory, const std::string &file,
              const EarlierNames &checked)
{
    EarlierNames names;
    std::string wanted = real_path(file);
    for (const DsModule *module : directory) {
        if (real_path(module_path(module)) == wanted)
            break;
        add_names(names, module->types, module->type_count, module_name(module));
    }
    for (const auto &[name, module] : checked.owner)
        names.owner.emplace(name, module);
    return names;
}

void
check_type_names(const DsType *types, uint32_t count, const EarlierNames &earlier, Findings &out)
{
    std::map<std::string, uint32_t> first_row;
    for (uint32_t i = 0; i < count; ++i) {
        const char *name = types[i].name;
        std::string where = record("ds_types", i, name);
        if (name == nullptr) {
            out.add(where, "no name: every row of the table needs one");
            continue;
        }
        for (uint16_t b = 0; b < ds_global_type_count; ++b) {
            if (std::strcmp(ds_global_types[b].name, name) == 0)
                out.add(where, "hidden by the built-in type of the same name");
        }
        auto owner = earlier.owner.find(name);
        if (owner != earlier.owner.end())
            out.add(where, "hidden by the type of the same name in " + owner->second +
                               ", which comes earlier");
        auto [row, fresh] = first_row.emplace(name, i);
        if (!fresh)
            out.add(where,
                    "duplicate of ds_types[" + std::to_string(row->second) + "], which hides it");
    }
}

// --- One file ---

void
check_file(const std::string &path, const EarlierNames &earlier, EarlierNames &checked,
           Findings &out)
{
    std::vector<ElfSymbol> symbols = elf_symbols(path);
    check_symbol_names(symbols, out);
    std::string open_path = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void *handle = dlopen(open_path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *reason = dlerror();
        out.add("", std::string("does not open: ") + (reason ? reason : "unknown reason"));
        return;
    }
    Exported type_count = exported(handle, symbols, "ds_type_count");
    Exported types = exported(handle, symbols, "ds_types");
    Exported alarm_count = exported(handle, symbols, "ds_alarm_count");
    Exported alarms = exported(handle, symbols, "ds_alarms");
    Exported keys = exported(handle, symbols, "ds_keys");
    uint32_t type_rows = check_counted_table(type_count, types, "ds_type_count", "ds_types",
                                             sizeof(DsType), "types", out);
    uint32_t alarm_rows = check_counted_table(alarm_count, alarms, "ds_alarm_count", "ds_alarms",
                                              sizeof(DsAlarm), "alarm rows", out);
    TypeChecker checker{out, {}};
    const auto *type_table = static_cast<const DsType *>(types.address);
    check_type_names(type_table, type_rows, earlier, out);
    for (uint32_t i = 0; i < type_rows; ++i)
        checker.check(&type_table[i], record("ds_types", i, type_table[i].name));
    check_keys(keys, checker, out);
    const auto *nodes = static_cast<const DsKeyNode *>(keys.address);
    const auto *rows = static_cast<const DsAlarm *>(alarms.address);
    for (uint32_t i = 0; i < alarm_rows; ++i) {
        const DsKeyNode *key = rows[i].key;
        if (nodes == nullptr || key < nodes || key >= nodes + keys.size / sizeof(DsKeyNode))
            out.add("ds_alarms[" + std::to_string(i) + "]", "key is not a node of \"ds_keys\"");
    }
    std::string name = path.substr(path.rfind('/') + 1);
    add_names(checked, type_table, type_rows, name);
    // The module stays open: its types may be named by a later file's.
}

} // namespace

int
cmd_check(const Invocation &inv)
{
    std::vector<const DsModule *> directory = directory_modules();
    EarlierNames checked;
    size_t problems = 0;
    for (const std::string &file : inv.args) {
        Findings findings{file};
        EarlierNames earlier = earlier_names(directory, file, checked);
        check_file(file, earlier, checked, findings);
        if (findings.count == 0)
            print(file + ": ok\n");
        problems += findings.count;
    }
    return problems == 0 ? kStatusOk : kStatusFailed;
}

} // namespace dstool
