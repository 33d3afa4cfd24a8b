// The YANG workload, the same models and data for both libraries: the
// ietf-interfaces and ietf-ip modules, compiled by dsgen for libdstypes and
// loaded by libyang, and 1,000 interfaces written by yang_data.py.
//   per leaf: libdstypes ds_find_key + ds_leaf_to_c on the leaf's key path
//             and JSON text, against libyang lyd_new_path of the same path
//             and value into a data tree;
//   per document: the canonical text of every leaf (key found, then
//             ds_canonical_json), against lyd_parse_data_mem (JSON,
//             validated) plus lyd_print_mem.
// With --load-only it reports just the first lookup, which loads whatever
// the bench module directory holds (run.sh fills it with 1, 100 and 1,000
// copies of the module).
#include "dstypes.h"

#include <benchmark/benchmark.h>
#include <libyang/libyang.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{

struct Leaf {
    std::string key;   // libdstypes key path
    std::string json;  // the value's JSON text
    std::string xpath; // libyang path
    std::string value; // the value as lyd_new_path takes it
};

struct Workload {
    std::vector<Leaf> leaves;
    std::string document; // RFC 7951 JSON of every interface
    ly_ctx *ctx = nullptr;
    std::string error;
};

std::vector<std::string>
split_tabs(const std::string &line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

bool
read_file(const std::string &path, std::string &out)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::stringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

void
load_yang(Workload &w)
{
    if (ly_ctx_new(nullptr, LY_CTX_DISABLE_SEARCHDIR_CWD, &w.ctx) != LY_SUCCESS) {
        w.error = "ly_ctx_new failed";
        return;
    }
    ly_ctx_set_searchdir(w.ctx, DSBENCH_YUMA_DIR "/nmda-modules/ietf");
    ly_ctx_set_searchdir(w.ctx, DSBENCH_YUMA_DIR "/modules/ietf");
    const char *all[] = {"*", nullptr};
    const struct {
        const char *name, *revision;
    } modules[] = {{"ietf-interfaces", "2018-02-20"},
                   {"ietf-ip", "2018-02-22"},
                   {"iana-if-type", "2014-05-08"}};
    for (const auto &m : modules) {
        if (ly_ctx_load_module(w.ctx, m.name, m.revision, all) == nullptr)
            w.error = std::string("libyang cannot load ") + m.name;
    }
}

Workload &
workload()
{
    static Workload w = [] {
        Workload w;
        std::string dir = std::getenv("DSBENCH_YANG_DATA") ? std::getenv("DSBENCH_YANG_DATA") : ".";
        std::string tsv;
        if (!read_file(dir + "/leaves.tsv", tsv) ||
            !read_file(dir + "/interfaces.json", w.document)) {
            w.error = "no instance data in " + dir + " (yang_data.py)";
            return w;
        }
        std::stringstream lines(tsv);
        for (std::string line; std::getline(lines, line);) {
            auto f = split_tabs(line);
            if (f.size() == 4)
                w.leaves.push_back({f[0], f[1], f[2], f[3]});
        }
        load_yang(w);
        return w;
    }();
    return w;
}

// Every leaf must store before its figure counts: a leaf that fails would
// measure a shortcut.
bool
check_dstypes(Workload &w)
{
    unsigned char buf[4096];
    for (const Leaf &leaf : w.leaves) {
        const DsKeyNode *node = ds_find_key(leaf.key.c_str(), true);
        if (node == nullptr ||
            !ds_leaf_to_c(leaf.key.c_str(), leaf.json.c_str(), buf, sizeof buf)) {
            w.error = "libdstypes refuses " + leaf.key + " = " + leaf.json;
            return false;
        }
    }
    return true;
}

// The workload, or null after marking the benchmark skipped: no data, no
// libyang context, or (for libdstypes) a leaf that does not store.
Workload *
ready(benchmark::State &state, bool dstypes)
{
    Workload &w = workload();
    if (w.error.empty() && (!dstypes || check_dstypes(w)))
        return &w;
    state.SkipWithError(w.error.c_str());
    return nullptr;
}

// ds_leaf_to_c clears all of dstlen first: the whole 4096-byte buffer is
// cleared for every leaf, more than a program's own structure would take,
// so the figure errs on the slow side.
void
dstypes_store_leaf(benchmark::State &state)
{
    Workload *ready_workload = ready(state, true);
    if (ready_workload == nullptr)
        return;
    Workload &w = *ready_workload;
    unsigned char buf[4096];
    for (auto _ : state) {
        for (const Leaf &leaf : w.leaves) {
            benchmark::DoNotOptimize(ds_find_key(leaf.key.c_str(), true));
            benchmark::DoNotOptimize(
                ds_leaf_to_c(leaf.key.c_str(), leaf.json.c_str(), buf, sizeof buf));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.leaves.size()));
}

void
libyang_new_path(benchmark::State &state)
{
    Workload *ready_workload = ready(state, false);
    if (ready_workload == nullptr)
        return;
    Workload &w = *ready_workload;
    for (auto _ : state) {
        lyd_node *tree = nullptr;
        for (const Leaf &leaf : w.leaves) {
            lyd_node *made = nullptr;
            if (lyd_new_path(tree, w.ctx, leaf.xpath.c_str(), leaf.value.c_str(), 0, &made) !=
                LY_SUCCESS) {
                state.SkipWithError(("libyang refuses " + leaf.xpath).c_str());
                break;
            }
            if (tree == nullptr)
                tree = made;
        }
        state.PauseTiming();
        lyd_free_all(tree);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.leaves.size()));
}

