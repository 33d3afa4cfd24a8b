// dstool check's parts, one file per job: the ELF symbol tables and the names
// in them (check_elf.cpp), the type descriptors (check_types.cpp), the key
// forests (check_keys.cpp), the document data (check_doc.cpp and
// check_doc_value.cpp), and the tables, names across modules and the
// command itself (cmd_check.cpp). Every problem is one line,
// "FILE: WHERE: WHAT", WHERE being a symbol or a record of one.
#ifndef DSTOOL_CHECK_H
#define DSTOOL_CHECK_H

#include "core/grammar.h"
#include "dstool.h"
#include "keys/keys.h"

#include <dstypes_doc_schema.h>

namespace dstool
{

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

// A name in messages: "\"name\"", or "(no name)".
std::string check_quoted(const char *text);
// A record in messages: "ds_types[3] \"name\"".
std::string check_record(const char *symbol, size_t index, const char *name);

// Type names that a checked file's types come after: those of the modules
// the directory lists before it, then those of the files checked before it.
struct EarlierNames {
    std::map<std::string, std::string> owner; // type name -> path of its module
};
void add_names(EarlierNames &names, const DsType *types, uint32_t count, const std::string &module);
// Rows without a name, and names hidden by a built-in type, by an earlier
// module or by an earlier row of the same table.
void check_type_names(const DsType *types, uint32_t count, const EarlierNames &earlier,
                      Findings &out);

// --- A module directory as the loader reads it (check_dir.cpp) ---

// Every entry of dir in the loader's order: what loads, what is skipped and
// why, what fails, names hidden across modules, the memory maps the modules
// take, and who besides root and the directory's owner can change what
// every program runs. Returns the number of problems.
size_t check_directory(const std::string &dir);

// --- ELF symbol tables (check_elf.cpp) ---

struct ElfSymbol {
    std::string name;
    unsigned bind;
    unsigned visibility;
    bool dynamic; // from .dynsym, so seen by the loader
    uint64_t size;
};

// The defined symbols of both tables; empty for a file that is not a 64-bit
// ELF object (the loader then says what it thinks of it).
std::vector<ElfSymbol> elf_symbols(const std::string &path);
// Names that the loader will not find although they were meant for it.
void check_symbol_names(const std::vector<ElfSymbol> &symbols, Findings &out);

// What the loader will see of one exported symbol.
struct Exported {
    const void *address = nullptr;
    uint64_t size = 0;
};

// --- Type descriptors (check_types.cpp) ---

// Checks types and, once each, every type they refer to. Built-in types are
// the library's and taken as right.
class TypeChecker
{
  public:
    explicit TypeChecker(Findings &out) : out_(out) {}
    void check(const DsType *type, const std::string &where);

  private:
    friend struct core::KindVisit;
    void bad(const std::string &where, const std::string &what);
    // The rules of each kind, chosen by core::KindVisit.
    void on_int(const DsType *type, const std::string &where);
    void on_double(const DsType *type, const std::string &where);
    void on_string(const DsType *type, const std::string &where);
    void on_enum(const DsType *type, const std::string &where);
    void on_array(const DsType *type, const std::string &where);
    void on_sequence(const DsType *type, const std::string &where);
    void on_choice(const DsType *type, const std::string &where);
    void on_bitmap(const DsType *type, const std::string &where);
    void on_converted(const DsType *type, const std::string &where);
    void on_unknown_kind(uint32_t kind, const DsType *type, const std::string &where);
    bool fields_size(const DsField *fields, uint32_t first, uint32_t count,
                     const std::string &where, uint64_t *total);

    Findings &out_;
    std::set<const DsType *> seen_;
};

// --- Key forests (check_keys.cpp) ---

// The links of the exported forest, the names a key path cannot reach, and
// the field and leaf types of every node.
// links receives the links that walks of the forest may follow (empty when
// there is no forest).
void check_keys(const Exported &keys, TypeChecker &types, Findings &out,
                std::vector<uint8_t> &links);

// --- Document data (check_doc.cpp) ---

// The "ds_doc_schema" data against the forest it describes; nothing when
// the module does not export it.
void check_doc(const Exported &doc, const KeyForest &forest, Findings &out);
// One value encoding (a union member when member is set), and the library
// type that holds its values when type is not null (check_doc_value.cpp).
void check_doc_value(const DsDocValue &value, const DsType *type, const std::string &where,
                     bool member, Findings &out);

} // namespace dstool

#endif
