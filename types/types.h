// Private helpers of the type model, shared by every folder of the library.
#ifndef DSTYPES_TYPES_TYPES_H
#define DSTYPES_TYPES_TYPES_H

#include "core/grammar.h"
#include "dstypes.h"

// Marks the definitions of exported names; everything else stays hidden
// (-fvisibility=hidden) and the linker version script lists the same names.
#define DS_EXPORT __attribute__((visibility("default")))

// An int type is signed when its lower bound is negative; an enum answers for
// its base type (an enum without one, from a broken module, for none).
inline bool
types_is_signed(const DsType *type)
{
    if (type->kind == DS_KIND_ENUM)
        type = type->p.enumeration.base;
    return type != nullptr && core::is_signed_int(type);
}

#endif
