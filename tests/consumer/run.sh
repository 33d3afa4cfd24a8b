#!/bin/sh
# Installs the build tree into a scratch prefix, then builds and runs a C and a
# C++ consumer against it, once through pkg-config and once through find_package,
# and the C++ example of README.md through find_package.
# usage: run.sh BUILD_DIR CONSUMER_SOURCE_DIR SANITIZE(ON/OFF)
# A cross build sets CC, CXX and PKG_CONFIG to the target's tools and
# DSTEST_EMULATOR to the command that runs the target's programs.
set -eu
build=$1
src=$2
flags=""
case "${3:-OFF}" in
ON | on | TRUE | true | 1) flags="-fsanitize=address,undefined" ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The default component only: schema modules install into the absolute
# module directory, which a scratch prefix must not touch.
cmake --install "$build" --prefix "$work/prefix" --component Unspecified >/dev/null
lib="$work/prefix/lib"
export PKG_CONFIG_PATH="$lib/pkgconfig"
export LD_LIBRARY_PATH="$lib"

for f in include/dstypes.h include/dstypes.hpp lib/libdstypes.so lib/librk_syslog.so lib/pkgconfig/dstypes.pc \
         lib/cmake/dstypes/dstypesConfig.cmake; do
    test -e "$work/prefix/$f" || { echo "not installed: $f"; exit 1; }
done

# Only a native linker looks for librk_syslog.so, which libdstypes.so needs,
# along LD_LIBRARY_PATH; a cross linker is told where it is.
run=${DSTEST_EMULATOR:-}
pc="$(${PKG_CONFIG:-pkg-config} --cflags --libs dstypes) -Wl,-rpath-link,$lib"
${CC:-cc} $flags -o "$work/c_pc" "$src/c_consumer.c" $pc
${CXX:-c++} $flags -o "$work/cpp_pc" "$src/cpp_consumer.cpp" $pc
$run "$work/c_pc"
$run "$work/cpp_pc"

# The README's only C++ block, exactly as a reader would copy it.
sed -n '/^```cpp$/,/^```$/p' "$src/../../README.md" | sed '1d;$d' >"$work/readme_example.cpp"
test -s "$work/readme_example.cpp" || { echo "README.md has no C++ example"; exit 1; }

cmake -S "$src" -B "$work/cm" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DDSTYPES_README_EXAMPLE="$work/readme_example.cpp" \
      -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/cm" >/dev/null
$run "$work/cm/c_consumer"
$run "$work/cm/cpp_consumer"
$run "$work/cm/readme_cpp_example"
echo "5 consumers ran against the installed tree"
