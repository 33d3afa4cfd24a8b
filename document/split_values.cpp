// The split walk's values: leaves, leaf-lists and list keys read from the
// document, turned into the library's JSON forms (value_forms.cpp) and
// packed with the library's own checks; and the check that no two entries
// of one list have the same keys.
#include "document/split_walk.h"

#include "core/address_text.h"
#include "core/refusal.h"

#include <algorithm>
#include <charconv>
#include <cstring>

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

// The string text as json-c prints it (json_object_to_json_string with its
// default flags): between double quotes, with \b \n \r \t \f " \\ and /
// escaped by a backslash and every other byte below 0x20 as \u00 and two
// lowercase hex digits.
void
append_json_string(std::string &out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    static constexpr char kShort[] = "btn_fr"; // \b \t \n \f \r; \v has none
    out += '"';
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c != '/')
            continue;
        out.append(text, start, i - start);
        start = i + 1;
        out += '\\';
        if (c >= 0x20) {
            out += static_cast<char>(c);
        } else if (c >= '\b' && c <= '\r' && c != '\v') {
            out += kShort[c - '\b'];
        } else {
            out += "u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        }
    }
    out.append(text, start, text.size() - start);
    out += '"';
}

// The converter of an address type whose base is a string (1, 2 or 3), or 0.
uint64_t
address_converter(const DsType *type)
{
    if (type->kind != DS_KIND_CONVERTED || type->p.converted.base == nullptr ||
        type->p.converted.base->kind != DS_KIND_STRING)
        return 0;
    uint64_t converter = type->p.converted.converter;
    return converter == DS_CONVERT_IPV4 || converter == DS_CONVERT_IPV6 ||
                   converter == DS_CONVERT_MAC
               ? converter
               : 0;
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

bool
SplitWalk::scalar(Scalar &out, const char *what)
{
    std::string_view word;
    switch (in_.peek()) {
    case JsonPull::Token::string:
        out.kind = Scalar::Kind::string;
        return in_.read_string(out.text) || syntax();
    case JsonPull::Token::number:
        out.kind = Scalar::Kind::number;
        if (!in_.read_number(word))
            return syntax();
        out.text = word;
        return true;
    case JsonPull::Token::literal:
        if (!in_.read_literal(word))
            return syntax();
        if (word == "null")
            return fail(std::string("JSON null is no value of a ") + what +
                        " (an empty leaf is [null])");
        out.kind = Scalar::Kind::boolean;
        out.text = word;
        return true;
    case JsonPull::Token::array:
        in_.take('[');
        if (in_.peek() == JsonPull::Token::literal && in_.read_literal(word) && word == "null" &&
            in_.take(']')) {
            out.kind = Scalar::Kind::empty;
            out.text.clear();
            return true;
        }
        return fail(std::string("an array where a ") + what + " has one value");
    case JsonPull::Token::object:
        return fail(std::string("an object where a ") + what + " has one value");
    default:
        return syntax();
    }
}

// Packs value into packed_ under type, refusing what the library would
// change or cannot hold with that reason, and what it refuses with the
// rule that refuses it.
bool
SplitWalk::pack(const DsType *type, json_object *value)
{
    packed_.assign(ds_type_size(type), 0);
    if (type->kind == DS_KIND_STRING && json_object_is_type(value, json_type_string)) {
        size_t length = static_cast<size_t>(json_object_get_string_len(value));
        if (length + 1 > type->size)
            return fail("the text is " + std::to_string(length) +
                        " bytes long; the library holds " + std::to_string(type->size - 1) +
                        " here");
    }
    if (ds_jo_to_c(type, value, packed_.data(), packed_.size()) != nullptr)
        return true;
    core::Refusal refusal = core::why_json(type, value);
    return fail(refusal ? refusal.message : "not a value of the node's type");
}

// As pack, for a value that the checking pass packed already: the kinds
// whose packed form follows from the library's form directly are written
// here without the library's checks, the others packed as before.
bool
SplitWalk::pack_checked(const DsType *type, json_object *value)
{
    packed_.assign(ds_type_size(type), 0);
    DsCursor cursor{packed_.data(), static_cast<uint32_t>(packed_.size())};
    switch (type->kind) {
    case DS_KIND_INT:
        return ds__pack_int(type->size, json_object_get_int64(value), &cursor) || pack(type, value);
    case DS_KIND_DOUBLE: {
        double number = json_object_get_double(value);
        std::memcpy(packed_.data(), &number, sizeof number);
        return true;
    }
    case DS_KIND_STRING:
        std::memcpy(packed_.data(), json_object_get_string(value),
                    static_cast<size_t>(json_object_get_string_len(value)));
        return true;
    default:
        break;
    }
    uint64_t converter = address_converter(type);
    if (converter != 0 &&
        core::read_address(converter, json_object_get_string(value), packed_.data()))
        return true;
    return pack(type, value);
}

size_t
ValueMemo::slot_of(const Key &key)
{
    if (key.scalar.text.size() > kMaxText)
        return 0; // not kept
    uint64_t hash = reinterpret_cast<uintptr_t>(key.value) ^ uint64_t(key.scalar.kind);
    std::string_view text = key.scalar.text;
    for (; text.size() >= 8; text.remove_prefix(8)) {
        uint64_t chunk;
        std::memcpy(&chunk, text.data(), 8);
        hash = (hash ^ chunk) * 0xFF51AFD7ED558CCDull;
    }
    for (char c : text)
        hash = hash * 31 + static_cast<unsigned char>(c);
    return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> 56) % kSlots;
}

