// dstool compat, YANG part: what the data that dsgen writes beside a key
// forest ("ds_doc_schema") tells about stored values that the descriptors
// cannot: a bit is stored by its position, so a bit that moves or goes reads
// differently; a decimal64 leaf is a double whose range and fraction digits
// only the YANG data knows.
#include "compat.h"

#include <cstring>

namespace dstool
{

namespace
{

// A decimal64 bound in units of 10^-digits, scaled to 10^-to (to >= digits).
__int128
scaled(int64_t bound, unsigned digits, unsigned to)
{
    __int128 value = bound;
    for (unsigned d = digits; d < to; ++d)
        value *= 10;
    return value;
}

std::string
decimal_text(int64_t units, unsigned digits)
{
    uint64_t magnitude = units < 0 ? 0 - static_cast<uint64_t>(units) : units;
    std::string out = units < 0 ? "-" : "";
    uint64_t scale = 1;
    for (unsigned d = 0; d < digits; ++d)
        scale *= 10;
    out += std::to_string(magnitude / scale);
    if (digits == 0)
        return out;
    std::string fraction = std::to_string(magnitude % scale);
    out += '.';
    out.append(digits - fraction.size(), '0');
    return out += fraction;
}

std::string
ranges_text(const DsDocValue *value)
{
    if (value->ranges == nullptr)
        return "(the whole type)";
    std::string text;
    for (uint32_t i = 0; i < value->count; ++i) {
        text += (i == 0 ? "" : " | ") + decimal_text(value->ranges[2 * i], value->fraction_digits);
        text += ".." + decimal_text(value->ranges[2 * i + 1], value->fraction_digits);
    }
    return text;
}

// Whether every old range lies within one new range; a missing list is the
// whole type, which only a missing new list holds.
bool
ranges_hold(const DsDocValue *o, const DsDocValue *n)
{
    if (n->ranges == nullptr)
        return true;
    if (o->ranges == nullptr)
        return false;
    unsigned to = o->fraction_digits > n->fraction_digits ? o->fraction_digits : n->fraction_digits;
    for (uint32_t i = 0; i < o->count; ++i) {
        __int128 lo = scaled(o->ranges[2 * i], o->fraction_digits, to);
        __int128 hi = scaled(o->ranges[2 * i + 1], o->fraction_digits, to);
        bool held = false;
        for (uint32_t j = 0; j < n->count && !held; ++j)
            held = scaled(n->ranges[2 * j], n->fraction_digits, to) <= lo &&
                   hi <= scaled(n->ranges[2 * j + 1], n->fraction_digits, to);
        if (!held)
            return false;
    }
    return true;
}

Changes
compare_decimal(const DsDocValue *o, const DsDocValue *n)
{
    Changes out;
    if (o->fraction_digits != n->fraction_digits)
        out.push_back(Change{n->fraction_digits < o->fraction_digits, "",
                             "fraction digits " + std::to_string(o->fraction_digits) + " -> " +
                                 std::to_string(n->fraction_digits)});
    std::string before = ranges_text(o), after = ranges_text(n);
    if (before == after)
        return out;
    bool held = ranges_hold(o, n);
    out.push_back(Change{
        !held, "", "range " + before + " -> " + after + (held ? "" : " (stored values refused)")});
    return out;
}

Changes
compare_bits(const DsDocValue *o, const DsDocValue *n)
{
    Changes out;
    std::map<std::string, uint32_t> new_position, old_position;
    for (uint32_t i = 0; n->bits != nullptr && i < n->count; ++i) {
        if (n->bits[i].name != nullptr)
            new_position.emplace(n->bits[i].name, n->bits[i].position);
    }
    for (uint32_t i = 0; o->bits != nullptr && i < o->count; ++i) {
        if (o->bits[i].name == nullptr)
            continue;
        std::string name = printable(o->bits[i].name, 60);
        old_position.emplace(o->bits[i].name, o->bits[i].position);
        auto found = new_position.find(o->bits[i].name);
        if (found == new_position.end())
            out.push_back(Change{true, "", "bit " + name + " removed"});
        else if (found->second != o->bits[i].position)
            out.push_back(Change{true, "",
                                 "bit " + name + " moved " + std::to_string(o->bits[i].position) +
                                     " -> " + std::to_string(found->second)});
    }
    for (const auto &[name, position] : new_position) {
        if (old_position.count(name) == 0)
            out.push_back(Change{
                false, "", "new bit " + printable(name, 60) + " at " + std::to_string(position)});
    }
    return out;
}

} // namespace

Changes
TypeComparer::compare_doc(const DsDocValue *old_value, const DsDocValue *new_value)
{
    if (old_value == nullptr || new_value == nullptr || old_value->base != new_value->base)
        return {};
    if (!step(size_t{old_value->count} * (new_value->count + 1)))
        return {};
    if (old_value->base == DS_DOC_BITS)
        return compare_bits(old_value, new_value);
    if (old_value->base == DS_DOC_DECIMAL64)
        return compare_decimal(old_value, new_value);
    return {};
}

} // namespace dstool
