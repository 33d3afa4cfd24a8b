# Cross-compiles libdstypes for 64-bit Arm Linux on a Debian amd64 machine:
# Debian's aarch64-linux-gnu compilers (crossbuild-essential-arm64) and the
# arm64 -dev packages installed beside the host's through multiarch
# (dpkg --add-architecture arm64). Test programs run under qemu-user.
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# The arm64 .pc files live in the multiarch directory; the host's must not
# be seen, or the build would link the amd64 json-c.
find_program(PKG_CONFIG_EXECUTABLE NAMES aarch64-linux-gnu-pkg-config REQUIRED)

# Programs run on the arm64 runtime of the multiarch packages (libc6:arm64,
# libstdc++6:arm64, which bring /lib/ld-linux-aarch64.so.1), never with qemu's
# -L /usr/aarch64-linux-gnu: that loader would pull the multiarch libc.so.6
# through the host's loader cache, and a loader and libc of different glibc
# builds disagree on internal structures (pthread_create then never returns).
# A program cannot execute itself again under qemu-user unless the kernel
# hands arm64 programs to qemu (binfmt_misc), which a CI machine need not
# allow: the allocation-failure test re-executes itself only to run without
# glibc's per-thread malloc cache, so every program starts that way.
find_program(DSTYPES_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(DSTYPES_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DSTYPES_QEMU_AARCH64} -E GLIBC_TUNABLES=glibc.malloc.tcache_count=0)
endif()

# Headers, libraries and packages only for the target; programs (pkg-config,
# python, clang-format) from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
