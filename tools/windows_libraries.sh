#!/usr/bin/env bash
# Builds, once, the libraries the Windows build links that Debian ships no MinGW-w64 package of:
# OpenSSL, TagLib, libzip, prometheus-cpp's core, libcurl and GoogleTest, static, from Debian 12's own
# source packages; and lays the header-only ones (cpp-httplib's full header, nlohmann-json, spdlog, fmt,
# CLI11, Boost) beside them with the CMake and pkg-config files the project's find_package calls look for.
#
# The result is a prefix in a cache folder outside the clone, named after the source versions, so a
# second run (or a second clone) reuses it. Prints the prefix on its last line.
#   QUORVANE_CACHE_DIR   where the prefixes live (default: ~/.cache/quorvane)
set -euo pipefail
cd "$(dirname "$0")/.."
project_dir="$PWD"

JOBS="${JOBS:-2}"
HOST=x86_64-w64-mingw32
cache_dir="${QUORVANE_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane}"

# The source versions the archive lists, newest first. A listed version can be gone from a mirror
# already (404), so fetching walks down the list; the version that came is the one that counts.
source_versions() {
  apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -Vr | uniq
}
for package in openssl taglib libzip cpp-httplib prometheus-cpp curl; do
  [[ -n "$(source_versions "$package")" ]] ||
    { echo "windows_libraries.sh: no deb-src entry for $package (run tools/setup.sh --arch windows)" >&2; exit 1; }
done
openssl_version="$(source_versions openssl | head -1)"
taglib_version="$(source_versions taglib | head -1)"
libzip_version="$(source_versions libzip | head -1)"
httplib_version="$(source_versions cpp-httplib | head -1)"
prometheus_version="$(source_versions prometheus-cpp | head -1)"
curl_version="$(source_versions curl | head -1)"
gtest_version="$(dpkg-query -W -f='${Version}' googletest)"
key="$(printf '%s\n' "$openssl_version" "$taglib_version" "$libzip_version" "$httplib_version" "$gtest_version" \
  "$prometheus_version" "$curl_version" "layout 1" | sha256sum | cut -c1-12)"
prefix="$cache_dir/mingw-libraries-$key"
if [[ -f "$prefix/.complete" ]]; then
  echo "$prefix"
  exit 0
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/quorvane-mingw.XXXXXX")"
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig" "$prefix/lib/cmake"

