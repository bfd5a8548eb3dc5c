#!/bin/sh
# Runs a Windows test program under the 64-bit Wine, in the test prefix.
export WINEPREFIX="${CORVANE_WINEPREFIX:-${WINEPREFIX:-$HOME/.wine}}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
exec /usr/lib/wine/wine64 "$@"
