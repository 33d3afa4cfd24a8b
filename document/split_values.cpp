// The split walk's values: leaves and leaf-lists read from the document,
// turned into the library's JSON forms (value_forms.cpp) and packed with
// the library's own checks, or, in the handing-out pass, packed directly
// where the checking pass has checked them; and the walk's two memories of
// fixed size, of values converted and of the order of members. List keys
// are in split_keys.cpp.
#include "document/split_walk.h"

#include "core/address_text.h"
#include "core/grammar.h"
#include "core/refusal.h"
#include "document/value_forms.h"

#include <algorithm>
#include <cstring>

namespace doc
{

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
    if (direct_.pack(type, value, packed_.data()))
        return true;
    if (type->kind == DS_KIND_STRING && json_object_is_type(value, json_type_string)) {
        size_t length = static_cast<size_t>(json_object_get_string_len(value));
        if (length + 1 > type->size)
            return fail("the text is " + std::to_string(length) +
                        " bytes long; the library holds " + std::to_string(type->size - 1) +
                        " here");
    }
    errno = 0;
    if (ds_jo_to_c(type, value, packed_.data(), packed_.size()) != nullptr)
        return true;
    throw_if_out_of_memory();
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
    if (key.scalar.text.size() > kMaxText)
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

void
MemberOrder::note(const DsKeyNode *parent, const DsKeyNode *before, const Node &member)
{
    if (slots_.empty())
        slots_.resize(kSlots, Slot{nullptr, nullptr, Node{}});
    slots_[slot_of(parent, before)] = {parent, before, member};
}

// An integer leaf given in plain decimal, packed from its text: the bytes
// that the library's form would give, with the library's range check. False
// for every other value, which the general path decides (and refuses with
// its reasons).
bool
SplitWalk::plain_integer_leaf(const DsType *type, const DsDocValue &value, const Scalar &in)
{
    int64_t number = 0;
    if (type->kind != DS_KIND_INT || !plain_integer(value, in, number) ||
        !core::int_in_range(type, number))
        return false;
    packed_.assign(type->size, 0);
    DsCursor cursor{packed_.data(), type->size};
    return ds__pack_int(type->size, number, &cursor);
}

bool
SplitWalk::leaf(const DsKeyNode *key, const Node &node)
{
    Scalar &value = leaf_value_; // scalar() sets all of it
    if (!scalar(value, "leaf"))
        return false;
    if (plain_integer_leaf(key->leaf_type, *node.doc->value, value))
        return emit_entry(key, packed_.data(), packed_.size());
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
    JsonPtr array(made(json_object_new_array()));
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
            std::string text = made(json_object_to_json_string(element.get()));
            if ((node.doc->flags & DS_DOC_CONFIG) != 0 &&
                std::find(texts.begin(), texts.end(), text) != texts.end())
                return fail("a value that the leaf-list has already");
            texts.push_back(std::move(text));
            if (json_object_array_add(array.get(), element.get()) != 0)
                throw std::bad_alloc();
            element.release(); // the array holds it now
            place_.leave(depth);
            ++count;
        } while (in_.take(','));
        if (!in_.take(']'))
            return in_.peek() == JsonPull::Token::end ? syntax()
                                                      : fail("not JSON: a ',' or ']' was expected");
    }
    if (!pack(type, array.get()))
        return false;
    // An empty array is no data (a parsed tree holds no leaf-list for it):
    // checked as any other, it gives no entry.
    return count == 0 || emit_entry(key, packed_.data(), packed_.size());
}

} // namespace doc
