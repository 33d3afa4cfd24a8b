// The C++ layer beside the C calls it wraps, in one run: ds_c_to_jo of a
// packed interface identifier and ds_build_key of the three-level key with
// one typed level, each called plainly and through dstypes.hpp. Their ratio
// is what the wrapper costs; their allocation counts must agree.
#include "alloc_count.h"

#include "dstypes.hpp"

#include <benchmark/benchmark.h>

#include <cstring>

namespace
{

// The packed interface identifier as a generated struct holds it.
struct Interface {
    uint8_t kind, slot, port, direction;
};
constexpr Interface kInlinePort{4, 1, 3, 1};

const DsType *
interface_type()
{
    for (const DsType &type : ds::builtin_types()) {
        if (std::strcmp(type.name, "interface") == 0)
            return &type;
    }
    return nullptr;
}

// A literal level, a level typed "interface", a literal level.
const DsKeyNode key[3] = {
    {0, 1, 0, "a", nullptr, nullptr},
    {-1, 1, 0, "ifname", interface_type(), nullptr},
    {-1, 0, 0, "b", nullptr, nullptr},
};

void
c_to_jo_plain(benchmark::State &state)
{
    dsbench::run_counted(state, [] {
        json_object_put(ds_c_to_jo(key[1].field_type, &kInlinePort, sizeof kInlinePort));
    });
}

void
c_to_jo_wrapped(benchmark::State &state)
{
    if (!ds::to_json(key[1].field_type, kInlinePort)) {
        state.SkipWithError("ds::to_json fails");
        return;
    }
    dsbench::run_counted(state, [] {
        ds::Result<ds::Json> jo = ds::to_json(key[1].field_type, kInlinePort);
        benchmark::DoNotOptimize(jo->get());
    });
}

void
build_key_plain(benchmark::State &state)
{
    char buf[256];
    dsbench::run_counted(state, [&buf] {
        benchmark::DoNotOptimize(
            ds_build_key(buf, sizeof buf, &key[2], &kInlinePort, sizeof kInlinePort, nullptr));
    });
}

void
build_key_wrapped(benchmark::State &state)
{
    char buf[256];
    if (!ds::build_key(buf, key[2], kInlinePort)) {
        state.SkipWithError("ds::build_key fails");
        return;
    }
    dsbench::run_counted(state, [&buf] {
        ds::Result<std::string_view> path = ds::build_key(buf, key[2], kInlinePort);
        benchmark::DoNotOptimize(path->data());
    });
}

} // namespace

BENCHMARK(c_to_jo_plain)->Name("cpp_c_to_jo/plain");
BENCHMARK(c_to_jo_wrapped)->Name("cpp_c_to_jo/wrapped");
BENCHMARK(build_key_plain)->Name("cpp_build_key/plain");
BENCHMARK(build_key_wrapped)->Name("cpp_build_key/wrapped");
BENCHMARK_MAIN();
