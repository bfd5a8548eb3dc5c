#!/bin/sh
# Builds all three builds and runs every test: the native unit tests, and on
# both Windows builds the image check and every end-to-end group under Wine.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
sh scripts/setup-deps.sh

jobs=$(nproc)
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs"
for arch in i686 x86_64; do
    cmake -S . -B "build/$arch" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "build/$arch" -j"$jobs"
done

. scripts/wine-env.sh
# A fresh prefix for every run, so no earlier run's files or keys count.
rm -rf build/test-prefix build/test-prefix.log
CORVANE_XVFB=1 wine_start "$root/build/test-prefix"
trap wine_stop EXIT INT TERM
"$WINE" build/x86_64/tests/e2e_driver.exe warmup >build/test-prefix.log 2>&1

status=0
for build in native i686 x86_64; do
    echo "== $build"
    rm -f "build/$build/tested.sha256"
    skip=""
    if [ "$build" = i686 ] && ! kernel_runs_32bit; then
        echo "SKIPPED: this kernel cannot run 32-bit programs; the i686 end-to-end groups did not run"
        skip="-LE e2e"
    fi
    # shellcheck disable=SC2086
    if (cd "build/$build" && ctest --output-on-failure $skip); then
        # What package.sh may ship, and the checker it runs: the very programs these tests passed.
        [ "$build" = native ] || [ -n "$skip" ] ||
            sha256sum "build/$build/CorvaneSetup.exe" "build/$build/CorvaneCheck.exe" >"build/$build/tested.sha256"
    else
        status=1
    fi
done
# Ten seconds per fuzz target, two at a time on two cores: about half a minute.
echo "== fuzz"
sh scripts/fuzz.sh 10 || status=1
exit $status
