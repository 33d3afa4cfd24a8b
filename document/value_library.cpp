// The library's side of the value forms (value_forms.cpp reads and writes
// the document's side): a canonical document value put into the form that
// a leaf type of the library holds (numbers, booleans, bitmaps of bit
// numbers, texts), and a value in the library's JSON form written back as
// the document writes it. Split and join both come through here.
#include "document/value_forms.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace doc
{

namespace
{

// The bit numbers of a canonical bits text ("a c" -> "0,2"), as a bitmap
// reads them.
std::string
bit_numbers(const DsDocValue &value, std::string_view text)
{
    std::string numbers;
    while (!text.empty()) {
        size_t end = std::min(text.find(' '), text.size());
        if (const DsDocBit *bit = find_bit(value, text.substr(0, end)))
            numbers += (numbers.empty() ? "" : ",") + std::to_string(bit->position);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return numbers;
}

// Makes the library's JSON values as new objects, which the caller owns.
struct NewValues {
    json_object *
    integer(int64_t number)
    {
        return made(json_object_new_int64(number));
    }
    json_object *
    real(double number)
    {
        return made(json_object_new_double(number));
    }
    json_object *
    boolean(bool truth)
    {
        return made(json_object_new_boolean(truth));
    }
    json_object *
    text(const char *chars, size_t length)
    {
        return made(json_object_new_string_len(chars, static_cast<int>(length)));
    }
};

// The library's integer of a canonical integer text (decimal digits, a
// "-" before a negative one): the text as strtoll reads it, refused above
// 2^63-1.
template <class Values>
json_object *
integer_form(const std::string &text, Values &values, std::string &reason)
{
    const char *first = text.data(), *last = first + text.size();
    uint64_t magnitude = 0;
    bool read =
        !text.empty() && std::from_chars(first + (text[0] == '-'), last, magnitude).ptr == last;
    if (!read) { // no canonical text: as strtoull and strtoll read it
        if (text.size() >= 19 && text.front() != '-' &&
            std::strtoull(text.c_str(), nullptr, 10) > uint64_t(INT64_MAX)) {
            reason = "above 2^63-1, the largest integer the library holds";
            return nullptr;
        }
        return values.integer(std::strtoll(text.c_str(), nullptr, 10));
    }
    if (text[0] != '-' && magnitude > uint64_t(INT64_MAX)) {
        reason = "above 2^63-1, the largest integer the library holds";
        return nullptr;
    }
    if (text[0] != '-')
        return values.integer(static_cast<int64_t>(magnitude));
    // Below -2^63 strtoll gives -2^63.
    if (magnitude > uint64_t(INT64_MAX) + 1)
        magnitude = uint64_t(INT64_MAX) + 1;
    return values.integer(static_cast<int64_t>(0 - magnitude));
}

// The library's form of a canonical text of base for a leaf type of the
// given kind: numbers, booleans and bitmaps where the type holds them, the
// text where it holds a string; made by values (NewValues, LibraryScratch).
template <class Values>
json_object *
library_form(const DsDocValue &value, const DsType *type, const std::string &text, Values &values,
             std::string &reason)
{
    uint32_t kind = type->kind;
    if (kind == DS_KIND_CONVERTED && type->p.converted.converter == DS_CONVERT_BASE &&
        type->p.converted.base != nullptr)
        kind = type->p.converted.base->kind;
    switch (value.base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_INT64:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
    case DS_DOC_UINT64:
        if (kind != DS_KIND_INT && kind != DS_KIND_ENUM && kind != DS_KIND_DOUBLE)
            break;
        return integer_form(text, values, reason);
    case DS_DOC_DECIMAL64: {
        if (kind != DS_KIND_DOUBLE)
            break;
        double number = std::strtod(text.c_str(), nullptr);
        if (std::fabs(number) * std::pow(10.0, value.fraction_digits) > double(kMaxExact)) {
            reason = "beyond 2^53 units of its last fraction digit, more than the library's "
                     "double holds exactly";
            return nullptr;
        }
        return values.real(number);
    }
    case DS_DOC_BOOLEAN:
    case DS_DOC_EMPTY:
        if (kind == DS_KIND_ENUM)
            return values.boolean(value.base == DS_DOC_EMPTY || text == "true");
        break;
    case DS_DOC_BITS:
        if (kind == DS_KIND_BITMAP) {
            std::string numbers = bit_numbers(value, text);
            return values.text(numbers.data(), numbers.size());
        }
        break;
    default:
        break;
    }
    return values.text(text.data(), text.size());
}

// The library's JSON value as text: a string's text, a number's digits, a
// boolean's name.
std::string
library_text(json_object *library)
{
    switch (json_object_get_type(library)) {
    case json_type_string:
        return std::string(json_object_get_string(library),
                           static_cast<size_t>(json_object_get_string_len(library)));
    case json_type_boolean:
        return json_object_get_boolean(library) ? "true" : "false";
    case json_type_int:
        return std::to_string(json_object_get_int64(library));
    default:
        return made(json_object_to_json_string_ext(library, JSON_C_TO_STRING_PLAIN));
    }
}

// Whether a member's values are JSON numbers, true/false or [null] rather
// than strings.
bool
literal_member(uint8_t base)
{
    return kind_fits(base, Scalar::Kind::number) || base == DS_DOC_BOOLEAN || base == DS_DOC_EMPTY;
}

// A union's text as the document writes it, in the JSON type of the first
// member type that reads the text; members of numbers, true/false and [null]
// are tried before members of strings. The stored text does not say which
// member took it, and a document that gave a number had a member of numbers
// take it, whatever the members' order (a text of digits that a document
// gave as a string is printed as a number too).
bool
union_scalar(const DsDocValue &value, const std::string &text, Scalar &out, bool literals)
{
    for (uint32_t i = 0; i < value.count; ++i) {
        const DsDocValue &member = value.members[i];
        if (member.base == DS_DOC_UNION) {
            if (union_scalar(member, text, out, literals))
                return true;
            continue;
        }
        if (literal_member(member.base) != literals)
            continue;
        Scalar in;
        in.text = text;
        if (kind_fits(member.base, Scalar::Kind::number))
            in.kind = Scalar::Kind::number;
        else if (member.base == DS_DOC_BOOLEAN)
            in.kind =
                text == "true" || text == "false" ? Scalar::Kind::boolean : Scalar::Kind::string;
        else if (member.base == DS_DOC_EMPTY)
            in.kind = text.empty() ? Scalar::Kind::empty : Scalar::Kind::string;
        std::string canonical, reason;
        if (!canonical_member(member, "", in, canonical, reason) ||
            (in.kind == Scalar::Kind::number && canonical != text))
            continue;
        out.kind = in.kind;
        out.text = in.kind == Scalar::Kind::empty ? "" : canonical;
        return true;
    }
    return false;
}

} // namespace

namespace
{

// "1,3-5" (a bitmap's text of bit numbers and ranges) as the bits' names in
// position order; false when the text is no such list or a set bit has no
// name.
bool
bit_names(const DsDocValue &value, std::string_view numbers, std::string &out)
{
    std::vector<bool> set;
    const char *p = numbers.data(), *end = p + numbers.size();
    while (p < end) {
        unsigned first = 0, last = 0;
        auto read = std::from_chars(p, end, first);
        last = first;
        if (read.ec == std::errc() && read.ptr < end && *read.ptr == '-')
            read = std::from_chars(read.ptr + 1, end, last);
        if (read.ec != std::errc() || (read.ptr < end && *read.ptr != ','))
            return false;
        if (last >= 65536 || first > last)
            return false;
        if (set.size() <= last)
            set.resize(last + 1);
        for (unsigned bit = first; bit <= last; ++bit)
            set[bit] = true;
        p = read.ptr + (read.ptr < end);
    }
    out.clear();
    for (uint32_t i = 0; i < value.count; ++i) {
        uint32_t position = value.bits[i].position;
        if (position < set.size() && set[position]) {
            out += (out.empty() ? "" : " ") + std::string(value.bits[i].name);
            set[position] = false;
        }
    }
    return std::find(set.begin(), set.end(), true) == set.end();
}

} // namespace

bool
library_text_kept(const DsDocValue &value, bool canonical, Scalar::Kind &kind)
{
    switch (value.base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
        kind = Scalar::Kind::number;
        return true;
    case DS_DOC_BOOLEAN:
        kind = Scalar::Kind::boolean;
        return true;
    case DS_DOC_DECIMAL64:
    case DS_DOC_EMPTY:
    case DS_DOC_BITS:
    case DS_DOC_UNION:
        return false;
    case DS_DOC_STRING:
        kind = Scalar::Kind::string;
        return value.canon == DS_DOC_CANON_NONE || canonical;
    default:
        kind = Scalar::Kind::string;
        return true;
    }
}

bool
scalar_of_library(const DsDocValue &value, const LibraryScalar &in, Scalar &out,
                  std::string &reason)
{
    out.text.assign(in.text);
    out.kind = Scalar::Kind::string;
    if (library_text_kept(value, in.canonical, out.kind))
        return true;
    bool ok = true;
    switch (value.base) {
    case DS_DOC_DECIMAL64: {
        double scale = std::pow(10.0, value.fraction_digits);
        double number = in.number;
        ok = std::isfinite(number) && std::fabs(number * scale) <= double(kMaxExact);
        if (ok)
            out.text = decimal_text(std::llround(number * scale), value.fraction_digits);
        break;
    }
    case DS_DOC_EMPTY:
        out.kind = Scalar::Kind::empty;
        ok = in.text == "true" || in.text.empty();
        out.text.clear();
        break;
    case DS_DOC_BITS:
        ok = !in.bit_numbers || in.text.empty() || bit_names(value, in.text, out.text);
        break;
    case DS_DOC_STRING:
        ok = canonical_text(value.canon, in.text, out.text);
        break;
    default: // a union's one string, as it stands
        break;
    }
    if (!ok)
        reason =
            "the value \"" + std::string(in.text) + "\" has no " + base_name(value.base) + " form";
    return ok;
}

bool
library_to_scalar(const DsDocValue &value, json_object *library, Scalar &out, std::string &reason)
{
    std::string text = library_text(library);
    bool string = json_object_is_type(library, json_type_string);
    if (value.base == DS_DOC_UNION) {
        out.text = text;
        out.kind = Scalar::Kind::string;
        if (union_scalar(value, text, out, true) || union_scalar(value, text, out, false))
            return true;
        reason = "the value \"" + text + "\" has no " + base_name(value.base) + " form";
        return false;
    }
    LibraryScalar in;
    in.text = text;
    if (value.base == DS_DOC_DECIMAL64)
        in.number = string ? std::strtod(text.c_str(), nullptr) : json_object_get_double(library);
    in.bit_numbers = string && !text.empty() && text[0] >= '0' && text[0] <= '9';
    return scalar_of_library(value, in, out, reason);
}

namespace
{

// The canonical text (into text) and the library's form of a document
// scalar, made by values; null with reason.
template <class Values>
json_object *
scalar_form(const DsDocValue &value, const DsType *type, const char *own_module, const Scalar &in,
            std::string &text, Values &values, std::string &reason)
{
    bool ok = value.base == DS_DOC_UNION
                  ? union_member(value, own_module, in, text, reason) != nullptr
                  : canonical_member(value, own_module, in, text, reason);
    if (!ok)
        return nullptr;
    if (text.find('\0') != std::string::npos) {
        reason = "the text holds a NUL character, which the library's text cannot hold";
        return nullptr;
    }
    // A union's leaf type holds the chosen member's canonical text.
    static const DsDocValue kText{DS_DOC_STRING, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    return library_form(value.base == DS_DOC_UNION ? kText : value, type, text, values, reason);
}

} // namespace

JsonPtr
scalar_to_library(const DsDocValue &value, const DsType *type, const char *own_module,
                  const Scalar &in, std::string &reason)
{
    std::string text;
    NewValues values;
    return JsonPtr(scalar_form(value, type, own_module, in, text, values, reason));
}

json_object *
scalar_to_scratch(const DsDocValue &value, const DsType *type, const char *own_module,
                  const Scalar &in, LibraryScratch &scratch, std::string &reason)
{
    return scalar_form(value, type, own_module, in, scratch.canonical, scratch, reason);
}

namespace
{

// The object held, made by make on first use and set again by set after
// that (json-c keeps a string's buffer when the next text fits in it).
template <class T>
json_object *
reuse(JsonPtr &held, T value, json_object *(*make)(T), int (*set)(json_object *, T))
{
    if (held == nullptr)
        held.reset(made(make(value)));
    else
        set(held.get(), value);
    return held.get();
}

} // namespace

json_object *
LibraryScratch::integer(int64_t number)
{
    return reuse<int64_t>(integer_, number, json_object_new_int64, json_object_set_int64);
}

json_object *
LibraryScratch::real(double number)
{
    return reuse<double>(real_, number, json_object_new_double, json_object_set_double);
}

json_object *
LibraryScratch::boolean(bool truth)
{
    return reuse<json_bool>(boolean_, truth, json_object_new_boolean, json_object_set_boolean);
}

json_object *
LibraryScratch::text(const char *chars, size_t length)
{
    // json-c 0.16 sets a string that holds its text apart to "" by freeing
    // the text and then writing the NUL into it: an empty text gets an
    // object of its own.
    if (text_ == nullptr || length == 0)
        text_.reset(made(json_object_new_string_len(chars, static_cast<int>(length))));
    else if (json_object_set_string_len(text_.get(), chars, static_cast<int>(length)) == 0)
        throw std::bad_alloc();
    return text_.get();
}

} // namespace doc
