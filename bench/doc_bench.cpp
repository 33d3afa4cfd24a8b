// The document workload: one RFC 7951 document of ietf-interfaces with
// ietf-ip, 1,000 interfaces with their configuration and state (the usual
// leaves, statistics, two IPv4 and two IPv6 addresses each), read and written
// by libdstypes-doc and by libyang 2 from the same text.
//   split: ds_doc_split of the text, against lyd_parse_data_mem (strict,
//          validated, state data allowed) of it;
//   join:  ds_doc_join_new, ds_doc_join_add of every entry the split gave and
//          ds_doc_join_print, against lyd_print_mem of libyang's parsed tree
//          (and ds_doc_join_print alone of a join that holds the entries);
//   paired: each of those two pairs in alternation, one call of each side a
//          round, the median of the rounds' ratios as the counter "ratio";
//   memory: the peak heap that ds_doc_split takes on a document of
//          DSBENCH_DOC_MB megabytes (100 by default) and on the 1,000
//          interfaces, beside the text's size, and libyang's parse of the
//          1,000 interfaces for scale.
// The document is printed as both libraries print it only when the two
// prints are equal: a join that printed something else would measure a
// shortcut.
#include "alloc_count.h"
#include "doc_workload.h"
#include "dstypes_doc.h"

#include <benchmark/benchmark.h>
#include <libyang/libyang.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

struct Entry {
    std::string path;
    std::vector<unsigned char> value;
};

struct Workload {
    std::string document = dsbench::interfaces_document(1000);
    std::vector<Entry> entries; // what ds_doc_split gave, in its order
    ly_ctx *ctx = nullptr;
    lyd_node *tree = nullptr; // libyang's tree of the document
    std::string error;
};

int
count_entry(const DsDocEntry *entry, void *arg)
{
    *static_cast<size_t *>(arg) += 1 + entry->value_len;
    return 0;
}

int
keep_entry(const DsDocEntry *entry, void *arg)
{
    const auto *value = static_cast<const unsigned char *>(entry->value);
    static_cast<std::vector<Entry> *>(arg)->push_back(
        {std::string(entry->path, entry->path_len),
         std::vector<unsigned char>(value, value + entry->value_len)});
    return 0;
}

std::string
refusal(const char *what, DsDocError *error)
{
    std::string out = std::string(what) + " refused at " + ds_doc_error_where(error) + ": " +
                      ds_doc_error_reason(error);
    ds_doc_error_free(error);
    return out;
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
    for (const char *name : {"ietf-interfaces", "ietf-ip", "iana-if-type"}) {
        if (ly_ctx_load_module(w.ctx, name, nullptr, all) == nullptr)
            w.error = std::string("libyang cannot load ") + name;
    }
}

// The joined print of the entries, or "" with why in error.
std::string
join_print(const std::vector<Entry> &entries, std::string &error)
{
    DsDocError *err = nullptr;
    DsDocJoin *join = ds_doc_join_new(nullptr, &err);
    for (size_t i = 0; join != nullptr && i < entries.size(); ++i) {
        const Entry &e = entries[i];
        if (ds_doc_join_add(join, e.path.c_str(), e.value.empty() ? nullptr : e.value.data(),
                            e.value.size(), &err) != 0)
            break;
    }
    char *text = err == nullptr ? ds_doc_join_print(join, 0, &err) : nullptr;
    ds_doc_join_free(join);
    if (text == nullptr) {
        error = refusal("join", err);
        return "";
    }
    std::string out = text;
    std::free(text);
    return out;
}

// Both sides ready and printing the same text, or the reason why not.
void
prepare(Workload &w)
{
    load_yang(w);
    if (!w.error.empty())
        return;
    if (lyd_parse_data_mem(w.ctx, w.document.c_str(), LYD_JSON, LYD_PARSE_STRICT,
                           LYD_VALIDATE_PRESENT, &w.tree) != LY_SUCCESS) {
        w.error = std::string("libyang refuses the document: ") + ly_errmsg(w.ctx);
        return;
    }
    DsDocError *err = nullptr;
    if (ds_doc_split(w.document.data(), w.document.size(), nullptr, keep_entry, &w.entries, &err) !=
        0) {
        w.error = refusal("split", err);
        return;
    }
    char *printed = nullptr;
    lyd_print_mem(&printed, w.tree, LYD_JSON, LYD_PRINT_WITHSIBLINGS);
    const std::string joined = join_print(w.entries, w.error);
    if (w.error.empty() && (printed == nullptr || joined != printed))
        w.error = "the join prints another document than libyang";
    std::free(printed);
}

