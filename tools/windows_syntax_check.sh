#!/usr/bin/env bash
# Compiles every source file of the program for Windows with MinGW-w64 (syntax and types only, no
# linking), against the header-only parts of Debian's library packages and the Windows API headers.
# Catches POSIX calls and narrow-path conversions that would break the Windows build.
set -euo pipefail
cd "$(dirname "$0")/.."

# The posix thread model: the win32 one of GCC 12 has no std::thread or std::mutex (MSYS2's GCC
# uses the posix model too).
CXX="${WINDOWS_CXX:-x86_64-w64-mingw32-g++-posix}"
JOBS="${JOBS:-2}"
include_dir="build-windows/include"

# Only the library folders, never /usr/include itself: that would pull glibc's headers in front of
# MinGW's.
rm -rf "$include_dir"
mkdir -p "$include_dir/openssl"
for library in nlohmann spdlog fmt boost CLI taglib; do
  ln -s "/usr/include/$library" "$include_dir/$library"
done
ln -s /usr/include/httplib.h "$include_dir/httplib.h"
# libzip (backup archives): its two headers.
ln -s /usr/include/zip.h "$include_dir/zip.h"
ln -s /usr/include/zipconf.h "$include_dir/zipconf.h"
# OpenSSL keeps its configuration headers in the multiarch folder; put both into one folder.
for header in /usr/include/openssl/*.h /usr/include/x86_64-linux-gnu/openssl/*.h; do
  ln -sf "$header" "$include_dir/openssl/$(basename "$header")"
done

flags=(-std=c++20 -fsyntax-only
  -Wall -Wextra -Wshadow -Wno-missing-field-initializers -Werror
  # As CMakeLists.txt defines them for Windows builds.
  -DNOGDI -DNOMINMAX -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0A00
  -DQUORVANE_SERVICE_URL_DEV='"http://127.0.0.1:5002"' -DQUORVANE_SERVICE_URL_RELEASE='"https://service.quorvane.com"'
  -DSPDLOG_FMT_EXTERNAL -DFMT_HEADER_ONLY -DCPPHTTPLIB_OPENSSL_SUPPORT
  -Isrc -isystem "$include_dir")

log_dir="build-windows/logs"
rm -rf "$log_dir"
mkdir -p "$log_dir"
check_one() {
  local source="$1"
  shift
  local log="$log_dir/$(echo "$source" | tr / _).log"
  if ! "$CXX" "$@" "$source" >"$log" 2>&1; then
    echo "FAILED for Windows: $source (messages in $log)"
  fi
}
export -f check_one
export CXX log_dir
results="$(find src -name '*.cpp' -print0 | sort -z |
  xargs -0 -P"$JOBS" -I{} bash -c 'check_one "$@"' check_one {} "${flags[@]}")"

if [ -n "$results" ]; then
  echo "$results" | sort
  echo "$(echo "$results" | wc -l) source file(s) do not compile for Windows" >&2
  exit 1
fi
echo "all $(find src -name '*.cpp' | wc -l) source files compile for Windows"
