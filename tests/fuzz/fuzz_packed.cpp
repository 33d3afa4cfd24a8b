// Random packed bytes of every type in the table through fuzz::check_packed.
// Input: one byte choosing the type, then the packed bytes.
#include "fuzz_support.h"

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    const DsType *type = fuzz::type_at(in.byte());
    fuzz::check_packed(type, in.take(size), true);
    return 0;
}
