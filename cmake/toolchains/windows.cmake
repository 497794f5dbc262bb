# Cross build for 64-bit Windows with Debian's MinGW-w64 GCC, posix thread model (the win32 model of
# GCC 12 has no std::thread or std::mutex). The libraries Debian ships no MinGW build of come from the
# prefix that tools/windows_libraries.sh builds:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/windows.cmake \
#         -DQUORVANE_WINDOWS_LIBRARIES=<prefix>
# The programs of the build run under Wine (tools/wine_run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT QUORVANE_WINDOWS_LIBRARIES AND DEFINED ENV{QUORVANE_WINDOWS_LIBRARIES})
  set(QUORVANE_WINDOWS_LIBRARIES $ENV{QUORVANE_WINDOWS_LIBRARIES})
endif()
if(NOT QUORVANE_WINDOWS_LIBRARIES)
  message(FATAL_ERROR "Set QUORVANE_WINDOWS_LIBRARIES to the prefix that tools/windows_libraries.sh prints")
endif()
set(QUORVANE_WINDOWS_LIBRARIES ${QUORVANE_WINDOWS_LIBRARIES} CACHE PATH "MinGW-w64 libraries built from Debian's sources")
# Try-compiles run with a copy of this file; hand the prefix on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVANE_WINDOWS_LIBRARIES)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QUORVANE_WINDOWS_LIBRARIES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} ${QUORVANE_WINDOWS_LIBRARIES}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(OPENSSL_ROOT_DIR ${QUORVANE_WINDOWS_LIBRARIES})
set(OPENSSL_USE_STATIC_LIBS TRUE)

# One self-contained program: no MinGW DLL has to travel with it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../tools/wine_run.sh)
