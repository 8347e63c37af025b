#!/usr/bin/env bash
# Formats every C++ file git tracks by .clang-format; with --check, changes nothing and fails
# when a file is not formatted (the test script runs it so).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find app bench engine fuzz output search tests tools util \
                         -name '*.cpp' -o -name '*.h' | sort)
fi
if [ "${1:-}" = "--check" ]; then
  if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "format.sh: the files above are not formatted; run scripts/format.sh" >&2
    exit 1
  fi
else
  clang-format -i "${files[@]}"
fi
