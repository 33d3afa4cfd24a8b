// The directory that schema modules are loaded from, fixed when the library
// is built. It lives alone in this file so that the test suite can link the
// library's objects against a directory of its own.
#include "registry/registry.h"

#ifndef DSTYPES_MODULE_DIR
#error "DSTYPES_MODULE_DIR must name the module directory"
#endif

extern const char reg_module_dir[] = DSTYPES_MODULE_DIR;
