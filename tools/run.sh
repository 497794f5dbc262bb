#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player on port 5000 in the development layout
# (assets/, web-ui/dist/ and userdata/ of this repository). Extra arguments go to the player.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quorvane-player
exec build/quorvane-player --port 5000 "$@"