void
dstypes_canonical_document(benchmark::State &state)
{
    Workload *ready_workload = ready(state, true);
    if (ready_workload == nullptr)
        return;
    Workload &w = *ready_workload;
    for (auto _ : state) {
        for (const Leaf &leaf : w.leaves) {
            const DsType *type = ds_key_leaf_type(ds_find_key(leaf.key.c_str(), true));
            int err = 0;
            char *text = ds_canonical_json(leaf.json.c_str(), type, &err);
            benchmark::DoNotOptimize(text);
            std::free(text);
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void
libyang_parse_print_document(benchmark::State &state)
{
    Workload *ready_workload = ready(state, false);
    if (ready_workload == nullptr)
        return;
    Workload &w = *ready_workload;
    for (auto _ : state) {
        lyd_node *tree = nullptr;
        if (lyd_parse_data_mem(w.ctx, w.document.c_str(), LYD_JSON, LYD_PARSE_STRICT,
                               LYD_VALIDATE_PRESENT, &tree) != LY_SUCCESS) {
            state.SkipWithError("libyang refuses the document");
            break;
        }
        char *out = nullptr;
        lyd_print_mem(&out, tree, LYD_JSON, LYD_PRINT_SHRINK);
        benchmark::DoNotOptimize(out);
        std::free(out);
        lyd_free_all(tree);
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

int
main(int argc, char **argv)
{
    bool load_only = false;
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--load-only") == 0)
            load_only = true;
        else
            args.push_back(argv[i]);
    }
    // The first lookup loads the module list; timed once, before anything else
    // touches the library.
    const auto start = std::chrono::steady_clock::now();
    const DsType *u32 = ds_find_type("u32");
    const double load_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int modules = 0;
    for (const DsModule *m = module_list; m != nullptr; m = m->next)
        modules += m->handle != nullptr;
    benchmark::RegisterBenchmark(("yang_load/" + std::to_string(modules)).c_str(),
                                 [load_s, u32](benchmark::State &state) {
                                     if (u32 == nullptr)
                                         state.SkipWithError("no module directory");
                                     for (auto _ : state)
                                         state.SetIterationTime(load_s);
                                 })
        ->UseManualTime()
        ->Iterations(1);
    if (!load_only) {
        benchmark::RegisterBenchmark("yang_leaf/dstypes_find_key_leaf_to_c", dstypes_store_leaf);
        benchmark::RegisterBenchmark("yang_leaf/libyang_lyd_new_path", libyang_new_path);
        benchmark::RegisterBenchmark("yang_document/dstypes_canonical_every_leaf",
                                     dstypes_canonical_document);
        benchmark::RegisterBenchmark("yang_document/libyang_parse_print",
                                     libyang_parse_print_document);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!load_only && workload().ctx != nullptr)
        ly_ctx_destroy(workload().ctx);
    return 0;
}
