#!/bin/sh
# Builds the program and starts it on the demo folder under Wine, in a prefix
# of its own that holds a sample image-editor installation. With no display it
# runs under Xvfb and saves a picture of the dialog in docs/setup-dialog.png.
#   scripts/demo.sh          the shipped 32-bit program
#   scripts/demo.sh --x64    the 64-bit one
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
arch=i686
case "${1:-}" in
    --x64) arch=x86_64 ;;
    "") ;;
    *) echo "usage: scripts/demo.sh [--x64]" >&2; exit 2 ;;
esac
sh scripts/setup-deps.sh
build=build/$arch
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

headless=""
[ -n "${DISPLAY:-}" ] || headless=1
. scripts/wine-env.sh
prefix="$root/build/demo-prefix"
wine_start "$prefix"
trap wine_stop EXIT INT TERM
# The program's own bitness: its registry view, and the loader that runs it.
run=$(wine_for "$arch")

# The sample installation: two editor versions, one with the Chinese plug-in
# folder name and the editor's program, one with the English name.
adobe="$prefix/drive_c/Program Files/Adobe"
new="$adobe/Adobe Photoshop 2024"
old="$adobe/Adobe Photoshop CS6"
for sub in 滤镜 Effects Filters Import-Export; do mkdir -p "$new/增效工具/$sub"; done
for sub in Filters Effects; do mkdir -p "$old/Plug-Ins/$sub"; done
cp "$build/tests/Photoshop.exe" "$new/Photoshop.exe"
key='HKLM\Software\Adobe\Photoshop'
"$run" reg add "$key\\180.0" /v ApplicationPath /d 'C:\Program Files\Adobe\Adobe Photoshop 2024\' /f >/dev/null 2>&1
"$run" reg add "$key\\60.0" /v ApplicationPath /d 'C:\Program Files\Adobe\Adobe Photoshop CS6' /f >/dev/null 2>&1

if [ -n "$headless" ]; then
    shot="$root/build/setup-dialog.bmp"
    "$run" "$build/tests/e2e_driver.exe" screenshot "$root/$build/demo/CorvaneSetup.exe" "$shot" >"$prefix.run.log" 2>&1
    mkdir -p docs
    convert "$shot" docs/setup-dialog.png
    echo "No display: ran under Xvfb. Picture of the dialog: $root/docs/setup-dialog.png"
else
    echo "Starting the installer on $root/$build/demo"
    "$run" "$build/demo/CorvaneSetup.exe" >"$prefix.run.log" 2>&1 || true
fi
