/* A valid module that the tests install under names the loader must skip. */
#include "dsmodule.h"

DSM_NAME("misnamed");

const DsType ds_types[] = {DSM_INT("h3a_misnamed", 1, 0, 1)};
const uint16_t ds_type_count = 1;
