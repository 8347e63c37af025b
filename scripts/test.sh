#!/usr/bin/env bash
# Installs what is needed, checks the formatting, builds, and runs the whole test suite twice:
# a normal build and a build with AddressSanitizer + UndefinedBehaviorSanitizer. Set
# FZ_NO_SANITIZE=1 to skip the second run while developing.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/deps.sh"
"$here/scripts/format.sh" --check
export QT_QPA_PLATFORM=offscreen

"$here/scripts/build.sh" build
(cd "$here/build" && ctest --output-on-failure -j 2 --timeout 600)

if [ "${FZ_NO_SANITIZE:-0}" != "1" ]; then
  "$here/scripts/build.sh" build-asan -DFZ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  (cd "$here/build-asan" && ctest --output-on-failure -j 2 --timeout 900 -LE slow)
fi
