// JSON text through the text-based converters of every type in the table:
// ds_canonical_json, ds_type_to_c, ds_jo_to_c and ds_jo_value_is_valid.
// Input: one byte choosing the type, then the JSON text.
//
// Properties: validation agrees with conversion; ds_type_to_c writes what
// ds_jo_to_c writes into a cleared buffer; a value that converts has a
// canonical text (unless it is too long), which is what the packed form
// converts back to, and which is its own canonical text; a text that does not
// parse gives code 50, the JSON literal null leaves the code alone.
#include "fuzz_support.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{

constexpr int kUntouched = -1;

struct Free {
    void
    operator()(void *p) const
    {
        std::free(p);
    }
};
using Owned = std::unique_ptr<uint8_t, Free>;
using OwnedText = std::unique_ptr<char, Free>;

// Exactly size bytes (at least one allocation), cleared.
Owned
buffer(size_t size)
{
    return Owned(static_cast<uint8_t *>(std::calloc(size != 0 ? size : 1, 1)));
}

void
check_canonical(const DsType *type, const std::string &text, json_object *jo, bool converts,
                const uint8_t *packed)
{
    int err = kUntouched;
    OwnedText canonical(ds_canonical_json(text.c_str(), type, &err));
    if (jo == nullptr) {
        fuzz::require(canonical == nullptr, "no canonical text without a value", text);
        fuzz::require(err == kUntouched || err == DS_ERR_BAD_JSON, "parse failure code", text);
        return;
    }
    if (!converts || type->size == 0) {
        // An empty packed form never converts back: ds_c_to_jo refuses len 0.
        fuzz::require(canonical == nullptr && err == DS_ERR_BAD_JSON, "code 50 on no conversion",
                      text);
        return;
    }
    if (canonical == nullptr) {
        fuzz::require(err == DS_ERR_TOO_LONG, "a converting value has a canonical text", text);
        return;
    }
    json_object *back = ds_c_to_jo(type, packed, type->size);
    std::string unpacked = fuzz::text_of(back);
    json_object_put(back);
    fuzz::require(unpacked == canonical.get(), "canonical text is the unpacked packed form",
                  text + " -> " + canonical.get() + " vs " + unpacked);
    int again_err = kUntouched;
    OwnedText again(ds_canonical_json(canonical.get(), type, &again_err));
    fuzz::require(again != nullptr && std::strcmp(again.get(), canonical.get()) == 0,
                  "canonical text is its own canonical text",
                  std::string(canonical.get()) + " -> " + (again ? again.get() : "null"));
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const DsType *type = fuzz::type_at(in.byte());
    std::string text = in.rest_text();

    json_object *jo = json_tokener_parse(text.c_str());
    bool valid = ds_jo_value_is_valid(type, jo);
    Owned packed = buffer(type->size);
    bool converts = ds_jo_to_c(type, jo, packed.get(), type->size) != nullptr;
    fuzz::require(valid == converts, "validation agrees with conversion", text);

    Owned cleared = buffer(type->size);
    std::memset(cleared.get(), 0xA5, type->size);
    int typed = ds_type_to_c(type, text.c_str(), cleared.get(), type->size);
    fuzz::require(typed == (converts ? 1 : 0), "ds_type_to_c agrees with ds_jo_to_c", text);
    if (converts)
        fuzz::require(std::memcmp(cleared.get(), packed.get(), type->size) == 0,
                      "ds_type_to_c writes what ds_jo_to_c writes into zeros", text);

    check_canonical(type, text, jo, converts, packed.get());
    json_object_put(jo);
    return 0;
}
