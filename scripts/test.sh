#!/bin/sh
# Builds all three builds and runs every test: the native unit tests, and on
# both Windows builds the image check and every end-to-end group under Wine.
set -eu
case ${1:-} in
    --help|-h) echo "usage: scripts/test.sh"; sed -n '2,3p' "$0" | sed 's/^# //'; exit 0 ;;
    '') ;;
    *) echo "test: unknown option $1" >&2; echo "usage: scripts/test.sh (--help explains)" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
sh scripts/setup-deps.sh
. scripts/wine-env.sh
skip_why="" broken_32bit=""
# Only a kernel that refuses 32-bit programs excuses the shipped build's
# groups; a broken Wine or probe elsewhere fails the run.
runs_32bit || { skip_why=$probe_32bit_why; [ -n "$probe_32bit_kernel" ] || broken_32bit=1; }
summary=""
# says BUILD RESULT: the build's line in the closing summary.
says() {
    case $1 in
        native) line="native: unit tests ran: $2" ;;
        *) if [ "$1" = i686 ] && [ -n "$broken_32bit" ]; then
               line="$1: image checks ran: $2; end-to-end groups FAILED, not run: $skip_why"
           elif [ "$1" = i686 ] && [ -n "$skip_why" ]; then
               line="$1: image checks ran: $2; end-to-end groups skipped: $skip_why"
           else
               line="$1: image checks and end-to-end groups ran: $2"
           fi ;;
    esac
    [ "$2" != "not run" ] || line=$(echo "$line" | sed 's/ ran: not run/ not run (CORVANE_PROBE_ONLY)/')
    summary="$summary$line
"
}
if [ -n "${CORVANE_PROBE_ONLY:-}" ]; then
    for build in native i686 x86_64; do says $build "not run"; done
    printf '== summary\n%s' "$summary"
    [ -z "$broken_32bit" ]
    exit
fi

jobs=$(nproc)
# The toolchain is named only to a new build folder: CMake warns of it otherwise.
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs"
for arch in i686 x86_64; do
    [ -f "build/$arch/CMakeCache.txt" ] ||
        cmake -S . -B "build/$arch" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "build/$arch" -j"$jobs"
done

# A fresh prefix for every run, so no earlier run's files or keys count.
rm -rf build/test-prefix build/test-prefix.log
trap wine_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
CORVANE_XVFB=1 wine_start "$root/build/test-prefix"
"$WINE" build/x86_64/tests/e2e_driver.exe warmup >>build/test-prefix.log 2>&1 ||
    { echo "test: Wine did not start the test driver; see build/test-prefix.log" >&2; exit 1; }

status=0
for build in native i686 x86_64; do
    echo "== $build"
    rm -f "build/$build/tested.sha256"
    skip=""
    if [ "$build" = i686 ] && [ -n "$skip_why" ]; then
        echo "SKIPPED: $skip_why; the i686 end-to-end groups did not run"
        skip="-LE e2e"
    fi
    # shellcheck disable=SC2086
    if (cd "build/$build" && ctest --output-on-failure $skip); then
        says $build passed
        # What package.sh may ship, and the checker it runs: the very programs these tests passed.
        [ "$build" = native ] || [ -n "$skip" ] ||
            sha256sum "build/$build/CorvaneSetup.exe" "build/$build/CorvaneCheck.exe" >"build/$build/tested.sha256"
    else
        says $build FAILED
        status=1
    fi
    if [ "$build" = i686 ] && [ -n "$broken_32bit" ]; then
        echo "FAILED: $skip_why"
        status=1
    fi
done
# Ten seconds per fuzz target, two at a time on two cores: about half a minute.
echo "== fuzz"
if sh scripts/fuzz.sh 10; then fuzz=passed; else fuzz=FAILED; status=1; fi
printf '== summary\n%sfuzz targets ran: %s\n' "$summary" "$fuzz"
exit $status
