// The three small accessors of a type descriptor. They read only the
// descriptor (or nothing at all) and may run anywhere at any time.
#include "types/types.h"

#include <cstddef>
#include <iterator>

namespace
{

// Indexed by kind code; the converted kind has no name of its own.
constexpr const char *kKindNames[] = {
    "int", "double", "string", "enum", "array", "sequence", "choice", "bitmap",
};

} // namespace

extern "C" DS_EXPORT const char *
ds_type_name(const DsType *type)
{
    if (type == nullptr)
        return "<unnamed type>";
    return type->name;
}

extern "C" DS_EXPORT unsigned int
ds_type_size(const DsType *type)
{
    if (type == nullptr)
        return 0;
    return type->size;
}

extern "C" DS_EXPORT const char *
ds__kind_name(uint32_t kind)
{
    if (kind >= std::size(kKindNames))
        return "invalid";
    return kKindNames[kind];
}
