#!/bin/sh
# Installs the build tree as a user would, `cmake --install BUILD --prefix P`,
# staged under a scratch DESTDIR so that a rule with an absolute destination
# shows up here instead of writing into the system, and checks that every
# file lies under P. Then builds and runs against P: a C and a C++ consumer
# through pkg-config and find_package, the README's C and C++ examples exactly
# as printed there (the C one built; the C++ one built with the dstypes++
# pkg-config name and through find_package without asking for C++20 itself,
# and run; the document one built through pkg-config and find_package), and a
# C-only CMake project.
# usage: run.sh BUILD_DIR CONSUMER_SOURCE_DIR README SANITIZE(ON/OFF) LIBDIR
#               INCLUDEDIR PC_RELOCATABLE(ON/OFF)
# LIBDIR and INCLUDEDIR are the build's CMAKE_INSTALL_LIBDIR and
# CMAKE_INSTALL_INCLUDEDIR (lib/x86_64-linux-gnu in a Debian build). A cross
# build sets CC, CXX and PKG_CONFIG to the target's tools and DSTEST_EMULATOR
# to the command that runs the target's programs.
set -eu
build=$1 src=$2 readme=$3 libdir=$5 includedir=$6
flags=""
case "$4" in
ON | on | TRUE | true | 1) flags="-fsanitize=address,undefined" ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DESTDIR="$work/root" cmake --install "$build" --prefix /p >/dev/null
outside=$(find "$work/root" -mindepth 1 -maxdepth 1 ! -path "$work/root/p")
if [ -n "$outside" ]; then
    echo "cmake --install --prefix /p wrote outside /p:"
    find $outside ! -type d | sed "s|^$work/root||"
    exit 1
fi
prefix="$work/root/p"
lib="$prefix/$libdir"
for f in "$includedir/dstypes.h" "$includedir/dstypes.hpp" "$includedir/dstypes_base.hpp" \
         "$includedir/dstypes_json.hpp" "$includedir/dstypes_json_pull.hpp" "$includedir/dstypes_json_chars.hpp" \
         "$includedir/dstypes_keys.hpp" "$includedir/dstypes_parse.hpp" \
         "$includedir/dstypes_path.hpp" "$includedir/dstypes_views.hpp" "$includedir/dstypes_doc_schema.h" \
         "$includedir/dstypes_doc.h" "$includedir/dstypes_doc.hpp" "$libdir/libdstypes-doc.so" \
         "$libdir/pkgconfig/dstypes-doc.pc" "$libdir/libdstypes.so" "$libdir/librk_syslog.so" \
         "$libdir/pkgconfig/dstypes.pc" "$libdir/pkgconfig/dstypes++.pc" "$libdir/cmake/dstypes/dstypesConfig.cmake" \
         "$libdir/cmake/dstypes/dstypesDocTargets.cmake"; do
    test -e "$prefix/$f" || { echo "not installed: $f"; exit 1; }
done
export PKG_CONFIG_PATH="$lib/pkgconfig"
export LD_LIBRARY_PATH="$lib"
# A relocatable dstypes.pc finds the prefix from its own place; a package's
# names its fixed prefix, which is told where the tree is now.
pkg_config="${PKG_CONFIG:-pkg-config}"
case "$7" in
ON | on | TRUE | true | 1) ;;
*) pkg_config="$pkg_config --define-variable=prefix=$prefix" ;;
esac

# Only a native linker looks for librk_syslog.so, which libdstypes.so needs,
# along LD_LIBRARY_PATH; a cross linker is told where it is.
run=${DSTEST_EMULATOR:-}
pc() { echo "$($pkg_config --cflags --libs "$1") -Wl,-rpath-link,$lib"; }
${CC:-cc} $flags -o "$work/c_pc" "$src/c_consumer.c" $(pc dstypes)
${CXX:-c++} $flags -o "$work/cpp_pc" "$src/cpp_consumer.cpp" $(pc dstypes)
${CC:-cc} $flags -o "$work/doc_pc" "$src/doc_consumer.c" $(pc dstypes-doc)
$run "$work/c_pc"
$run "$work/cpp_pc"
$run "$work/doc_pc" 2>/dev/null

# The README's examples, exactly as a reader would copy them: block LANG [N]
# prints the Nth block fenced as LANG (the first by default).
block() {
    awk -v open="\`\`\`$1" -v nth="${2:-1}" \
        '$0 == open && ++seen == nth { on = 1; next } on && /^```$/ { exit } on' "$readme"
}
block c >"$work/example.c"
block c 2 >"$work/example_doc.c"
block cpp >"$work/example.cpp"
for f in example.c example_doc.c example.cpp; do
    grep -q '^int main' "$work/$f" || { echo "README.md has no $f"; exit 1; }
done
# The C example looks its type up, which needs the module directory: it runs
# where the packages are installed (.ci/package-install); here it is built.
${CC:-cc} $flags -o "$work/example_c" "$work/example.c" $(pc dstypes)
${CC:-cc} $flags -Wall -Wextra -Werror -o "$work/example_doc" "$work/example_doc.c" $(pc dstypes-doc)
${CXX:-c++} $flags -o "$work/example_cpp" "$work/example.cpp" $(pc dstypes++)
$run "$work/example_cpp" >/dev/null

cmake -S "$src" -B "$work/cm" -DCMAKE_PREFIX_PATH="$prefix" -DDSTYPES_README_EXAMPLE="$work/example.cpp" \
      -DDSTYPES_README_DOC_EXAMPLE="$work/example_doc.c" \
      -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/cm" >/dev/null
$run "$work/cm/c_consumer"
$run "$work/cm/cpp_consumer"
$run "$work/cm/doc_consumer" 2>/dev/null
$run "$work/cm/readme_cpp_example" >/dev/null
# A C project never meets the C++ requirement that dstypes::dstypes carries.
cmake -S "$src" -B "$work/c_only" -DCMAKE_PREFIX_PATH="$prefix" -DDSTYPES_C_ONLY=ON -DCMAKE_C_FLAGS="$flags" >/dev/null
cmake --build "$work/c_only" >/dev/null
$run "$work/c_only/c_consumer"
echo "13 consumers built, 9 ran, against the tree installed under the prefix alone"
