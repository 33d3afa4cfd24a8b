#!/bin/sh
# Builds every fuzz target with clang, libFuzzer, ASan and UBSan in a build
# directory of its own and runs each for SECONDS seconds over a working corpus
# there (the kept seeds in corpus/<target>/ are read, never written). A crash
# leaves its input as crash-* in the build's fuzz folder and fails the script.
# Inputs may grow to 1 MiB from the start (-len_control=0), and an input that
# takes longer than TIMEOUT seconds (default 5) is a finding like a crash
# (timeout-*): every text check is linear in its text and takes milliseconds
# at that size even under the sanitizers, so only a check that reads a text
# again and again gets near it.
# usage: tests/fuzz/run.sh SECONDS [BUILD_DIR]
set -eu
seconds=${1:?usage: run.sh SECONDS [BUILD_DIR]}
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${2:-$src/build-fuzz}
mkdir -p "$build"
build=$(cd "$build" && pwd) # absolute: each target runs from inside it
targets="canonical packed keys field bitmap descriptors forest replacements split"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g"
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DDSTYPES_FUZZ=ON >/dev/null
out=$build/tests/fuzz
status=0
for target in $targets; do
  cmake --build "$build" --target "fuzz_$target" -j2 >/dev/null
  dict=
  [ -f "$src/tests/fuzz/$target.dict" ] && dict=-dict=$src/tests/fuzz/$target.dict
  # Targets kept beside the tests they belong to have their corpus there.
  corpus=$src/tests/fuzz/corpus/$target bin=$out/fuzz_$target
  [ -d "$corpus" ] || corpus=$(echo "$src"/tests/*/corpus/"$target")
  [ -x "$bin" ] || bin=$(echo "$build"/tests/*/fuzz_"$target")
  mkdir -p "$out/work-$target"
  echo "== fuzz_$target for ${seconds}s"
  (cd "$out" && "$bin" -max_total_time="$seconds" -print_final_stats=1 -timeout="${TIMEOUT:-5}" \
      -max_len=1048576 -len_control=0 -report_slow_units=1 -rss_limit_mb=4096 \
      $dict "$out/work-$target" "$corpus") >"$out/$target.log" 2>&1 || status=1
  grep -E '^stat::number_of_executed_units|^stat::new_units_added|^stat::peak_rss|Slowest unit|ERROR|violated' \
    "$out/$target.log" || true
done
exit $status
