#!/usr/bin/env bash
# Builds everything and runs every test, then the sanitizer and fuzz stages:
#   1. normal build, clang-tidy over our sources (scripts/tidy.sh), all tests (ctest), then install
#      and .deb package checks (check-install.sh), then the window's soak against adapter-emu for
#      $NORVANE_SOAK_SECONDS (default 60), via scripts/soak.sh
#   2. AddressSanitizer + UBSan build of the tests labelled "sanitize", and the window's soak
#      on an ASan + UBSan build of the program (scripts/soak.sh --asan)
#   3. ThreadSanitizer build of the tests labelled "concurrency"
#   4. libFuzzer targets (clang), each for $NORVANE_FUZZ_SECONDS (default 60), via scripts/fuzz.sh
# Any failing test or sanitizer report fails the run.
# NORVANE_QUICK=1 runs stage 1 only.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${NORVANE_JOBS:-$(nproc)}
fuzz_seconds=${NORVANE_FUZZ_SECONDS:-60}
soak_seconds=${NORVANE_SOAK_SECONDS:-60}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

stage() { printf '\n=== %s ===\n' "$*"; }

# Runs ctest and adds its count of passed tests to the total printed at the end.
total_passed=0
run_ctest() {
  local log
  log=$(mktemp)
  ctest "$@" 2>&1 | tee "$log"
  local n
  n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  total_passed=$((total_passed + ${n:-0}))
  rm -f "$log"
}

stage "build and test"
cmake -S "$root" -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
stage "clang-tidy and formatting"
NORVANE_JOBS="$jobs" bash scripts/tidy.sh build
bash scripts/format.sh --check
stage "tests"
run_ctest --test-dir build --output-on-failure -j"$jobs"

if [ "${NORVANE_QUICK:-0}" = "1" ]; then
  echo "tests: ${total_passed} passed, 0 failed"
  exit 0
fi

stage "install and packages"
bash scripts/check-install.sh build

stage "soak of the window (${soak_seconds}s)"
bash scripts/soak.sh "$soak_seconds"

stage "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S "$root" -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNORVANE_SANITIZER=address \
  -DNORVANE_WITH_QT=OFF -DNORVANE_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs" --target sanitize_tests
run_ctest --test-dir build-asan --output-on-failure -j"$jobs" -L sanitize
# The window under the sanitizers: program, libraries and emulator built with ASan + UBSan in
# build-asan-qt (about 6 min of CPU from cold on this machine), then the soak.
bash scripts/soak.sh --asan "$soak_seconds"

stage "ThreadSanitizer"
cmake -S "$root" -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DNORVANE_SANITIZER=thread \
  -DNORVANE_WITH_QT=OFF -DNORVANE_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$jobs" --target concurrency_tests
run_ctest --test-dir build-tsan --output-on-failure -j1 -L concurrency

stage "fuzzers (${fuzz_seconds}s each)"
# The kept corpora are read, never written: merging new coverage is scripts/fuzz.sh by hand.
bash scripts/fuzz.sh --no-merge "$fuzz_seconds"
echo
echo "tests: ${total_passed} passed, 0 failed"
