// Field text through ds_key_field_jo and ds_key_field_c for the example
// module's keys. Input: a byte choosing the key, one the field number (0 to
// 3), then the text. Properties: a packed field exists exactly when its JSON
// value validates, has its type's size and holds what ds_jo_to_c writes for
// that value; *size_out is written on success only.
#include "fuzz_support.h"

#include <cstdlib>
#include <cstring>

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    const DsKeyNode *key = fuzz::example_key(in.byte());
    uint32_t n = in.byte() % 4;
    std::string text = in.rest_text();

    const DsType *field_type = ds_key_field_type(key, n);
    json_object *jo = ds_key_field_jo(text.c_str(), key, n);
    constexpr uint32_t kUnwritten = 0xDEADBEEF;
    uint32_t packed_size = kUnwritten;
    auto *packed = static_cast<uint8_t *>(ds_key_field_c(text.c_str(), key, n, &packed_size));
    fuzz::require(field_type != nullptr || (jo == nullptr && packed == nullptr),
                  "no value for a field that does not exist", text);
    if (packed == nullptr) {
        fuzz::require(packed_size == kUnwritten, "size written on success only", text);
        fuzz::require(jo == nullptr || !ds_jo_value_is_valid(field_type, jo),
                      "a valid field value converts", text);
    } else {
        fuzz::require(jo != nullptr && packed_size == field_type->size,
                      "a packed field has its type's size", text);
        std::vector<uint8_t> expected(field_type->size);
        fuzz::require(ds_jo_to_c(field_type, jo, expected.data(), expected.size()) != nullptr &&
                          std::memcmp(expected.data(), packed, expected.size()) == 0,
                      "a packed field holds the converted value", text);
    }
    std::free(packed);
    json_object_put(jo);
    return 0;
}
