// dsgen's module of ietf-interfaces, ietf-ip, ietf-system, ietf-routing and
// ietf-hardware (with iana-if-type), held against libyang on the same models:
// the same verdict on sampled values of every leaf and key type, values that
// survive packing, key paths that name their leaf types.
#include "dsgen_ietf.h" // generated: it compiles as C++ here
#include "levels.h"

#include <json-c/json.h>
#include <libyang/libyang.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{

// The models as libyang compiles them, with every feature on.
struct ly_ctx *
context()
{
    static struct ly_ctx *ctx = all_features_context(DSGEN_SEARCH_DIRS, DSGEN_YANG_FILES, 0);
    return ctx;
}

// The documented differences: a 64-bit value above 2^63-1 is beyond every
// int descriptor, and a string that YANG leaves unbounded gets a size (the
// --string-size default or the annotation's), so longer texts are refused.
bool
documented_exception(const struct lysc_type *yang, const DsType *type, const std::string &text)
{
    if (yang->basetype == LY_TYPE_UINT64)
        return text.size() == 20 || (text.size() == 19 && text > "9223372036854775807");
    const auto *str = reinterpret_cast<const struct lysc_type_str *>(yang);
    bool unbounded =
        yang->basetype != LY_TYPE_STRING || str->length == nullptr ||
        str->length->parts[LY_ARRAY_COUNT(str->length->parts) - 1].max_u64 == UINT64_MAX;
    return type->kind == DS_KIND_STRING && unbounded && text.size() >= type->size;
}

// Near misses: every text of a string leaf that libyang accepts, with each
// character in turn replaced by a few others or left out.
void
add_near_misses(const struct lysc_node *snode, std::set<std::string> &texts)
{
    LY_DATA_TYPE base = yang_type(snode)->basetype;
    if (base != LY_TYPE_STRING && base != LY_TYPE_UNION && base != LY_TYPE_BINARY)
        return;
    for (const std::string &text : std::set<std::string>(texts)) {
        if (text.size() > 40 || lyd_value_validate(context(), snode, text.c_str(), text.size(),
                                                   nullptr, nullptr, nullptr) != LY_SUCCESS)
            continue;
        for (size_t i = 0; i < text.size(); ++i) {
            texts.insert(text.substr(0, i) + text.substr(i + 1));
            for (char c : std::string("x0:.-/%Z "))
                texts.insert(text.substr(0, i) + c + text.substr(i + 1));
        }
    }
}

// Text -> packed -> canonical text -> packed gives the same bytes.
void
expect_round_trip(const DsType *type, json_object *jo)
{
    std::string text = json_object_to_json_string(jo);
    if (type->kind == DS_KIND_ARRAY)
        text = "[" + text + "]";
    std::vector<uint8_t> packed(type->size), again(type->size);
    ASSERT_EQ(ds_type_to_c(type, text.c_str(), packed.data(), packed.size()), 1) << text;
    json_object *out = ds_c_to_jo(type, packed.data(), packed.size());
    ASSERT_NE(out, nullptr) << text;
    std::string canonical = json_object_to_json_string(out);
    json_object_put(out);
    ASSERT_EQ(ds_type_to_c(type, canonical.c_str(), again.data(), again.size()), 1) << canonical;
    EXPECT_EQ(packed, again) << text << " -> " << canonical;
}