# A toolchain file for the libraries' own CMake builds.
cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER $HOST-gcc-posix)
set(CMAKE_CXX_COMPILER $HOST-g++-posix)
set(CMAKE_RC_COMPILER $HOST-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$HOST $prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
cmake_static=(-G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF)

# Runs a build step with its output in a log, shown only when the step fails (the libraries' own
# warnings are theirs, not ours).
quietly() {
  if ! "$@" >>"$work/step.log" 2>&1; then
    tail -40 "$work/step.log" >&2
    echo "windows_libraries.sh: failed: $*" >&2
    exit 1
  fi
  : >"$work/step.log"
}

fetch() { # package -> prints the unpacked folder
  local version
  for version in $(source_versions "$1"); do
    if (cd "$work" && apt-get source -qq --only-source "$1=$version" >/dev/null 2>&1); then
      echo "== $1 $version" >&2
      find "$work" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -1
      return
    fi
    rm -rf "${work:?}/$1"[-_]*
  done
  echo "windows_libraries.sh: apt-get source $1 failed for every listed version" >&2
  exit 1
}

started=$SECONDS
src="$(fetch openssl)"
cd "$src"
quietly ./Configure mingw64 --cross-compile-prefix=$HOST- no-shared no-tests --prefix="$prefix" --libdir=lib
quietly make build_generated
quietly make -j"$JOBS" build_libs
quietly make install_dev
cd "$project_dir"
rm -rf "$src"

src="$(fetch taglib)"
# Debian took the bundled utfcpp out of TagLib's source; its package's headers stand in.
quietly cmake -S "$src" -B "$work/taglib" "${cmake_static[@]}" -DWITH_ZLIB=ON -DBUILD_EXAMPLES=OFF \
  -DBUILD_BINDINGS=OFF -DCMAKE_CXX_FLAGS="-isystem /usr/include/utf8cpp"
quietly cmake --build "$work/taglib" -j"$JOBS"
quietly cmake --install "$work/taglib"
rm -rf "$src" "$work/taglib"

src="$(fetch libzip)"
# Windows' own crypto (BCrypt) serves its encryption; nothing else is needed for backup archives.
quietly cmake -S "$src" -B "$work/libzip" "${cmake_static[@]}" -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF \
  -DENABLE_MBEDTLS=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DBUILD_TOOLS=OFF \
  -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
quietly cmake --build "$work/libzip" -j"$JOBS"
quietly cmake --install "$work/libzip"
rm -rf "$src" "$work/libzip"

src="$(fetch prometheus-cpp)"
# Its core only (the text format); the transport is the player's own.
quietly cmake -S "$src" -B "$work/prometheus" "${cmake_static[@]}" -DENABLE_PULL=OFF -DENABLE_PUSH=OFF \
  -DENABLE_COMPRESSION=OFF -DENABLE_TESTING=OFF -DUSE_THIRDPARTY_LIBRARIES=OFF -DGENERATE_PKGCONFIG=OFF
quietly cmake --build "$work/prometheus" -j"$JOBS"
quietly cmake --install "$work/prometheus"
rm -rf "$src" "$work/prometheus"

src="$(fetch curl)"
# HTTP(S) for the alerts' webhook and SMTP(S) for their mail, over the OpenSSL above; every other
# protocol and optional library is left out. Certificates come from Windows' own store (the player
# sets CURLSSLOPT_NATIVE_CA there).
curl_off=()
for protocol in FTP FILE TELNET DICT TFTP GOPHER POP3 IMAP RTSP MQTT SMB LDAP LDAPS; do
  curl_off+=("-DCURL_DISABLE_$protocol=ON")
done
quietly cmake -S "$src" -B "$work/curl" "${cmake_static[@]}" "${curl_off[@]}" -DBUILD_CURL_EXE=OFF \
  -DCURL_USE_OPENSSL=ON -DCURL_USE_LIBSSH2=OFF -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DCURL_ZLIB=OFF \
  -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DENABLE_MANUAL=OFF -DENABLE_UNIX_SOCKETS=OFF -DCURL_CA_PATH=none \
  -DCURL_CA_BUNDLE=none
quietly cmake --build "$work/curl" -j"$JOBS"
quietly cmake --install "$work/curl"
rm -rf "$src" "$work/curl"

echo "== GoogleTest $gtest_version" >&2
quietly cmake -S /usr/src/googletest -B "$work/gtest" "${cmake_static[@]}" -DBUILD_GMOCK=ON
quietly cmake --build "$work/gtest" -j"$JOBS"
quietly cmake --install "$work/gtest"
rm -rf "$work/gtest"

# Debian's own httplib.h declares only; its code lives in the shared library. The source has all of it.
src="$(fetch cpp-httplib)"
cp "$src/httplib.h" "$prefix/include/httplib.h"
rm -rf "$src"
cat >"$prefix/lib/pkgconfig/cpp-httplib.pc" <<EOF
prefix=$prefix
Name: cpp-httplib
Description: A C++ header-only HTTP/HTTPS library
Version: ${httplib_version%%+*}
Cflags: -I\${prefix}/include -DCPPHTTPLIB_OPENSSL_SUPPORT -DCPPHTTPLIB_ZLIB_SUPPORT
Libs: -L\${prefix}/lib -lssl -lcrypto -lz -lws2_32 -lcrypt32
EOF

# The header-only libraries, as Debian installs them for the build machine: only their own folders,
# never /usr/include itself, which would put glibc's headers in front of MinGW's.
for library in nlohmann spdlog fmt boost CLI; do
  ln -s "/usr/include/$library" "$prefix/include/$library"
done
header_only_config() { # package target
  mkdir -p "$prefix/lib/cmake/$1"
  cat >"$prefix/lib/cmake/$1/$1Config.cmake" <<EOF
if(NOT TARGET $2)
  add_library($2 INTERFACE IMPORTED)
  set_target_properties($2 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "$prefix/include" ${3:-})
endif()
set($1_FOUND TRUE)
EOF
}
header_only_config nlohmann_json nlohmann_json::nlohmann_json
header_only_config CLI11 CLI11::CLI11
# spdlog and fmt header-only: Debian's CMake files point at their shared libraries.
header_only_config spdlog spdlog::spdlog 'INTERFACE_COMPILE_DEFINITIONS "SPDLOG_FMT_EXTERNAL;FMT_HEADER_ONLY"'
header_only_config Boost Boost::headers
boost_version="$(sed -n 's/^#define BOOST_LIB_VERSION "\(.*\)"/\1/p' /usr/include/boost/version.hpp | tr _ .)"
printf 'set(PACKAGE_VERSION %s)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n' "$boost_version" \
  >"$prefix/lib/cmake/Boost/BoostConfigVersion.cmake"

touch "$prefix/.complete"
echo "== built in $((SECONDS - started)) s, $(du -sh "$prefix" | cut -f1)" >&2
echo "$prefix"
