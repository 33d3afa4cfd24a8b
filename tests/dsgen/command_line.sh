#!/bin/sh
# Two runs give the build's bytes; each failure gives its status and line.
# usage: command_line.sh DSGEN BUILT.c ANNOTATIONS SEARCH_DIR1 SEARCH_DIR2 YANG...
set -u
dsgen=$1 built=$2 annotations=$3 dir1=$4 dir2=$5
shift 5
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expect() { # STATUS FIRST_STDERR_LINE -- ARGS...
    status=$1 line=$2
    shift 3
    "$dsgen" "$@" >/dev/null 2>"$work/err"
    got="$? $(head -n 1 "$work/err")"
    [ "$got" = "$status $line" ] || fail "dsgen $*: expected '$status $line', got '$got'"
}

# Same file names in two directories: the header guard follows the name.
for run in 1 2; do
    mkdir "$work/$run" && "$dsgen" -p "$dir1" -p "$dir2" -a "$annotations" -o "$work/$run/dsgen_ietf.c" \
        -H "$work/$run/dsgen_ietf.h" "$@" 2>/dev/null || fail "run $run exited $?"
done
for file in dsgen_ietf.c dsgen_ietf.h; do
    cmp "$work/1/$file" "$work/2/$file" && cmp "$work/1/$file" "${built%/*}/$file" || fail "$file differs"
done
# Built-in rows are named by their DsBuiltin constant, never by a number.
grep -q '&ds_global_types\[DS_BUILTIN_U8\]' "$work/1/dsgen_ietf.c" &&
    ! grep -q '&ds_global_types\[[0-9]' "$work/1/dsgen_ietf.c" || fail "built-in rows not named"

expect 2 "dsgen: -o OUT.c is required" -- "$here/dsgen-refused.yang"
expect 2 "dsgen: --string-size 0x10: expected a number from 1 to 65535" -- --string-size 0x10 -o "$work/x.c" "$here/dsgen-refused.yang"
expect 1 "dsgen: error: $here/dsgen-refused.yang: /dsgen-refused:code: 2 patterns must all match, and no single POSIX expression is known for them (give the expression as \"pattern\" for this path in the annotation file)" -- -o "$work/x.c" "$here/dsgen-refused.yang"
expect 0 "dsgen: warning: $here/dsgen-refused.yang: /dsgen-refused:reset: RPC left out of the key forest (operations and notifications have no keys)" -- -a "$here/dsgen-refused.annotations.json" -o "$work/x.c" "$here/dsgen-refused.yang"
grep -q '"^\[a-z\]{2,4}\$"' "$work/x.c" || fail "the annotated pattern is not in the module"
expect 1 "dsgen: error: $here/dsgen-refused.yang: /dsgen-refused:reset: RPC left out of the key forest (operations and notifications have no keys)" -- --strict -a "$here/dsgen-refused.annotations.json" -o "$work/x.c" "$here/dsgen-refused.yang"
expect 1 "dsgen: error: $dir1/ietf-ip@2018-02-22.yang: Data model \"ietf-interfaces\" not found in local searchdirs. (fix the model or the search path (-p))" -- -o "$work/x.c" "$dir1/ietf-ip@2018-02-22.yang"
printf 'module big { namespace "urn:big"; prefix b; leaf big { type uint64 { range "9223372036854775808..max"; } } }\n' >"$work/big.yang"
expect 1 "dsgen: error: $work/big.yang: /big:big: every value of this range lies above 2^63-1, beyond the signed 64-bit bounds of an int: the type has no libdstypes form (lower the range, or leave the module out)" -- -o "$work/x.c" "$work/big.yang"
printf 'module parts { namespace "urn:parts"; prefix p; leaf u { type union { type binary; type string { length "0..1 | 29..34"; pattern "[a.]{1,3}"; } } } }\n' >"$work/parts.yang"
expect 0 "dsgen: warning: $work/parts.yang: /parts:u: the length of a union member with a pattern is not enforced: the union holds texts of up to 34 characters (give the expression as \"pattern\" for this path in the annotation file)" -- --string-size 16 -o "$work/x.c" "$work/parts.yang"
printf '{"paths": {}} x' >"$work/trailing.json"
expect 1 "dsgen: error: $work/trailing.json: not JSON: unexpected character (fix the annotation file)" -- -a "$work/trailing.json" -o "$work/x.c" "$here/dsgen-refused.yang"
exit "$failures"
