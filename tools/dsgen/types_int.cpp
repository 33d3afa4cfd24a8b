// Integer types: the eight YANG integer types and their ranges become a
// built-in int row when nothing restricts them, and otherwise an int type of
// the smallest width that holds the range. uint64 stops at 2^63-1, the
// largest int bound a descriptor holds.
#include "dsgen.h"

#include <algorithm>

namespace dsgen
{

namespace
{

// Narrowest first, so that the first row that holds a range is the smallest.
const IntRow kIntRows[] = {
    {DS_BUILTIN_U8, 1, 0, 255},
    {DS_BUILTIN_I8, 1, -128, 127},
    {DS_BUILTIN_U16, 2, 0, 65535},
    {DS_BUILTIN_I16, 2, -32768, 32767},
    {DS_BUILTIN_U32, 4, 0, 4294967295LL},
    {DS_BUILTIN_I32, 4, INT32_MIN, INT32_MAX},
    {DS_BUILTIN_I64, 8, INT64_MIN, INT64_MAX},
};

bool
is_signed_base(LY_DATA_TYPE type)
{
    return type == LY_TYPE_INT8 || type == LY_TYPE_INT16 || type == LY_TYPE_INT32 ||
           type == LY_TYPE_INT64;
}

// The values of an integer type without a range.
std::pair<int64_t, int64_t>
full_range(LY_DATA_TYPE type)
{
    switch (type) {
    case LY_TYPE_UINT8:
        return {0, 255};
    case LY_TYPE_UINT16:
        return {0, 65535};
    case LY_TYPE_UINT32:
        return {0, 4294967295LL};
    case LY_TYPE_UINT64:
        return {0, INT64_MAX};
    case LY_TYPE_INT8:
        return {-128, 127};
    case LY_TYPE_INT16:
        return {-32768, 32767};
    case LY_TYPE_INT32:
        return {INT32_MIN, INT32_MAX};
    default:
        return {INT64_MIN, INT64_MAX};
    }
}

// Narrows min..max to a range, from its lowest to its highest bound (the
// gaps between parts are not kept). False after reporting an error when no
// value of the range fits a signed 64-bit bound.
bool
range_bounds(const struct lysc_node *node, const struct lysc_range *range, bool is_signed,
             int64_t &min, int64_t &max)
{
    const auto *parts = range->parts;
    LY_ARRAY_COUNT_TYPE last = LY_ARRAY_COUNT(parts) - 1;
    if (last > 0)
        report_warning(where_of(node),
                       "a range of several parts is kept as one from its lowest to its "
                       "highest bound",
                       "the values between the parts are accepted");
    if (is_signed) {
        min = parts[0].min_64;
        max = parts[last].max_64;
        return true;
    }
    if (parts[0].min_u64 > uint64_t(INT64_MAX)) {
        report_error(where_of(node),
                     "every value of this range lies above 2^63-1, beyond the signed "
                     "64-bit bounds of an int: the type has no libdstypes form",
                     "lower the range, or leave the module out");
        return false;
    }
    min = static_cast<int64_t>(std::min<uint64_t>(parts[0].min_u64, INT64_MAX));
    max = static_cast<int64_t>(std::min<uint64_t>(parts[last].max_u64, INT64_MAX));
    return true;
}

} // namespace

const IntRow &
smallest_int(int64_t min, int64_t max)
{
    for (const IntRow &row : kIntRows)
        if (min >= row.min && max <= row.max)
            return row;
    return kIntRows[6];
}

TypeRef
TypeMapper::map_int(const struct lysc_node *node, const struct lysc_type *type, GenType gen)
{
    const auto *num = reinterpret_cast<const struct lysc_type_num *>(type);
    auto [min, max] = full_range(type->basetype);
    if (num->range != nullptr &&
        !range_bounds(node, num->range, is_signed_base(type->basetype), min, max))
        return {};
    const IntRow &row = smallest_int(min, max);
    if (gen.name.empty() && row.min == min && row.max == max)
        return builtin_ref(row.row);
    gen.kind = DS_KIND_INT;
    gen.size = row.size;
    gen.min = min;
    gen.max = max;
    return table_.add(std::move(gen));
}

} // namespace dsgen
