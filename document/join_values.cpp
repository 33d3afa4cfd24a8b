// The values of entries: a leaf's or leaf-list's packed value checked as
// its type and YANG require and printed as the document writes it, and the
// printed values of leaves remembered by their packed bytes, since documents
// repeat many of them (flags, states, lengths, kinds of interfaces).
#include "document/join_tree.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace doc
{

// The document form of a value of node in the library's JSON form,
// canonical as YANG tools print it.
bool
document_scalar(const Node &node, json_object *library, Scalar &out, std::string &reason)
{
    if (node.doc->value == nullptr) {
        reason = "the module's document data gives no type for it";
        return false;
    }
    return library_to_scalar(*node.doc->value, library, out, reason);
}

namespace
{

// The first element that comes twice among a leaf-list's elements; null
// when none does (YANG allows repeated elements in state data only).
const std::string *
repeated(const std::vector<std::string> &values)
{
    std::unordered_set<std::string_view> seen;
    for (const std::string &value : values)
        if (!seen.insert(value).second)
            return &value;
    return nullptr;
}

} // namespace

namespace
{

// The general path: the library's JSON form (ds_c_to_jo) brought into the
// document form, value by value, into join.printed; their number, or -1
// with reason.
int64_t
library_values(DsDocJoin &join, const Node &owner, const DsType *type, const void *value,
               size_t value_len, bool list, std::string &reason)
{
    errno = 0;
    JsonPtr library(ds_c_to_jo(type, value, value_len));
    if (library == nullptr) {
        throw_if_out_of_memory();
        reason = "value is not valid for its type";
        return -1;
    }
    if (list && (type->kind != DS_KIND_ARRAY || type->p.array.element == nullptr)) {
        reason = "a leaf-list whose type is not an array";
        return -1;
    }
    bool check = list && (owner.doc->flags & DS_DOC_CONFIG) != 0;
    size_t count = list ? json_object_array_length(library.get()) : 1;
    for (size_t e = 0; e < count; ++e) {
        json_object *item = list ? json_object_array_get_idx(library.get(), e) : library.get();
        if (!document_scalar(owner, item, join.scalar, reason))
            return -1;
        if (e != 0)
            join.printed += '\0';
        append_scalar(join.printed, join.scalar);
        if (check)
            join.elements.push_back(join.scalar.text);
    }
    return static_cast<int64_t>(count);
}

} // namespace

int64_t
entry_values(DsDocJoin &join, const Node &owner, const DsType *type, const void *value,
             size_t value_len, std::string_view &printed, std::string &reason)
{
    if (value == nullptr || type == nullptr || value_len != type->size) {
        reason = "value of " + std::to_string(value_len) + " bytes where its type has " +
                 std::to_string(type ? ds_type_size(type) : 0);
        return -1;
    }
    bool leaf = owner.doc->kind == DS_DOC_LEAF;
    size_t slot = 0;
    printed = leaf ? join.value_memo.find(type, owner.doc->value, value, value_len, slot) : "";
    if (!printed.empty())
        return 1;
    bool list = owner.doc->kind == DS_DOC_LEAF_LIST;
    bool check = list && (owner.doc->flags & DS_DOC_CONFIG) != 0;
    join.printed.clear();
    join.elements.clear();
    int64_t count = -1;
    if (prints_directly(owner.doc->value, type, list)) {
        PrintedValues out{join.printed, join.scalar, check ? &join.elements : nullptr};
        if (print_packed(*owner.doc->value, type, value, value_len, list, join.patterns, out))
            count = out.count;
        else
            reason = out.invalid ? "value is not valid for its type" : out.reason;
    } else {
        count = library_values(join, owner, type, value, value_len, list, reason);
    }
    if (count < 0)
        return -1;
    const std::string *twice = check ? repeated(join.elements) : nullptr;
    if (twice != nullptr) {
        reason = "value \"" + *twice + "\" appears twice in a configuration leaf-list";
        return -1;
    }
    printed = join.texts.store(join.printed);
    if (leaf)
        join.value_memo.keep(slot, type, owner.doc->value, value, value_len, printed);
    return count;
}

size_t
ValueMemo::slot_of(const DsType *type, const DsDocValue *value, const void *bytes, size_t size)
{
    // The two records' addresses and the bytes a word a step (a byte a step
    // made the hash a chain of dependent multiplications).
    uint64_t h = reinterpret_cast<uintptr_t>(type) * 0x9E3779B97F4A7C15ull ^
                 reinterpret_cast<uintptr_t>(value) ^ size;
    const auto *p = static_cast<const unsigned char *>(bytes);
    for (size_t i = 0; i < size; i += 8) {
        uint64_t word = 0;
        if (size - i >= 8)
            std::memcpy(&word, p + i, 8);
        else
            for (size_t j = i; j < size; ++j)
                word = word << 8 | p[j];
        h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    return static_cast<size_t>(h ^ h >> 29) % kSlots;
}

std::string_view
ValueMemo::find(const DsType *type, const DsDocValue *value, const void *bytes, size_t size,
                size_t &at) const
{
    if (size > kBytes)
        return {};
    at = slot_of(type, value, bytes, size);
    const Slot &slot = slots_[at];
    if (slot.type != type || slot.value != value || slot.size != size ||
        std::memcmp(slot.bytes, bytes, size) != 0)
        return {};
    return slot.printed;
}

void
ValueMemo::keep(size_t at, const DsType *type, const DsDocValue *value, const void *bytes,
                size_t size, std::string_view printed)
{
    if (size > kBytes)
        return;
    Slot &slot = slots_[at];
    slot.type = type;
    slot.value = value;
    slot.size = size;
    std::memcpy(slot.bytes, bytes, size);
    slot.printed = printed;
}

} // namespace doc
