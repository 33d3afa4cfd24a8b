// Canonical text straight from the packed value. The canonical text is what
// json-c prints for the object that the packed-to-JSON walk builds; building
// that object, member by member, costs more than the rest of a canonical text
// together. This walk follows the packed-to-JSON walk step for step (the same
// reads, the same checks, in the same order, so the same verdicts and the
// same pattern checks) but appends to a text the bytes that json-c's printer
// appends for each object it would have built, with json_object_to_json_string's
// default flags:
//
// - integers as "%" PRId64, booleans as true and false;
// - strings between double quotes, escaping \b \n \r \t \f " \ and / with a
//   backslash and every other byte below 0x20 as \u00 and two lowercase hex
//   digits;
// - arrays as "[ a, b ]" and "[ ]", objects as "{ "k": v, "l": w }" and "{ }";
//   a member added again under a name the object holds already replaces the
//   value at that member's place, as json_object_object_add does;
// - doubles by json-c itself, through one double object per thread that is
//   set to each value and printed, so that json-c's formatting rules and its
//   configured double format apply unchanged.
#include "codec/codec.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

namespace
{

using Status = CanonicalPrint;

// A text that starts in the caller's buffer and moves to the heap when it
// outgrows it.
class TextOut
{
  public:
    TextOut(char *buffer, size_t size) : buf_(buffer), cap_(size) {}
    TextOut(const TextOut &) = delete;
    TextOut &operator=(const TextOut &) = delete;

    bool
    append(const char *s, size_t n)
    {
        if (!reserve(n))
            return false;
        std::memcpy(buf_ + len_, s, n);
        len_ += n;
        return true;
    }
    bool
    append(const char *s)
    {
        return append(s, std::strlen(s));
    }
    size_t
    size() const
    {
        return len_;
    }
    char *
    data()
    {
        return buf_;
    }
    // Moves [from, size()) to at, dropping the bytes that were in its way
    // from at up to at + dropped, and shortens the text by dropped.
    void
    move_tail(size_t at, size_t dropped, size_t from)
    {
        std::rotate(buf_ + at, buf_ + from, buf_ + len_);
        size_t moved = len_ - from;
        std::memmove(buf_ + at + moved, buf_ + at + moved + dropped, len_ - at - moved - dropped);
        len_ -= dropped;
    }
    // Ends the text with a NUL and hands it over.
    bool
    finish(CanonicalText *result)
    {
        if (!reserve(0))
            return false;
        buf_[len_] = '\0';
        result->text = buf_;
        result->length = len_;
        result->heap = std::move(heap_);
        return true;
    }

  private:
    bool
    reserve(size_t n)
    {
        if (len_ + n < cap_)
            return true;
        size_t cap = std::max(2 * cap_, len_ + n + 1);
        char *grown = static_cast<char *>(std::realloc(heap_.get(), cap));
        if (grown == nullptr)
            return false;
        if (heap_ == nullptr)
            std::memcpy(grown, buf_, len_);
        heap_.release();
        heap_.reset(grown);
        buf_ = grown;
        cap_ = cap;
        return true;
    }

