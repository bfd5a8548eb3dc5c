#!/bin/sh
# Runs the plug-in maker's checker on a folder under Wine:
#   scripts/check.sh [--strict] [--files] FOLDER
# the 32-bit checker, or the 64-bit one where this machine cannot run 32-bit
# programs (saying so first), built when it is not there yet, in a prefix of
# its own (build/check-prefix) with Wine's own messages silenced. A folder is
# given as a Linux path and handed on as Wine's Z: path, and findings name the
# catalog as the folder was given; every other argument is handed on as it is.
# The exit status is the checker's.
set -eu
given="" staged=""
root=$(cd "$(dirname "$0")/.." && pwd)
# Before the change of folder, so that a relative FOLDER means the caller's.
set -- "$@" --
for arg; do
    shift
    [ "$arg" != -- ] || break
    case $arg in
        -*|?:*|\\*) ;;
        *) given=${arg%/}/ arg=$(realpath -m -- "$arg" | sed 's|^|Z:|; s|/|\\|g') staged=$arg\\ ;;
    esac
    set -- "$@" "$arg"
done
cd "$root"
. scripts/wine-env.sh
arch=i686
if ! runs_32bit; then
    echo "check: $probe_32bit_why: running the 64-bit checker" >&2
    arch=x86_64
fi
build=build/$arch
if [ ! -f "$build/CorvaneCheck.exe" ]; then
    [ -f "$build/CMakeCache.txt" ] ||
        cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j"$(nproc)" --target CorvaneCheck >/dev/null
fi
export WINEPREFIX="$root/build/check-prefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >"$WINEPREFIX.log" 2>&1
    "$WINESERVER" -w
fi
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
"$(wine_for "$arch")" "$build/CorvaneCheck.exe" "$@" >"$out" || status=$?
STAGED=$staged SHOWN=$given awk '
    ENVIRON["STAGED"] != "" && index($0, ENVIRON["STAGED"]) == 1 {
        $0 = ENVIRON["SHOWN"] substr($0, length(ENVIRON["STAGED"]) + 1) }
    { print }' "$out"
exit $status