bool
ValueMemo::holds(const Slot &slot, const Key &key)
{
    return slot.type != nullptr && slot.type == key.type && slot.value == key.value &&
           slot.module == key.module && slot.kind == key.scalar.kind &&
           key.scalar.text.size() == slot.text_length &&
           std::memcmp(slot.text, key.scalar.text.data(), slot.text_length) == 0;
}

bool
ValueMemo::find(size_t at, const Key &key, std::vector<unsigned char> &packed) const
{
    if (slots_.empty() || key.scalar.text.size() > kMaxText)
        return false;
    const Slot &slot = slots_[at];
    if (!holds(slot, key))
        return false;
    packed.assign(slot.packed, slot.packed + slot.packed_length);
    return true;
}

void
ValueMemo::keep(size_t at, const Key &key, const std::vector<unsigned char> &packed)
{
    if (key.scalar.text.size() > kMaxText || packed.size() > kMaxPacked)
        return;
    if (slots_.empty())
        slots_.resize(kSlots);
    Slot &slot = slots_[at];
    slot.type = key.type;
    slot.value = key.value;
    slot.module = key.module;
    slot.kind = key.scalar.kind;
    slot.text_length = static_cast<uint8_t>(key.scalar.text.size());
    std::memcpy(slot.text, key.scalar.text.data(), slot.text_length);
    slot.packed_length = static_cast<uint8_t>(packed.size());
    std::memcpy(slot.packed, packed.data(), packed.size());
}

bool
SplitWalk::leaf(const DsKeyNode *key, const Node &node)
{
    Scalar &value = leaf_value_; // scalar() sets all of it
    if (!scalar(value, "leaf"))
        return false;
    const ValueMemo::Key memo_key{key->leaf_type, node.doc->value, module_of(node), value};
    const size_t memo_slot = ValueMemo::slot_of(memo_key);
    if (memo_.find(memo_slot, memo_key, packed_))
        return emit_entry(key, packed_.data(), packed_.size());
    std::string reason;
    json_object *library = scalar_to_scratch(*node.doc->value, key->leaf_type, module_of(node),
                                             value, library_, reason);
    if (library == nullptr)
        return fail(reason);
    if (!(emit_ ? pack_checked(key->leaf_type, library) : pack(key->leaf_type, library)))
        return false;
    memo_.keep(memo_slot, memo_key, packed_);
    return emit_entry(key, packed_.data(), packed_.size());
}

bool
SplitWalk::leaf_list(const DsKeyNode *key, const Node &node)
{
    const DsType *type = key->leaf_type;
    if (type == nullptr || type->kind != DS_KIND_ARRAY)
        return fail("the leaf-list's key holds no array");
    if (!in_.take('['))
        return fail("a leaf-list is a JSON array of its values");
    JsonPtr array(json_object_new_array());
    if (array == nullptr)
        return fail("out of memory");
    std::vector<std::string> texts; // for the check of repeated values
    const size_t depth = place_.depth();
    uint32_t count = 0;
    if (!in_.take(']')) {
        do {
            place_.enter(static_cast<size_t>(count));
            if (count == type->p.array.max_count)
                return fail("more values than the " + std::to_string(count) +
                            " that the library's array holds");
            Scalar value;
            std::string reason;
            if (!scalar(value, "leaf-list value"))
                return false;
            JsonPtr element = scalar_to_library(*node.doc->value, type->p.array.element,
                                                module_of(node), value, reason);
            if (element == nullptr)
                return fail(reason);
            std::string text = json_object_to_json_string(element.get());
            if ((node.doc->flags & DS_DOC_CONFIG) != 0 &&
                std::find(texts.begin(), texts.end(), text) != texts.end())
                return fail("a value that the leaf-list has already");
            texts.push_back(std::move(text));
            json_object_array_add(array.get(), element.release());
            place_.leave(depth);
            ++count;
        } while (in_.take(','));
        if (!in_.take(']'))
            return in_.peek() == JsonPull::Token::end ? syntax()
                                                      : fail("not JSON: a ',' or ']' was expected");
    }
    if (!pack(type, array.get()))
        return false;
    return emit_entry(key, packed_.data(), packed_.size());
}

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
    JsonPtr back(ds_c_to_jo(level->field_type, packed_.data(), packed_.size()));
    if (back == nullptr)
        return fail("the key's packed value does not convert back");
    text = json_object_to_json_string(back.get());
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
