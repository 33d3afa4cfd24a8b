#!/bin/sh
# dstool check over each module, by bare file name from a scratch directory,
# then over a module that shadows one of the example's types and the example:
# every line and exit status as the expected file says, byte for byte.
# usage: check_test.sh DSTOOL EXAMPLE.so EXPECTED MODULE.so...
set -eu
tool=$1 example=$2 expected=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$example" "$@" "$work"
cd "$work"
check() {
  status=0
  "$tool" check "$@" >>actual 2>&1 || status=$?
  echo "exit $status" >>actual
}
for module in "$@" "$example"; do check "$(basename "$module")"; done
check robust_shadow.so example.so
diff -u "$expected" actual
