// A module written in C++ without extern "C": its const globals have internal
// linkage or (in a namespace) mangled names, so the loader sees neither types
// nor keys. cxx_refs keeps the internal ones in the file.
#include "dstypes.h"

extern const DsType ds_types[];
const uint16_t ds_type_count = 1;
const DsType ds_types[1] = {{"cxx-t", DS_KIND_INT, 1, {.integer = {0, 9}}}};
const DsKeyNode ds_keys[1] = {{0, 0, 0, "cxx", nullptr, nullptr}};
namespace acme
{
extern const uint16_t ds_alarm_count = 0;
}
extern const void *const cxx_refs[] = {&ds_type_count, ds_keys};
