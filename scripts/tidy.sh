#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over the program's and libraries' own sources in a configured
# build folder, using its compile_commands.json. Only our headers are checked. Left out:
# generated files (moc, embedded resources) and, to keep the run to a few minutes on two cores,
# the tests, benchmarks, fuzz targets, test support and the thin Qt window layer (app/ui: every
# one of its files parses the Qt headers, which took over half of a run over everything).
# Any finding fails the run.
#   scripts/tidy.sh [build folder, default build]      jobs: $NORVANE_JOBS (default: all cores)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
jobs=${NORVANE_JOBS:-$(nproc)}

command -v clang-tidy >/dev/null || { echo "tidy: clang-tidy is not installed (scripts/setup-deps.sh)" >&2; exit 2; }
[ -f "$build/compile_commands.json" ] || { echo "tidy: $build/compile_commands.json is missing (configure first)" >&2; exit 2; }

dirs='adapter_emu|app|bench|cip|eds|master_api|platform|tamsen|testing|tools|varda'
# Sources of the compile database that are in git and ship (a file built by two targets is
# checked once).
mapfile -t files < <(python3 - "$build/compile_commands.json" "$root" <<'PY'
import json, os, subprocess, sys
database, root = sys.argv[1], sys.argv[2]
tracked = set(subprocess.run(["git", "ls-files"], cwd=root, capture_output=True, text=True, check=True).stdout.split())
seen = set()
for entry in json.load(open(database)):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    parts = rel.split("/")
    if "tests" in parts or "fuzz" in parts or parts[0] in ("bench", "testing") or rel.startswith("app/ui/"):
        continue
    if rel in tracked and rel not in seen:
        seen.add(rel)
        print(rel)
PY
)
[ ${#files[@]} -gt 0 ] || { echo "tidy: no sources found in $build/compile_commands.json" >&2; exit 2; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$(date +%s)
# One clang-tidy per file, $jobs at a time; xargs fails when any of them found something.
status=0
printf '%s\0' "${files[@]}" | sort -z | xargs -0 -P"$jobs" -n1 \
  clang-tidy -p "$build" --quiet --header-filter="^${root}/(${dirs})/" >"$log" 2>&1 || status=$?
grep -E '(warning|error):' "$log" | sort -u || true
echo "tidy: ${#files[@]} files in $(( $(date +%s) - start )) s"
if [ "$status" -ne 0 ]; then
  echo "tidy: findings above (or clang-tidy failed: see its output)" >&2
  [ -s "$log" ] && ! grep -qE '(warning|error):' "$log" && cat "$log" >&2
  exit 1
fi
