// The round trip through the example schema module, loaded from the module
// directory as a program would load it: a packed interface identifier becomes
// part of a key path, the path names its key again, a leaf value converts
// under the key's leaf type, and field text gives the packed value back. Then
// the same for every key of the module, with generated values of every kind.
#include "dstest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;

const DsType *const kInterface = &ds_global_types[28];

// One level of a key path as ds_build_key writes it, and the packed value
// given for a typed level.
struct Level {
    const DsKeyNode *node;
    std::string component;
    Bytes packed; // typed levels only
};

// ds_build_key with one (pointer, size) pair per typed level; the example
// module's keys have at most two typed levels.
char *
build_key(char *buf, size_t buflen, const DsKeyNode *key, const std::vector<const Bytes *> &args)
{
    switch (args.size()) {
    case 0:
        return ds_build_key(buf, buflen, key, nullptr);
    case 1:
        return ds_build_key(buf, buflen, key, args[0]->data(), args[0]->size(), nullptr);
    case 2:
        return ds_build_key(buf, buflen, key, args[0]->data(), args[0]->size(), args[1]->data(),
                            args[1]->size(), nullptr);
    default:
        ADD_FAILURE() << "a key with " << args.size() << " typed levels";
        return nullptr;
    }
}

// Makes valid values of any type as json-c objects, at random.
class ValueMaker
{
  public:
    explicit ValueMaker(uint32_t seed) : rng_(seed) {}

