// Value codec benchmarks: libdstypes' validation, conversion and canonical
// text per built-in type, beside the cheapest json-c work that any canonical
// text needs (the floor) and libyang's validation of the equivalent YANG
// types, all in one process so that their ratios come from one run. Key
// building and field extraction on a three-level key close the set.
#include "alloc_count.h"

#include "dstypes.h"

#include <benchmark/benchmark.h>
#include <json-c/json.h>
#include <libyang/libyang.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#ifndef DSBENCH_YANG_DIR
#error "DSBENCH_YANG_DIR must name the directory of dsbench.yang"
#endif

namespace
{

// A VLAN-style bitmap, the largest bitmap a device keeps per port.
const DsType bitmap4096 = {"bitmap4096", DS_KIND_BITMAP, 512, {.bitmap = {4096}}};

struct YangValue {
    const char *path; // schema path of the leaf
    const char *text; // its value in libyang's JSON lexical form
};

struct Case {
    const char *label; // benchmark name suffix
    const char *type;  // built-in type name; null for the custom bitmap
    const char *json;  // the value as JSON text
    YangValue yang[2]; // libyang leaves holding the same value, if any
};

// clang-format off
const Case cases[] = {
    {"u32", "u32", "4000000000", {{"/dsbench:values/u32", "4000000000"}}},
    {"alarm_severity", "alarm_severity", "\"major\"", {{"/dsbench:values/alarm-severity", "major"}}},
    {"bool", "bool", "true", {{"/dsbench:values/flag", "true"}}},
    {"double", "double", "3.25", {}},
    {"string", "string", "\"hello, world\"", {{"/dsbench:values/text", "hello, world"}}},
    {"word", "word", "\"eth0_uplink\"", {{"/dsbench:values/word", "eth0_uplink"}}},
    {"ipv4-str", "ipv4-str", "\"192.168.10.1\"", {{"/dsbench:values/ipv4-str", "192.168.10.1"}}},
    {"ipv4", "ipv4", "\"192.168.10.1\"", {{"/dsbench:values/ipv4", "192.168.10.1"}}},
    {"macaddress", "macaddress", "\"00:1a:2b:3c:4d:5e\"", {{"/dsbench:values/mac", "00:1a:2b:3c:4d:5e"}}},
    {"ipv6", "ipv6", "\"2001:db8::8a2e:370:7334\"", {{"/dsbench:values/ipv6", "2001:db8::8a2e:370:7334"}}},
    {"uri-url", "uri", "\"https://admin@example.com:8443/cfg/startup.txt?v=2#top\"",
     {{"/dsbench:values/uri-url", "https://admin@example.com:8443/cfg/startup.txt?v=2#top"}}},
    {"uri-device", "uri", "\"bootflash:config/startup.cfg\"",
     {{"/dsbench:values/uri-device", "bootflash:config/startup.cfg"}}},
    {"uuid", "uuid", "\"123e4567-e89b-12d3-a456-426614174000\"",
     {{"/dsbench:values/uuid", "123e4567-e89b-12d3-a456-426614174000"}}},
    {"dnsname", "dnsname", "\"core-router1.example.net\"",
     {{"/dsbench:values/dnsname", "core-router1.example.net"}}},
    {"alarm", "alarm", "{\"eventId\":7,\"timestamp\":1700000000.5}",
     {{"/dsbench:values/alarm/event-id", "7"}, {"/dsbench:values/alarm/timestamp", "1700000000.5"}}},
    {"interface", "interface", "{\"kind\":\"InlinePort\",\"slot\":1,\"port\":3,\"direction\":\"wan\"}", {}},
    {"bitmap4096", nullptr, "\"1,10-20,100-199,1000,2000-2999,4095\"", {}},
};

// The same values as one libyang data tree.
const char yang_document[] =
    "{\"dsbench:values\":{\"u32\":4000000000,\"alarm-severity\":\"major\",\"flag\":true,"
    "\"text\":\"hello, world\",\"word\":\"eth0_uplink\",\"ipv4-str\":\"192.168.10.1\","
    "\"ipv4\":\"192.168.10.1\",\"mac\":\"00:1a:2b:3c:4d:5e\",\"ipv6\":\"2001:db8::8a2e:370:7334\","
    "\"uri-url\":\"https://admin@example.com:8443/cfg/startup.txt?v=2#top\","
    "\"uri-device\":\"bootflash:config/startup.cfg\","
    "\"uuid\":\"123e4567-e89b-12d3-a456-426614174000\",\"dnsname\":\"core-router1.example.net\","
    "\"alarm\":{\"event-id\":7,\"timestamp\":\"1700000000.5\"}}}";
// clang-format on

const DsType *
builtin(const char *name)
{
    for (uint16_t i = 0; i < ds_global_type_count; ++i) {
        if (strcmp(ds_global_types[i].name, name) == 0)
            return &ds_global_types[i];
    }
    return nullptr;
}

const DsType *
type_of(const Case &c)
{
    return c.type != nullptr ? builtin(c.type) : &bitmap4096;
}

// A new object of the same JSON type and content, built member by member as
// a converter builds its result.
json_object *
fresh_copy(json_object *jo)
{
    switch (json_object_get_type(jo)) {
    case json_type_null:
        return nullptr;
    case json_type_boolean:
        return json_object_new_boolean(json_object_get_boolean(jo));
    case json_type_double:
        return json_object_new_double(json_object_get_double(jo));
    case json_type_int:
        return json_object_new_int64(json_object_get_int64(jo));
    case json_type_string:
        return json_object_new_string(json_object_get_string(jo));
    case json_type_object: {
        json_object *copy = json_object_new_object();
        json_object_object_foreach(jo, name, member)
        {
            json_object_object_add(copy, name, fresh_copy(member));
        }
        return copy;
    }
    case json_type_array: {
        json_object *copy = json_object_new_array();
        for (size_t i = 0; i < json_object_array_length(jo); ++i)
            json_object_array_add(copy, fresh_copy(json_object_array_get_idx(jo, i)));
        return copy;
    }
    }
    return nullptr;
}

// The work that any canonical text of a JSON text costs at least with json-c:
// parse, a fresh result object, print, copy out, and the releases.
void
jsonc_floor(const char *text)
{
    json_tokener_error error;
    json_object *parsed = json_tokener_parse_verbose(text, &error);
    json_object *fresh = fresh_copy(parsed);
    char *out = strdup(json_object_to_json_string(fresh));
    // DoNotOptimize takes a const reference here: its read-write form lets
    // GCC rewrite the pointer before it is freed.
    benchmark::DoNotOptimize(std::as_const(out));
    free(out);
    json_object_put(fresh);
    json_object_put(parsed);
}

// Owns the parsed value and the packed form of one case for the duration of
// the run.
struct Prepared {
    const Case *c = nullptr;
    const DsType *type = nullptr;
    json_object *jo = nullptr;
    std::vector<unsigned char> packed;
    std::string error;
};

Prepared
prepare(const Case &c)
{
    Prepared p;
    p.c = &c;
    p.type = type_of(c);
    if (p.type == nullptr) {
        p.error = "no built-in type named " + std::string(c.type);
        return p;
    }
    p.jo = json_tokener_parse(c.json);
    p.packed.resize(p.type->size);
    if (!ds_jo_value_is_valid(p.type, p.jo))
        p.error = "ds_jo_value_is_valid rejects " + std::string(c.json);
    else if (ds_jo_to_c(p.type, p.jo, p.packed.data(), p.packed.size()) == nullptr)
        p.error = "ds_jo_to_c fails on " + std::string(c.json);
    return p;
}

void
register_codec(const Prepared &p)
{
    const std::string label = p.c->label;
    auto guard = [&p](benchmark::State &state) {
        if (!p.error.empty())
            state.SkipWithError(p.error.c_str());
        return p.error.empty();
    };

    benchmark::RegisterBenchmark(
        ("ds_jo_value_is_valid/" + label).c_str(), [&p, guard](benchmark::State &state) {
            if (!guard(state))
                return;
            dsbench::run_counted(
                state, [&p] { benchmark::DoNotOptimize(ds_jo_value_is_valid(p.type, p.jo)); });
        });
    benchmark::RegisterBenchmark(
        ("ds_c_value_is_valid/" + label).c_str(), [&p, guard](benchmark::State &state) {
            if (!guard(state))
                return;
            dsbench::run_counted(state, [&p] {
                benchmark::DoNotOptimize(ds_c_value_is_valid(
                    p.type, p.packed.data(), static_cast<uint32_t>(p.packed.size())));
            });
        });
    benchmark::RegisterBenchmark(
        ("ds_jo_to_c/" + label).c_str(), [&p, guard](benchmark::State &state) {
            if (!guard(state))
                return;
            std::vector<unsigned char> dst(p.packed.size());
            dsbench::run_counted(state, [&p, &dst] {
                benchmark::DoNotOptimize(ds_jo_to_c(p.type, p.jo, dst.data(), dst.size()));
            });
        });
    benchmark::RegisterBenchmark(
        ("ds_c_to_jo/" + label).c_str(), [&p, guard](benchmark::State &state) {
            if (!guard(state))
                return;
            json_object *probe = ds_c_to_jo(p.type, p.packed.data(), p.packed.size());
            if (probe == nullptr) {
                state.SkipWithError("ds_c_to_jo fails on the packed value");
                return;
            }
            json_object_put(probe);
            dsbench::run_counted(state, [&p] {
                json_object_put(ds_c_to_jo(p.type, p.packed.data(), p.packed.size()));
            });
        });
    benchmark::RegisterBenchmark(("ds_canonical_json/" + label).c_str(),
                                 [&p, guard](benchmark::State &state) {
                                     if (!guard(state))
                                         return;
                                     int err = 0;
                                     char *probe = ds_canonical_json(p.c->json, p.type, &err);
                                     if (probe == nullptr) {
                                         state.SkipWithError("ds_canonical_json fails");
                                         return;
                                     }
                                     free(probe);
                                     dsbench::run_counted(state, [&p] {
                                         int code = 0;
                                         free(ds_canonical_json(p.c->json, p.type, &code));
                                     });
                                 });
    benchmark::RegisterBenchmark(("jsonc_floor/" + label).c_str(), [&p](benchmark::State &state) {
        dsbench::run_counted(state, [&p] { jsonc_floor(p.c->json); });
    });
}

struct Yang {
    ly_ctx *ctx = nullptr;
    std::string error;
};

Yang
load_yang()
{
    Yang y;
    if (ly_ctx_new(DSBENCH_YANG_DIR, 0, &y.ctx) != LY_SUCCESS) {
        y.error = "ly_ctx_new failed";
        return y;
    }
    if (ly_ctx_load_module(y.ctx, "dsbench", nullptr, nullptr) == nullptr)
        y.error = "dsbench.yang does not load";
    return y;
}

void
register_yang_value(const Yang &y, const Case &c)
{
    if (c.yang[0].path == nullptr)
        return;
    benchmark::RegisterBenchmark(
        (std::string("ly_value_validate/") + c.label).c_str(), [&y, &c](benchmark::State &state) {
            if (!y.error.empty()) {
                state.SkipWithError(y.error.c_str());
                return;
            }
            const lysc_node *leaves[2] = {};
            size_t n = 0;
            for (const YangValue &v : c.yang) {
                if (v.path == nullptr)
                    break;
                leaves[n] = lys_find_path(y.ctx, nullptr, v.path, 0);
                if (leaves[n] == nullptr ||
                    lyd_value_validate(y.ctx, leaves[n], v.text, strlen(v.text), nullptr, nullptr,
                                       nullptr) != LY_SUCCESS) {
                    state.SkipWithError("libyang rejects the value");
                    return;
                }
                ++n;
            }
            dsbench::run_counted(state, [&] {
                for (size_t i = 0; i < n; ++i)
                    benchmark::DoNotOptimize(lyd_value_validate(y.ctx, leaves[i], c.yang[i].text,
                                                                strlen(c.yang[i].text), nullptr,
                                                                nullptr, nullptr));
            });
        });
}

void
register_documents(const Yang &y, const std::vector<Prepared> &prepared)
{
    benchmark::RegisterBenchmark("ly_parse_document/all", [&y](benchmark::State &state) {
        if (!y.error.empty()) {
            state.SkipWithError(y.error.c_str());
            return;
        }
        dsbench::run_counted(state, [&y] {
            lyd_node *tree = nullptr;
            lyd_parse_data_mem(y.ctx, yang_document, LYD_JSON, LYD_PARSE_STRICT,
                               LYD_VALIDATE_PRESENT, &tree);
            lyd_free_all(tree);
        });
    });
    benchmark::RegisterBenchmark("ly_print_document/all", [&y](benchmark::State &state) {
        lyd_node *tree = nullptr;
        if (!y.error.empty() || lyd_parse_data_mem(y.ctx, yang_document, LYD_JSON, LYD_PARSE_STRICT,
                                                   LYD_VALIDATE_PRESENT, &tree) != LY_SUCCESS) {
            state.SkipWithError("libyang rejects the document");
            return;
        }
        dsbench::run_counted(state, [tree] {
            char *out = nullptr;
            lyd_print_mem(&out, tree, LYD_JSON, LYD_PRINT_SHRINK);
            free(out);
        });
        lyd_free_all(tree);
    });
    // The library's side of the document: the canonical text of every value
    // that the document holds.
    benchmark::RegisterBenchmark("ds_canonical_json/document",
                                 [&prepared](benchmark::State &state) {
                                     for (const Prepared &p : prepared) {
                                         if (!p.error.empty()) {
                                             state.SkipWithError(p.error.c_str());
                                             return;
                                         }
                                     }
                                     dsbench::run_counted(state, [&prepared] {
                                         for (const Prepared &p : prepared) {
                                             if (p.c->yang[0].path == nullptr)
                                                 continue;
                                             int err = 0;
                                             free(ds_canonical_json(p.c->json, p.type, &err));
                                         }
                                     });
                                 });
}

// The Overview's key: a literal level, a level typed "interface", a literal
// level that stores an alarm.
const DsKeyNode overview_key[3] = {
    {0, 1, 0, "a", nullptr, nullptr},
    {-1, 1, 0, "ifname", builtin("interface"), nullptr},
    {-1, 0, 0, "b", nullptr, builtin("alarm")},
};
const unsigned char inline_port[4] = {0x04, 0x01, 0x03, 0x01};

void
register_keys()
{
    benchmark::RegisterBenchmark("ds_build_key/overview", [](benchmark::State &state) {
        char buf[256];
        if (ds_build_key(buf, sizeof buf, &overview_key[2], inline_port, sizeof inline_port,
                         nullptr) == nullptr) {
            state.SkipWithError("ds_build_key fails");
            return;
        }
        dsbench::run_counted(state, [&buf] {
            benchmark::DoNotOptimize(ds_build_key(buf, sizeof buf, &overview_key[2], inline_port,
                                                  sizeof inline_port, nullptr));
        });
    });
    benchmark::RegisterBenchmark("ds_key_field_c/overview", [](benchmark::State &state) {
        json_object *jo = ds_c_to_jo(builtin("interface"), inline_port, sizeof inline_port);
        const std::string field = jo != nullptr ? json_object_to_json_string(jo) : "";
        json_object_put(jo);
        uint32_t size = 0;
        void *probe = ds_key_field_c(field.c_str(), &overview_key[2], 1, &size);
        if (probe == nullptr || size != 4 || memcmp(probe, inline_port, 4) != 0) {
            free(probe);
            state.SkipWithError("ds_key_field_c does not give the packed interface back");
            return;
        }
        free(probe);
        dsbench::run_counted(state, [&field] {
            uint32_t n = 0;
            free(ds_key_field_c(field.c_str(), &overview_key[2], 1, &n));
        });
    });
}

// What the counter reports for exactly one allocation per iteration; the
// report refuses the allocation goals unless this reads 1.
void
register_calibration()
{
    benchmark::RegisterBenchmark("alloc_hook/malloc_free", [](benchmark::State &state) {
        dsbench::run_counted(state, [] {
            void *volatile block = malloc(32);
            free(block);
        });
    });
    benchmark::RegisterBenchmark("jsonc_new_int64/u32", [](benchmark::State &state) {
        dsbench::run_counted(state, [] {
            json_object *jo = json_object_new_int64(4000000000);
            benchmark::DoNotOptimize(std::as_const(jo));
            json_object_put(jo);
        });
    });
}

// Refusing a long text. Every built-in string type refuses a text longer
// than its size by its length alone, whatever the text holds; the converted
// address types look at theirs (IPv4 and IPv6 texts no longer than inet_pton
// reads, MAC texts through their matcher). Each text is a run of one
// character class: hex letters and digits, which the address matchers read
// as groups, and the separators they look for. Beside them, strlen over the
// same bytes: the one pass that any check of a NUL-terminated text needs.
constexpr size_t kMiB = size_t{1} << 20;
constexpr size_t kHundredMB = 100'000'000;
const char *const long_text_types[] = {"string",         "word",       "ipv4-str", "dnsname",
                                       "macaddress-str", "ipv6-str",   "uri",      "uuid",
                                       "ipv4",           "macaddress", "ipv6"};
const struct {
    const char *label;
    char c;
} long_text_classes[] = {{"hex-a", 'a'}, {"digit-1", '1'}, {"hex-F", 'F'}, {"colon", ':'},
                         {"dot", '.'},   {"hyphen", '-'},  {"slash", '/'}, {"percent", '%'}};

// One JSON string per length and class, made on first use and kept.
json_object *
long_text(size_t length, char c)
{
    static std::vector<std::pair<std::pair<size_t, char>, json_object *>> made;
    for (const auto &[key, jo] : made) {
        if (key == std::make_pair(length, c))
            return jo;
    }
    json_object *jo =
        json_object_new_string_len(std::string(length, c).c_str(), static_cast<int>(length));
    made.push_back({{length, c}, jo});
    return jo;
}

void
register_long_text(const std::string &name, const char *type_name, size_t length, char c)
{
    benchmark::RegisterBenchmark(name.c_str(),
                                 [type_name, length, c](benchmark::State &state) {
                                     const DsType *type = builtin(type_name);
                                     json_object *jo = long_text(length, c);
                                     if (type == nullptr || ds_jo_value_is_valid(type, jo)) {
                                         state.SkipWithError("the long text is not refused");
                                         return;
                                     }
                                     for (auto _ : state)
                                         benchmark::DoNotOptimize(ds_jo_value_is_valid(type, jo));
                                 })
        ->MinTime(0.02)
        ->Unit(benchmark::kMicrosecond);
}

void
register_long_texts()
{
    for (size_t length : {kMiB, kHundredMB}) {
        const std::string size = length == kMiB ? "1MiB" : "100MB";
        benchmark::RegisterBenchmark(("strlen/" + size).c_str(),
                                     [length](benchmark::State &state) {
                                         const char *text =
                                             json_object_get_string(long_text(length, 'a'));
                                         for (auto _ : state)
                                             benchmark::DoNotOptimize(strlen(text));
                                     })
            ->MinTime(0.02)
            ->Unit(benchmark::kMicrosecond);
        for (const char *type : long_text_types) {
            if (length != kMiB) {
                register_long_text("ds_jo_value_is_valid/100MB/" + std::string(type), type, length,
                                   'a');
                continue;
            }
            for (const auto &cls : long_text_classes)
                register_long_text("ds_jo_value_is_valid/1MiB/" + std::string(type) + "/" +
                                       cls.label,
                                   type, length, cls.c);
        }
    }
}

} // namespace

int
main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    std::vector<Prepared> prepared;
    prepared.reserve(std::size(cases));
    for (const Case &c : cases)
        prepared.push_back(prepare(c));
    const Yang yang = load_yang();

    register_calibration();
    for (const Prepared &p : prepared)
        register_codec(p);
    for (const Case &c : cases)
        register_yang_value(yang, c);
    register_documents(yang, prepared);
    register_keys();
    register_long_texts();

    benchmark::AddCustomContext("alloc_counting",
                                dsbench::alloc_counting_available() ? "on" : "off");
    benchmark::AddCustomContext("libyang", yang.error.empty() ? "loaded" : yang.error);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    for (Prepared &p : prepared)
        json_object_put(p.jo);
    ly_ctx_destroy(yang.ctx);
    return 0;
}
