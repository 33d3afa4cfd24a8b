// A hand-written schema module with document data, the twin of
// doc_fixture.yang: every kind of node and every value form a document
// has, for the tests of libdstypes-doc. The key forest is laid out from a
// pre-order table of rows when the module is loaded.
#include "dstypes.h"
#include "dstypes_doc_schema.h"

#include <cstddef>

namespace
{

const DsType *
builtin(DsBuiltin row)
{
    return &ds_global_types[row];
}

const DsEnumValue kColors[] = {{"red", 0}, {"green", 1}};
const DsEnumValue kIdentities[] = {{"dt:a-id", 1}, {"dt:b-id", 2}};

// Types of the module: text of 15 characters, the enumerations, the bits,
// an IPv6 address text, the leaf-list array and the union's text.
DsType g_types[] = {
    {"dt:text15", DS_KIND_STRING, 16, {{reinterpret_cast<uint64_t>(".*"), 0, 0}}},
    {"dt:color", DS_KIND_ENUM, 1, {{0, 2, reinterpret_cast<uint64_t>(kColors)}}},
    {"dt:perms", DS_KIND_BITMAP, 1, {{3, 0, 0}}},
    {"dt:kind", DS_KIND_ENUM, 4, {{0, 2, reinterpret_cast<uint64_t>(kIdentities)}}},
    {"dt:addr", DS_KIND_STRING, 64, {{reinterpret_cast<uint64_t>(".*"), 0, 0}}},
    {"dt:tags", DS_KIND_ARRAY, 2 + 4 * 16, {{4, 0, 0}}},
    {"dt:either", DS_KIND_STRING, 32, {{reinterpret_cast<uint64_t>("^(-?[0-9]+|.{0,31})$"), 0, 0}}},
};

const DsDocBit kBits[] = {{"read", 0}, {"write", 2}};
const DsDocValue kUnionMembers[] = {
    {DS_DOC_INT8, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
    {DS_DOC_STRING, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};
const int64_t kRatioRange[] = {0, 10000};

const DsDocValue kString{DS_DOC_STRING, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
const DsDocValue kUint8{DS_DOC_UINT8, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
const DsDocValue kInt32{DS_DOC_INT32, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
const DsDocValue kInt64{DS_DOC_INT64, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
const DsDocValue kRatio{DS_DOC_DECIMAL64, 0, 2, 0, 1, nullptr, nullptr, kRatioRange, nullptr};
const DsDocValue kEmpty{DS_DOC_EMPTY, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
const DsDocValue kBoolean{DS_DOC_BOOLEAN, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
const DsDocValue kColor{DS_DOC_ENUMERATION, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
const DsDocValue kPerms{DS_DOC_BITS, 0, 0, 0, 2, kBits, nullptr, nullptr, nullptr};
const DsDocValue kKind{DS_DOC_IDENTITYREF, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
const DsDocValue kAddr{DS_DOC_STRING, DS_DOC_CANON_IPV6_ADDRESS, 0, 0, 0, nullptr, nullptr, nullptr,
                       nullptr};
const DsDocValue kEither{DS_DOC_UNION, 0, 0, 0, 2, nullptr, kUnionMembers, nullptr, nullptr};

// One key node in pre-order: its depth, name, types and document record.
struct Row {
    int depth;
    const char *name;
    const DsType *field_type;
    const DsType *leaf_type;
    uint8_t kind;
    uint8_t flags;
    const DsDocValue *value;
    const char *choices;
    uint16_t key_count;
    uint16_t key_index;
};

constexpr uint8_t C = DS_DOC_CONFIG;
const Row kRows[] = {
    {0, "dt:top", nullptr, nullptr, DS_DOC_CONTAINER, C, nullptr, nullptr, 0, 0},
    {1, "name", nullptr, &g_types[0], DS_DOC_LEAF, C, &kString, nullptr, 0, 0},
    {1, "count", nullptr, builtin(DS_BUILTIN_U8), DS_DOC_LEAF, C, &kUint8, nullptr, 0, 0},
    {1, "big", nullptr, builtin(DS_BUILTIN_I64), DS_DOC_LEAF, C, &kInt64, nullptr, 0, 0},
    {1, "ratio", nullptr, builtin(DS_BUILTIN_DOUBLE), DS_DOC_LEAF, C, &kRatio, nullptr, 0, 0},
    {1, "flag", nullptr, builtin(DS_BUILTIN_BOOL), DS_DOC_LEAF, C, &kEmpty, nullptr, 0, 0},
    {1, "on", nullptr, builtin(DS_BUILTIN_BOOL), DS_DOC_LEAF, C, &kBoolean, nullptr, 0, 0},
    {1, "color", nullptr, &g_types[1], DS_DOC_LEAF, C, &kColor, nullptr, 0, 0},
    {1, "perms", nullptr, &g_types[2], DS_DOC_LEAF, C, &kPerms, nullptr, 0, 0},
    {1, "kind", nullptr, &g_types[3], DS_DOC_LEAF, C, &kKind, nullptr, 0, 0},
    {1, "addr", nullptr, &g_types[4], DS_DOC_LEAF, C, &kAddr, nullptr, 0, 0},
    {1, "tags", nullptr, &g_types[5], DS_DOC_LEAF_LIST, C, &kString, nullptr, 0, 0},
    {1, "either", nullptr, &g_types[6], DS_DOC_LEAF, C, &kEither, nullptr, 0, 0},
    {1, "opts", nullptr, nullptr, DS_DOC_PRESENCE, C, nullptr, nullptr, 0, 0},
    {2, "x", nullptr, builtin(DS_BUILTIN_U8), DS_DOC_LEAF, C, &kUint8, nullptr, 0, 0},
    {1, "item", nullptr, nullptr, DS_DOC_LIST, C, nullptr, nullptr, 1, 0},
    {2, "id", &g_types[0], nullptr, DS_DOC_LIST_KEY, C, &kString, nullptr, 0, 0},
    {3, "v", nullptr, builtin(DS_BUILTIN_I32), DS_DOC_LEAF, C, &kInt32, nullptr, 0, 0},
    {3, "sub", nullptr, nullptr, DS_DOC_LIST, C, nullptr, nullptr, 2, 0},
    {4, "a", builtin(DS_BUILTIN_U8), nullptr, DS_DOC_LIST_KEY, C, &kUint8, nullptr, 0, 0},
    {5, "b", &g_types[0], nullptr, DS_DOC_LIST_KEY, C, &kString, nullptr, 0, 1},
    {6, "w", nullptr, builtin(DS_BUILTIN_U8), DS_DOC_LEAF, C, &kUint8, nullptr, 0, 0},
    {1, "log", nullptr, nullptr, DS_DOC_LIST, 0, nullptr, nullptr, 0, 0},
    {2, "position", builtin(DS_BUILTIN_U32), nullptr, DS_DOC_LIST_KEY, 0, nullptr, nullptr, 0, 0},
    {3, "msg", nullptr, &g_types[0], DS_DOC_LEAF, 0, &kString, nullptr, 0, 0},
    {1, "c1", nullptr, builtin(DS_BUILTIN_U8), DS_DOC_LEAF, C, &kUint8, "how/one", 0, 0},
    {1, "c2", nullptr, builtin(DS_BUILTIN_U8), DS_DOC_LEAF, C, &kUint8, "how/two", 0, 0},
};
constexpr size_t kCount = sizeof kRows / sizeof kRows[0];

const char *const kModules[] = {"dt"};
DsDocNode g_nodes[kCount];

} // namespace

extern "C" {
__attribute__((visibility("default"))) DsKeyNode ds_keys[kCount];
__attribute__((visibility("default")))
DsDocSchema ds_doc_schema = {DS_DOC_SCHEMA_VERSION, kCount, g_nodes, kModules, 1, 0};
}

namespace
{

// Links each row to its parent, first child and next sibling, and fills the
// document records.
void
lay_out()
{
    g_types[5].p.array.element = &g_types[0];
    g_types[1].p.enumeration.base = builtin(DS_BUILTIN_U8);
    g_types[3].p.enumeration.base = builtin(DS_BUILTIN_U32);
    int last_at_depth[16];
    for (size_t i = 0; i < kCount; ++i) {
        const Row &row = kRows[i];
        DsKeyNode &key = ds_keys[i];
        key.name = row.name;
        key.field_type = row.field_type;
        key.leaf_type = row.leaf_type;
        if (row.depth > 0) {
            int parent = last_at_depth[row.depth - 1];
            key.parent = static_cast<int16_t>(parent - static_cast<int>(i));
            if (ds_keys[parent].first_child == 0)
                ds_keys[parent].first_child = static_cast<int16_t>(static_cast<int>(i) - parent);
        }
        for (int j = static_cast<int>(i) - 1; j >= 0; --j) {
            if (kRows[j].depth < row.depth)
                break;
            if (kRows[j].depth == row.depth) {
                ds_keys[j].next_sibling = static_cast<int16_t>(static_cast<int>(i) - j);
                break;
            }
        }
        last_at_depth[row.depth] = static_cast<int>(i);
        DsDocNode &doc = g_nodes[i];
        doc.kind = row.kind;
        doc.flags = row.flags;
        const char *colon = nullptr;
        for (const char *c = row.name; *c != '\0'; ++c)
            colon = *c == ':' ? c : colon;
        doc.name = colon != nullptr ? colon + 1 : row.name;
        doc.value = row.value;
        doc.choices = row.choices;
        doc.key_count = row.key_count;
        doc.key_index = row.key_index;
    }
}

// Runs after the tables above, which are initialised in the order written.
const bool g_laid_out = (lay_out(), true);

} // namespace
