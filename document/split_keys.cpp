// The split walk's list keys: each list entry's keys read ahead of its
// other members, checked and written as the key path's components (their
// JSON texts, as ds_build_key writes them), and the check that no two
// entries of one list have the same keys.
#include "document/split_walk.h"

#include "core/address_text.h"
#include "core/json_escape.h"

#include <algorithm>
#include <charconv>

namespace doc
{

namespace
{

uint64_t
hash_texts(const std::vector<std::string> &texts)
{
    uint64_t hash = 14695981039346656037ull;
    for (const std::string &text : texts) {
        for (unsigned char c : text)
            hash = (hash ^ c) * 1099511628211ull;
        hash = (hash ^ 0xFF) * 1099511628211ull; // between texts: no text holds a raw 0xFF
    }
    return hash;
}

// The string text as json-c prints it: between double quotes, escaped as
// core::json_escape says.
void
append_json_string(std::string &out, std::string_view text)
{
    out += '"';
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (!core::needs_json_escape(c))
            continue;
        out.append(text, start, i - start);
        start = i + 1;
        char escape[6];
        out.append(escape, core::json_escape(c, escape));
    }
    out.append(text, start, text.size() - start);
    out += '"';
}

// The JSON text that ds_c_to_jo and json-c's printer make of the packed
// form of library, a value in the library's form that the type accepts
// (packed by ds_jo_to_c into packed before, or, with packed null, in an
// entry checked before), for the kinds whose text follows from it
// directly: an integer, a string, an address. False for every other kind.
bool
print_checked(const DsType *type, json_object *library, const uint8_t *packed, std::string &out)
{
    out.clear();
    if (type->kind == DS_KIND_INT) {
        char digits[24];
        out.append(
            digits,
            std::to_chars(digits, digits + sizeof digits, json_object_get_int64(library)).ptr);
        return true;
    }
    if (type->kind == DS_KIND_STRING) {
        append_json_string(out, {json_object_get_string(library),
                                 static_cast<size_t>(json_object_get_string_len(library))});
        return true;
    }
    uint64_t converter = address_converter(type);
    uint8_t bytes[16];
    char text[core::kAddressTextSize];
    if (converter == 0 || (packed == nullptr &&
                           !core::read_address(converter, json_object_get_string(library), bytes)))
        return false;
    append_json_string(out, {text, core::address_text(converter, packed ? packed : bytes, text)});
    return true;
}

} // namespace

// The canonical JSON text of one key value: packed under the level's field
// type and converted back, as ds_build_key writes the component. A value
// that was checked before (checked) is not packed again where its text
// follows from its library form.
bool
SplitWalk::key_text(const DsKeyNode *level, const Node &node, const Scalar &value,
                    std::string &text, bool checked)
{
    std::string reason;
    const DsType *type = level->field_type;
    json_object *library =
        scalar_to_scratch(*node.doc->value, type, module_of(node), value, library_, reason);
    if (library == nullptr)
        return fail(reason);
    if (checked && print_checked(type, library, nullptr, text))
        return true;
    if (!pack(type, library))
        return false;
    if (print_checked(type, library, packed_.data(), text))
        return true;
    errno = 0;
    JsonPtr back(ds_c_to_jo(level->field_type, packed_.data(), packed_.size()));
    if (back == nullptr) {
        throw_if_out_of_memory();
        return fail("the key's packed value does not convert back");
    }
    text = made(json_object_to_json_string(back.get()));
    return true;
}

