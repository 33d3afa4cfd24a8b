// Canonical text straight from the packed value. The canonical text is what
// json-c prints for the object that ds_c_to_jo builds; building that object,
// member by member, costs more than the rest of a canonical text together.
// So the packed walk of core/packed_walk.h runs under the converter's rules
// (the same reads and checks as ds_c_to_jo, in the same order, so the same
// verdicts and pattern checks) with a sink that appends to a text the bytes
// that json-c's printer appends for each object it would have built
// (json_print.cpp has the scalars): booleans as true and false, arrays as
// "[ a, b ]" and "[ ]", objects as "{ "k": v, "l": w }" and "{ }". A member
// added again under a name the object holds already replaces the value at
// that member's place, as json_object_object_add does.
#include "codec/codec.h"
#include "core/packed_walk.h"

#include <cstring>

namespace
{

using Status = CanonicalPrint;

// Where the members of one object stand in the text, so that a member added
// again under a name it holds replaces that member's value in place.
class MemberList
{
  public:
    MemberList() = default;
    MemberList(const MemberList &) = delete;
    MemberList &operator=(const MemberList &) = delete;
    ~MemberList() { std::free(spill_); }

    struct Member {
        const char *name;
        size_t start; // of the value in the text
        size_t end;
    };

    size_t
    count() const
    {
        return count_;
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
    bool
    record(const char *name, size_t start, size_t end)
    {
        // The spill area grows by kInline members whenever it is full.
        if (count_ >= kInline && (count_ - kInline) % kInline == 0) {
            size_t capacity = count_ - kInline + kInline;
            auto *grown = static_cast<Member *>(std::realloc(spill_, capacity * sizeof(Member)));
            if (grown == nullptr)
                return false;
            spill_ = grown;
        }
        *at(count_++) = Member{name, start, end};
        return true;
    }
    // The value of same moved from [same->start, same->end) to a text of
    // new_length bytes there: the members behind it move by the difference.
    void
    resized(Member *same, size_t new_length)
    {
        size_t old_length = same->end - same->start;
        for (size_t i = 0; i < count_; ++i) {
            Member *m = at(i);
            if (m->start > same->start) {
                m->start = m->start - old_length + new_length;
                m->end = m->end - old_length + new_length;
            }
        }
        same->end = same->start + new_length;
    }

  private:
    static constexpr size_t kInline = 16;

    Member *
    at(size_t i)
    {
        return i < kInline ? &inline_[i] : &spill_[i - kInline];
    }

    size_t count_ = 0;
    Member inline_[kInline];
    Member *spill_ = nullptr;
};

class PrintSink : public core::QuietSink
{
  public:
    static constexpr bool kConverts = true;

    // An object or array being printed; for an object, its members so far
    // and the member whose value is being printed.
    struct Frame {
        explicit Frame(PrintSink &) {}
        MemberList members;
        MemberList::Member *same = nullptr; // an earlier member of the same name
        size_t mark = 0;                    // where the member's text starts
        size_t start = 0;                   // where its value starts
    };

    PrintSink(char *buffer, size_t size) : out_(buffer, size) {}

    Status
    status() const
    {
        return status_;
    }
    bool
    finish(CanonicalText *result)
    {
        return out_.finish(result) || failed(Status::no_memory);
    }

    bool
    begin_object(Frame &)
    {
        return append("{", 1);
    }
    bool
    end_object(Frame &)
    {
        return append(" }", 2);
    }
    bool
    begin_array(Frame &)
    {
        return append("[", 1);
    }
    bool
    end_array(Frame &)
    {
        return append(" ]", 2);
    }
    // A new name is printed before its value; a name the object holds
    // already is not, as its value will take the old one's place.
    bool
    key(Frame &frame, const char *name)
    {
        frame.same = name != nullptr ? frame.members.find(name) : nullptr;
        frame.mark = out_.size();
        if (name != nullptr && frame.same == nullptr) {
            if ((frame.members.count() > 0 && !append(",", 1)) || !append(" ", 1) ||
                !quoted(name) || !append(": ", 2))
                return false;
        }
        frame.start = out_.size();
        return true;
    }
    bool
    member_end(Frame &frame, const char *name)
    {
        if (frame.same == nullptr)
            return frame.members.record(name, frame.start, out_.size()) ||
                   failed(Status::no_memory);
        size_t new_length = out_.size() - frame.mark;
        out_.move_tail(frame.same->start, frame.same->end - frame.same->start, frame.mark);
        frame.members.resized(frame.same, new_length);
        return true;
    }
    bool
    element(Frame &, uint32_t i)
    {
        return (i == 0 || append(",", 1)) && append(" ", 1);
    }

    bool
    int_value(int64_t value)
    {
        return codec_append_int(out_, value) || failed(Status::no_memory);
    }
    bool
    double_value(double value)
    {
        return codec_append_double(out_, value) || failed(Status::no_memory);
    }
    bool
    bool_value(bool value)
    {
        return value ? append("true", 4) : append("false", 5);
    }
    bool
    text_value(const char *text)
    {
        return quoted(text);
    }
    bool
    pattern(const DsType *type, const char *text)
    {
        return pattern_matches(type, text);
    }
    void
    refuse(const core::Fault &)
    {
        status_ = Status::invalid;
    }
    bool
    out_of_memory()
    {
        return failed(Status::no_memory);
    }

  private:
    bool
    failed(Status status)
    {
        status_ = status;
        return false;
    }
    bool
    append(const char *s, size_t n)
    {
        return out_.append(s, n) || failed(Status::no_memory);
    }
    bool
    quoted(const char *s)
    {
        return codec_append_quoted(out_, s) || failed(Status::no_memory);
    }

    TextOut out_;
    Status status_ = Status::printed;
};

} // namespace

// The whole packed value must be consumed, as ds_c_to_jo requires; a type of
// size 0 never converts back, since ds_c_to_jo refuses an empty value.
CanonicalText
codec_print_canonical(const DsType *type, const uint8_t *packed, char *buffer, size_t buffer_size)
{
    CanonicalText result;
    if (type->size == 0)
        return result;
    PrintSink sink(buffer, buffer_size);
    if (core::walk_packed(sink, type, packed, type->size))
        sink.finish(&result);
    result.status = sink.status();
    return result;
}
