// Bitmaps of 0 to 4999 bits, both ways, through the shared round trips (which
// hold bitmaps to a bit-by-bit oracle). Input: two bytes for the bit count,
// one for the direction, then the bit range text (handed over as a JSON
// string) or the packed bytes (exactly the bitmap's size, missing ones zero).
#include "fuzz_support.h"

#include <algorithm>

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    uint32_t low = in.byte();
    uint32_t bit_count = (low | in.byte() << 8) % 5000;
    DsType type = {nullptr, DS_KIND_BITMAP, static_cast<uint16_t>((bit_count + 7) / 8), {}};
    type.p.bitmap.bit_count = bit_count;
    if (in.byte() % 2 == 0) {
        json_object *jo = json_object_new_string(in.rest_text().c_str());
        fuzz::check_text(&type, json_object_to_json_string(jo), true);
        json_object_put(jo);
        return 0;
    }
    std::vector<uint8_t> bytes(type.size);
    std::vector<uint8_t> given = in.take(type.size);
    std::copy(given.begin(), given.end(), bytes.begin());
    if (bytes.empty()) // ds_c_to_jo refuses an empty buffer
        return 0;
    json_object *jo = ds_c_to_jo(&type, bytes.data(), bytes.size());
    fuzz::require(jo != nullptr, "every packed bitmap converts");
    json_object_put(jo);
    fuzz::check_packed(&type, bytes, true);
    return 0;
}