    char *buf_;
    size_t cap_;
    size_t len_ = 0;
    std::unique_ptr<char, FreeDeleter> heap_;
};

// The double object of this thread, made on first use and released when the
// thread ends.
struct DoubleObject {
    JsonRef jo;
};
thread_local DoubleObject double_object;

Status
fail_if(bool failed, Status status)
{
    return failed ? status : Status::printed;
}

// Bytes that a JSON string text cannot hold as they are; NUL ends the text.
constexpr bool
needs_escape(unsigned char c)
{
    return c < 0x20 || c == '"' || c == '\\' || c == '/';
}

// The escape of such a byte, as json-c writes it, into escape; its length.
size_t
escape_of(unsigned char c, char escape[6])
{
    static constexpr char kHex[] = "0123456789abcdef";
    static constexpr char kShort[] = "btn_fr"; // for \b \t \n \f \r; \v has none
    escape[0] = '\\';
    if (c >= 0x20) {
        escape[1] = static_cast<char>(c);
        return 2;
    }
    if (c >= '\b' && c <= '\r' && c != '\v') {
        escape[1] = kShort[c - '\b'];
        return 2;
    }
    std::memcpy(escape + 1, "u00", 3);
    escape[4] = kHex[c >> 4];
    escape[5] = kHex[c & 0xf];
    return 6;
}

Status
append_quoted(TextOut &out, const char *s)
{
    if (!out.append("\"", 1))
        return Status::no_memory;
    for (;;) {
        const char *start = s;
        while (!needs_escape(static_cast<unsigned char>(*s)))
            ++s;
        if (!out.append(start, static_cast<size_t>(s - start)))
            return Status::no_memory;
        if (*s == '\0')
            break;
        char escape[6];
        if (!out.append(escape, escape_of(static_cast<unsigned char>(*s++), escape)))
            return Status::no_memory;
    }
    return fail_if(!out.append("\"", 1), Status::no_memory);
}

Status
append_int(TextOut &out, int64_t value)
{
    char text[24];
    int n = std::snprintf(text, sizeof text, "%" PRId64, value);
    return fail_if(!out.append(text, static_cast<size_t>(n)), Status::no_memory);
}

Status
append_double(TextOut &out, double value)
{
    if (double_object.jo == nullptr)
        double_object.jo.reset(json_object_new_double(value));
    else
        json_object_set_double(double_object.jo.get(), value);
    if (double_object.jo == nullptr)
        return Status::no_memory;
    const char *text = codec_print(double_object.jo.get());
    return fail_if(text == nullptr || !out.append(text), Status::no_memory);
}

Status walk(TextOut &out, const DsType *type, DsCursor *cursor, unsigned depth);

// One object being printed: its members' names and where their values stand
// in the text, so that a member added again under a name it holds replaces
// that member's value in place.
class ObjectOut
{
  public:
    explicit ObjectOut(TextOut &out) : out_(out) {}
    ObjectOut(const ObjectOut &) = delete;
    ObjectOut &operator=(const ObjectOut &) = delete;
    ~ObjectOut() { std::free(spill_); }

    Status
    open()
    {
        return fail_if(!out_.append("{", 1), Status::no_memory);
    }
    Status
    close()
    {
        return fail_if(!out_.append(" }", 2), Status::no_memory);
    }

    // Converts the value of type at the cursor and adds it under name. As in
    // the object walk, the value is converted before the name is looked at.
    Status
    add(const char *name, const DsType *type, DsCursor *cursor, unsigned depth)
    {
        Member *same = name != nullptr ? find(name) : nullptr;
        size_t mark = out_.size();
        if (name != nullptr && same == nullptr) {
            if ((count_ > 0 && !out_.append(",", 1)) || !out_.append(" ", 1))
                return Status::no_memory;
            Status quoted = append_quoted(out_, name);
            if (quoted != Status::printed)
                return quoted;
            if (!out_.append(": ", 2))
                return Status::no_memory;
        }
        size_t start = out_.size();
        Status status = walk(out_, type, cursor, depth);
        if (status != Status::printed)
            return status;
        if (name == nullptr)
            return Status::invalid;
        if (same != nullptr)
            return replace(same, mark);
        return record(name, start, out_.size());
    }

  private:
    struct Member {
        const char *name;
        size_t start; // of the value in the text
        size_t end;
    };
    static constexpr size_t kInline = 16;

    Member *
    at(size_t i)
    {
        return i < kInline ? &inline_[i] : &spill_[i - kInline];
    }

    Member *
    find(const char *name)
    {
        for (size_t i = 0; i < count_; ++i) {
            Member *m = at(i);
            if (m->name == name || std::strcmp(m->name, name) == 0)
                return m;
        }
        return nullptr;
    }

    Status
    record(const char *name, size_t start, size_t end)
    {
        // The spill area grows by kInline members whenever it is full.
        if (count_ >= kInline && (count_ - kInline) % kInline == 0) {
            size_t capacity = count_ - kInline + kInline;
            auto *grown = static_cast<Member *>(std::realloc(spill_, capacity * sizeof(Member)));
            if (grown == nullptr)
                return Status::no_memory;
            spill_ = grown;
        }
        *at(count_++) = Member{name, start, end};
        return Status::printed;
    }

