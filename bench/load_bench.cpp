// The first lookup of a process loads the module directory: this benchmark
// fills the directory with COUNT modules generated from a template, makes
// that lookup and reports its CPU time per module, split into the time
// spent inside dlopen (the dynamic loader's own work, which grows with the
// number of objects already loaded) and the rest (reading the directory,
// the symbol lookups, the records and the indexes).
//
//   load_bench COUNT [benchmark flags]
//
// The list is built once per process, so run.sh runs one process per count.
// Each generated module is the template with every "m0000000" in it replaced
// by "m" and the module's number in seven digits, so that every module
// defines names of its own.
#include "dstypes.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

double
cpu_seconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double in_dlopen = 0; // CPU seconds spent inside dlopen

constexpr char kMarker[] = "m0000000";
constexpr size_t kMarkerLength = sizeof kMarker - 1;

void
remove_modules()
{
    for (const fs::directory_entry &entry : fs::directory_iterator(DSBENCH_MODULE_DIR)) {
        if (entry.path().extension() == ".so")
            fs::remove(entry.path());
    }
}

// Writes count modules into the module directory, after removing the modules
// that were there. Returns an error text, or "" on success.
std::string
generate_modules(const char *template_file, long count)
{
    std::ifstream in(template_file, std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<size_t> marks;
    for (size_t at = image.find(kMarker); at != std::string::npos;
         at = image.find(kMarker, at + kMarkerLength))
        marks.push_back(at);
    if (marks.empty())
        return std::string("no marker in ") + template_file;
    remove_modules();
    for (long i = 0; i < count; ++i) {
        char mark[24]; // "m" and seven digits: count stays below 10^7
        std::snprintf(mark, sizeof mark, "m%07ld", i);
        for (size_t at : marks)
            image.replace(at, kMarkerLength, mark);
        char name[32];
        std::snprintf(name, sizeof name, "/gen_%07ld.so", i);
        std::ofstream out(std::string(DSBENCH_MODULE_DIR) + name, std::ios::binary);
        out << image;
        if (!out)
            return std::string("cannot write ") + DSBENCH_MODULE_DIR + name;
    }
    return "";
}

// The memory maps of the process: each module costs a few, and the kernel
// refuses new ones past vm.max_map_count.
long
memory_maps()
{
    std::ifstream maps("/proc/self/maps");
    return std::count(std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>(), '\n');
}

void
register_per_module(const char *name, double seconds, long modules, const std::string &error)
{
    benchmark::RegisterBenchmark(name,
                                 [seconds, modules, error](benchmark::State &state) {
                                     if (!error.empty()) {
                                         state.SkipWithError(error.c_str());
                                         return;
                                     }
                                     for (auto _ : state)
                                         state.SetIterationTime(seconds / modules);
                                     state.counters["modules"] = static_cast<double>(modules);
                                 })
        ->UseManualTime()
        ->Iterations(1);
}

} // namespace

// Takes the place of glibc's dlopen for the library (the executable's
// definition comes first in the lookup scope) and times each call.
extern "C" void *
dlopen(const char *file, int mode)
{
    using Open = void *(*)(const char *, int);
    static const Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "dlopen"));
    double start = cpu_seconds();
    void *handle = real(file, mode);
    in_dlopen += cpu_seconds() - start;
    return handle;
}

int
main(int argc, char **argv)
{
    char *end = nullptr;
    long count = argc > 1 ? std::strtol(argv[1], &end, 10) : 0;
    if (count < 1 || count >= 10000000 || *end != '\0') {
        std::fprintf(stderr, "usage: %s COUNT [benchmark flags]\n", argv[0]);
        return 64;
    }
    std::string error = generate_modules(DSBENCH_LOAD_TEMPLATE, count);

    const auto wall_start = std::chrono::steady_clock::now();
    double start = cpu_seconds();
    bool loaded = error.empty() && ds_find_type("u32") != nullptr;
    double total = cpu_seconds() - start;
    std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - wall_start;
    long modules = 0;
    for (const DsModule *m = module_list; m != nullptr; m = m->next)
        modules += m->handle != nullptr;
    if (error.empty() && (!loaded || modules != count))
        error = "loaded " + std::to_string(modules) + " of " + std::to_string(count) + " modules";

    register_per_module("load_per_module/total", total, count, error);
    register_per_module("load_per_module/in_dlopen", in_dlopen, count, error);
    register_per_module("load_per_module/rest", total - in_dlopen, count, error);
    benchmark::AddCustomContext("modules", std::to_string(count));
    benchmark::AddCustomContext("wall_ms", std::to_string(wall.count()));
    benchmark::AddCustomContext("memory_maps", std::to_string(memory_maps()));
    // The files can go: the loaded modules stay mapped.
    remove_modules();

    argv[1] = argv[0];
    int rest = argc - 1;
    benchmark::Initialize(&rest, argv + 1);
    if (benchmark::ReportUnrecognizedArguments(rest, argv + 1))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
