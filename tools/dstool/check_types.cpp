// dstool check, type part: every type a module holds or reaches, checked
// against the rules by which the library reads and writes its packed form:
// kinds and converters, sizes against their parts, int ranges against what
// their width holds, patterns that do not compile.
#include "check.h"
#include "core/grammar.h"
#include "core/regex.h"

#include <algorithm>

namespace dstool
{

namespace
{

bool
is_builtin(const DsType *type)
{
    return type >= ds_global_types && type < ds_global_types + ds_global_type_count;
}

} // namespace

void
TypeChecker::bad(const std::string &where, const std::string &what)
{
    out_.add(where, what);
}

void
TypeChecker::check(const DsType *type, const std::string &where)
{
    if (type == nullptr || is_builtin(type) || !seen_.insert(type).second)
        return;
    core::KindVisit::visit(*this, type->kind, type, where);
}

void
TypeChecker::on_double(const DsType *type, const std::string &where)
{
    if (type->size != 8)
        bad(where, "double of size " + std::to_string(type->size) + ": a double takes 8 bytes");
}

void
TypeChecker::on_bitmap(const DsType *type, const std::string &where)
{
    uint64_t bytes = (uint64_t{type->p.bitmap.bit_count} + 7) / 8;
    if (type->size != bytes)
        bad(where, "size " + std::to_string(type->size) + " disagrees with its " +
                       std::to_string(type->p.bitmap.bit_count) + " bits (" +
                       std::to_string(bytes) + " bytes)");
}

void
TypeChecker::on_unknown_kind(uint32_t kind, const DsType *, const std::string &where)
{
    bad(where, "unknown kind " + std::to_string(kind));
}

// The library reads an int of 1, 2 or 4 bytes signed when its min is
// negative and unsigned otherwise, and writes only its low bytes: a range
// beyond what that reading holds lets values through that come back changed.
// Eight bytes hold every range.
void
TypeChecker::on_int(const DsType *type, const std::string &where)
{
    int64_t min = type->p.integer.min;
    int64_t max = type->p.integer.max;
    std::string range = std::to_string(min) + ".." + std::to_string(max);
    if (!core::is_int_width(type->size))
        bad(where, "int of size " + std::to_string(type->size) + ": only 1, 2, 4 or 8 bytes");
    if (min > max)
        bad(where, "empty range " + range);
    if (!core::is_int_width(type->size) || type->size == 8)
        return;
    unsigned bits = 8u * type->size;
    bool is_signed = min < 0;
    int64_t low = is_signed ? -(int64_t{1} << (bits - 1)) : 0;
    int64_t high = is_signed ? (int64_t{1} << (bits - 1)) - 1 : (int64_t{1} << bits) - 1;
    if (min >= low && max <= high)
        return;
    bad(where, "range " + range + " does not fit its " + std::to_string(type->size) +
                   (type->size == 1 ? " byte" : " bytes") + ": an int whose min is " +
                   (is_signed ? "negative is read signed, " : "not negative is read unsigned, ") +
                   std::to_string(low) + ".." + std::to_string(high));
}

void
TypeChecker::on_string(const DsType *type, const std::string &where)
{
    if (type->size == 0)
        bad(where, "string of size 0 has no room for its NUL");
    const char *pattern = type->p.string.regex;
    if (pattern == nullptr) {
        bad(where, "string without a pattern");
        return;
    }
    Regex compiled(pattern);
    if (!compiled.ok())
        bad(where, "pattern " + check_quoted(pattern) + " does not compile: " + compiled.error());
}

void
TypeChecker::on_enum(const DsType *type, const std::string &where)
{
    const DsType *base = type->p.enumeration.base;
    if (base == nullptr || base->kind != DS_KIND_INT)
        bad(where, "enum whose base is not an int type");
    else if (base->size != type->size)
        bad(where, "enum of size " + std::to_string(type->size) + " over a base of size " +
                       std::to_string(base->size));
    if (type->p.enumeration.count != 0 && type->p.enumeration.values == nullptr)
        bad(where, "enum of " + std::to_string(type->p.enumeration.count) +
                       " values without "
                       "a value table");
    check(base, where + " base");
}

void
TypeChecker::on_array(const DsType *type, const std::string &where)
{
    const DsType *element = type->p.array.element;
    if (element == nullptr) {
        bad(where, "array without an element type");
        return;
    }
    uint64_t parts = 2 + uint64_t{type->p.array.max_count} * element->size;
    if (parts != type->size)
        bad(where, "size " + std::to_string(type->size) + " disagrees with its parts: 2 + " +
                       std::to_string(type->p.array.max_count) + " x " +
                       std::to_string(element->size) + " = " + std::to_string(parts));
    check(element, where + " element");
}

// The summed size of fields first .. first + count - 1; false when one
// has no type.
bool
TypeChecker::fields_size(const DsField *fields, uint32_t first, uint32_t count,
                         const std::string &where, uint64_t *total)
{
    *total = 0;
    for (uint32_t i = first; i < first + count; ++i) {
        std::string field = where + " field " + check_quoted(fields[i].name);
        if (fields[i].type == nullptr) {
            bad(field, "no type");
            return false;
        }
        *total += fields[i].type->size;
        check(fields[i].type, field);
    }
    return true;
}

void
TypeChecker::on_sequence(const DsType *type, const std::string &where)
{
    uint32_t count = type->p.sequence.field_count;
    if (count != 0 && type->p.sequence.fields == nullptr) {
        bad(where, "sequence of " + std::to_string(count) + " fields without a field table");
        return;
    }
    uint64_t parts;
    if (fields_size(type->p.sequence.fields, 0, count, where, &parts) && parts != type->size)
        bad(where, "size " + std::to_string(type->size) +
                       " disagrees with the sum of its fields, " + std::to_string(parts));
}

void
TypeChecker::on_choice(const DsType *type, const std::string &where)
{
    const DsField *fields = type->p.choice.fields;
    const DsChoiceArm *arms = type->p.choice.arms;
    if (fields == nullptr || fields[0].type == nullptr) {
        bad(where, "choice without a discriminator");
        return;
    }
    if (type->p.choice.arm_count != 0 && arms == nullptr) {
        bad(where,
            "choice of " + std::to_string(type->p.choice.arm_count) + " arms without an arm table");
        return;
    }
    uint64_t discriminator = fields[0].type->size;
    check(fields[0].type, where + " discriminator");
    uint64_t largest = 0;
    for (uint32_t i = 0; i < type->p.choice.arm_count; ++i) {
        uint64_t arm;
        if (arms[i].value_count != 0 && arms[i].values == nullptr)
            bad(where + " arm " + std::to_string(i), "values missing");
        if (!fields_size(fields, arms[i].first_field, arms[i].field_count, where, &arm))
            return;
        largest = std::max(largest, arm);
    }
    uint64_t parts = discriminator + largest;
    if (parts != type->size)
        bad(where, "size " + std::to_string(type->size) +
                       (type->size < parts ? " is smaller than" : " disagrees with") +
                       " its parts: discriminator " + std::to_string(discriminator) +
                       " + largest arm " + std::to_string(largest) + " = " + std::to_string(parts));
}

void
TypeChecker::on_converted(const DsType *type, const std::string &where)
{
    uint64_t converter = type->p.converted.converter;
    const DsType *base = type->p.converted.base;
    if (!core::is_known_converter(converter)) {
        bad(where, "unknown converter " + std::to_string(converter));
        return;
    }
    if (base == nullptr) {
        bad(where, "converted type without a base");
        return;
    }
    bool wants_string = converter != 0;
    if ((base->kind == DS_KIND_STRING) != wants_string)
        bad(where, std::string("converter ") + std::to_string(converter) +
                       (wants_string ? " needs a string base" : " takes no string base"));
    uint32_t packed = converter == DS_CONVERT_BASE ? base->size : core::address_width(converter);
    if (type->size != packed)
        bad(where, "size " + std::to_string(type->size) + " disagrees with its packed form, " +
                       std::to_string(packed) + " bytes");
    check(base, where + " base");
}

} // namespace dstool
