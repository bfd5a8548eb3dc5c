#!/bin/sh
# Runs end-to-end groups quickly during development, without the full suite:
#   scripts/e2e.sh install                 one group on both builds
#   scripts/e2e.sh install.i686 dialog.x86_64   one group on one build
# Groups: dialog catalog folders install launch decorations planting unattended, and
# check and package (the plug-in maker's checker and packager). The prefix
# (CORVANE_TEST_PREFIX, default build/dev-prefix) is kept between runs.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
case ${1:-} in
    --help|-h) echo "usage: scripts/e2e.sh GROUP[.i686|.x86_64]..."; sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    '') sed -n '2,7p' "$0" >&2; exit 2 ;;
esac
prefix=${CORVANE_TEST_PREFIX:-$root/build/dev-prefix}
runs=""
for name in "$@"; do
    case $name in
        *.i686|*.x86_64) runs="$runs $name" ;;
        *) runs="$runs $name.i686 $name.x86_64" ;;
    esac
done
. scripts/wine-env.sh
case $runs in *.i686*)
    if ! runs_32bit; then
        for run in $runs; do case $run in *.i686) echo "== $run: skipped: $probe_32bit_why" ;; esac; done
        runs=$(printf '%s\n' $runs | grep -v '\.i686$' || true)
    fi ;;
esac
[ -n "$runs" ] || exit 0
for arch in i686 x86_64; do
    case $runs in *".$arch"*) ;; *) continue ;; esac
    build=build/$arch
    [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j"$(nproc)" >/dev/null
done
trap wine_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
CORVANE_XVFB=1 wine_start "$prefix"
"$WINE" build/x86_64/tests/e2e_driver.exe warmup >/dev/null 2>&1 || "$WINE32" build/i686/tests/e2e_driver.exe warmup >/dev/null 2>&1
status=0
for run in $runs; do
    group=${run%.*} arch=${run##*.} build=build/${run##*.}
    echo "== $run"
    overrides=$WINEDLLOVERRIDES
    # As tests/CMakeLists.txt sets it: planted names searched for as Windows does.
    [ "$group" != planting ] || overrides="$overrides;$(grep -v '^#' tests/fixtures/planted-dlls.txt | paste -sd, -)=n,b"
    wrap=""
    [ "$group" != install ] || wrap="sh scripts/ramdisk.sh"  # T: as a small RAM disk
    case $group in launch|decorations) wrap="sh tests/e2e/restart_after.sh" ;; esac  # they end the shell
    case $group in
        check|package) sh "tests/tools/${group}_test.sh" "$arch" "$root/$build" >"$build/e2e-$group.log" 2>&1 || status=1 ;;
        *) WINEDLLOVERRIDES=$overrides $wrap "$(wine_for "$arch")" "$build/tests/e2e_driver.exe" "$group" "$root/$build/e2e-inputs" >"$build/e2e-$group.log" 2>&1 || status=1 ;;
    esac
    cat "$build/e2e-$group.log"
done
exit $status
