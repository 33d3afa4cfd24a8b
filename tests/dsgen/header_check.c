// The generated header compiles as C11 under the project's warnings.
#include "dsgen_ietf.h"
