#!/bin/sh
# Fails when a C or C++ source of the project is not formatted as .clang-format says.
# usage: check_format.sh CLANG_FORMAT SOURCE_DIR
set -eu
clang_format=$1
cd "$2"
files=$(find include types codec registry keys diag tests tools modules bench \
        -name '*.c' -o -name '*.cpp' -o -name '*.h' 2>/dev/null | grep -v '/corpus/' | sort)
"$clang_format" --dry-run --Werror $files
echo "$(echo "$files" | wc -l) files formatted"
