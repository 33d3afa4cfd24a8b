// A module written in C++ without extern "C" and extern: a const global has
// internal linkage there, so only the table that a declaration made extern
// is exported, and the loader sees neither types nor keys.
#include "dstypes.h"

extern const DsType ds_types[];
const uint16_t ds_type_count = 1;
const DsType ds_types[1] = {{"cxx-t", DS_KIND_INT, 1, {.integer = {0, 9}}}};
const DsKeyNode ds_keys[1] = {{0, 0, 0, "cxx", nullptr, nullptr}};
