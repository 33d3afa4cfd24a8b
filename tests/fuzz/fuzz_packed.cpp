// Random packed bytes through ds_c_to_jo and ds_c_value_is_valid for every
// type in the table. Input: one byte choosing the type, then the packed
// bytes, handed over in a buffer of exactly their length.
//
// Properties: a value that converts to JSON converts back (ds_jo_to_c and
// ds_jo_value_is_valid agree on it), and the packed form it gives converts to
// the same JSON text, which is also its canonical text.
#include "fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const DsType *type = fuzz::type_at(in.byte());
    std::vector<uint8_t> exact(in.data(), in.data() + in.left());
    const uint8_t *bytes = exact.empty() ? nullptr : exact.data();

    ds_c_value_is_valid(type, bytes, static_cast<uint32_t>(exact.size()));
    json_object *jo = ds_c_to_jo(type, bytes, exact.size());
    if (jo == nullptr)
        return 0;
    std::string text = fuzz::text_of(jo);
    fuzz::require(ds_jo_value_is_valid(type, jo), "what converts to JSON validates", text);

    std::vector<uint8_t> repacked(type->size);
    fuzz::require(ds_jo_to_c(type, jo, repacked.data(), repacked.size()) != nullptr,
                  "what converts to JSON converts back", text);
    json_object *again = ds_c_to_jo(type, repacked.data(), repacked.size());
    fuzz::require(fuzz::text_of(again) == text, "repacked value reads the same",
                  text + " vs " + fuzz::text_of(again));
    json_object_put(again);

    int err = 0;
    char *canonical = ds_canonical_jo(jo, type, &err);
    fuzz::require(canonical != nullptr && text == canonical, "JSON of a packed value is canonical",
                  text);
    std::free(canonical);
    return 0;
}
