// Why ds_c_to_jo refuses a packed value: the packed walk of
// core/packed_walk.h under the converter's rules, with a sink that keeps the
// place it is at (the path of members and elements, the choice arms passed)
// and turns the walk's first fault into words: where inside the value, the
// byte where the refused part starts, the rule, and what the type allows.
#include "core/packed_walk.h"
#include "core/reason_text.h"

namespace core
{

namespace
{

// The fault in words, into r; at is the byte offset of the part refused.
void
explain(Refusal &r, const Fault &f, size_t at)
{
    const DsType *t = f.type;
    switch (f.rule) {
    case Rule::no_type:
    case Rule::too_deep:
        refuse_nesting(r, f.rule == Rule::no_type ? nullptr : t, kMaxDepth + 1);
        return;
    case Rule::short_value:
        refuse(r, f.rule,
               "the type" + of_type(t) + " needs " + std::to_string(f.need) + " bytes from byte " +
                   std::to_string(at) + ", the value ends before");
        return;
    case Rule::long_value:
        refuse(r, f.rule,
               "the value" + of_type(t) + " ends at byte " + std::to_string(at) + ", " +
                   std::to_string(f.need) + " more bytes given");
        return;
    case Rule::enum_base:
        refuse(r, f.rule, "the enumeration" + of_type(t) + " has no integer base");
        return;
    case Rule::int_width:
        refuse(r, f.rule,
               "the type" + of_type(t) + " is no integer of 1, 2, 4 or 8 bytes that fits");
        return;
    case Rule::int_range:
        refuse_range(r, t, f.value);
        return;
    case Rule::enum_value:
        if (f.detail == Fault::Detail::nameless_row)
            refuse(r, f.rule,
                   std::to_string(f.value) + " has no name in the enumeration" + of_type(t),
                   enum_names(t));
        else
            refuse_not_in_enum(r, t, std::to_string(f.value));
        return;
    case Rule::no_nul:
        refuse(r, f.rule,
               "no NUL byte within the " + std::to_string(f.need) + " bytes of the text" +
                   of_type(t));
        return;
    case Rule::pattern:
        refuse_pattern(r, t, f.text);
        return;
    case Rule::no_count_room:
        refuse(r, f.rule, "the array" + of_type(t) + " has no room for its count");
        return;
    case Rule::array_size:
        refuse(r, f.rule,
               std::to_string(f.value) + " elements stored, the array" + of_type(t) +
                   " holds at most " + std::to_string(t->p.array.max_count));
        return;
    case Rule::no_fields:
        refuse(
            r, f.rule,
            "the choice" + of_type(t) +
                (f.detail == Fault::Detail::no_arms ? " has no arm table" : " has no field table"));
        return;
    case Rule::discriminator:
        refuse(r, f.rule, "the discriminator" + of_type(t) + " is no integer");
        return;
    case Rule::no_name:
        refuse(r, f.rule, "a field" + of_type(t) + " has no name");
        return;
    case Rule::converter:
        refuse(r, f.rule, "converter " + std::to_string(f.value) + of_type(t) + " is unknown");
        return;
    default:
        refuse(r, Rule::unknown_kind,
               "kind " + std::to_string(f.value) + of_type(t) + " is unknown");
        return;
    }
}

class RefusalSink : public QuietSink
{
  public:
    static constexpr bool kConverts = true;

    RefusalSink(const uint8_t *start, size_t size) : start_(start), size_(size) {}

    Refusal
    take()
    {
        return std::move(refusal_);
    }

    template <class F>
    bool
    key(F &, const char *name)
    {
        depths_.push_back(path_.size());
        path_ += '.';
        path_ += name == nullptr ? "?" : name;
        return true;
    }
    template <class F>
    bool
    member_end(F &, const char *)
    {
        return leave();
    }
    template <class F>
    bool
    element(F &, uint32_t i)
    {
        depths_.push_back(path_.size());
        path_ += element_place(i);
        return true;
    }
    template <class F>
    bool
    element_end(F &)
    {
        return leave();
    }
    bool
    arm(const DsType *choice, int64_t value)
    {
        arms_.push_back(arm_label(choice, value));
        return true;
    }
    void
    arm_end()
    {
        arms_.pop_back();
    }
    bool
    pattern(const DsType *type, const char *text)
    {
        return pattern_accepts(type, text);
    }
    void refuse(const Fault &fault);

  private:
    bool
    leave()
    {
        path_.resize(depths_.back());
        depths_.pop_back();
        return true;
    }
    // The offset of p in the value; the top level's widened int counts as 0.
    size_t
    offset(const uint8_t *p) const
    {
        return p >= start_ && p <= start_ + size_ ? static_cast<size_t>(p - start_) : 0;
    }

    const uint8_t *start_;
    size_t size_;
    std::string path_;
    std::vector<size_t> depths_; // the path's length before each place entered
    std::vector<std::string> arms_;
    Refusal refusal_;
};

void
RefusalSink::refuse(const Fault &fault)
{
    explain(refusal_, fault, offset(fault.at));
    refusal_.path = path_;
    refusal_.arms.assign(arms_.rbegin(), arms_.rend());
    bool at_part = fault.rule == Rule::int_range || fault.rule == Rule::enum_value ||
                   fault.rule == Rule::no_nul || fault.rule == Rule::pattern;
    if (at_part)
        refusal_.byte = static_cast<int64_t>(offset(fault.at));
}

} // namespace

Refusal
why_packed(const DsType *type, const uint8_t *bytes, size_t size)
{
    RefusalSink sink(bytes, size);
    walk_packed(sink, type, bytes, size);
    return sink.take();
}

} // namespace core
