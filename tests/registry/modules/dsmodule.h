/* Helpers for the schema modules that the registry tests build. A module
 * writes its key forest with absolute node indices (an enum) and lets
 * DSM_NODE turn them into the relative links that the library reads. Each
 * module also exports its own name, so that a test can tell the records of
 * the module list apart. */
#ifndef DSTYPES_TESTS_REGISTRY_DSMODULE_H
#define DSTYPES_TESTS_REGISTRY_DSMODULE_H

#include "dstypes.h"

#include <stddef.h>

/* No node: a link of 0. */
#define DSM_NONE (-1)

/* The relative link from node self to node to, or 0 for DSM_NONE. */
#define DSM_LINK(self, to) ((int16_t)((to) == DSM_NONE ? 0 : (to) - (self)))

/* The node at index self of a forest array, its links given as indices. */
/* clang-format off */
#define DSM_NODE(self, parent, child, sibling, name, field_type, leaf_type) \
    [self] = {DSM_LINK(self, parent), DSM_LINK(self, child), DSM_LINK(self, sibling), \
              name, field_type, leaf_type}

/* The module's own name, as the tests look it up with dlsym. */
#define DSM_NAME(text) const char dstest_module_name[] = text

/* An int type of the given size and range. */
#define DSM_INT(type_name, bytes, min, max) \
    {.name = type_name, .kind = DS_KIND_INT, .size = bytes, .p = {.integer = {min, max}}}
/* clang-format on */

#endif
