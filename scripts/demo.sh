#!/bin/sh
# Builds the program and starts it on the demo folder under Wine, in a prefix
# of its own that holds a sample image-editor installation. With no display it
# runs under Xvfb and saves a picture of the dialog in build/setup-dialog.png
# (build/setup-dialog-150.png at 150 %).
#   scripts/demo.sh              the shipped 32-bit program (the 64-bit one
#                                where this machine cannot run 32-bit programs)
#   scripts/demo.sh --x64        the 64-bit one
#   scripts/demo.sh --scale 150  at a display scale of 150 % (100 to 200)
#   scripts/demo.sh --picker     with no display: a picture of the folder picker
#                                that 浏览… opens, in build/folder-picker.png
#                                (build/folder-picker-150.png at 150 %)
#   scripts/demo.sh --update-docs  the picture replaces the one in docs/
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
arch=i686
scale=100
picker=""
pictures=build
usage() { echo "usage: scripts/demo.sh [--x64] [--scale PERCENT] [--picker] [--update-docs] (--help explains)" >&2; exit 2; }
help() {
    cat <<'EOF'
usage: scripts/demo.sh [--x64] [--scale PERCENT] [--picker] [--update-docs]

Builds the installer and starts it on the demo folder under Wine, in a prefix
(build/demo-prefix) that holds a sample editor installation. With no display it
runs under Xvfb and saves a picture of the dialog as build/setup-dialog.png.

Options:
  --x64            the 64-bit program instead of the shipped 32-bit one
  --scale PERCENT  at a display scale of 100 to 200 %; pictures get a -PERCENT suffix
  --picker         with no display: a picture of the folder picker that 浏览… opens
                   (build/folder-picker.png)
  --update-docs    the picture goes into docs/ instead of build/
  --help           this text
EOF
    exit 0
}
while [ $# -gt 0 ]; do
    case $1 in
        --help|-h) help ;;
        --x64) arch=x86_64 ;;
        --scale) [ $# -ge 2 ] || usage; scale=$2; shift ;;
        --picker) picker=picker ;;
        --update-docs) pictures=docs ;;
        *) echo "demo: unknown option $1" >&2; usage ;;
    esac
    shift
done
case $scale in
    1[0-9][0-9]|200) ;;
    *) echo "demo: --scale takes a percentage from 100 to 200, not $scale" >&2; usage ;;
esac
sh scripts/setup-deps.sh
. scripts/wine-env.sh
if [ "$arch" = i686 ] && ! runs_32bit; then
    echo "demo: $probe_32bit_why: showing the 64-bit program instead"
    arch=x86_64
fi
[ -z "${CORVANE_PROBE_ONLY:-}" ] || exit 0
build=build/$arch
# The toolchain is named only to a new build folder: CMake warns of it otherwise.
[ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

headless=""
[ -n "${DISPLAY:-}" ] || headless=1
prefix="$root/build/demo-prefix"
trap wine_stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# A screen grown with the scale, so that the dialog and the picker fit on it.
wine_start "$prefix" "$((1024 * scale / 100))x$((768 * scale / 100))"
# The loader of the program's bitness.
run=$(wine_for "$arch")

# The sample installation: two editor versions, one with the Chinese plug-in
# folder name and the editor's program, one with the English name. A 64-bit
# editor keeps its version key in the registry's 64-bit view, a 32-bit one in
# the 32-bit view; the program reads both.
adobe="$prefix/drive_c/Program Files/Adobe"
new="$adobe/Adobe Photoshop 2024"
old="$adobe/Adobe Photoshop CS6"
for sub in 滤镜 Effects Filters Import-Export; do mkdir -p "$new/增效工具/$sub"; done
for sub in Filters Effects; do mkdir -p "$old/Plug-Ins/$sub"; done
cp "$build/tests/Photoshop.exe" "$new/Photoshop.exe"
key='HKLM\Software\Adobe\Photoshop'
"$WINE" reg delete 'HKLM\Software\Adobe' /reg:32 /f >/dev/null 2>&1 || true
"$WINE" reg delete 'HKLM\Software\Adobe' /reg:64 /f >/dev/null 2>&1 || true
"$WINE" reg add "$key\\180.0" /v ApplicationPath /d 'C:\Program Files\Adobe\Adobe Photoshop 2024\' /reg:64 /f >/dev/null 2>&1
"$WINE" reg add "$key\\60.0" /v ApplicationPath /d 'C:\Program Files\Adobe\Adobe Photoshop CS6' /reg:32 /f >/dev/null 2>&1
# The display scale, read by every program started afterwards.
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $((96 * scale / 100)) /f >/dev/null 2>&1

if [ -n "$headless" ]; then
    shot="$root/build/setup-dialog.bmp"
    picture=$pictures/setup-dialog.png
    [ "$scale" = 100 ] || picture=$pictures/setup-dialog-$scale.png
    if [ -n "$picker" ]; then
        picture=$pictures/folder-picker.png
        [ "$scale" = 100 ] || picture=$pictures/folder-picker-$scale.png
    fi
    "$run" "$build/tests/e2e_driver.exe" screenshot "$root/$build/demo/CorvaneSetup.exe" "$shot" $picker >"$prefix.run.log" 2>&1 ||
        { echo "demo: the picture could not be taken; what Wine said is in $prefix.run.log" >&2; exit 1; }
    # A picture of nothing (all dark: the dialog off the screen) is no picture.
    light=$(convert "$shot" -colorspace Gray -format '%[fx:mean]' info:)
    if ! awk -v light="$light" 'BEGIN { exit !(light > 0.5) }'; then
        echo "demo: the picture came out dark (mean brightness $light): the dialog was not on the screen; nothing saved" >&2
        exit 1
    fi
    mkdir -p "$(dirname "$picture")"
    convert "$shot" "$picture"
    echo "No display: ran under Xvfb. Picture: $root/$picture"
else
    echo "Starting the installer on $root/$build/demo"
    "$run" "$build/demo/CorvaneSetup.exe" >"$prefix.run.log" 2>&1 || true
fi
