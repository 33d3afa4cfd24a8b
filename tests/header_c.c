/* The public header compiles as strict C11, also under -Wc++-compat. */
#include "dstypes.h"

const DsType *header_c_first_type(void);

const DsType *
header_c_first_type(void)
{
    return &ds_global_types[0];
}
