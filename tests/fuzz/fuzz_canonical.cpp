// JSON text through the text-based converters of every type in the table:
// ds_canonical_json, ds_type_to_c, ds_jo_to_c and ds_jo_value_is_valid.
// Input: one byte choosing the type, then the JSON text.
//
// Properties (fuzz::check_text): validation agrees with conversion;
// ds_type_to_c writes what ds_jo_to_c writes; a value that converts has a
// canonical text (unless it is too long), which is what the packed form
// converts back to, and which is its own canonical text; a text that does not
// parse gives code 50, the JSON literal null leaves the code alone.
#include "fuzz_support.h"

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    const DsType *type = fuzz::type_at(in.byte());
    fuzz::check_text(type, in.rest_text(), true);
    return 0;
}
