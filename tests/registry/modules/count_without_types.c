/* Promises three types but exports no type table: the module is rejected. */
#include "dsmodule.h"

DSM_NAME("count_without_types");

const uint16_t ds_type_count = 3;
