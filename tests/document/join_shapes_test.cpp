// Join held against libyang on a model with what the IETF ones lack
// (tests/dsgen/doc-shapes.yang and aaa-doc-aug.yang): decimal64 with
// fraction digits and ranges, bits out of position order, a union of a
// number, addresses, a prefix and a text, nested choices, keys out of
// order, an augmenting module whose top-level node prints first, an empty
// leaf, a keyless state list. Each document, written with non-canonical
// values, is split and joined and must print as libyang prints it.
#include "document/join_tree.h"
#include "dstypes_doc.h"
#include "tests/dsgen/levels.h"

#include <libyang/libyang.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{

struct ly_ctx *
context()
{
    static struct ly_ctx *ctx = [] {
        setenv("TZ", "UTC", 1);
        return all_features_context(DOC_SHAPES_DIR, DOC_SHAPES_FILES, LY_LOSTORE_LAST);
    }();
    return ctx;
}

// libyang's print of text, or its reason for refusing it.
std::string
libyang_print(const std::string &text, uint32_t options)
{
    struct lyd_node *tree = nullptr;
    if (lyd_parse_data_mem(context(), text.c_str(), LYD_JSON, LYD_PARSE_STRICT, 0, &tree) != 0) {
        const struct ly_err_item *e = ly_err_last(context());
        return std::string("refused: ") + (e != nullptr ? e->msg : "");
    }
    char *out = nullptr;
    lyd_print_mem(&out, tree, LYD_JSON, LYD_PRINT_WITHSIBLINGS | options);
    std::string printed = out != nullptr ? out : "";
    std::free(out);
    lyd_free_all(tree);
    return printed;
}

int
add(const DsDocEntry *entry, void *arg)
{
    return ds_doc_join_add(static_cast<DsDocJoin *>(arg), entry->path, entry->value,
                           entry->value_len, nullptr);
}

// The library's print of text, split and joined.
std::string
joined(const std::string &text, unsigned flags)
{
    DsDocJoin *join = ds_doc_join_new(nullptr, nullptr);
    DsDocError *error = nullptr;
    std::string out;
    if (ds_doc_split(text.data(), text.size(), nullptr, add, join, &error) != 0) {
        out = std::string("refused: ") + ds_doc_error_where(error) + ": " +
              ds_doc_error_reason(error);
    } else {
        char *printed = ds_doc_join_print(join, flags, nullptr);
        out = printed;
        std::free(printed);
    }
    ds_doc_error_free(error);
    ds_doc_join_free(join);
    return out;
}

TEST(JoinShapes, DocumentsPrintAsLibyangPrintsThem)
{
    const std::vector<std::string> documents = {
        R"({"doc-shapes:top":{"dec":"2.50","flags":"b5 b9 b2","either":4}})",
        R"({"doc-shapes:top":{"dec":"-1.500","either":"2001:DB8:0::1"},"aaa-doc-aug:first":{"f":"x"}})",
        R"({"doc-shapes:top":{"either":"10.0.0.0/8","aaa-doc-aug:added":"+12","e":[null]}})",
        R"({"doc-shapes:top":{"either":"abc","y":"why","tags":["z","a"]}})",
        R"({"doc-shapes:top":{"other-c":{"z":"q"},"stamp":"2023-01-01T00:00:00-05:00"}})",
        R"({"doc-shapes:top":{"shorthand":"s","v6p":"2001:DB8::/32"}})",
        R"({"doc-shapes:top":{"multi":[{"k1":"b","k2":2,"v":"x"},{"k2":1,"k1":"a"}]}})",
        R"({"doc-shapes:top":{"keyless":[{"a":"1"},{"a":"1"},{}],"x":5}})",
        R"({"doc-shapes:top":{"id":"doc-shapes:one","big":"9"}})",
        R"({"aaa-doc-aug:first":{}})",
        R"({"doc-shapes:top":{"limit":13529}})",
        R"({"doc-shapes:top":{"limit":"infinite"}})",
        R"({"doc-shapes:top":{"y":"why","tags":[]}})",
        R"({"doc-shapes:top":{"tags":[]},"aaa-doc-aug:first":{"f":"x"}})",
    };
    for (const std::string &text : documents) {
        for (unsigned flags : {0u, unsigned(DS_DOC_PRINT_COMPACT)}) {
            std::string expected = libyang_print(text, flags != 0 ? LYD_PRINT_SHRINK : 0);
            ASSERT_EQ(expected.rfind("refused", 0), std::string::npos) << text << expected;
            EXPECT_EQ(joined(text, flags), expected) << text;
        }
    }
}

