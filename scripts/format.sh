#!/usr/bin/env bash
# Formats the project's C and C++ sources with .clang-format.
#   scripts/format.sh           rewrites the files in place
#   scripts/format.sh --check   changes nothing; lists the files that are not formatted and fails
# Only files under version control are touched (no build trees, no generated files).
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

command -v clang-format >/dev/null || { echo "format: clang-format is not installed (scripts/setup-deps.sh)" >&2; exit 2; }

mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.c')
if [ "$check" = 1 ]; then
  unformatted=()
  for f in "${files[@]}"; do
    if ! clang-format --style=file --dry-run --Werror "$f" >/dev/null 2>&1; then unformatted+=("$f"); fi
  done
  if [ ${#unformatted[@]} -ne 0 ]; then
    printf '%s\n' "${unformatted[@]}"
    echo "format: ${#unformatted[@]} of ${#files[@]} files are not formatted (run scripts/format.sh)" >&2
    exit 1
  fi
  echo "format: ${#files[@]} files formatted"
else
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 clang-format --style=file -i
  echo "format: ${#files[@]} files formatted"
fi
