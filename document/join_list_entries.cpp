// The list entries that an entry's path names: each list entry's key levels
// packed into its identity (join_keys.cpp, or the library's JSON parser and
// ds_jo_to_c) and printed as the document writes its keys, remembered for
// the entries that follow, which mostly name the same list entry again.
#include "document/join_tree.h"

namespace doc
{

namespace
{

// Whether memo holds the list entry whose list is levels[list] and whose
// count key levels follow it.
bool
memo_names(const EntryMemo &memo, const std::vector<Level> &levels, size_t list, size_t count)
{
    if (!memo.valid || memo.level != list || memo.keys.size() != count + 1)
        return false;
    for (size_t j = 0; j <= count; ++j)
        if (memo.keys[j] != levels[list + j].node.key)
            return false;
    for (size_t j = 1; j <= count; ++j)
        if (memo.components[j - 1] != levels[list + j].component)
            return false;
    return true;
}

// Appends the document text of a typed level's key value, whose packed form
// stands in memo's identity from at on, to memo's printed keys: packed here
// (packed_here), or by the general path, which gave its library form.
bool
key_text(const Level &level, EntryMemo &memo, size_t at, bool packed_here, json_object *library,
         PatternKinds &patterns, std::string &reason)
{
    const DsType *type = level.node.key->field_type;
    const DsDocValue *value = level.node.doc->value;
    const char *packed = memo.identity.data() + at;
    if (memo.printed_count++ != 0)
        memo.printed += '\0';
    JsonPtr converted;
    if (packed_here && prints_directly(value, type, false)) {
        Scalar scalar;
        PrintedValues out{memo.printed, scalar, nullptr};
        if (print_packed(*value, type, packed, ds_type_size(type), false, patterns, out))
            return true;
        reason = out.invalid ? "names a list, not one of its entries" : out.reason;
        return false;
    }
    if (packed_here) {
        errno = 0;
        converted.reset(ds_c_to_jo(type, packed, ds_type_size(type)));
        library = converted.get();
        if (library == nullptr)
            throw_if_out_of_memory();
    }
    Scalar key;
    if (library == nullptr) {
        reason = "names a list, not one of its entries";
        return false;
    }
    if (!document_scalar(level.node, library, key, reason))
        return false;
    append_scalar(memo.printed, key);
    return true;
}

} // namespace

// Makes memo hold the list entry whose list is levels[list] and whose count
// key levels follow it: its identity and key values; false with reason when a
// key is no valid value, or when the entry is not the one that join's at_ids
// names.
bool
entry_step(DsDocJoin &join, const std::vector<Level> &levels, size_t list, size_t count,
           EntryMemo &memo, std::string &reason)
{
    if (memo_names(memo, levels, list, count))
        return true;
    // Each refusal below says why itself (a heap text made for every new
    // entry would cost an allocation each).
    memo.valid = false;
    memo.list = nullptr;
    memo.entry = nullptr;
    memo.identity.clear();
    memo.printed.clear();
    memo.printed_count = 0;
    for (size_t i = list + 1; i <= list + count; ++i) {
        const Level &level = levels[i];
        size_t at = memo.identity.size();
        KeyPack pack =
            pack_key(level.node.key->field_type, level.component, join.patterns, memo.identity);
        json_object *library = nullptr;
        if (pack == KeyPack::refused)
            reason = invalid_key(level);
        if (pack == KeyPack::refused ||
            (pack == KeyPack::general && !level_identity(level, memo.identity, &library, reason)))
            return false;
        JsonPtr owner(library);
        if (i < join.at_ids.size() &&
            std::string_view(memo.identity).substr(at) != join.at_ids[i]) {
            reason = "is not below the joined node";
            return false;
        }
        if (level.node.doc->value == nullptr)
            continue; // a keyless list's position is no member of the entry
        if (!key_text(level, memo, at, pack == KeyPack::packed, library, join.patterns, reason)) {
            reason = "key " + std::string(level.component) + ": " + reason;
            return false;
        }
    }
    memo.level = list;
    memo.keys.resize(count + 1);
    memo.components.resize(count);
    for (size_t j = 0; j <= count; ++j)
        memo.keys[j] = levels[list + j].node.key;
    for (size_t j = 1; j <= count; ++j)
        memo.components[j - 1].assign(levels[list + j].component);
    memo.valid = true;
    return true;
}

} // namespace doc