// A union's one string holds the texts of every member, so only the names
// of an enumeration member tell its text from a number's digits given as a
// string, which the integer member does not take.
TEST(JoinShapes, UnionTextsNoMemberTakesAreRefusedAsLibyangRefusesThem)
{
    for (const char *text :
         {R"({"doc-shapes:top":{"limit":"13529"}})", R"({"doc-shapes:top":{"limit":"Infinite"}})",
          R"({"doc-shapes:top":{"limit":"9223372036854775807"}})"}) {
        EXPECT_EQ(libyang_print(text, 0).rfind("refused", 0), 0u) << text;
        EXPECT_EQ(joined(text, 0).rfind("refused", 0), 0u) << text;
    }
}

// Values and keys printed straight from their packed bytes against the
// general path (ds_c_to_jo, library_to_scalar; ds_jo_to_c for keys), over
// generated values of the model's leaves and keys and of types it lacks.
struct Case {
    const DsType *type;
    DsDocValue value;
    bool list;
};

const char *const kTexts[] = {"",
                              "abc",
                              "b3 b9",
                              "5x",
                              "12",
                              "true",
                              "a\"b\\c\x01",
                              "x/y",
                              "2023-01-01T00:00:00Z",
                              "2023-06-30T23:59:60.25-05:00",
                              "2001:DB8::1",
                              "::ffff:10.0.0.1",
                              "2001:db8::/32",
                              "10.0.0.1",
                              "10.0.0.256",
                              "00:1a:2B:3c:4d:5e",
                              "abcdefghijklmnopqrstuvwxyz0123"};

// A packed value of type, mostly valid, at p (type->size bytes).
void
fill(const DsType *type, uint8_t *p, std::mt19937 &rng)
{
    std::memset(p, 0, type->size);
    int64_t v = static_cast<int64_t>(rng()) - (1ll << 31);
    switch (type->kind) {
    case DS_KIND_ENUM:
        if (rng() % 4 != 0 && type->p.enumeration.count > 0)
            v = type->p.enumeration.values[rng() % type->p.enumeration.count].value;
        std::memcpy(p, &v, type->size < 8 ? type->size : 8);
        return;
    case DS_KIND_INT: {
        // Past the bounds with two's complement wrapping, as the packed bytes would hold it.
        auto plus = [](int64_t a, int64_t b) {
            return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
        };
        const int64_t picks[] = {type->p.integer.min, type->p.integer.max,
                                 plus(type->p.integer.max, 1), plus(type->p.integer.min, v % 200),
                                 v};
        v = picks[rng() % 5];
        std::memcpy(p, &v, type->size < 8 ? type->size : 8);
        return;
    }
    case DS_KIND_STRING: {
        std::string text = kTexts[rng() % std::size(kTexts)];
        if (!text.empty() && rng() % 3 == 0)
            text[rng() % text.size()] = "0aZ:.-/ "[rng() % 8];
        std::memcpy(p, text.data(), std::min<size_t>(text.size(), type->size));
        if (rng() % 16 == 0)
            std::memset(p, 'x', type->size); // no NUL
        return;
    }
    case DS_KIND_DOUBLE: {
        const double picks[] = {0.5, -1.25, 1e300, NAN, INFINITY, 12345.678, double(v) / 1000};
        std::memcpy(p, &picks[rng() % 7], 8);
        return;
    }
    case DS_KIND_ARRAY: {
        uint16_t count = static_cast<uint16_t>(rng() % (type->p.array.max_count + 2));
        std::memcpy(p, &count, 2);
        for (uint32_t i = 0; i < type->p.array.max_count; ++i)
            fill(type->p.array.element, p + 2 + i * type->p.array.element->size, rng);
        return;
    }
    case DS_KIND_CONVERTED:
        if (type->p.converted.converter == DS_CONVERT_BASE)
            return fill(type->p.converted.base, p, rng);
        [[fallthrough]];
    default:
        for (uint16_t i = 0; i < type->size; ++i)
            p[i] = rng() % 2 ? uint8_t(rng()) : 0;
    }
}

