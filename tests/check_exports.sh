#!/bin/sh
# Compares the names that the shared object exports with the version script.
# usage: check_exports.sh LIBRARY VERSION_SCRIPT
set -eu
lib=$1
map=$2
expected=$(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\);$/\1/p' "$map" | sort)
actual=$(nm -D --defined-only "$lib" | awk '$2 != "A" {print $3}' | sed 's/@.*//' | sort)
if [ "$expected" != "$actual" ]; then
    echo "exported names differ from $map:"
    diff -u "$(printf '%s\n' "$expected" > /tmp/exp.$$; echo /tmp/exp.$$)" \
            "$(printf '%s\n' "$actual" > /tmp/act.$$; echo /tmp/act.$$)" || true
    rm -f /tmp/exp.$$ /tmp/act.$$
    exit 1
fi
echo "$(printf '%s\n' "$actual" | wc -l) names exported, as listed"
