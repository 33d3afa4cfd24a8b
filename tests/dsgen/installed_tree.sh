#!/bin/sh
# An installed tree's dstypes_add_schema_module() builds and installs a module.
# usage: installed_tree.sh BUILD_DIR YANG_DIR (the directory of ietf-interfaces and ietf-ip)
set -eu
build=$1 yang=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" --component Unspecified >/dev/null
export LD_LIBRARY_PATH="$work/prefix/lib"
mkdir "$work/src"
cat >"$work/src/CMakeLists.txt" <<END
cmake_minimum_required(VERSION 3.25)
project(schema C)
find_package(dstypes 1 REQUIRED)
dstypes_add_schema_module(ietf_ip $yang/ietf-interfaces@2018-02-20.yang $yang/ietf-ip@2018-02-22.yang
  SEARCH_PATH $yang DESTINATION $work/moddir)
END
cmake -S "$work/src" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null 2>&1
cmake --install "$work/build" --component modules >/dev/null
nm -D --defined-only "$work/moddir/ietf_ip.so" | awk '{print $3}' | grep '^ds_' | sort | tr '\n' ' '