Workload &
workload()
{
    static Workload w = [] {
        Workload w;
        prepare(w);
        return w;
    }();
    return w;
}

Workload *
ready(benchmark::State &state)
{
    Workload &w = workload();
    if (w.error.empty())
        return &w;
    state.SkipWithError(w.error.c_str());
    return nullptr;
}

void
report_document(benchmark::State &state, const Workload &w)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.document.size()));
    state.counters["entries"] = double(w.entries.size());
}

// One call of each side's work, for the benchmarks of one side and the
// paired ones alike.
void
split_once(const Workload &w)
{
    size_t seen = 0;
    benchmark::DoNotOptimize(
        ds_doc_split(w.document.data(), w.document.size(), nullptr, count_entry, &seen, nullptr));
    benchmark::DoNotOptimize(seen);
}

// libyang's tree of the document; the caller releases it.
lyd_node *
parse_once(const Workload &w)
{
    lyd_node *tree = nullptr;
    benchmark::DoNotOptimize(lyd_parse_data_mem(w.ctx, w.document.c_str(), LYD_JSON,
                                                LYD_PARSE_STRICT, LYD_VALIDATE_PRESENT, &tree));
    return tree;
}

void
join_once(const Workload &w)
{
    std::string error;
    benchmark::DoNotOptimize(join_print(w.entries, error));
}

void
print_once(const Workload &w)
{
    char *out = nullptr;
    lyd_print_mem(&out, w.tree, LYD_JSON, LYD_PRINT_WITHSIBLINGS);
    benchmark::DoNotOptimize(out);
    std::free(out);
}

void
dstypes_split(benchmark::State &state)
{
    Workload *w = ready(state);
    if (w == nullptr)
        return;
    dsbench::run_counted(state, [w] { split_once(*w); });
    report_document(state, *w);
}

// The tree's release is left out of the figure: the split keeps nothing.
void
libyang_parse(benchmark::State &state)
{
    Workload *w = ready(state);
    if (w == nullptr)
        return;
    for (auto _ : state) {
        lyd_node *tree = parse_once(*w);
        state.PauseTiming();
        lyd_free_all(tree);
        state.ResumeTiming();
    }
    report_document(state, *w);
}

void
dstypes_join(benchmark::State &state)
{
    Workload *w = ready(state);
    if (w == nullptr)
        return;
    dsbench::run_counted(state, [w] { join_once(*w); });
    report_document(state, *w);
}

// The print alone, of a join that holds every entry already.
void
dstypes_print(benchmark::State &state)
{
    Workload *w = ready(state);
    if (w == nullptr)
        return;
    DsDocJoin *join = ds_doc_join_new(nullptr, nullptr);
    for (const Entry &e : w->entries)
        ds_doc_join_add(join, e.path.c_str(), e.value.empty() ? nullptr : e.value.data(),
                        e.value.size(), nullptr);
    dsbench::run_counted(state, [join] {
        char *out = ds_doc_join_print(join, 0, nullptr);
        benchmark::DoNotOptimize(out);
        std::free(out);
    });
    ds_doc_join_free(join);
    report_document(state, *w);
}

void
libyang_print(benchmark::State &state)
{
    Workload *w = ready(state);
    if (w == nullptr)
        return;
    dsbench::run_counted(state, [w] { print_once(*w); });
    report_document(state, *w);
}

