#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite:
#  1. the normal build (warnings are errors, and the layering of src/ is checked before anything is
#     compiled) with every test through CTest (unit, concurrency, browser);
#  2. the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/);
#  3. the concurrency tests under ThreadSanitizer (build-tsan/);
#  4. every libFuzzer target of tests/fuzz, built with clang under ASan and UBSan (build-fuzz/), for
#     FUZZ_SECONDS (20) each; a crash fails the run and its input is kept in build-fuzz/artifacts/;
#  5. the Windows build (tools/windows.sh, build-windows/): linked with MinGW-w64, its unit tests under
#     Wine, and the installer installed, run and uninstalled under Wine;
#  6. the cross build for 64-bit ARM (build-arm64/): its unit tests, and the arm64 package with its
#     checks, run under qemu user emulation.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

JOBS="${JOBS:-$(nproc)}"
# Each section's heading, and the time the one before it took.
stage="" stage_start=$SECONDS
section() {
  [ -n "$stage" ] && printf '(%s: %d s)\n' "$stage" $((SECONDS - stage_start))
  stage="$*" stage_start=$SECONDS
  printf '\n==== %s ====\n' "$*"
}

section "build"
# The builds are the presets of CMakePresets.json. The plain one keeps line tables only (-g1): enough for
# a backtrace, and a third less compile time than full debug information.
cmake --preset plain >/dev/null
cmake --build build -j"$JOBS"

section "tests"
ctest --test-dir build --output-on-failure -j"$JOBS" --no-tests=error

section "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build-asan -j"$JOBS" --target unit_tests http_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -L '^unit$' --output-on-failure -j"$JOBS" --no-tests=error

section "concurrency tests under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build build-tsan -j"$JOBS" --target concurrency_tests http_concurrency_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tools/tsan.supp" \
  ctest --test-dir build-tsan -L '^concurrency$' --output-on-failure -j"$JOBS" --no-tests=error

FUZZ_SECONDS="${FUZZ_SECONDS:-20}"
section "fuzz targets under AddressSanitizer and UndefinedBehaviorSanitizer, ${FUZZ_SECONDS} s each"
cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j"$JOBS"
mkdir -p build-fuzz/artifacts
for source in tests/fuzz/*_fuzz.cpp; do
  name="$(basename "$source" _fuzz.cpp)"
  # New inputs go to build-fuzz/corpus/<name>; the committed seeds stay as they are.
  mkdir -p "build-fuzz/corpus/$name"
  log="build-fuzz/fuzz_$name.log"
  if ! "build-fuzz/tests/fuzz/fuzz_$name" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 \
      -artifact_prefix="build-fuzz/artifacts/$name-" "build-fuzz/corpus/$name" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$name found a crash; the input is in build-fuzz/artifacts/, the whole log in $log" >&2
    exit 1
  fi
  echo "fuzz_$name: $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') inputs run, no crash"
done

section "Windows: MinGW-w64 build, unit tests and the installer under Wine"
JOBS="$JOBS" bash tools/windows.sh

section "arm64 (Raspberry Pi): cross build, unit tests and the package under qemu"
bash tools/setup.sh --arch arm64
# The package's optimisation without its debug information (stripped from the package anyway), which
# saves a fifth of the cross build's time.
cmake --preset arm64 >/dev/null
cmake --build build-arm64 -j"$JOBS" --target unit_tests http_tests package_tests version_info packaging_docs
ctest --test-dir build-arm64 -L '^(unit|package)$' --output-on-failure -j"$JOBS" --no-tests=error

section "all tests passed"
