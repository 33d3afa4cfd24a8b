#!/bin/sh
# dsgen's command line: two runs give the same bytes as the build's, and
# each failure exits with its status and its one line on standard error.
# usage: command_line.sh DSGEN BUILT.c ANNOTATIONS SEARCH_DIR1 SEARCH_DIR2 YANG...
set -u
dsgen=$1 built=$2 annotations=$3 dir1=$4 dir2=$5
shift 5
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect STATUS FIRST_STDERR_LINE -- ARGS...: the exit status and the first line.
expect() {
    status=$1 line=$2
    shift 3
    "$dsgen" "$@" >/dev/null 2>"$work/err"
    got=$?
    first=$(head -n 1 "$work/err")
    if [ "$got" != "$status" ] || [ "$first" != "$line" ]; then
        echo "FAIL: dsgen $*"
        echo "  expected $status: $line"
        echo "  got      $got: $first"
        failures=$((failures + 1))
    fi
}

# Same file names in two directories: the header guard follows the name.
for run in 1 2; do
    mkdir "$work/$run"
    "$dsgen" -p "$dir1" -p "$dir2" -a "$annotations" -o "$work/$run/dsgen_ietf.c" -H "$work/$run/dsgen_ietf.h" "$@" 2>/dev/null ||
        { echo "FAIL: run $run exited $?"; failures=$((failures + 1)); }
done
for file in dsgen_ietf.c dsgen_ietf.h; do
    cmp "$work/1/$file" "$work/2/$file" && cmp "$work/1/$file" "$(dirname "$built")/$file" ||
        { echo "FAIL: $file differs between runs"; failures=$((failures + 1)); }
done

expect 2 "dsgen: -o OUT.c is required" -- "$here/dsgen-refused.yang"
expect 2 "dsgen: no YANG module given" -- -o "$work/x.c"
expect 2 "dsgen: --string-size 0x10: expected a number from 1 to 65535" -- --string-size 0x10 -o "$work/x.c" "$here/dsgen-refused.yang"
expect 2 "dsgen: unknown option --bogus" -- --bogus
expect 1 "dsgen: error: $here/dsgen-refused.yang: /dsgen-refused:code: 2 patterns must all match, and no single POSIX expression is known for them (give the expression as \"pattern\" for this path in the annotation file)" -- -o "$work/x.c" "$here/dsgen-refused.yang"
expect 0 "dsgen: warning: $here/dsgen-refused.yang: /dsgen-refused:reset: RPC left out of the key forest (operations and notifications have no keys)" -- -a "$here/dsgen-refused.annotations.json" -o "$work/x.c" "$here/dsgen-refused.yang"
grep -q '"^\[a-z\]{2,4}\$"' "$work/x.c" || { echo "FAIL: the annotated pattern is not in the module"; failures=$((failures + 1)); }
expect 1 "dsgen: error: $here/dsgen-refused.yang: /dsgen-refused:reset: RPC left out of the key forest (operations and notifications have no keys)" -- --strict -a "$here/dsgen-refused.annotations.json" -o "$work/x.c" "$here/dsgen-refused.yang"
expect 1 "dsgen: error: $here/dsgen-broken.yang: /dsgen-broken:x: Referenced type \"no-such-type\" not found. (fix the model or the search path (-p))" -- -o "$work/x.c" "$here/dsgen-broken.yang"
printf '{"paths": {}} x' >"$work/trailing.json"
expect 1 "dsgen: error: $work/trailing.json: not JSON: unexpected character (fix the annotation file)" -- -a "$work/trailing.json" -o "$work/x.c" "$here/dsgen-refused.yang"
[ "$failures" -eq 0 ] && echo "command line: all cases pass"
exit "$failures"
