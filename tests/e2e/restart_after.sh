#!/bin/sh
# Runs a test command, then restarts the persistent wineserver of its prefix:
# a group that ends the desktop shell leaves none for later groups under Wine.
#   restart_after.sh EMULATOR ARCH DRIVER GROUP INPUTS
"$@"
status=$?
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver
"$server" -k 2>/dev/null
"$server" -w 2>/dev/null
# Not holding the caller's output open.
"$server" -p </dev/null >/dev/null 2>&1
# Wine's services and desktop start with the next program and would hold its
# output open (the next group's, until its time-out): they start here instead.
"$1" "$2" "$3" warmup </dev/null >/dev/null 2>&1
exit $status
