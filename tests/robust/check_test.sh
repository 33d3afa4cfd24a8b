#!/bin/sh
# dstool check over each broken module, by bare file name from a scratch
# directory (so that the lines do not depend on the build tree), then the
# example module alone and after a module that shadows one of its types.
# Every line and exit status must match the expected file byte for byte.
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
