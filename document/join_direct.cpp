// Values and list keys of entries printed straight from their packed bytes,
// without the library's json-c objects. The packed walk runs under the rules
// of ds_c_to_jo (the same reads, ranges, enum rows and string patterns, in
// the same order) and hands each scalar to a sink that writes its document
// form as library_to_scalar writes it (a list key's value too, once
// join_keys.cpp packed it). Whether a value is handled here follows from its
// types alone, before anything is checked, so that no check runs twice and
// no refusal differs: unions, objects and doubles other than decimal64 take
// the general path (join_values.cpp).
#include "core/packed_walk.h"
#include "document/join_tree.h"
#include "document/value_forms.h"

#include <charconv>
#include <cstdlib>

namespace doc
{

namespace
{

// What ds_c_to_jo makes of a value of a type: the JSON type of the scalar,
// or other for arrays, objects and what the walk refuses anyway.
// An IPv6 address's text is the core's formatter's, the same that the
// canonical texts write, so it is canonical as it stands.
enum class Form { integer, real, boolean, text, ipv6, bitmap, other };

Form
form_of(const DsType *type)
{
    for (unsigned depth = 0; type != nullptr && depth <= core::kMaxDepth; ++depth) {
        switch (type->kind) {
        case DS_KIND_INT:
            return Form::integer;
        case DS_KIND_DOUBLE:
            return Form::real;
        case DS_KIND_STRING:
            return Form::text;
        case DS_KIND_ENUM:
            return core::is_bool_enum(type) ? Form::boolean : Form::text;
        case DS_KIND_BITMAP:
            return Form::bitmap;
        case DS_KIND_CONVERTED:
            if (type->p.converted.converter == DS_CONVERT_IPV6)
                return Form::ipv6;
            if (type->p.converted.converter != DS_CONVERT_BASE)
                return core::is_known_converter(type->p.converted.converter) ? Form::text
                                                                             : Form::other;
            type = type->p.converted.base;
            continue;
        default:
            return Form::other;
        }
    }
    return Form::other;
}

// Whether the document form of a library value of form is made here: every
// base but a union's; a double only as decimal64, as its number; bits only
// from a bitmap's bit numbers and ranges (or a number or boolean, which they
// leave as it is), since a text would be read as such numbers where it
// begins with a digit.
bool
form_handled(const DsDocValue &value, Form form)
{
    if (value.base == DS_DOC_UNION || form == Form::other)
        return false;
    if (value.base == DS_DOC_DECIMAL64)
        return form != Form::boolean;
    if (form == Form::real)
        return false;
    return value.base != DS_DOC_BITS || (form != Form::text && form != Form::ipv6);
}

// One scalar as ds_c_to_jo gives it.
struct Library {
    Form form;
    int64_t integer = 0;
    double real = 0;
    bool truth = false;
    const char *text = nullptr;
};

// The library value as library_to_scalar reads it into text: a string's
// text, an integer's digits, a boolean's name; a double only for a reason.
std::string_view
library_text(const Library &v, char (&digits)[32], std::string &spare)
{
    switch (v.form) {
    case Form::integer:
        return {digits, static_cast<size_t>(
                            std::to_chars(digits, digits + sizeof digits, v.integer).ptr - digits)};
    case Form::boolean:
        return v.truth ? "true" : "false";
    case Form::real: {
        JsonPtr jo(made(json_object_new_double(v.real)));
        spare = made(json_object_to_json_string_ext(jo.get(), JSON_C_TO_STRING_PLAIN));
        return spare;
    }
    default:
        return v.text;
    }
}

// Whether a library value of form is canonical for value's DsDocCanon
// already: an IPv6 address the library formatted.
bool
already_canonical(const DsDocValue &value, Form form)
{
    return value.canon == DS_DOC_CANON_IPV6_ADDRESS && form == Form::ipv6;
}

// The document form of a library value, as library_to_scalar gives it for
// the json-c object of that value; false with its reason.
bool
scalar_of(const DsDocValue &value, const Library &v, Scalar &out, std::string &reason)
{
    char digits[32];
    std::string spare;
    LibraryScalar in;
    in.text = library_text(v, digits, spare);
    if (value.base == DS_DOC_DECIMAL64)
        in.number = v.form == Form::real      ? v.real
                    : v.form == Form::integer ? static_cast<double>(v.integer)
                                              : std::strtod(v.text, nullptr);
    in.bit_numbers = v.form == Form::bitmap;
    in.canonical = already_canonical(value, v.form);
    return scalar_of_library(value, in, out, reason);
}

// Whether scalar_of_library takes the library text of a value of form as
// the document text, unchanged, and as which kind (library_text_kept); never
// for doubles, whose text library_text prints.
bool
kept_text(const DsDocValue &value, Form form, Scalar::Kind &kind)
{
    return form != Form::real && library_text_kept(value, already_canonical(value, form), kind);
}

// Receives the scalars of a packed value from the walk and appends their
// document forms to out, NUL between two. A refusal of the walk makes the
// value invalid; a value without a document form keeps the first reason and
// lets the walk go on, since the general path checks the whole value first.
class ScalarSink : public core::QuietSink
{
  public:
    static constexpr bool kConverts = true;