    // The new value stands at the end of the text, from mark; it takes the
    // place of the old one, and the members behind it move by the difference.
    Status
    replace(Member *same, size_t mark)
    {
        size_t old_length = same->end - same->start;
        size_t new_length = out_.size() - mark;
        out_.move_tail(same->start, old_length, mark);
        same->end = same->start + new_length;
        for (size_t i = 0; i < count_; ++i) {
            Member *m = at(i);
            if (m->start > same->start) {
                m->start = m->start - old_length + new_length;
                m->end = m->end - old_length + new_length;
            }
        }
        return Status::printed;
    }

    TextOut &out_;
    size_t count_ = 0;
    Member inline_[kInline];
    Member *spill_ = nullptr;
};

Status
print_int(TextOut &out, const DsType *type, DsCursor *cursor)
{
    int64_t value = 0;
    if (!codec_read_int_or_enum(type, cursor, &value))
        return Status::invalid;
    return append_int(out, value);
}

Status
print_double(TextOut &out, DsCursor *cursor)
{
    double value = 0;
    if (cursor->remaining < sizeof value)
        return Status::invalid;
    std::memcpy(&value, cursor->p, sizeof value);
    codec_advance(cursor, sizeof value);
    return append_double(out, value);
}

Status
print_string(TextOut &out, const DsType *type, DsCursor *cursor)
{
    const char *text = reinterpret_cast<const char *>(cursor->p);
    if (type->size == 0 || std::memchr(text, '\0', type->size) == nullptr ||
        !pattern_matches(type, text))
        return Status::invalid;
    codec_advance(cursor, type->size);
    return append_quoted(out, text);
}

Status
print_enum(TextOut &out, const DsType *type, DsCursor *cursor)
{
    int64_t value = 0;
    if (!codec_read_int_or_enum(type, cursor, &value))
        return Status::invalid;
    if (core::is_bool_enum(type))
        return fail_if(!out.append(static_cast<int32_t>(value) != 0 ? "true" : "false"),
                       Status::no_memory);
    const DsEnumValue *row = core::enum_row(type, value);
    return row != nullptr && row->name != nullptr ? append_quoted(out, row->name) : Status::invalid;
}

Status
print_array(TextOut &out, const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsType *element = type->p.array.element;
    uint32_t max_count = type->p.array.max_count;
    if (element == nullptr || cursor->remaining < 2)
        return Status::invalid;
    if (!out.append("[", 1))
        return Status::no_memory;
    int64_t count = 0;
    ds__peek_int(2, false, &count, cursor);
    for (uint32_t i = 0; i < max_count; ++i) {
        if (i >= count) {
            if (!codec_skip(cursor, element->size))
                return Status::invalid;
            continue;
        }
        if ((i > 0 && !out.append(",", 1)) || !out.append(" ", 1))
            return Status::no_memory;
        Status status = walk(out, element, cursor, depth + 1);
        if (status != Status::printed)
            return status;
    }
    return fail_if(!out.append(" ]", 2), Status::no_memory);
}

Status
add_fields(ObjectOut &obj, const DsField *fields, uint32_t first, uint32_t count, DsCursor *cursor,
           unsigned depth)
{
    for (uint32_t i = first; i < first + count; ++i) {
        Status status = obj.add(fields[i].name, fields[i].type, cursor, depth + 1);
        if (status != Status::printed)
            return status;
    }
    return Status::printed;
}

Status
print_sequence(TextOut &out, const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsField *fields = type->p.sequence.fields;
    uint32_t count = type->p.sequence.field_count;
    if (fields == nullptr && count > 0)
        return Status::invalid;
    ObjectOut obj(out);
    Status status = obj.open();
    if (status == Status::printed)
        status = add_fields(obj, fields, 0, count, cursor, depth);
    return status == Status::printed ? obj.close() : status;
}

Status
print_choice(TextOut &out, const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsField *fields = type->p.choice.fields;
    const DsType *discriminator = fields != nullptr ? fields[0].type : nullptr;
    if (!core::is_discriminator(discriminator) ||
        (type->p.choice.arms == nullptr && type->p.choice.arm_count > 0))
        return Status::invalid;
    ObjectOut obj(out);
    Status status = obj.open();
    if (status != Status::printed)
        return status;
    DsCursor inside{cursor->p, type->size};
    DsCursor at_discriminator = inside;
    status = obj.add(fields[0].name, discriminator, &inside, depth + 1);
    if (status != Status::printed)
        return status;
    int64_t value = 0;
    ds__get_int_or_enum_val(discriminator, &at_discriminator, &value);
    const DsChoiceArm *arms = type->p.choice.arms;
    for (uint32_t a = 0; a < type->p.choice.arm_count; ++a) {
        if (!core::arm_lists(&arms[a], value))
            continue;
        status = add_fields(obj, fields, arms[a].first_field, arms[a].field_count, &inside, depth);
        if (status != Status::printed)
            return status;
    }
    codec_advance(cursor, type->size);
    return obj.close();
}

// The bit range text holds only digits, "," and "-": nothing to escape.
__attribute__((noinline)) Status
print_bitmap(TextOut &out, const DsType *type, DsCursor *cursor)
{
    uint64_t bit_count = type->p.bitmap.bit_count;
    uint64_t nbytes = (bit_count + 7) / 8;
    const uint8_t *bytes = cursor->p;
    if (!codec_skip(cursor, nbytes))
        return Status::invalid;
    uint64_t capacity = core::bit_text_capacity(bit_count);
    char on_stack[core::kStackBitText];
    std::unique_ptr<char, FreeDeleter> on_heap;
    char *text = on_stack;
    if (capacity > sizeof on_stack) {
        on_heap.reset(static_cast<char *>(std::malloc(capacity)));
        if (on_heap == nullptr)
            return Status::no_memory;
        text = on_heap.get();
    }
    const char *ranges = core::write_bit_ranges(text, bytes, nbytes, bit_count);
    return fail_if(!out.append("\"", 1) || !out.append(ranges) || !out.append("\"", 1),
                   Status::no_memory);
}

Status
print_converted(TextOut &out, const DsType *type, DsCursor *cursor, unsigned depth)
{
    const DsType *base = type->p.converted.base;
    uint64_t converter = type->p.converted.converter;
    if (converter == DS_CONVERT_BASE)
        return base != nullptr ? walk(out, base, cursor, depth + 1) : Status::invalid;
    uint32_t width = core::address_width(converter);
    if (width == 0 || width > cursor->remaining)
        return Status::invalid;
    char text[core::kAddressTextSize];
    if (core::address_text(converter, cursor->p, text) == 0)
        return Status::invalid;
    codec_advance(cursor, type->size);
    return append_quoted(out, text);
}

Status
walk(TextOut &out, const DsType *type, DsCursor *cursor, unsigned depth)
{
    if (type == nullptr || depth > core::kMaxDepth || type->size > cursor->remaining)
        return Status::invalid;
    switch (type->kind) {
    case DS_KIND_INT:
        return print_int(out, type, cursor);
    case DS_KIND_DOUBLE:
        return print_double(out, cursor);
    case DS_KIND_STRING:
        return print_string(out, type, cursor);
    case DS_KIND_ENUM:
        return print_enum(out, type, cursor);
    case DS_KIND_ARRAY:
        return print_array(out, type, cursor, depth);
    case DS_KIND_SEQUENCE:
        return print_sequence(out, type, cursor, depth);
    case DS_KIND_CHOICE:
        return print_choice(out, type, cursor, depth);
    case DS_KIND_BITMAP:
        return print_bitmap(out, type, cursor);
    case DS_KIND_CONVERTED:
        return print_converted(out, type, cursor, depth);
    default:
        return Status::invalid;
    }
}

} // namespace

// The whole packed value must be consumed, as ds_c_to_jo requires; a type of
// size 0 never converts back, since ds_c_to_jo refuses an empty value.
CanonicalText
codec_print_canonical(const DsType *type, const uint8_t *packed, char *buffer, size_t buffer_size)
{
    CanonicalText result;
    uint32_t size = type->size;
    if (size == 0)
        return result;
    TextOut out(buffer, buffer_size);
    DsCursor cursor{const_cast<uint8_t *>(packed), size};
    result.status = walk(out, type, &cursor, 0);
    if (result.status == Status::printed && cursor.remaining != 0)
        result.status = Status::invalid;
    if (result.status == Status::printed && !out.finish(&result))
        result.status = Status::no_memory;
    return result;
}