// The general path's print of a packed value, or its refusal.
std::string
general(const Case &c, const uint8_t *bytes, std::vector<std::string> &elements)
{
    doc::JsonPtr library(ds_c_to_jo(c.type, bytes, c.type->size));
    if (library == nullptr)
        return "refused: value is not valid for its type";
    size_t count = c.list ? json_object_array_length(library.get()) : 1;
    std::string out, reason;
    doc::Scalar scalar;
    for (size_t e = 0; e < count; ++e) {
        json_object *item = c.list ? json_object_array_get_idx(library.get(), e) : library.get();
        if (!doc::library_to_scalar(c.value, item, scalar, reason))
            return "refused: " + reason;
        out += e != 0 ? std::string(1, '\0') : "";
        doc::append_scalar(out, scalar);
        elements.push_back(scalar.text);
    }
    return out;
}

std::string
direct(const Case &c, const uint8_t *bytes, doc::PatternKinds &patterns,
       std::vector<std::string> &elements)
{
    std::string printed;
    doc::Scalar scalar;
    doc::PrintedValues out{printed, scalar, &elements};
    if (doc::print_packed(c.value, c.type, bytes, c.type->size, c.list, patterns, out))
        return printed;
    return "refused: " + (out.invalid ? "value is not valid for its type" : out.reason);
}

// The cases: the model's leaves, leaf-lists and keys, then types it lacks.
std::vector<Case>
cases()
{
    std::vector<Case> out;
    std::vector<const DsKeyNode *> todo{doc::first_top_node()};
    while (!todo.empty()) {
        const DsKeyNode *key = todo.back();
        todo.pop_back();
        if (key == nullptr)
            continue;
        todo.push_back(doc::first_child(key));
        todo.push_back(doc::next_sibling(key));
        std::string reason;
        doc::Node node = doc::node_of(key, reason);
        const DsType *type = key->field_type ? key->field_type : key->leaf_type;
        if (node.doc != nullptr && node.doc->value != nullptr && type != nullptr)
            out.push_back({type, *node.doc->value, node.doc->kind == DS_DOC_LEAF_LIST});
    }
    static const DsDocBit bits[] = {{"b9", 9}, {"b0", 0}, {"b3", 3}, {"again", 3}};
    static const DsType bitmap{"flags", DS_KIND_BITMAP, 2, {.bitmap = {12}}};
    static const DsType u8s{nullptr, DS_KIND_ARRAY, 6, {.array = {4, &ds_global_types[2]}}};
    static const DsType words{nullptr, DS_KIND_ARRAY, 101, {.array = {3, &ds_global_types[8]}}};
    auto add = [&out](const DsType *type, uint8_t base, uint8_t canon = 0, uint8_t digits = 0,
                      bool list = false) {
        out.push_back({type, {base, canon, digits, 0, 4, bits, nullptr, nullptr, nullptr}, list});
    };
    const DsType *t = ds_global_types;
    add(&t[DS_BUILTIN_U8], DS_DOC_UINT8);
    add(&t[DS_BUILTIN_I16], DS_DOC_INT16);
    add(&t[DS_BUILTIN_I64], DS_DOC_INT64);
    add(&t[DS_BUILTIN_I64], DS_DOC_DECIMAL64, 0, 2);
    add(&t[DS_BUILTIN_DOUBLE], DS_DOC_DECIMAL64, 0, 3);
    add(&t[DS_BUILTIN_BOOL], DS_DOC_BOOLEAN);
    add(&t[DS_BUILTIN_BOOL], DS_DOC_EMPTY);
    add(&t[DS_BUILTIN_U8], DS_DOC_EMPTY);
    add(&t[DS_BUILTIN_ALARM_SEVERITY], DS_DOC_ENUMERATION);
    add(&t[DS_BUILTIN_IPV4], DS_DOC_STRING);
    add(&t[DS_BUILTIN_IPV6], DS_DOC_STRING, DS_DOC_CANON_IPV6_ADDRESS);
    add(&t[DS_BUILTIN_IPV6_STR], DS_DOC_STRING, DS_DOC_CANON_IPV6_ADDRESS);
    add(&t[DS_BUILTIN_MACADDRESS], DS_DOC_STRING);
    add(&bitmap, DS_DOC_BITS);
    add(&bitmap, DS_DOC_STRING);
    add(&t[DS_BUILTIN_U16], DS_DOC_BITS);
    add(&t[DS_BUILTIN_STRING], DS_DOC_STRING, DS_DOC_CANON_DATE_AND_TIME);
    add(&u8s, DS_DOC_UINT8, 0, 0, true);
    add(&words, DS_DOC_STRING, 0, 0, true);
    return out;
}

