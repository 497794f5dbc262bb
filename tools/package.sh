#!/usr/bin/env bash
# Builds the Debian package of the player: build/quorvane-player_<version>_<arch>.deb, installing to
# /usr with the systemd service. Install it with:  apt install ./build/quorvane-player_*.deb
# Uses the build folder of run.sh and test.sh (its settings are kept when it exists).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
if [ -f build/CMakeCache.txt ]; then
  cmake -S . -B build >/dev/null
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# Only what the package holds; the tests and benchmarks are not needed for it.
cmake --build build -j"${JOBS:-$(nproc)}" --target quorvane-player version_info packaging_docs
(cd build && cpack -G DEB)
echo "Package: $(ls build/quorvane-player_"$(cat build/version.info)"_*.deb)"
