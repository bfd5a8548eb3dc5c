#!/bin/sh
# Times the program under Wine against baselines of the benchmark's own
# (tests/bench/), on both builds, in a fresh prefix on its own display:
#   scripts/bench.sh [RUNS [FIGURE...]]   FIGURE: start catalog huge checker keystroke install version unattended
# Each line: the program's median, the baseline's, their ratio, and the spread
# (interquartile range over median) of each, flagged with ! above 20 %.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-7}
[ $# -gt 0 ] && shift
. scripts/wine-env.sh
# The builds this machine can run; the other is named once, with the reason.
archs=x86_64
if runs_32bit; then archs="i686 x86_64"; else echo "== i686: no figures: $probe_32bit_why"; fi
[ -z "${CORVANE_PROBE_ONLY:-}" ] || exit 0
for arch in $archs; do
    [ -f "build/$arch/CMakeCache.txt" ] || cmake -S . -B "build/$arch" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "build/$arch" -j"$(nproc)" --target bench >/dev/null
done
rm -rf build/bench-prefix build/bench-prefix.log
trap wine_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
CORVANE_XVFB=1 wine_start "$root/build/bench-prefix"
status=0
for arch in $archs; do
    echo "== $arch"
    # The shipped program's size, what its sections take, and its icon group's
    # share: the .ico's images and a directory of 14 bytes an image.
    exe=build/$arch/CorvaneSetup.exe
    size=$(stat -c %s "$exe")
    icons=$(($(stat -c %s res/app.ico) - 2 * $(od -An -tu2 -j4 -N2 res/app.ico)))
    echo "size of CorvaneSetup.exe: $size bytes, icon group $icons bytes ($((100 * icons / size)) %); sections:" \
        "$("$arch-w64-mingw32-objdump" -h "$exe" | awk '/^ +[0-9]+ \./ { printf "%s%s %d", s, $2, ("0x" $3) + 0; s = ", " }')"
    "$(wine_for "$arch")" "build/$arch/tests/bench/bench_driver.exe" "$root/build/$arch/bench-inputs" "$runs" "$@" || status=1
done
exit $status
