#!/bin/sh
# Installs what building, testing and the demo need, once: quick when present.
# 32-bit Windows programs (the shipped build) run under Debian's i386 wine32,
# next to wine64 in the same prefix.
set -eu
packages="cmake g++ googletest libgtest-dev g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
wine wine64 wine32:i386 xvfb fonts-wqy-microhei imagemagick zip unzip clang libclang-rt-14-dev osslsigncode openssl
python3"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
newarch=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    newarch=1
fi
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
if [ -n "$missing$newarch" ]; then
    echo "installing:$missing"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi
