#!/bin/sh
# Runs a test command, then restarts the persistent wineserver of its prefix:
# a group that ends the desktop shell leaves none for later groups under Wine.
"$@"
status=$?
server=/usr/lib/wine/wineserver64
"$server" -k 2>/dev/null
"$server" -w 2>/dev/null
"$server" -p </dev/null >/dev/null 2>&1
# The services a first Wine process starts would hold the next test's output.
/usr/lib/wine/wine64 hostname </dev/null >/dev/null 2>&1
exit $status
