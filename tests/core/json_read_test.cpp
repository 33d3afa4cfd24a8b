// The reading walk puts every part where its type says: JSON values made at
// random convert to packed form and back to the same JSON, for a sequence
// whose fixed-size parts (a double, an array with unused slots, an int, a
// string with room to spare) are each followed by another.
#include "core/json_ref.h"
#include "dstypes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace
{

const DsType &kDouble = ds_global_types[DS_BUILTIN_DOUBLE];
const DsType kPair{"pair", DS_KIND_ARRAY, 2 + 16, {.array = {2, &kDouble}}};
const DsType kShort{"short", DS_KIND_STRING, 6, {.string = {".*"}}};
const DsField kFields[] = {{"d", &kDouble},
                           {"a", &kPair},
                           {"n", &ds_global_types[DS_BUILTIN_I16]},
                           {"s", &kShort},
                           {"e", &kDouble}};
const DsType kRecord{"record", DS_KIND_SEQUENCE, 8 + 18 + 2 + 6 + 8, {.sequence = {5, kFields}}};

TEST(JsonRead, EveryPartComesBackFromWhereItWasWritten)
{
    std::mt19937 random(22);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    for (int round = 0; round < 500; ++round) {
        JsonRef jo(json_object_new_object());
        json_object_object_add(jo.get(), "d", json_object_new_double(real(random)));
        json_object *pair = json_object_new_array();
        for (unsigned i = 0, n = random() % 3; i < n; ++i)
            json_object_array_add(pair, json_object_new_double(real(random)));
        json_object_object_add(jo.get(), "a", pair);
        json_object_object_add(jo.get(), "n", json_object_new_int64(int16_t(random())));
        std::string text(random() % 6, static_cast<char>('a' + random() % 26));
        json_object_object_add(jo.get(), "s", json_object_new_string(text.c_str()));
        json_object_object_add(jo.get(), "e", json_object_new_double(real(random)));
        std::vector<uint8_t> packed(kRecord.size, 0xee);
        ASSERT_NE(ds_jo_to_c(&kRecord, jo.get(), packed.data(), packed.size()), nullptr);
        JsonRef back(ds_c_to_jo(&kRecord, packed.data(), packed.size()));
        ASSERT_NE(back, nullptr);
        EXPECT_STREQ(json_object_to_json_string(back.get()), json_object_to_json_string(jo.get()));
    }
}

} // namespace
