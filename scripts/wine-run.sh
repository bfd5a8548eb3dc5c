#!/bin/sh
# Runs a Windows test program in the test prefix under the Wine loader of its
# bitness (wine64 runs only 64-bit programs):  wine-run.sh i686|x86_64 PROGRAM ARGS…
export WINEPREFIX="${CORVANE_WINEPREFIX:-${WINEPREFIX:-$HOME/.wine}}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
arch=$1
shift
case $arch in
    i686) exec /usr/lib/wine/wine "$@" ;;
    *) exec /usr/lib/wine/wine64 "$@" ;;
esac