// Every sampled value of every level gets libyang's verdict, and each value
// of a leaf key that both accept survives packing.
TEST(GeneratedModule, AgreesWithLibyangAndPacksWhatBothAccept)
{
    std::set<const DsKeyNode *> covered;
    size_t accepted = 0, leaf_keys = 0;
    for (const Level &level : forest_levels()) {
        const struct lysc_node *snode =
            lys_find_path(context(), nullptr, level.schema_path.c_str(), 0);
        ASSERT_NE(snode, nullptr) << "libyang has no " << level.schema_path;
        const DsType *leaf = level.node->leaf_type, *type = level.type;
        const struct lysc_type *yang = yang_type(snode);
        std::set<std::string> texts;
        add_type_samples(yang, texts);
        add_near_misses(snode, texts);
        leaf_keys += leaf != nullptr;
        for (const std::string &text : texts) {
            std::shared_ptr<json_object> jo(json_for(type, yang, text), json_object_put);
            bool ours = ds_jo_value_is_valid(type, jo.get());
            LY_ERR rc = lyd_value_validate(context(), snode, text.c_str(), text.size(), nullptr,
                                           nullptr, nullptr);
            bool theirs = rc == LY_SUCCESS || rc == LY_EINCOMPLETE;
            if (ours != theirs && documented_exception(yang, type, text))
                EXPECT_TRUE(theirs && !ours) << level.schema_path << " " << text;
            else
                EXPECT_EQ(ours, theirs)
                    << level.schema_path << " \"" << text << "\" (" << ds_type_name(type) << ")";
            if (!ours || !theirs)
                continue;
            ++accepted;
            if (leaf != nullptr) {
                covered.insert(level.node);
                expect_round_trip(leaf, jo.get());
            }
        }
    }
    EXPECT_GT(accepted, 1000u);
    // Only the identityref of iana-hardware (not implemented here) has no value.
    EXPECT_EQ(covered.size(), leaf_keys - 1);
}

TEST(GeneratedModule, KeyPathsNameTheirLeafTypes)
{
    const std::string eth0 = "/ietf-interfaces:interfaces/interface/\"eth0\"";
    char v4[256]; // the header's template of prefix-length, cut before the leaf
    std::snprintf(
        v4, sizeof v4,
        DS_PATH_ietf_interfaces__interfaces__interface__ietf_ip__ipv4__address__prefix_length,
        "\"eth0\"", "\"192.0.2.1\"");
    *std::strrchr(v4, '/') = '\0';
    struct Row {
        std::string path;
        const char *type_name; // null: anonymous
        uint32_t kind, size;
    };
    const Row rows[] = {
        {std::string(v4) + "/prefix-length", nullptr, DS_KIND_INT, 1},
        {std::string(v4) + "/netmask", "ietf-yang-types:dotted-quad", DS_KIND_CONVERTED, 4},
        {eth0 + "/enabled", "bool", DS_KIND_ENUM, 1},
        {eth0 + "/type", nullptr, DS_KIND_ENUM, 4},
        {eth0 + "/description", nullptr, DS_KIND_STRING, 65},
        {"/ietf-system:system/hostname", "ietf-inet-types:domain-name", DS_KIND_STRING, 254},
        {"/ietf-system:system/dns-resolver/search", nullptr, DS_KIND_ARRAY, 2 + 4 * 254},
        {"/ietf-routing:routing-state/ribs/rib/\"main\"/routes/route/0/route-preference",
         "ietf-routing:route-preference", DS_KIND_INT, 4},
        {"/ietf-hardware:hardware/component/\"c1\"/state/alarm-state", "ietf-hardware:alarm-state",
         DS_KIND_BITMAP, 1},
        {"/ietf-routing:routing/control-plane-protocols/control-plane-protocol/"
         "\"ietf-routing:static\"/\"st\"/description", // a list of two keys
         nullptr, DS_KIND_STRING, 256},
    };
    for (const Row &row : rows) {
        const DsKeyNode *key = ds_find_key(row.path.c_str(), true);
        ASSERT_NE(key, nullptr) << row.path;
        const DsType *type = ds_key_leaf_type(key);
        EXPECT_EQ(type->kind, row.kind) << row.path;
        EXPECT_EQ(type->size, row.size) << row.path;
        EXPECT_STREQ(type->name, row.type_name) << row.path;
    }
    // Key leaves are typed levels, never leaf keys of their own.
    EXPECT_EQ(ds_find_key((eth0 + "/name").c_str(), false), nullptr);
    const DsAlarm *alarm = ds_find_alarm((eth0 + "/oper-status").c_str());
    ASSERT_NE(alarm, nullptr);
    EXPECT_STREQ(static_cast<const char *>(alarm->data.pointers[0]), "link-down");
}

} // namespace
