#!/bin/sh
# Lays out the ready-to-ship folders and their zips, one per architecture:
#   dist/CorvaneSetup-x86/   the 32-bit program (the one to ship by default)
#   dist/CorvaneSetup-x64/   the 64-bit program, for 64-bit-only editors
# Each holds CorvaneSetup.exe, Corvane.ini and the plug-in files.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
sh scripts/setup-deps.sh
rm -rf dist
mkdir -p dist
for pair in i686:x86 x86_64:x64; do
    arch=${pair%%:*} name=CorvaneSetup-${pair#*:}
    cmake -S . -B "build/$arch" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "build/$arch" --target demo -j"$(nproc)" >/dev/null
    cp -r "build/$arch/demo" "dist/$name"
    (cd dist && zip -qr "$name.zip" "$name")
    echo "dist/$name.zip:"
    (cd dist && ls -l "$name" | tail -n +2)
done
