#!/bin/sh
# Runs end-to-end groups quickly during development, without the full suite:
#   scripts/e2e.sh dialog install ...
# CORVANE_BUILD (default build/x86_64) and CORVANE_TEST_PREFIX (default
# build/dev-prefix, kept between runs) let several runs go side by side.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${CORVANE_BUILD:-build/x86_64}
prefix=${CORVANE_TEST_PREFIX:-$root/build/dev-prefix}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
. scripts/wine-env.sh
CORVANE_XVFB=1 wine_start "$prefix"
trap wine_stop EXIT INT TERM
"$WINE" "$build/tests/e2e_driver.exe" warmup >/dev/null 2>&1
status=0
for group in "$@"; do
    "$WINE" "$build/tests/e2e_driver.exe" "$group" "$root/$build/e2e-inputs" >"$build/e2e-$group.log" 2>&1 || status=1
    cat "$build/e2e-$group.log"
done
exit $status
