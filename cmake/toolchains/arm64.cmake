# Cross build for 64-bit ARM Debian (a Raspberry Pi with Raspberry Pi OS "bookworm"), with Debian's
# crossbuild-essential-arm64 and the :arm64 development packages installed through multiarch, which
# put the target's libraries in /usr/lib/aarch64-linux-gnu beside the build machine's own.
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm64.cmake
# The programs of the build (tests, the package's checks) run through qemu user emulation.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Headers and libraries of the target only; the build machine's programs (cmake, sh) stay usable.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Multiarch puts the arm64 loader at /lib/ld-linux-aarch64.so.1, so qemu needs no separate root.
find_program(QUORVANE_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVANE_QEMU_AARCH64})
