#!/usr/bin/env bash
# Installs everything the project needs to build, run and test on Debian 12.
# Idempotent: packages already present are left alone, so a second run is quick.
#   --arch arm64   also what the cross build for 64-bit ARM (a Raspberry Pi) needs: Debian's cross
#                  compiler, the target's development packages through multiarch, and qemu to run the
#                  target's programs here.
#   --arch windows also what the Windows build needs: Debian's MinGW-w64, Wine to run its programs, NSIS
#                  for the installer, and the source packages of the libraries that Debian builds for
#                  Linux only (tools/windows_libraries.sh builds them).
set -euo pipefail

CROSS_ARCH=""
while (($#)); do
  case "$1" in
    --arch) CROSS_ARCH="${2:?--arch needs an architecture}"; shift 2 ;;
    *) echo "setup.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO="sudo"

PACKAGES=(
  cmake g++ make pkg-config git ccache ca-certificates
  libcpp-httplib-dev nlohmann-json3-dev libspdlog-dev libcli11-dev libtag1-dev libssl-dev
  libboost-dev prometheus-cpp-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libzip-dev
  clang clang-format libfuzzer-14-dev libclang-rt-14-dev
  sox libsox-fmt-mp3 mpg123 alsa-utils espeak-ng
  libsystemd-dev systemd dpkg-dev file lintian shellcheck
  # promtool (in prometheus) checks the district's scrape configuration and alert rules; the district's
  # copy script runs with curl and jq.
  wrk faketime prometheus curl jq
  chromium nodejs npm esbuild
)

# apt-get source needs deb-src entries; add ones that mirror the deb entries of Debian's own list.
add_source_lists() {
  local list=/etc/apt/sources.list.d/debian.sources
  local sources=/etc/apt/sources.list.d/quorvane-deb-src.sources
  if ! grep -rqs "^Types:.*deb-src\|^deb-src " /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [[ -f "$list" ]]; then
      sed 's/^Types: deb$/Types: deb-src/' "$list" | $SUDO tee "$sources" >/dev/null
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $SUDO tee /etc/apt/sources.list.d/quorvane-deb-src.list >/dev/null
    fi
    NEED_UPDATE=1
  fi
}
NEED_UPDATE=0

case "$CROSS_ARCH" in
  "") ;;
  arm64)
    # Header-only libraries of the architecture "all" (nlohmann-json, CLI11) serve every target as they are.
    PACKAGES+=(crossbuild-essential-arm64 qemu-user-static)
    for dev in libcpp-httplib-dev libtag1-dev libssl-dev libboost-dev libgtest-dev libgmock-dev libzip-dev \
               libspdlog-dev libfmt-dev libsystemd-dev libfaketime libcurl4-openssl-dev; do
      PACKAGES+=("$dev:arm64")
    done
    # prometheus-cpp-dev takes one architecture only (it pulls in the civetweb program); the cross build
    # links the target's runtime library and uses the build machine's headers (see CMakeLists.txt).
    PACKAGES+=(libprometheus-cpp-core1.0:arm64)
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
      $SUDO dpkg --add-architecture arm64
    fi
    ;;
  windows)
    # gstreamer's plugins decode MP3 for Wine's MCI; libutfcpp-dev stands in for TagLib's bundled copy,
    # which Debian's source leaves out; googletest is GoogleTest's source. The installer's test drives
    # the installed program with curl and ends stray instances with procps' pkill.
    PACKAGES+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 nsis dpkg-dev libutfcpp-dev googletest
               gstreamer1.0-plugins-base gstreamer1.0-plugins-good curl procps)
    add_source_lists
    ;;
  *) echo "setup.sh: no cross build for $CROSS_ARCH (arm64 and windows are known)" >&2; exit 2 ;;
esac

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done
# A machine may bring its own node and npm outside Debian's packages; keep those.
if command -v node >/dev/null && command -v npm >/dev/null; then
  filtered=()
  for pkg in "${missing[@]}"; do
    [[ "$pkg" == nodejs || "$pkg" == npm ]] || filtered+=("$pkg")
  done
  missing=("${filtered[@]}")
fi

if ((${#missing[@]} || NEED_UPDATE)); then
  $SUDO apt-get update -q
fi
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
