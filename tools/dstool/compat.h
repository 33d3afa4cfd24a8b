// dstool compat's parts: the comparison of two descriptor graphs, the one
// that an old module stored values with and the one a new module reads them
// with (compat_types.cpp), and the command, which opens both modules, pairs
// their keys and prints the report (cmd_compat.cpp).
#ifndef DSTOOL_COMPAT_H
#define DSTOOL_COMPAT_H

#include "core/grammar.h"
#include "dstool.h"
#include "dstypes_doc_schema.h"

#include <utility>

namespace dstool
{

// One difference between what the old module stored and what the new one
// reads. breaking: some stored value is no longer read, or read as another
// value; otherwise every stored value still reads the same.
struct Change {
    bool breaking;
    std::string where; // inside the value: "" for the value itself, ".port", "[]"
    std::string what;
};
using Changes = std::vector<Change>;

// Compares descriptor pairs, each pair once: a pair met again (another key
// of the same type) gives the changes found the first time, a pair met
// again on its own way down (a descriptor graph that goes round) gives none
// there. Nesting and the total work are bounded, since module data may be
// hostile: past a bound the comparison says what it did not compare, as a
// breaking change.
class TypeComparer
{
  public:
    // How old values of old_type read under new_type; both not null.
    Changes compare(const DsType *old_type, const DsType *new_type);
    // What the YANG data of the two leaves adds: bits by name, decimal64
    // ranges and digits. Either may be null.
    Changes compare_doc(const DsDocValue *old_value, const DsDocValue *new_value);

  private:
    Changes compare_at(const DsType *old_type, const DsType *new_type, unsigned depth);
    Changes compare_kind(const DsType *o, const DsType *n, unsigned depth);
    // The rules of each kind, chosen by core::KindVisit.
    friend struct core::KindVisit;
    Changes on_int(const DsType *o, const DsType *n, unsigned depth);
    Changes on_double(const DsType *o, const DsType *n, unsigned depth);
    Changes on_string(const DsType *o, const DsType *n, unsigned depth);
    Changes on_enum(const DsType *o, const DsType *n, unsigned depth);
    Changes on_array(const DsType *o, const DsType *n, unsigned depth);
    Changes on_sequence(const DsType *o, const DsType *n, unsigned depth);
    Changes on_choice(const DsType *o, const DsType *n, unsigned depth);
    Changes on_bitmap(const DsType *o, const DsType *n, unsigned depth);
    Changes on_converted(const DsType *o, const DsType *n, unsigned depth);
    Changes on_unknown_kind(uint32_t kind, const DsType *o, const DsType *n, unsigned depth);
    Changes compare_fields(const DsField *o, uint32_t old_count, const DsField *n,
                           uint32_t new_count, unsigned depth);
    // Counts one step of work; false once the bound is passed.
    bool step(size_t rows = 1);

    std::map<std::pair<const DsType *, const DsType *>, Changes> done_;
    std::set<std::pair<const DsType *, const DsType *>> active_;
    size_t work_ = 0;
    bool stopped_ = false;
};

// Appends the changes of a part of a value to those of the whole, each one's
// place led by prefix (".port", "[]").
void add_changes(Changes &out, const Changes &part, const std::string &prefix);

} // namespace dstool

#endif
