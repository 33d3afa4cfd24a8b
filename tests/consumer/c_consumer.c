/* A C program built against an installed libdstypes: it looks up a built-in
 * type and prints the JSON form of a packed value. */
#include <dstypes.h>
#include <json-c/json.h>
#include <stdio.h>
#include <string.h>

int
main(void)
{
    const DsType *u16 = &ds_global_types[1];
    unsigned char bytes[2] = {0x34, 0x12};
    struct json_object *jo = ds_c_to_jo(u16, bytes, sizeof bytes);
    if (jo == NULL)
        return 1;
    const char *text = json_object_to_json_string(jo);
    int ok = strcmp(text, "4660") == 0 && strcmp(ds_type_name(u16), "u16") == 0;
    printf("c consumer: %s %s\n", ds_type_name(u16), text);
    json_object_put(jo);
    return ok ? 0 : 1;
}