    ScalarSink(const DsDocValue &value, Form form, bool list, PatternKinds &patterns,
               PrintedValues &out)
        : value_(value), form_(form), list_(list), patterns_(patterns), out_(out)
    {
    }

    template <class F>
    bool
    begin_array(F &)
    {
        bool first = list_;
        list_ = false; // a leaf-list's elements are scalars
        return first;
    }
    template <class F>
    bool
    begin_object(F &)
    {
        return false;
    }
    bool
    int_value(int64_t number)
    {
        Library v{form_};
        v.integer = number;
        return scalar(v);
    }
    bool
    double_value(double number)
    {
        Library v{form_};
        v.real = number;
        return scalar(v);
    }
    bool
    bool_value(bool truth)
    {
        Library v{form_};
        v.truth = truth;
        return scalar(v);
    }
    bool
    text_value(const char *text)
    {
        Library v{form_};
        v.text = text;
        return scalar(v);
    }
    // The pattern of a string type, whose size bytes hold the text (the walk
    // found its NUL there).
    bool
    pattern(const DsType *type, const char *text)
    {
        return text_is_valid(patterns_, type, text, std::strlen(text));
    }
    void
    refuse(const core::Fault &)
    {
        invalid_ = true;
    }

    bool
    invalid() const
    {
        return invalid_;
    }

  private:
    bool
    scalar(const Library &v)
    {
        if (!out_.reason.empty())
            return true;
        if (out_.count++ != 0)
            out_.printed += '\0';
        if (out_.elements == nullptr && append_kept(v))
            return true;
        if (!scalar_of(value_, v, out_.scalar, out_.reason))
            return true;
        append_scalar(out_.printed, out_.scalar);
        if (out_.elements != nullptr)
            out_.elements->push_back(out_.scalar.text);
        return true;
    }

    // Appends v's document form when it is the library's text as it stands
    // (kept_text), without the scratch scalar; false when it is not.
    bool
    append_kept(const Library &v)
    {
        Scalar::Kind kind = Scalar::Kind::string;
        if (!kept_text(value_, v.form, kind))
            return false;
        char digits[32];
        std::string spare;
        std::string_view text = library_text(v, digits, spare);
        if (kind != Scalar::Kind::string) {
            out_.printed += text;
        } else if (v.form == Form::integer) {
            // Digits and a sign need no escapes.
            out_.printed += '"';
            out_.printed += text;
            out_.printed += '"';
        } else {
            append_json_string(out_.printed, text);
        }
        return true;
    }

    const DsDocValue &value_;
    Form form_;
    bool list_;
    PatternKinds &patterns_;
    PrintedValues &out_;
    bool invalid_ = false;
};

} // namespace

bool
prints_directly(const DsDocValue *value, const DsType *type, bool list)
{
    if (value == nullptr || type == nullptr)
        return false;
    if (list) {
        if (type->kind != DS_KIND_ARRAY || type->p.array.element == nullptr)
            return false;
        type = type->p.array.element;
    }
    return form_handled(*value, form_of(type));
}

bool
print_packed(const DsDocValue &value, const DsType *type, const void *bytes, size_t len, bool list,
             PatternKinds &patterns, PrintedValues &out)
{
    ScalarSink sink(value, form_of(list ? type->p.array.element : type), list, patterns, out);
    bool walked = core::walk_packed(sink, type, static_cast<const uint8_t *>(bytes), len);
    out.invalid = !walked || sink.invalid();
    return !out.invalid && out.reason.empty();
}

} // namespace doc
