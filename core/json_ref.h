// The one owner of a json-c reference used inside the library and its tools:
// a unique_ptr whose deleter drops the reference, so every partial result of
// a walk is released on each failure path. Header only, no library symbols.
#ifndef DSTYPES_CORE_JSON_REF_H
#define DSTYPES_CORE_JSON_REF_H

#include <json-c/json.h>

#include <memory>

struct JsonPut {
    void
    operator()(json_object *jo) const
    {
        json_object_put(jo);
    }
};
using JsonRef = std::unique_ptr<json_object, JsonPut>;

#endif
