#!/usr/bin/env bash
# Builds the Debian package of the player: build/quorvane-player_<version>_<arch>.deb, installing to
# /usr with the systemd service. Install it with:  apt install ./build/quorvane-player_*.deb
# Uses the build folder of run.sh and test.sh (its settings are kept when it exists).
#   --arch arm64   cross-builds for 64-bit ARM (a Raspberry Pi with Raspberry Pi OS bookworm) into
#                  build-arm64/ instead: build-arm64/quorvane-player_<version>_arm64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
ARCH=""
while (($#)); do
  case "$1" in
    --arch) ARCH="${2:?--arch needs an architecture}"; shift 2 ;;
    *) echo "package.sh: unknown argument $1 (known: --arch arm64)" >&2; exit 2 ;;
  esac
done

if [ -z "$ARCH" ]; then
  bash tools/setup.sh
  build=build
  configure=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
else
  bash tools/setup.sh --arch "$ARCH"
  build="build-$ARCH"
  configure=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/$ARCH.cmake"
             -DQUORVANE_BENCH=OFF)
fi
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" >/dev/null
else
  cmake -S . -B "$build" "${configure[@]}" >/dev/null
fi
# Only what the package holds; the tests and benchmarks are not needed for it.
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target quorvane-player version_info packaging_docs
(cd "$build" && cpack -G DEB)
echo "Package: $(ls "$build"/quorvane-player_"$(cat "$build/version.info")"_*.deb)"