    // A packed value of type (zero where the conversion writes nothing), made
    // from a generated JSON value; retries where a random text misses the
    // type's pattern.
    Bytes
    packed(const DsType *type)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            json_object *jo = json(type);
            Bytes out(type->size, 0);
            void *ok = ds_jo_to_c(type, jo, out.data(), out.size());
            json_object_put(jo);
            if (ok != nullptr)
                return out;
        }
        ADD_FAILURE() << "no valid value made for " << ds_type_name(type);
        return Bytes(type->size, 0);
    }

  private:
    int64_t
    between(int64_t low, int64_t high)
    {
        return std::uniform_int_distribution<int64_t>(low, high)(rng_);
    }

    json_object *
    json(const DsType *type)
    {
        switch (type->kind) {
        case DS_KIND_INT:
            return json_object_new_int64(between(type->p.integer.min, type->p.integer.max));
        case DS_KIND_DOUBLE:
            return json_object_new_double(std::uniform_real_distribution<double>(-1e9, 1e9)(rng_));
        case DS_KIND_STRING:
            return json_object_new_string(text(type->size - 1).c_str());
        case DS_KIND_ENUM:
            return enumeration(type);
        case DS_KIND_ARRAY:
            return array(type);
        case DS_KIND_SEQUENCE:
            return sequence(type);
        case DS_KIND_CHOICE:
            return choice(type);
        case DS_KIND_BITMAP:
            return json_object_new_string(bit_text(type->p.bitmap.bit_count).c_str());
        case DS_KIND_CONVERTED:
            return converted(type);
        default:
            return nullptr;
        }
    }

    // Texts that path and field splitting must keep whole: slashes, quotes,
    // backslashes (a trailing one too), blanks; or random printable text.
    std::string
    text(size_t max_length)
    {
        static const char *const awkward[] = {
            "eth0", "a/b", "q\"uote", "back\\", "\\\\", "/", "x y", "under_score-1", "",
        };
        std::string out;
        if (between(0, 1) == 0) {
            out = awkward[between(0, std::size(awkward) - 1)];
        } else {
            size_t length = static_cast<size_t>(between(1, std::min<int64_t>(max_length, 40)));
            for (size_t i = 0; i < length; ++i)
                out += static_cast<char>(between(' ', '~'));
        }
        return out.size() <= max_length ? out : out.substr(0, max_length);
    }

    json_object *
    enumeration(const DsType *type)
    {
        const DsEnumValue &row =
            type->p.enumeration.values[between(0, type->p.enumeration.count - 1)];
        if (type->name != nullptr && std::strcmp(type->name, "bool") == 0)
            return json_object_new_boolean(row.value != 0);
        if (between(0, 1) == 0)
            return json_object_new_int64(row.value);
        return json_object_new_string(row.name);
    }

    json_object *
    array(const DsType *type)
    {
        json_object *jo = json_object_new_array();
        int64_t count = between(0, type->p.array.max_count);
        for (int64_t i = 0; i < count; ++i)
            json_object_array_add(jo, json(type->p.array.element));
        return jo;
    }

    json_object *
    sequence(const DsType *type)
    {
        json_object *jo = json_object_new_object();
        for (uint32_t i = 0; i < type->p.sequence.field_count; ++i) {
            const DsField &field = type->p.sequence.fields[i];
            json_object_object_add(jo, field.name, json(field.type));
        }
        return jo;
    }

    // A discriminator of the first arm that lists it, then that arm's fields.
    json_object *
    choice(const DsType *type)
    {
        const DsField *fields = type->p.choice.fields;
        json_object *discriminator = json(fields[0].type);
        Bytes value(fields[0].type->size, 0);
        ds_jo_to_c(fields[0].type, discriminator, value.data(), value.size());
        DsCursor cursor{value.data(), static_cast<uint32_t>(value.size())};
        int64_t number = 0;
        ds__get_int_or_enum_val(fields[0].type, &cursor, &number);

        json_object *jo = json_object_new_object();
        json_object_object_add(jo, fields[0].name, discriminator);
        for (uint32_t a = 0; a < type->p.choice.arm_count; ++a) {
            const DsChoiceArm &arm = type->p.choice.arms[a];
            if (std::find(arm.values, arm.values + arm.value_count, number) ==
                arm.values + arm.value_count)
                continue;
            for (uint16_t f = arm.first_field; f < arm.first_field + arm.field_count; ++f)
                json_object_object_add(jo, fields[f].name, json(fields[f].type));
            break;
        }
        return jo;
    }

    std::string
    bit_text(uint32_t bit_count)
    {
        std::string out;
        int64_t items = between(0, 4);
        for (int64_t i = 0; i < items; ++i) {
            int64_t first = between(0, bit_count - 1);
            if (!out.empty())
                out += ',';
            out += std::to_string(first);
            if (first + 1 < bit_count && between(0, 1) == 0)
                out += "-" + std::to_string(between(first + 1, bit_count - 1));
        }
        return out;
    }

    json_object *
    converted(const DsType *type)
    {
        char text[64];
        switch (type->p.converted.converter) {
        case DS_CONVERT_BASE:
            return json(type->p.converted.base);
        case DS_CONVERT_IPV4:
            std::snprintf(text, sizeof text, "%d.%d.%d.%d", int(between(0, 255)),
                          int(between(0, 255)), int(between(0, 255)), int(between(0, 255)));
            break;
        case DS_CONVERT_IPV6:
            std::snprintf(text, sizeof text, "%x:%x:%x:%x:%x:%x:%x:%x", int(between(0, 65535)),
                          int(between(0, 65535)), int(between(0, 65535)), int(between(0, 65535)),
                          int(between(0, 65535)), int(between(0, 65535)), int(between(0, 65535)),
                          int(between(0, 65535)));
            break;
        default:
            std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", int(between(0, 255)),
                          int(between(0, 255)), int(between(0, 255)), int(between(0, 255)),
                          int(between(0, 255)), int(between(0, 255)));
            break;
        }
        return json_object_new_string(text);
    }

    std::mt19937 rng_;
};

// The JSON text that ds_build_key writes for a packed value.
std::string
component_text(const DsType *type, const Bytes &packed)
{
    json_object *jo = ds_c_to_jo(type, packed.data(), packed.size());
    std::string text = dstest::json_text(jo);
    json_object_put(jo);
    return text;
}

std::vector<const DsKeyNode *>
all_keys()
{
    std::vector<const DsKeyNode *> nodes;
    ds__all_keys(
        [](void *ctx, const DsKeyNode *node) {
            static_cast<std::vector<const DsKeyNode *> *>(ctx)->push_back(node);
        },
        &nodes);
    return nodes;
}

} // namespace

