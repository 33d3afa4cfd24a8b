// dstool check: names every mistake in schema module files before they ship,
// one line per problem: "FILE: WHERE: WHAT", WHERE being a symbol or a record
// of one ("ds_types[3] \"name\""). It reads the file's ELF symbol tables for
// names that look like the five module symbols but are not them, opens the
// file as the loader would (any path, nothing installed), compares each count
// with the size of its table, checks the key forest (links, and names that no
// key path reaches), the document data that dsgen writes beside it, every
// type the module holds or reaches, and the type names hidden by a built-in type, by an earlier module or by an earlier row.
// A file named like an installed module is taken as its replacement. Exit 1
// when it found any problem.
#include "check.h"

#include <dlfcn.h>
#include <elf.h>
#include <sys/stat.h>

#include <cstring>

namespace dstool
{

std::string
check_quoted(const char *text)
{
    if (text == nullptr)
        return "(no name)";
    std::string out(1, '"');
    out += printable(text, 80);
    out += '"';
    return out;
}

std::string
check_record(const char *symbol, size_t index, const char *name)
{
    return std::string(symbol) + "[" + std::to_string(index) + "] " + check_quoted(name);
}

namespace
{

// --- Tables ---

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

// --- Type names across modules ---

// Type names that a checked file's types come after: those of the modules
// that the module directory lists before it (all of them, for a file that
// is not in the directory), then those of the files checked before it. A
// file named like an installed module takes that module's place in the
// listing, so the installed copy is the one it replaces, not an earlier one.
struct EarlierNames {
    std::map<std::string, std::string> owner; // type name -> path of its module
};

std::string
base_name(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

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
        std::string path = module_path(module);
        if (real_path(path) == wanted || base_name(path) == base_name(file))
            break;
        add_names(names, module->types, module->type_count, path);
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
        std::string where = check_record("ds_types", i, name);
        if (name == nullptr || *name == '\0') {
            out.add(where, std::string(name == nullptr ? "no" : "empty") +
                               " name: every row of the table needs one");
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
    TypeChecker checker(out);
    const auto *type_table = static_cast<const DsType *>(types.address);
    check_type_names(type_table, type_rows, earlier, out);
    for (uint32_t i = 0; i < type_rows; ++i)
        checker.check(&type_table[i], check_record("ds_types", i, type_table[i].name));
    std::vector<uint8_t> links;
    check_keys(keys, checker, out, links);
    const auto *nodes = static_cast<const DsKeyNode *>(keys.address);
    check_doc(exported(handle, symbols, "ds_doc_schema"),
              KeyForest{nodes, static_cast<uint32_t>(links.size()), links.data()}, out);
    const auto *rows = static_cast<const DsAlarm *>(alarms.address);
    for (uint32_t i = 0; i < alarm_rows; ++i) {
        const DsKeyNode *key = rows[i].key;
        if (nodes == nullptr || key < nodes || key >= nodes + keys.size / sizeof(DsKeyNode))
            out.add("ds_alarms[" + std::to_string(i) + "]", "key is not a node of \"ds_keys\"");
    }
    add_names(checked, type_table, type_rows, path);
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