// The seconds that one call of body takes.
template <typename Body>
double
seconds_of(Body body)
{
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Ours against theirs in alternation, one call of each a round and the order
// turned every round, so that the machine's drifts (a shared virtual
// machine's speed changes by a third from minute to minute) fall on both
// sides alike. Each side returns the seconds it counts; the counter "ratio"
// is the median of the rounds' ours / theirs.
template <typename Ours, typename Theirs>
void
run_paired(benchmark::State &state, Ours ours, Theirs theirs)
{
    std::vector<double> ratios;
    bool ours_first = true;
    for (auto _ : state) {
        double mine = 0;
        double other = 0;
        if (ours_first)
            mine = ours(), other = theirs();
        else
            other = theirs(), mine = ours();
        ours_first = !ours_first;
        ratios.push_back(mine / other);
        state.SetIterationTime(mine + other);
    }
    if (ratios.empty())
        return;
    auto middle = ratios.begin() + std::ptrdiff_t(ratios.size() / 2);
    std::nth_element(ratios.begin(), middle, ratios.end());
    state.counters["ratio"] = *middle;
}

void
paired_split(benchmark::State &state)
{
    Workload *w = ready(state);
    if (w == nullptr)
        return;
    // The tree's release is left out, as in libyang_parse.
    run_paired(
        state, [w] { return seconds_of([w] { split_once(*w); }); },
        [w] {
            lyd_node *tree = nullptr;
            const double s = seconds_of([w, &tree] { tree = parse_once(*w); });
            lyd_free_all(tree);
            return s;
        });
}

void
paired_join(benchmark::State &state)
{
    Workload *w = ready(state);
    if (w == nullptr)
        return;
    run_paired(
        state, [w] { return seconds_of([w] { join_once(*w); }); },
        [w] { return seconds_of([w] { print_once(*w); }); });
}

// The heap that one call of body takes at its peak, once.
template <typename Body>
void
run_peak(benchmark::State &state, size_t text_bytes, Body body)
{
    for (auto _ : state) {
        dsbench::heap_peak_start();
        body();
        state.counters["peak_heap_bytes"] = double(dsbench::heap_peak_stop());
    }
    state.counters["text_bytes"] = double(text_bytes);
    if (!dsbench::alloc_counting_available())
        state.SkipWithError("this build does not count the heap");
}

void
dstypes_split_peak(benchmark::State &state, const std::string *text)
{
    DsDocError *err = nullptr;
    size_t seen = 0;
    run_peak(state, text->size(), [text, &err, &seen] {
        seen = 0;
        ds_doc_split(text->data(), text->size(), nullptr, count_entry, &seen, &err);
    });
    if (err != nullptr)
        state.SkipWithError(refusal("split", err).c_str());
}

void
libyang_parse_peak(benchmark::State &state)
{
    Workload *w = ready(state);
    if (w == nullptr)
        return;
    run_peak(state, w->document.size(), [w] {
        lyd_node *tree = nullptr;
        lyd_parse_data_mem(w->ctx, w->document.c_str(), LYD_JSON, LYD_PARSE_STRICT,
                           LYD_VALIDATE_PRESENT, &tree);
        lyd_free_all(tree);
    });
}

} // namespace

int
main(int argc, char **argv)
{
    // libyang prints date-and-time in the local time zone, the join in UTC.
    setenv("TZ", "UTC", 1);
    const char *mb = std::getenv("DSBENCH_DOC_MB");
    static const std::string big =
        dsbench::interfaces_document(0, size_t(mb ? std::atoi(mb) : 100) << 20);
    benchmark::RegisterBenchmark("doc_split/dstypes_split", dstypes_split);
    benchmark::RegisterBenchmark("doc_split/libyang_parse", libyang_parse);
    benchmark::RegisterBenchmark("doc_join/dstypes_join", dstypes_join);
    benchmark::RegisterBenchmark("doc_join/dstypes_print", dstypes_print);
    benchmark::RegisterBenchmark("doc_join/libyang_print", libyang_print);
    benchmark::RegisterBenchmark("doc_paired/split_vs_parse", paired_split)->UseManualTime();
    benchmark::RegisterBenchmark("doc_paired/join_vs_print", paired_join)->UseManualTime();
    benchmark::RegisterBenchmark("doc_memory/dstypes_split_big", dstypes_split_peak, &big)
        ->Iterations(1);
    benchmark::RegisterBenchmark("doc_memory/dstypes_split_1000", [](benchmark::State &state) {
        Workload *w = ready(state);
        if (w != nullptr)
            dstypes_split_peak(state, &w->document);
    })->Iterations(1);
    benchmark::RegisterBenchmark("doc_memory/libyang_parse_1000", libyang_parse_peak)
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Workload &w = workload();
    lyd_free_all(w.tree);
    if (w.ctx != nullptr)
        ly_ctx_destroy(w.ctx);
    return 0;
}