TEST(JoinShapes, PackedValuesPrintAsTheGeneralPathPrintsThem)
{
    setenv("TZ", "UTC", 1);
    std::mt19937 rng(7);
    size_t printed = 0, refused = 0, packed = 0, keys_refused = 0;
    doc::PatternKinds patterns; // as a join keeps them
    for (const Case &c : cases()) {
        if (!doc::prints_directly(&c.value, c.type, c.list))
            continue;
        std::vector<uint8_t> bytes(c.type->size);
        for (int i = 0; i < 300; ++i) {
            fill(c.type, bytes.data(), rng);
            std::vector<std::string> want_elements, got_elements;
            std::string want = general(c, bytes.data(), want_elements);
            ASSERT_EQ(direct(c, bytes.data(), patterns, got_elements), want)
                << ds_type_name(c.type);
            if (want.rfind("refused", 0) == 0) {
                ++refused;
                continue;
            }
            ++printed;
            EXPECT_EQ(got_elements, want_elements);
            if (c.list)
                continue;
            // The key component of the value, and of texts around it.
            doc::JsonPtr library(ds_c_to_jo(c.type, bytes.data(), c.type->size));
            for (std::string key : {std::string(json_object_to_json_string(library.get())),
                                    "\"" + std::string(kTexts[i % std::size(kTexts)]) + "\"",
                                    std::to_string(int64_t(rng()) - 200)}) {
                std::string identity = "x";
                doc::KeyPack pack = doc::pack_key(c.type, key, patterns, identity);
                doc::JsonPtr jo(json_tokener_parse(key.c_str()));
                std::string want_bytes(c.type->size, '\0');
                bool ok = jo && ds_jo_to_c(c.type, jo.get(), want_bytes.data(), c.type->size);
                if (pack == doc::KeyPack::general)
                    continue;
                EXPECT_EQ(pack == doc::KeyPack::packed, ok) << key;
                EXPECT_EQ(identity, ok ? "x" + want_bytes : "x") << key;
                (ok ? packed : keys_refused)++;
            }
        }
    }
    EXPECT_GT(printed, 3000u);
    EXPECT_GT(refused, 1000u);
    EXPECT_GT(packed, 1000u);
    EXPECT_GT(keys_refused, 1000u);
}

} // namespace
