// A C++ program built against an installed libdstypes.
#include <dstypes.h>
#include <json-c/json.h>

#include <cstdio>
#include <cstring>

int
main()
{
    const DsType *type = &ds_global_types[18];
    json_object *jo = json_object_new_boolean(1);
    unsigned char packed = 0xAA;
    bool ok = ds_jo_to_c(type, jo, &packed, 1) != nullptr && packed == 1;
    json_object_put(jo);
    ok = ok && std::strcmp(ds__kind_name(type->kind), "enum") == 0;
    std::printf("c++ consumer: %s packed %u\n", ds_type_name(type), packed);
    return ok ? 0 : 1;
}