TEST(RoundTrip, InterfaceStateTravelsFromPackedBytesToPathAndBack)
{
    ASSERT_EQ(ds_find_type("interface"), kInterface);
    const DsKeyNode *key = ds_find_key("/interfaces/*/state", true);
    ASSERT_NE(key, nullptr);
    ASSERT_STREQ(key->name, "state");
    ASSERT_EQ(ds_key_field_type(key, 1), kInterface);

    const uint8_t packed[4] = {0x02, 0x00, 0x07, 0x00}; // GigabitEthernet slot 0 port 7
    char path[256];
    ASSERT_EQ(ds_build_key(path, sizeof path, key, packed, sizeof packed, nullptr), path);
    const std::string field = "{ \"kind\": \"GigabitEthernet\", \"slot\": 0, \"port\": 7 }";
    EXPECT_EQ(std::string(path), "/interfaces/" + field + "/state");

    EXPECT_EQ(ds_find_key(path, true), key);

    uint8_t state = 0xAA;
    EXPECT_EQ(ds_leaf_to_c(path, "\"down\"", &state, sizeof state), 1);
    EXPECT_EQ(state, 2);
    errno = 0;
    EXPECT_EQ(ds_leaf_to_c(path, "\"sleeping\"", &state, sizeof state), 0);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(state, 0);

    uint32_t size = 0;
    void *back = ds_key_field_c(field.c_str(), key, 1, &size);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(dstest::hex(back, size), "02 00 07 00");
    std::free(back);

    const DsAlarm *alarm = ds_find_alarm(path);
    ASSERT_NE(alarm, nullptr);
    EXPECT_EQ(alarm->key, key);
    EXPECT_STREQ(static_cast<const char *>(alarm->data.pointers[0]), "link-down");

    // The JSON form of the field builds the same path.
    char again[256];
    EXPECT_EQ(
        ds_build_jo_key(again, sizeof again, key, ds_key_field_jo(field.c_str(), key, 1), nullptr),
        again);
    EXPECT_STREQ(again, path);
    dstest::expect_no_log();
}

TEST(RoundTrip, EveryExampleKeyIsFoundAgainAndGivesBackItsFields)
{
    const std::vector<const DsKeyNode *> keys = all_keys();
    ASSERT_FALSE(keys.empty());

    ValueMaker maker(20261206);
    for (const DsKeyNode *key : keys) {
        char name[256];
        SCOPED_TRACE(ds_key_name(name, sizeof name, key));
        const DsKeyNode *nodes[DS_MAX_KEY_LEVELS];
        uint32_t depth = ds__get_key_levels(key, nodes, DS_MAX_KEY_LEVELS);
        ASSERT_GT(depth, 0u);
        for (int round = 0; round < 20; ++round) {
            std::vector<Level> levels;
            std::vector<const Bytes *> args;
            std::string expected_path;
            std::string field_text;
            for (uint32_t i = 0; i < depth; ++i) {
                Level level{nodes[i], nodes[i]->name, {}};
                if (nodes[i]->field_type != nullptr) {
                    level.packed = maker.packed(nodes[i]->field_type);
                    level.component = component_text(nodes[i]->field_type, level.packed);
                    if (!field_text.empty())
                        field_text += '/';
                    field_text += level.component;
                }
                expected_path += '/';
                expected_path += level.component;
                levels.push_back(level);
            }
            for (const Level &level : levels) {
                if (level.node->field_type != nullptr)
                    args.push_back(&level.packed);
            }

            char path[4096];
            ASSERT_EQ(build_key(path, sizeof path, key, args), path);
            ASSERT_EQ(std::string(path), expected_path);
            // No sibling of the example module fits another's components, so
            // every key is reachable: the path names the key it was built from.
            EXPECT_EQ(ds_find_key(path, false), key) << path;

            uint32_t n = 0;
            for (const Level &level : levels) {
                if (level.node->field_type == nullptr)
                    continue;
                uint32_t size = 0;
                void *back = ds_key_field_c(field_text.c_str(), key, ++n, &size);
                ASSERT_NE(back, nullptr) << field_text << " field " << n;
                EXPECT_EQ(dstest::hex(back, size),
                          dstest::hex(level.packed.data(), level.packed.size()))
                    << field_text << " field " << n;
                std::free(back);
            }

            // A stored value, written as JSON text, converts under the leaf type.
            if (key->leaf_type != nullptr) {
                Bytes value = maker.packed(key->leaf_type);
                std::string text = component_text(key->leaf_type, value);
                Bytes dst(value.size(), 0xAA);
                EXPECT_EQ(ds_leaf_to_c(path, text.c_str(), dst.data(), dst.size()), 1) << text;
                EXPECT_EQ(dstest::hex(dst.data(), dst.size()),
                          dstest::hex(value.data(), value.size()))
                    << text;
            }
        }
    }
    dstest::expect_no_log();
}
