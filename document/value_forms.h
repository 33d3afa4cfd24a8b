// What the two sides of the value forms share (value_forms.cpp, the
// document's side; value_library.cpp, the library's side).
#ifndef DSTYPES_DOCUMENT_VALUE_FORMS_H
#define DSTYPES_DOCUMENT_VALUE_FORMS_H

#include "document/doc.h"

namespace doc
{

constexpr int64_t kMaxExact = int64_t(1) << 53; // the largest integer a double holds exactly

// The canonical decimal text of an integer (base and ranges of value), and
// of a decimal64 value, or false with reason (value_numbers.cpp).
// json_number: the text is a JSON number, which may have an exponent.
bool canonical_integer(const DsDocValue &value, std::string_view text, bool json_number,
                       std::string &out, std::string &reason);
bool canonical_decimal(const DsDocValue &value, std::string_view text, std::string &out,
                       std::string &reason);
// The integer of a document scalar of an integer type (value) whose text
// is plain decimal (an optional "-", at most 19 digits, no leading zero, not
// "-0"), in the type's width and ranges and at most 2^63-1: the number that
// canonical_integer and the library's form make of it (the text is its own
// canonical form). False for every other scalar, which canonical_integer
// then reads or refuses.
bool plain_integer(const DsDocValue &value, const Scalar &in, int64_t &number);
// The YANG name of a DsDocBase ("int8"), "?" for none.
const char *base_name(uint8_t base);
// A decimal64 value in units of 10^-digits as YANG tools print it: at
// least one fraction digit, no trailing zeros after it ("100.0", "-0.25").
std::string decimal_text(int64_t scaled, unsigned digits);
// The bit of a bits type named name, or null.
const DsDocBit *find_bit(const DsDocValue &value, std::string_view name);
// Whether a document writes values of base as a scalar of this kind.
bool kind_fits(uint8_t base, Scalar::Kind kind);
// The canonical text of a document scalar under one member type (not a
// union), or false with reason.
bool canonical_member(const DsDocValue &value, const char *own_module, const Scalar &in,
                      std::string &out, std::string &reason);
// The member of a union that takes a scalar (the first whose JSON type fits
// and that reads the value) with the canonical text, or null with reason.
const DsDocValue *union_member(const DsDocValue &value, const char *own_module, const Scalar &in,
                               std::string &out, std::string &reason);

// One scalar of a value in the library's form, however it was read: its text
// (a number's digits, "true"/"false", a string's text), the number of a
// decimal64, whether the text is a bitmap's bit numbers ("1,3-5"), and
// whether a string is canonical for its DsDocCanon already.
struct LibraryScalar {
    std::string_view text;
    double number = 0;
    bool bit_numbers = false;
    bool canonical = false;
};
// Whether scalar_of_library gives a library scalar's text as it stands, and
// then as which kind: for every base but those whose text it checks or
// rewrites (decimal64, empty, bits, unions, strings of a canonical form that
// the text lacks: canonical says whether it has it already).
bool library_text_kept(const DsDocValue &value, bool canonical, Scalar::Kind &kind);
// The document form of a library scalar of a type that is no union
// (library_to_scalar's, whatever the scalar was read from), canonical as YANG
// tools print it; false with reason.
bool scalar_of_library(const DsDocValue &value, const LibraryScalar &in, Scalar &out,
                       std::string &reason);

} // namespace doc

#endif
