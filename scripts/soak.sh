#!/usr/bin/env bash
# Soak test of the window: Norvane runs offscreen against adapter-emu for SECONDS (default 600),
# giving random commands of its command table, data panes timed at 10 ms, the parameter editor and
# the explicit console, while faults are injected through the emulator's control socket (unplug
# and replug, silent, absent, idle and slow slaves, dropped, wrong, malformed, error and delayed
# acknowledges, halted pipes). It passes when nothing crashed, no sanitizer reported anything,
# every failure it watched reached the log or a box (failed starts and console requests; every
# failed I/O read or write and parameter-editor request the master API returned, each named by an
# error row of the log within 5 s), and resident memory grew less than 5 MB between minute 1 and
# the end, judged in runs of two minutes or more (a shorter run is still warming up, so it prints
# its growth unjudged; in the ASan build, whose allocator holds freed memory, LeakSanitizer judges
# leaks at exit instead).
#
#   scripts/soak.sh [--asan] [--seed N] [--keep] [SECONDS]
#
#   --asan   builds Norvane, the libraries and adapter-emu with AddressSanitizer + UBSan in
#            build-asan-qt (Debug) and runs that build; otherwise the normal build in build/
#   --seed   repeats a run (the seed of the window's actions and of the faults)
#   --keep   keeps the work folder (outputs of Norvane and the emulator, faults, memory samples)
#
# Everything runs in a fresh temporary folder (emulator sockets, XDG folders, home): several soaks
# and tests can run at the same time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${NORVANE_JOBS:-$(nproc)}

asan=0
seconds=600
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --asan) asan=1 ;;
    --seed) extra+=(--seed "$2"); shift ;;
    --keep) extra+=(--keep) ;;
    -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *[!0-9]*|'') echo "soak: unknown argument $1 (see --help)" >&2; exit 2 ;;
    *) seconds=$1 ;;
  esac
  shift
done
if [ "$seconds" -lt 10 ]; then
  echo "soak: run at least 10 seconds" >&2
  exit 2
fi

targets=(Norvane adapter-emu varda tamsen)
if [ "$asan" -eq 1 ]; then
  build=build-asan-qt
  label="ASan+UBSan build"
  extra+=(--asan)
  configure=(-DCMAKE_BUILD_TYPE=Debug -DNORVANE_SANITIZER=address -DNORVANE_TESTS=OFF -DNORVANE_BENCH=OFF)
  # A small quarantine: ASan's default holds up to 256 MB of freed memory, which would hide the
  # growth of resident memory that the soak measures. Leaks are LeakSanitizer's at exit.
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}:quarantine_size_mb=8:thread_local_quarantine_size_kb=64"
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
else
  build=build
  label="build"
  configure=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${configure[@]}" >/dev/null
fi
start=$(date +%s)
cmake --build "$build" -j"$jobs" --target "${targets[@]}" >"${TMPDIR:-/tmp}/norvane-soak-build.$$.log" 2>&1 || {
  cat "${TMPDIR:-/tmp}/norvane-soak-build.$$.log"
  rm -f "${TMPDIR:-/tmp}/norvane-soak-build.$$.log"
  echo "soak: the build failed" >&2
  exit 1
}
rm -f "${TMPDIR:-/tmp}/norvane-soak-build.$$.log"
echo "soak: $label of ${targets[*]} in $build: $(($(date +%s) - start)) s"

exec python3 "$root/testing/soak/soak_run.py" --bin "$root/$build/bin" --repo "$root" --seconds "$seconds" \
  --label "$label" "${extra[@]}"
