#!/bin/bash
# Builds the benchmarks in Release and runs them all, writing the JSON results,
# the ratio report and the lookup chart into BUILD_DIR/bench/results.
#
#   bench/run.sh BUILD_DIR          full run (a few minutes)
#   bench/run.sh --smoke BUILD_DIR  every benchmark once, briefly, into a
#                                   scratch directory; fails when a figure is
#                                   missing (the test suite runs this)
#
# The lookup benchmark runs once per module count, with the module directory
# filled before the process starts, since the module list is built once per
# process; so does the loading benchmark, which fills it itself (1,000 and
# 10,000 generated modules, three runs each; 10 and 100 in the smoke run).
# The document benchmark runs niced, beside the YANG workload.
set -euo pipefail

smoke=false
if [ "${1:-}" = "--smoke" ]; then
    smoke=true
    shift
fi
if [ $# -ne 1 ]; then
    echo "usage: $0 [--smoke] BUILD_DIR" >&2
    exit 64
fi
build=$(realpath -m "$1")
src=$(cd "$(dirname "$0")/.." && pwd)
bench="$build/bench"

if $smoke; then
    results=$(mktemp -d)
    trap 'rm -rf "$results"' EXIT
    time_args=(--benchmark_min_time=0.001)
else
    cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDSTYPES_BENCH=ON >/dev/null
    results="$bench/results"
    mkdir -p "$results"
    rm -f "$results"/*.json
    # The machine is shared: five repetitions in random order, reported by
    # their median, keep a burst of foreign load from skewing one figure.
    time_args=(--benchmark_min_time=0.3 --benchmark_repetitions=5
               --benchmark_enable_random_interleaving=true
               --benchmark_report_aggregates_only=true)
fi
cmake --build "$build" --target codec_bench cpp_bench registry_bench load_bench -j2 >/dev/null
# The YANG workload needs dsgen and Debian's IETF models (.ci/deps yang).
yang=false
cmake --build "$build" --target yang_bench doc_bench -j2 >/dev/null 2>&1 && yang=true

run() { # run NAME BINARY [ARGS...]: one benchmark process, JSON into results
    local name=$1
    shift
    echo "== $name" >&2
    "$@" "${time_args[@]}" --benchmark_out="$results/$name.json" \
        --benchmark_out_format=json >&2
}

run codec "$bench/codec_bench"
run cpp "$bench/cpp_bench"
for modules in 1 10 100; do
    find "$bench/moddir" -maxdepth 1 -name '*.so' -delete
    for ((i = 0; i < modules; i++)); do
        cp "$bench/modules/$(printf 'mod_%03d.so' "$i")" "$bench/moddir/"
    done
    run "registry_$modules" "$bench/registry_bench"
done
find "$bench/moddir" -maxdepth 1 -name '*.so' -delete
load_counts=(1000 10000)
load_runs=3
if $smoke; then
    load_counts=(10 100)
    load_runs=1
fi
for modules in "${load_counts[@]}"; do
    for ((i = 1; i <= load_runs; i++)); do
        echo "== load_${modules} ($i)" >&2
        "$bench/load_bench" "$modules" --benchmark_out="$results/load_${modules}_$i.json" \
            --benchmark_out_format=json >&2
    done
done
if $yang; then
    # The same 1,000 interfaces for both libraries, from a fixed seed.
    data="$results/yang-data"
    mkdir -p "$data"
    python3 "$src/bench/yang_data.py" 1 1000 "$data"
    cp "$bench/yang/dsbench_ietf.so" "$bench/moddir/"
    DSBENCH_YANG_DATA=$data run yang "$bench/yang_bench"
    # Documents: split and join of 1,000 interfaces against libyang, and the
    # peak heap of a split of 100 MB (1 MB in the smoke run), niced: the
    # machine is shared.
    doc_mb=100
    $smoke && doc_mb=1
    DSBENCH_DOC_MB=$doc_mb run doc nice "$bench/doc_bench"
    # The first lookup with 1, 100 and 1,000 copies of the module.
    for modules in 1 100 1000; do
        find "$bench/moddir" -maxdepth 1 -name '*.so' -delete
        for ((i = 0; i < modules; i++)); do
            cp "$bench/yang/dsbench_ietf.so" "$bench/moddir/$(printf 'ietf_%04d.so' "$i")"
        done
        "$bench/yang_bench" --load-only --benchmark_out="$results/yang_load_$modules.json" \
            --benchmark_out_format=json >&2
    done
    find "$bench/moddir" -maxdepth 1 -name '*.so' -delete
fi

status=0
python3 "$src/bench/report.py" "$results" >"$results/report.md" || status=$?
cat "$results/report.md"
if ! $smoke; then
    plotter=python3
    python3 -c 'import matplotlib' 2>/dev/null || plotter=/usr/bin/python3
    "$plotter" "$src/bench/plot_lookup.py" "$results" "$results/lookup.png" ||
        echo "no chart: matplotlib is missing (python3-matplotlib)" >&2
    echo "results: $results" >&2
fi
exit $status