// The keys of the list entry at start (typed levels from first on), read
// ahead of its other members; the reader is back at start afterwards.
bool
SplitWalk::entry_keys(const DsKeyNode *first, size_t start, Keys &keys, bool checked)
{
    // scalar() sets every value it reads, and a value not read is a refusal.
    KeyScratch &scratch = key_scratch_;
    std::vector<const DsKeyNode *> &levels = scratch.levels;
    std::vector<Node> &nodes = scratch.nodes;
    // The levels of the list read last are those of every entry of it.
    for (const DsKeyNode *level = scratch.first != first ? first : nullptr;
         level != nullptr && level->field_type != nullptr; level = first_child(level)) {
        if (level == first) {
            scratch.first = nullptr;
            levels.clear();
            nodes.clear();
        }
        std::string why;
        nodes.push_back(node_of(level, why));
        if (nodes.back().doc == nullptr || nodes.back().doc->value == nullptr)
            return fail("a key level without document data");
        levels.push_back(level);
    }
    scratch.first = first;
    std::vector<Scalar> &values = scratch.values;
    std::vector<bool> &found = scratch.found;
    values.resize(levels.size());
    found.assign(levels.size(), false);
    size_t missing = levels.size();
    std::string &name = scratch.name;
    in_.take('{');
    if (!in_.take('}')) {
        do {
            if (!in_.read_string(name) || !in_.take(':'))
                return syntax();
            size_t i = 0;
            while (i < levels.size() && name != nodes[i].doc->name &&
                   !qualified(name, module_of(nodes[i]), nodes[i].doc->name))
                ++i;
            if (i == levels.size()) {
                if (!in_.skip_value())
                    return syntax();
                continue;
            }
            if (found[i])
                return fail_at(name, "the member appears twice");
            place_.enter(nodes[i].doc->name);
            if (!scalar(values[i], "list key"))
                return false;
            place_.leave(place_.depth() - 1);
            found[i] = true;
            --missing;
        } while (missing > 0 && in_.take(','));
    }
    for (size_t i = 0; i < levels.size(); ++i)
        if (!found[i])
            return fail("the list entry lacks its key \"" + std::string(nodes[i].doc->name) + "\"");
    keys.texts.resize(levels.size());
    for (size_t i = 0; i < levels.size(); ++i) {
        place_.enter(nodes[i].doc->name);
        if (!key_text(levels[i], nodes[i], values[i], keys.texts[i], checked))
            return false;
        place_.leave(place_.depth() - 1);
    }
    in_.seek(start);
    return true;
}

// A slot of the repeated-entry table: the entry's place + 1 above 24 bits
// of its keys' hash (the bits above those that pick the slot); 0: empty.
constexpr unsigned kTagBits = 24;

static uint64_t
slot_of(size_t start, uint64_t hash)
{
    return (uint64_t(start + 1) << kTagBits) | (hash >> (64 - kTagBits));
}

static size_t
place_of(uint64_t slot)
{
    return static_cast<size_t>(slot >> kTagBits) - 1;
}

// The keys' hash of the list entry at start, read again.
uint64_t
SplitWalk::rehash(const DsKeyNode *first, size_t start)
{
    Keys keys;
    entry_keys(first, start, keys, true);
    return hash_texts(keys.texts);
}

// Whether an earlier entry of the list has the same keys. The table holds 8
// bytes a slot and is at most three quarters full; a slot whose tag matches
// is confirmed by reading that entry's keys again, and so is every entry
// when the table doubles (which reads each entry once more in all). The
// reader is back at start afterwards.
bool
SplitWalk::duplicate_entry(EntryTable &seen, const DsKeyNode *first, const Keys &keys, size_t start)
{
    if (4 * (seen.used + 1) > 3 * seen.slots.size()) {
        std::vector<uint64_t> grown(std::max<size_t>(16, seen.slots.size() * 2), 0);
        size_t mask = grown.size() - 1;
        for (uint64_t slot : seen.slots) {
            if (slot == 0)
                continue;
            size_t at = rehash(first, place_of(slot)) & mask;
            while (grown[at] != 0)
                at = (at + 1) & mask;
            grown[at] = slot;
        }
        seen.slots = std::move(grown);
        in_.seek(start);
    }
    uint64_t hash = hash_texts(keys.texts);
    uint64_t tag = hash >> (64 - kTagBits);
    size_t mask = seen.slots.size() - 1;
    size_t at = hash & mask;
    for (; seen.slots[at] != 0; at = (at + 1) & mask) {
        if ((seen.slots[at] & ((uint64_t(1) << kTagBits) - 1)) != tag)
            continue;
        Keys earlier;
        bool same = entry_keys(first, place_of(seen.slots[at]), earlier, true) &&
                    earlier.texts == keys.texts;
        in_.seek(start);
        if (same)
            return true;
    }
    seen.slots[at] = slot_of(start, hash);
    ++seen.used;
    return false;
}

} // namespace doc
