// JSON text through ds_canonical_json, ds_type_to_c, ds_jo_to_c and
// ds_jo_value_is_valid for every type in the table (fuzz::check_text).
// Input: one byte choosing the type, then the JSON text.
#include "fuzz_support.h"

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    const DsType *type = fuzz::type_at(in.byte());
    fuzz::check_text(type, in.rest_text(), true);
    return 0;
}
