// Values on their way out: a value in the library's JSON form (as
// ds_c_to_jo gives it) as an RFC 7951 document writes it, in the canonical
// text that YANG tools print. 64-bit integers and decimal64 become strings,
// bitmaps become bit names in position order, the "bool" true of an empty
// leaf becomes [null]. A union's leaf type holds only its member's text, so
// its JSON type is found again from the members: a number where only a
// number member takes the text, true or false where only a boolean does, a
// string otherwise (split reads a number into the first member that takes
// it, and its text, printed back, is taken by that member again).
#include "document/join_tree.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace doc
{

namespace
{

bool
is_number_base(uint8_t base)
{
    return base == DS_DOC_INT8 || base == DS_DOC_INT16 || base == DS_DOC_INT32 ||
           base == DS_DOC_UINT8 || base == DS_DOC_UINT16 || base == DS_DOC_UINT32;
}

// decimal64 of the given fraction digits: the canonical text of a double,
// or false when it lies outside the type's ranges or its 64 bits.
bool
decimal_text(const DsDocValue &value, double number, std::string &out, std::string &reason)
{
    double scaled = std::round(number * std::pow(10.0, value.fraction_digits));
    if (!(std::fabs(scaled) < 9.2e18)) {
        reason = "beyond the range of decimal64";
        return false;
    }
    auto units = static_cast<int64_t>(scaled);
    bool in_range = value.ranges == nullptr || value.count == 0;
    for (uint32_t i = 0; !in_range && i < value.count; ++i)
        in_range = units >= value.ranges[2 * i] && units <= value.ranges[2 * i + 1];
    if (!in_range) {
        reason = "outside the ranges of its decimal64 type";
        return false;
    }
    uint64_t magnitude = units < 0 ? uint64_t(0) - uint64_t(units) : uint64_t(units);
    uint64_t divisor = 1;
    for (int i = 0; i < value.fraction_digits; ++i)
        divisor *= 10;
    std::string digits = std::to_string(magnitude % divisor);
    digits.insert(0, value.fraction_digits - std::min<size_t>(digits.size(), value.fraction_digits),
                  '0');
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    out = (units < 0 ? "-" : "") + std::to_string(magnitude / divisor) + "." + digits;
    return true;
}

// The bit names of a bitmap's text ("0,2-3"), in position order.
bool
bit_names(const DsDocValue &value, const char *numbers, std::string &out, std::string &reason)
{
    std::vector<bool> set;
    for (const char *p = numbers; *p != '\0';) {
        char *end = nullptr;
        unsigned long first = std::strtoul(p, &end, 10);
        unsigned long last = first;
        if (*end == '-')
            last = std::strtoul(end + 1, &end, 10);
        if (last >= 65536) {
            reason = "bit number beyond its bits";
            return false;
        }
        if (set.size() <= last)
            set.resize(last + 1);
        for (unsigned long b = first; b <= last; ++b)
            set[b] = true;
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p != '\0')
            break;
    }
    out.clear();
    for (uint32_t i = 0; i < value.count; ++i) {
        uint32_t position = value.bits[i].position;
        if (position < set.size() && set[position]) {
            out += (out.empty() ? "" : " ") + std::string(value.bits[i].name);
            set[position] = false;
        }
    }
    for (bool left : set)
        if (left) {
            reason = "a bit that its bits type does not name";
            return false;
        }
    return true;
}

// Whether some member of a union takes the scalar.
bool
member_takes(const DsDocValue &value, const DsType *type, const char *module, const Scalar &in)
{
    std::string why;
    for (uint32_t i = 0; i < value.count; ++i)
        if (scalar_to_library(value.members[i], type, module, in, why) != nullptr)
            return true;
    return false;
}

// A union's text with the JSON type that a document gave it.
void
union_scalar(const DsDocValue &value, const DsType *type, const char *module,
             const std::string &text, Scalar &out)
{
    out = Scalar{Scalar::Kind::string, text};
    if (member_takes(value, type, module, out))
        return;
    for (Scalar::Kind kind : {Scalar::Kind::number, Scalar::Kind::boolean}) {
        Scalar other{kind, text};
        if (member_takes(value, type, module, other)) {
            out = other;
            return;
        }
    }
}

} // namespace

bool
library_to_scalar(const Node &node, const DsDocValue &value, const DsType *type,
                  json_object *library, Scalar &out, std::string &reason)
{
    out = Scalar{};
    switch (value.base) {
    case DS_DOC_INT8:
    case DS_DOC_INT16:
    case DS_DOC_INT32:
    case DS_DOC_UINT8:
    case DS_DOC_UINT16:
    case DS_DOC_UINT32:
    case DS_DOC_INT64:
    case DS_DOC_UINT64:
        out.kind = is_number_base(value.base) ? Scalar::Kind::number : Scalar::Kind::string;
        out.text = std::to_string(json_object_get_int64(library));
        return true;
    case DS_DOC_DECIMAL64:
        return decimal_text(value, json_object_get_double(library), out.text, reason);
    case DS_DOC_BOOLEAN:
    case DS_DOC_EMPTY: {
        bool set = json_object_get_boolean(library) != 0;
        out.kind = value.base == DS_DOC_EMPTY && set ? Scalar::Kind::empty : Scalar::Kind::boolean;
        out.text = set ? "true" : "false";
        return true;
    }
    case DS_DOC_BITS:
        if (json_object_is_type(library, json_type_string) && type->kind == DS_KIND_BITMAP)
            return bit_names(value, json_object_get_string(library), out.text, reason);
        break;
    case DS_DOC_UNION: {
        std::string text = json_object_get_string(library);
        union_scalar(value, type, module_of(node), text, out);
        return true;
    }
    default:
        break;
    }
    out.text = json_object_get_string(library);
    return true;
}

} // namespace doc
