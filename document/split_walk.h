// The split walk (split_walk.cpp, split_values.cpp, split_keys.cpp): an
// RFC 7951 document read against the key forest and its document data. It
// runs twice over the text: once to check everything, once to hand the
// entries out, so that a refused document gives none. It holds the key path
// and the document place of the member it is in, and, for each list open
// around that member, what it needs to find a repeated entry; nothing else
// grows with the document.
#ifndef DSTYPES_DOCUMENT_SPLIT_WALK_H
#define DSTYPES_DOCUMENT_SPLIT_WALK_H

#include "document/doc.h"
#include "document/known_patterns.h"
#include "dstypes_json_pull.hpp"

#include <deque>
#include <string>
#include <vector>

namespace doc
{

using ds::detail::JsonPull;

// The document place of the member a walk is in, kept as steps and written
// as a JSON pointer (RFC 6901) only when a refusal needs it.
class Place
{
  public:
    size_t
    depth() const
    {
        return steps_.size();
    }
    // A member by its name, which must outlive the step (the module's static
    // names, the document's text, a name being read).
    void
    enter(std::string_view name)
    {
        steps_.push_back({name, 0});
    }
    // An element of an array, from 0.
    void
    enter(size_t index)
    {
        steps_.push_back({{}, index + 1});
    }
    void
    leave(size_t depth)
    {
        steps_.resize(depth);
    }
    std::string pointer() const;

  private:
    struct Step {
        std::string_view name;
        size_t index; // element + 1; 0: a member
    };
    std::vector<Step> steps_;
};

// The packed values of leaves converted before, by all that decides them:
// the leaf type, the value's YANG type, the node's module and the document's
// scalar. Documents repeat many values (states, booleans, kinds), and
// converting one again gives the same bytes; integers in plain decimal are
// packed from their text instead. A fixed number of short values are kept,
// a new one replacing the one in its slot (split_values.cpp).
class ValueMemo
{
  public:
    ValueMemo() : slots_(kSlots) {}
    struct Key {
        const DsType *type;
        const DsDocValue *value;
        const char *module;
        const Scalar &scalar;
    };
    // The slot where the bytes of key are kept, if they are.
    static size_t slot_of(const Key &key);
    // Copies the bytes kept for key in its slot into packed; false when none
    // are kept.
    bool find(size_t slot, const Key &key, std::vector<unsigned char> &packed) const;
    void keep(size_t slot, const Key &key, const std::vector<unsigned char> &packed);

  private:
    static constexpr size_t kSlots = 256;
    static constexpr size_t kMaxText = 32;
    static constexpr size_t kMaxPacked = 32;
    struct Slot {
        const DsType *type = nullptr; // null: empty
        const DsDocValue *value = nullptr;
        const char *module = nullptr;
        Scalar::Kind kind = Scalar::Kind::string;
        uint8_t text_length = 0;
        uint8_t packed_length = 0;
        char text[kMaxText];
        unsigned char packed[kMaxPacked];
    };
    static bool holds(const Slot &slot, const Key &key);
    std::vector<Slot> slots_; // kSlots, taken once per split
};

// Which member followed which in the objects read so far: documents repeat
// the shapes of their objects, so the member after a given one (or first in
// an object) is mostly the one that came there the last time, and is
// tried before the children are searched. A fixed number of pairs are kept
// (split_values.cpp).
class MemberOrder
{
  public:
    // The member (with its document data) that followed before (null: came
    // first) in an object of parent last time, or null.
    const Node *
    guess(const DsKeyNode *parent, const DsKeyNode *before) const
    {
        if (slots_.empty())
            return nullptr;
        const Slot &slot = slots_[slot_of(parent, before)];
        return slot.member.key != nullptr && slot.parent == parent && slot.before == before
                   ? &slot.member
                   : nullptr;
    }
    void note(const DsKeyNode *parent, const DsKeyNode *before, const Node &member);

  private:
    static constexpr size_t kSlots = 256;
    struct Slot {
        const DsKeyNode *parent;
        const DsKeyNode *before;
        Node member; // member.key null: empty
    };
    static size_t
    slot_of(const DsKeyNode *parent, const DsKeyNode *before)
    {
        uint64_t bits = reinterpret_cast<uintptr_t>(parent) * 0x9E3779B97F4A7C15ull ^
                        reinterpret_cast<uintptr_t>(before) * 0xC2B2AE3D27D4EB4Full;
        return static_cast<size_t>(bits >> 56) % kSlots;
    }
    std::vector<Slot> slots_; // kSlots once the first pair is noted
};

// A string read from the document: a view of the text itself when it holds
// no escape, else an unescaped copy of its own. A sink of
// JsonPull::read_string.
class TextRun
{
  public:
    void
    clear()
    {
        view_ = {};
        owned_ = false;
    }
    void
    append(const char *chars, size_t length)
    {
        if (!owned_ && view_.empty()) {
            view_ = {chars, length};
            return;
        }
        own();
        copy_.append(chars, length);
        view_ = copy_;
    }
    void
    push_back(char c)
    {
        own();
        copy_.push_back(c);
        view_ = copy_;
    }
    std::string_view
    view() const
    {
        return view_;
    }

  private:
    void
    own()
    {
        if (!owned_)
            copy_.assign(view_);
        owned_ = true;
    }
    std::string_view view_;
    std::string copy_;
    bool owned_ = false;
};

// Packs a value in the library's JSON form as ds_jo_to_c packs it, for the
// values whose checks are read directly here: integers, doubles,
// enumerations, and texts and addresses under known patterns. It remembers
// a few patterns by address, so as not to compare their texts each time.
class DirectPacker
{
  public:
    // Packs value into out (type->size bytes, zero where the packed form
    // writes nothing); false when the value is not taken here (refused, or
    // its check is the library's).
    bool pack(const DsType *type, json_object *value, uint8_t *out);

