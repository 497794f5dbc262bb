#!/usr/bin/env bash
# Runs the browser tests against build/quorvane-player and build/quorvane-service-standin.
# Extra arguments go to node's test runner, e.g.: tests/e2e/run.sh --test-name-pattern=alarm
set -euo pipefail
cd "$(dirname "$0")"

# Reinstall when node_modules is missing or was installed from another lock file.
if [[ ! -d node_modules ]] || ! cmp -s package-lock.json node_modules/.installed-from-lock; then
  npm ci --no-audit --no-fund
  cp package-lock.json node_modules/.installed-from-lock
fi

build_dir="${QV_E2E_BUILD_DIR:-../../build}"
for bin in "$build_dir/quorvane-player" "$build_dir/quorvane-service-standin"; do
  if [[ ! -x "$bin" ]]; then
    echo "e2e: $bin is missing; build it first (cmake --build build --target quorvane-player quorvane-service-standin)" >&2
    exit 1
  fi
done

mkdir -p artifacts
# One file at a time: each starts its own player and browser, and the machine has two cores.
if [[ $# -gt 0 && "$1" != -* ]]; then
  exec node --test --test-concurrency=1 "$@"
fi
exec node --test --test-concurrency=1 "$@" tests/
