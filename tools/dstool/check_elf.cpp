// dstool check, ELF part: reads a module file's symbol tables without the
// loader, so that names meant for the module symbols but not seen by it
// (a typo, C++ linkage, hidden visibility) can be named.
#include "check.h"

#include <cxxabi.h>
#include <elf.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

namespace dstool
{

namespace
{

const char *const kModuleSymbols[] = {"ds_types",  "ds_type_count",  "ds_keys",
                                      "ds_alarms", "ds_alarm_count", "ds_doc_schema"};

template <typename T>
bool
read_at(const std::string &file, uint64_t offset, T *out)
{
    if (offset > file.size() || file.size() - offset < sizeof(T))
        return false;
    std::memcpy(out, file.data() + offset, sizeof(T));
    return true;
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

} // namespace

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

} // namespace dstool