  private:
    bool text(const DsType *type, json_object *value, uint8_t *out);
    static bool enumeration(const DsType *type, json_object *value, DsCursor *cursor);

    PatternKinds patterns_;
};

class SplitWalk
{
  public:
    // One list entry's keys: their canonical JSON texts, the path components.
    struct Keys {
        std::vector<std::string> texts;
    };

    SplitWalk(const char *text, size_t length, DsDocEntryFn fn, void *arg)
        : in_(text, length, ds::detail::JsonText::yang), fn_(fn), arg_(arg)
    {
    }

    // One pass over a whole data tree, or over the body of the node at
    // (with the key path text prefix, its typed components canonical).
    // Returns false when the document is refused (where()/reason() say
    // why) or the callback stopped the walk (stopped() is its result).
    bool whole(bool emit);
    // at is the node of the body's one member; only, when not null, the keys
    // of the one list entry that the body of a list entry holds.
    bool body(bool emit, const DsKeyNode *at, const std::string &prefix, const Keys *only);

    const std::string &
    where() const
    {
        return where_;
    }
    const std::string &
    reason() const
    {
        return reason_;
    }
    int
    stopped() const
    {
        return stopped_;
    }

  private:
    // The entries of one list read so far: an open hash table of their
    // places, tagged with part of their keys' hash (split_keys.cpp).
    struct EntryTable {
        std::vector<uint64_t> slots;
        size_t used = 0;
    };

    bool fail(std::string reason);
    bool fail_at(std::string_view member, std::string reason);
    bool syntax();
    bool emit_entry(const DsKeyNode *key, const void *value, size_t size);

    bool member(const DsKeyNode *key, const Node &node);
    bool object_members(const DsKeyNode *parent, const DsKeyNode *first_key);
    bool list(const DsKeyNode *key, const Node &node, const Keys *only);
    bool list_entry(const DsKeyNode *key, const Node &node, size_t index, const Keys *only,
                    EntryTable &seen, Keys &keys);
    // checked: the entry was checked before (the handing-out pass, an
    // earlier entry read again), so its keys are not packed again.
    bool entry_keys(const DsKeyNode *key, size_t start, Keys &keys, bool checked);
    bool key_text(const DsKeyNode *level, const Node &node, const Scalar &value, std::string &text,
                  bool checked);
    bool leaf(const DsKeyNode *key, const Node &node);
    bool plain_integer_leaf(const DsType *type, const DsDocValue &value, const Scalar &in);
    bool leaf_list(const DsKeyNode *key, const Node &node);
    bool scalar(Scalar &out, const char *what);
    bool pack(const DsType *type, json_object *value);
    bool pack_checked(const DsType *type, json_object *value);
    bool duplicate_entry(EntryTable &seen, const DsKeyNode *first, const Keys &keys, size_t start);
    uint64_t rehash(const DsKeyNode *first, size_t start);

    JsonPull in_;
    DsDocEntryFn fn_;
    void *arg_;
    bool emit_ = false;
    int stopped_ = 0;
    std::string path_;  // key path of the member the walk is in
    Place place_;       // its place in the document
    std::string where_; // the place of the refusal, as a JSON pointer
    std::string reason_;
    std::vector<unsigned char> packed_; // the packed value of the entry at hand
    LibraryScratch library_;            // the library's form of the value at hand
    ValueMemo memo_;                    // leaves' values converted before
    MemberOrder order_;                 // members' order in objects read before
    DirectPacker direct_;               // values packed without the library's walk

    // Buffers kept from one object, leaf or list entry to the next, so that
    // the walk stops allocating once it has met the document's shapes.
    // The members of the objects open around the walk, outermost first, with
    // the choices they sit in; the member name being read, per open object.
    std::vector<std::pair<const DsKeyNode *, const char *>> seen_;
    std::deque<TextRun> names_;
    size_t open_objects_ = 0;
    Scalar leaf_value_;
    // What entry_keys reads of one list entry's keys.
    struct KeyScratch {
        const DsKeyNode *first = nullptr; // the first level of levels
        std::vector<const DsKeyNode *> levels;
        std::vector<Node> nodes;
        std::vector<Scalar> values;
        std::vector<bool> found;
        std::string name;
    };
    KeyScratch key_scratch_;

    // While object_members reads one object: its share of seen_ and names_,
    // given back when it returns.
    class ObjectScope
    {
      public:
        explicit ObjectScope(SplitWalk &walk) : walk_(walk), seen_base_(walk.seen_.size())
        {
            if (walk_.names_.size() <= walk_.open_objects_)
                walk_.names_.emplace_back();
            ++walk_.open_objects_;
        }
        ~ObjectScope()
        {
            --walk_.open_objects_;
            walk_.seen_.resize(seen_base_);
        }
        ObjectScope(const ObjectScope &) = delete;
        ObjectScope &operator=(const ObjectScope &) = delete;
        size_t
        seen_base() const
        {
            return seen_base_;
        }
        TextRun &
        name()
        {
            return walk_.names_[walk_.open_objects_ - 1];
        }

      private:
        SplitWalk &walk_;
        size_t seen_base_;
    };
};

// The converter of an address type whose base is a string (1, 2 or 3), or
// 0 (split_values.cpp).
uint64_t address_converter(const DsType *type);

// "~" and "/" of a member name escaped for a JSON pointer.
std::string pointer_segment(std::string_view name);

} // namespace doc

#endif
