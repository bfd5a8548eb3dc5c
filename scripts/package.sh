#!/bin/sh
# Lays out the ready-to-ship folders and their zips, one per architecture:
#   dist/CorvaneSetup-x86/   the 32-bit program (the one to ship)
#   dist/CorvaneSetup-x64/   the 64-bit program
# Each holds CorvaneSetup.exe, Corvane.ini and the plug-in files. Only a
# program that scripts/test.sh has just passed is packaged: when the build
# differs from the tested one, the tests run first.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tested() {
    for arch in i686 x86_64; do
        [ -f "build/$arch/tested.sha256" ] && sha256sum --status -c "build/$arch/tested.sha256" || return 1
    done
}
if ! tested; then
    echo "The builds differ from the last tested ones: running scripts/test.sh first."
    sh scripts/test.sh
    tested || { echo "package: the tests did not pass; nothing packaged" >&2; exit 1; }
fi
rm -rf dist
mkdir -p dist
for pair in i686:x86 x86_64:x64; do
    arch=${pair%%:*} name=CorvaneSetup-${pair#*:}
    cp -r "build/$arch/demo" "dist/$name"
    (cd dist && zip -qr "$name.zip" "$name")
    echo "dist/$name.zip:"
    (cd dist && ls -l "$name" | tail -n +2)
done
