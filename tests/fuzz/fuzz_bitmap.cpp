// Bitmaps of any bit count from 0 to 4999, both ways. Input: two bytes for
// the bit count, one byte choosing the direction, then either the bit range
// text (converted into a buffer of exactly the bitmap's size) or the packed
// bytes (of exactly that size, the missing ones zero).
//
// Properties: validation agrees with conversion; filler bits past the bit
// count stay clear; the text written for packed bytes is the one a bit-by-bit
// walk gives, and reading it back sets exactly the bits below the bit count.
#include "fuzz_support.h"

#include <algorithm>

namespace
{

bool
bit_set(const std::vector<uint8_t> &bytes, uint32_t i)
{
    return (bytes[i / 8] >> (i % 8) & 1) != 0;
}

// The runs of set bits below bit_count, one bit at a time.
std::string
runs_text(const std::vector<uint8_t> &bytes, uint32_t bit_count)
{
    std::string text;
    for (uint32_t i = 0; i < bit_count; ++i) {
        if (!bit_set(bytes, i))
            continue;
        uint32_t last = i;
        while (last + 1 < bit_count && bit_set(bytes, last + 1))
            ++last;
        text.append(text.empty() ? "" : ",").append(std::to_string(i));
        if (last > i)
            text.append("-").append(std::to_string(last));
        i = last;
    }
    return text;
}

void
check_filler_clear(const std::vector<uint8_t> &bytes, uint32_t bit_count, const std::string &what)
{
    for (uint32_t i = bit_count; i < 8 * bytes.size(); ++i)
        fuzz::require(!bit_set(bytes, i), "filler bits stay clear", what);
}

void
text_to_bits(const DsType *type, const std::string &text)
{
    json_object *jo = json_object_new_string(text.c_str());
    // One byte at least, so that an empty bitmap still has a destination.
    std::vector<uint8_t> bytes(type->size != 0 ? type->size : 1);
    bool converts = ds_jo_to_c(type, jo, bytes.data(), type->size) != nullptr;
    fuzz::require(converts == ds_jo_value_is_valid(type, jo), "validation agrees with conversion",
                  text);
    json_object_put(jo);
    if (converts && type->size > 0)
        check_filler_clear(bytes, type->p.bitmap.bit_count, text);
}

void
bits_to_text(const DsType *type, const std::vector<uint8_t> &bytes)
{
    uint32_t bit_count = type->p.bitmap.bit_count;
    json_object *jo = ds_c_to_jo(type, bytes.data(), bytes.size());
    fuzz::require(jo != nullptr, "every packed bitmap converts");
    std::string text = json_object_get_string(jo);
    std::string expected = runs_text(bytes, bit_count);
    fuzz::require(text == expected, "bit range text", text + " vs " + expected);
    std::vector<uint8_t> back(bytes.size());
    fuzz::require(ds_jo_to_c(type, jo, back.data(), back.size()) != nullptr,
                  "a written text reads back", text);
    json_object_put(jo);
    check_filler_clear(back, bit_count, text);
    for (uint32_t i = 0; i < bit_count; ++i)
        fuzz::require(bit_set(back, i) == bit_set(bytes, i), "bits read back", text);
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in{data, data + size};
    uint32_t bit_count = in.u16() % 5000;
    DsType type = {nullptr, DS_KIND_BITMAP, static_cast<uint16_t>((bit_count + 7) / 8), {}};
    type.p.bitmap.bit_count = bit_count;
    if (in.byte() % 2 == 0) {
        text_to_bits(&type, in.rest_text());
        return 0;
    }
    std::vector<uint8_t> bytes(type.size); // exactly sized, for ASan
    std::vector<uint8_t> given = in.take(type.size);
    std::copy(given.begin(), given.end(), bytes.begin());
    if (!bytes.empty()) // ds_c_to_jo refuses an empty buffer
        bits_to_text(&type, bytes);
    return 0;
}
