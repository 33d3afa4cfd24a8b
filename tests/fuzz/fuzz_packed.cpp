// Random packed bytes through ds_c_to_jo and ds_c_value_is_valid for every
// type in the table. Input: one byte choosing the type, then the packed
// bytes, handed over in a buffer of exactly their length.
//
// Properties (fuzz::check_packed): a value that converts to JSON validates and
// converts back, the packed form it gives converts to the same JSON text, and
// that text is its canonical text.
#include "fuzz_support.h"

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    const DsType *type = fuzz::type_at(in.byte());
    fuzz::check_packed(type, in.take(size), true);
    return 0;
}
