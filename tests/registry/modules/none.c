/* Exports none of the module symbols, only its name for the tests. */
#include "dsmodule.h"

DSM_NAME("none");
