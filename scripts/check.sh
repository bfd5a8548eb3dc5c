#!/bin/sh
# Checks a plug-in folder as scripts/package.sh does, without packaging it:
#   scripts/check.sh [--codepage N] [--strict] [--files] FOLDER
#   scripts/check.sh --help
# The catalog is stored as the packager stores it, beside copies of the
# folder's files, and checked there with CorvaneCheck under Wine: the 32-bit
# checker, or the 64-bit one where this machine cannot run 32-bit programs
# (saying so first), built when it is not there yet, in a prefix of its own
# (build/check-prefix) with Wine's own messages silenced.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
usage() {
    echo "usage: scripts/check.sh [--codepage N] [--strict] [--files] FOLDER (--help explains)" >&2
    exit 2
}
help() {
    cat <<'TEXT'
usage: scripts/check.sh [--codepage N] [--strict] [--files] FOLDER
       scripts/check.sh --help

Checks a plug-in folder as scripts/package.sh checks it, without packaging it:
its catalog is stored as UTF-16LE with a byte-order mark and checked with
CorvaneCheck under Wine. Findings name FOLDER's own catalog and its lines, in
the file's order, then the summary.

Options:
  --codepage N   the catalog is text in Windows code page N (936: Chinese)
  --strict       warnings count as errors in the exit code
  --files        also print file: NAME (MACHINE) for each plug-in file a package must hold
  --help         this text

Exit code: 0 without errors, 1 with errors (or warnings, with --strict), 2 a mistake
in the command.
TEXT
    exit 0
}
codepage="" flags="" folder=""
while [ $# -gt 0 ]; do
    case $1 in
        --help|-h) help ;;
        --codepage) [ $# -ge 2 ] || usage; codepage=$2; shift ;;
        --strict|--files) flags="$flags $1" ;;
        -*) echo "check: unknown option $1" >&2; usage ;;
        *) [ -z "$folder" ] || { echo "check: one FOLDER only: $1" >&2; usage; }; folder=$1 ;;
    esac
    shift
done
[ -n "$folder" ] || usage
[ -d "$folder" ] || { echo "check: $folder is not a folder" >&2; exit 2; }
# Findings name the maker's catalog as the folder was given.
given=${folder%"${folder##*[!/]}"}
folder=$(realpath "$folder")
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
# Made whole or made again: a set-up that was cut off leaves no mark.
if [ ! -f "$WINEPREFIX/.made" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >"$WINEPREFIX.log" 2>&1
    "$WINESERVER" -w
    : >"$WINEPREFIX/.made"
fi
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# What the packager would check: copies of the folder's files (links
# followed) beside the stored catalog.
mkdir "$stage/kit"
find "$folder" -mindepth 1 -maxdepth 1 ! -iname Corvane.ini -exec cp -RL -t "$stage/kit/" {} +
catalog=$(find "$folder" -mindepth 1 -maxdepth 1 -iname Corvane.ini | head -n 1)
if [ -n "$catalog" ]; then
    sh scripts/make-catalog.sh ${codepage:+--codepage "$codepage"} "$catalog" "$stage/kit/Corvane.ini" || exit 1
fi
staged=$(printf 'Z:%s' "$stage/kit" | tr / '\\')
status=0
# Wine takes the arguments in the locale's character set: UTF-8, whatever it is.
# shellcheck disable=SC2086
LC_ALL=C.UTF-8 "$(wine_for "$arch")" "$build/CorvaneCheck.exe" $flags "$staged" >"$stage/check.txt" || status=$?
sh scripts/findings.sh "$staged\\Corvane.ini" "$given/$(basename "${catalog:-Corvane.ini}")" <"$stage/check.txt"
exit $status
