#!/usr/bin/env bash
# Installs everything the project needs to build, run and test on Debian 12.
# Idempotent: packages already present are left alone, so a second run is quick.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config git ccache ca-certificates
  libcpp-httplib-dev nlohmann-json3-dev libspdlog-dev libcli11-dev libtag1-dev libssl-dev
  libboost-dev
  libgtest-dev libgmock-dev libbenchmark-dev libzip-dev
  clang libfuzzer-14-dev libclang-rt-14-dev
  sox libsox-fmt-mp3 mpg123 alsa-utils
  g++-mingw-w64-x86-64
  libsystemd-dev systemd dpkg-dev file lintian shellcheck
  wrk faketime
  chromium nodejs npm
)

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

if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
