// Lookup benchmarks over the module list: ds_find_type and ds_find_key for the
// first and the last name of the list and for a name that no module has. The
// process loads whatever the bench module directory holds when it starts, so
// run.sh fills the directory and runs one process per module count. The
// names are taken from the loaded list itself, since the list follows the
// directory's order and not the modules' numbers.
#include "alloc_count.h"

#include "dstypes.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace
{

struct Names {
    int modules = 0;           // schema modules in the list
    std::string first_builtin; // the first row of the built-in table
    std::string first_type;    // the first type of the first module
    std::string last_type;     // the last type of the last module
    std::string first_key;     // the first leaf key of the first module
    std::string last_key;      // the last key of the last module
    double load_ms = 0;        // the lookup that loaded the list
};

// The path of a key, written from its levels; the generated forests have
// literal levels only.
std::string
key_path(const DsKeyNode *key)
{
    char buf[256];
    return ds_key_name(buf, sizeof buf, key) != nullptr ? buf : "";
}

// The last node of a generated forest: the last child of its last top-level
// key.
const DsKeyNode *
last_node(const DsKeyNode *node)
{
    while (node->next_sibling != 0)
        node += node->next_sibling;
    if (node->first_child == 0)
        return node;
    node += node->first_child;
    while (node->next_sibling != 0)
        node += node->next_sibling;
    return node;
}

Names
load_and_name()
{
    Names names;
    const auto start = std::chrono::steady_clock::now();
    const DsType *first = ds_find_type("u32");
    names.load_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (first == nullptr)
        return names;
    names.first_builtin = first->name;
    const DsModule *last = nullptr;
    for (const DsModule *m = module_list->next; m != nullptr; m = m->next) {
        if (m->type_count == 0 || m->keys == nullptr)
            continue;
        if (names.modules == 0) {
            names.first_type = m->types[0].name;
            names.first_key = key_path(m->keys + m->keys->first_child);
        }
        ++names.modules;
        last = m;
    }
    if (last != nullptr) {
        names.last_type = last->types[last->type_count - 1].name;
        names.last_key = key_path(last_node(last->keys));
    }
    return names;
}

void
register_find_type(const char *label, std::string name)
{
    benchmark::RegisterBenchmark(
        ("ds_find_type/" + std::string(label)).c_str(), [name](benchmark::State &state) {
            if (name.empty()) {
                state.SkipWithError("no such module type loaded");
                return;
            }
            dsbench::run_counted(state,
                                 [&name] { benchmark::DoNotOptimize(ds_find_type(name.c_str())); });
        });
}

// A lookup by key path: ds_find_key, or ds_find_alarm, which finds the key
// and then its alarm row.
void
register_path_lookup(const char *function, const char *label, std::string path)
{
    bool alarm = std::string(function) == "ds_find_alarm";
    benchmark::RegisterBenchmark(
        (std::string(function) + "/" + label).c_str(), [path, alarm](benchmark::State &state) {
            if (path.empty()) {
                state.SkipWithError("no module key loaded");
                return;
            }
            dsbench::run_counted(state, [&path, alarm] {
                if (alarm)
                    benchmark::DoNotOptimize(ds_find_alarm(path.c_str()));
                else
                    benchmark::DoNotOptimize(ds_find_key(path.c_str(), true));
            });
        });
}

} // namespace

int
main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    const Names names = load_and_name();
    register_find_type("first_builtin", names.first_builtin);
    register_find_type("last_builtin", "interface");
    register_find_type("first", names.first_type);
    register_find_type("last", names.last_type);
    register_find_type("missing", "no-such-type");
    for (const char *function : {"ds_find_key", "ds_find_alarm"}) {
        register_path_lookup(function, "first", names.first_key);
        register_path_lookup(function, "last", names.last_key);
        register_path_lookup(function, "missing", names.first_key.empty() ? "" : "/no-such-key/c0");
    }

    benchmark::AddCustomContext("modules", std::to_string(names.modules));
    benchmark::AddCustomContext("load_ms", std::to_string(names.load_ms));
    benchmark::AddCustomContext("last_type", names.last_type);
    benchmark::AddCustomContext("last_key", names.last_key);
    benchmark::AddCustomContext("alloc_counting",
                                dsbench::alloc_counting_available() ? "on" : "off");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
