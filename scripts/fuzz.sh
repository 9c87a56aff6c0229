#!/usr/bin/env bash
# Runs every libFuzzer target (clang, AddressSanitizer) for SECONDS each (default 600) on its kept
# corpus and seed folders, prints inputs per second, and merges the inputs that found new
# coverage into the kept corpus, minimised. Commit the corpus folders afterwards.
#   scripts/fuzz.sh [--no-merge] [SECONDS]
# --no-merge leaves the source tree alone (what CI runs, through scripts/test.sh).
# The first CORPUS folder of each target (norvane_add_fuzzer) is its kept corpus; the others are
# seeds that are read but never written (real files of the program, shared samples).
# Flags for one target (for example -max_len) go into <fuzzer>.options beside its kept corpus folder.
# NORVANE_FUZZ_ONLY=name runs that target alone. Any crash, leak or sanitizer report fails the
# run and leaves the reproducer in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${NORVANE_JOBS:-$(nproc)}

merge=1
if [ "${1:-}" = "--no-merge" ]; then
  merge=0
  shift
fi
seconds=${1:-600}
case "$seconds" in
  '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [--no-merge] [SECONDS]" >&2; exit 2 ;;
esac

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

# Optimised, with assertions and debug information: an unoptimised build runs the parsers
# several times slower under the sanitizer and the coverage hooks.
CC=clang CXX=clang++ cmake -S "$root" -B build-fuzz -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG="-g -O2" -DCMAKE_CXX_FLAGS_DEBUG="-g -O2" -DNORVANE_FUZZ=ON \
  -DNORVANE_SANITIZER=address -DNORVANE_WITH_QT=OFF -DNORVANE_BENCH=OFF >/dev/null
if [ -n "${NORVANE_FUZZ_ONLY:-}" ]; then
  cmake --build build-fuzz -j"$jobs" --target "$NORVANE_FUZZ_ONLY"
else
  cmake --build build-fuzz -j"$jobs" --target fuzzers
fi
mkdir -p build-fuzz/crashes

ran=0
summary=""
while read -r fuzzer kept seeds; do
  [ -n "${fuzzer:-}" ] || continue
  name=$(basename "$fuzzer")
  if [ -n "${NORVANE_FUZZ_ONLY:-}" ] && [ "$name" != "$NORVANE_FUZZ_ONLY" ]; then continue; fi
  work=$(mktemp -d)
  log=$(mktemp)
  # The run writes new inputs into a scratch copy of the kept corpus; seed folders are read only.
  [ -d "$kept" ] && cp -r "$kept"/. "$work"/
  seed_dirs=()
  for dir in ${seeds:-}; do
    [ -d "$dir" ] && seed_dirs+=("$dir")
  done
  # Target flags (for example -max_len) from <fuzzer>.options beside the kept corpus folder.
  options=()
  options_file="$(dirname "$kept")/$name.options"
  if [ -f "$options_file" ]; then
    read -r -a options < <(grep -v '^#' "$options_file" | tr '\n' ' ') || true
  fi
  echo "fuzzing $name for ${seconds}s ${options[*]:-}"
  cpu_file=$(mktemp)
  status=0
  {
    TIMEFORMAT='%U %S'
    time "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 "${options[@]}" \
      -artifact_prefix="$root/build-fuzz/crashes/$name-" "$work" "${seed_dirs[@]}" >"$log" 2>&1 || status=$?
  } 2>"$cpu_file"
  if [ "$status" != "0" ]; then
    cat "$log"
    echo "fuzzer $name failed; reproducer in build-fuzz/crashes/"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n 1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
  # Inputs per second of wall time, and per second of the fuzzer's own CPU time (what it gets
  # when other work shares the cores).
  line=$(awk -v name="$name" -v runs="${runs:-0}" -v took="${took:-0}" -v cpu="$(cat "$cpu_file")" 'BEGIN {
    split(cpu, t, " "); c = t[1] + t[2];
    printf "%-30s %9d inputs in %4ds: %6d inputs/s, %6d per CPU second", name, runs, took,
      (took > 0 ? runs / took : 0), (c > 0 ? runs / c : 0) }')
  rm -f "$cpu_file"
  echo "$line"
  summary+="$line"$'\n'

  if [ "$merge" = "1" ] && [ -n "$kept" ]; then
    # Minimised merge: start from the seeds (they are always given to the runs), add whatever
    # of the kept corpus and the new inputs covers more, then drop the seeds again.
    merged=$(mktemp -d)
    n=0
    for dir in "${seed_dirs[@]}"; do
      while IFS= read -r -d '' f; do
        n=$((n + 1))
        cp -- "$f" "$merged/seed-$n"
      done < <(find "$dir" -type f -print0)
    done
    # Minimised by edges (not hit counts), which keeps the committed folders small.
    "$fuzzer" -merge=1 -use_counters=0 -rss_limit_mb=4096 "$merged" "$kept" "$work" >>"$log" 2>&1 || {
      cat "$log"
      echo "merging the corpus of $name failed"
      exit 1
    }
    # The merge names what it adds by content hash, so the seed copies are told apart by name.
    find "$merged" -maxdepth 1 -type f -name 'seed-*' -delete
    mkdir -p "$kept"
    before=$(find "$kept" -maxdepth 1 -type f | wc -l)
    # Hand-named inputs stay as they are (their names say what they hold); the merge's copy of
    # one, named by its content hash, is dropped. Only hash-named inputs are replaced.
    while IFS= read -r -d '' f; do
      rm -f "$merged/$(sha1sum "$f" | cut -d' ' -f1)"
    done < <(find "$kept" -maxdepth 1 -type f -regextype posix-extended ! -regex '.*/[0-9a-f]{40}' -print0)
    find "$kept" -maxdepth 1 -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
    cp "$merged"/. "$kept"/ -r
    after=$(find "$kept" -maxdepth 1 -type f | wc -l)
    echo "  kept corpus $kept: $before -> $after inputs"
    rm -rf "$merged"
  fi
  rm -rf "$work" "$log"
  ran=$((ran + 1))
done < build-fuzz/fuzzers.txt

echo
printf '%s' "$summary"
echo "fuzzers run: $ran"
