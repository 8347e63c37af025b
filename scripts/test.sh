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

# The fuzz targets (clang, libFuzzer): built, and run a minute each on the seeds, as a smoke
# test of the importer's reading path; the long runs are README's "Fuzzing". FZ_NO_FUZZ=1
# skips this.
if [ "${FZ_NO_FUZZ:-0}" != "1" ]; then
  fz="$here/build-fuzz"
  CC=clang CXX=clang++ cmake -S "$here" -B "$fz" -G Ninja -DFZ_FUZZ=ON >/dev/null
  cmake --build "$fz" -j "$(nproc)" --target fuzz_open_load fuzz_rows fuzz_make_seeds
  (
    cd "$fz"
    rm -rf smoke && mkdir -p smoke/seeds smoke/corpus smoke/rows smoke/artifacts
    bin/fuzz_make_seeds smoke/seeds >/dev/null
    opts=(-max_total_time=60 -timeout=10 -rss_limit_mb=2048 -close_fd_mask=2
          -artifact_prefix=smoke/artifacts/)
    bin/fuzz_open_load "${opts[@]}" -max_len=131072 smoke/corpus smoke/seeds
    bin/fuzz_rows "${opts[@]}" -max_len=4084 smoke/rows
  )
fi
