#!/bin/sh
# The README's CMake example exactly as printed, with its annotation file,
# against a tree installed under a prefix: dstypes_add_schema_module()
# compiles Debian's IETF models into a module that exports the five tables
# and the document data, and passes dstool check; the project's plain install
# writes nothing (the module directory lies outside every prefix), and its
# "modules" component puts the module into the module directory.
# usage: installed_tree.sh BUILD_DIR README LIBDIR (the build's CMAKE_INSTALL_LIBDIR)
set -eu
build=$1 readme=$2 libdir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
DESTDIR="$work/root" cmake --install "$build" --prefix /p >/dev/null
prefix="$work/root/p"
export LD_LIBRARY_PATH="$prefix/$libdir"
moddir=$(sed -n 's/^moduledir=//p' "$prefix/$libdir/pkgconfig/dstypes.pc")

block() { awk -v open="\`\`\`$1" '$0 == open { on = 1; next } on && /^```$/ { exit } on' "$readme"; }
mkdir "$work/src"
block cmake >"$work/src/CMakeLists.txt"
block json >"$work/src/ietf_ip.json"
grep -q 'ANNOTATIONS ietf_ip.json' "$work/src/CMakeLists.txt" ||
    { echo "README.md: the CMake example does not name the annotation file ietf_ip.json"; exit 1; }
cmake -S "$work/src" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
module="$work/build/ietf_ip.so"
exports=$(nm -D --defined-only "$module" | awk '$3 ~ /^ds_/ {print $3}' | sort | tr '\n' ' ')
[ "$exports" = "ds_alarm_count ds_alarms ds_doc_schema ds_keys ds_type_count ds_types " ] ||
    { echo "ietf_ip.so exports: $exports"; exit 1; }
"$prefix/bin/dstool" check "$module"

DESTDIR="$work/plain" cmake --install "$work/build" --prefix /p >/dev/null
if [ -d "$work/plain" ]; then
    echo "a plain install wrote: $(find "$work/plain" ! -type d)"
    exit 1
fi
DESTDIR="$work/component" cmake --install "$work/build" --component modules >/dev/null
test -f "$work/component$moddir/ietf_ip.so" || { echo "the modules component did not install $moddir/ietf_ip.so"; exit 1; }
echo "installed by the modules component alone: $moddir/ietf_ip.so"
