#!/bin/sh
# Runs a command with the Wine drive T: on a 16 MB RAM disk, so that a copy
# onto it can run out of space; unmounted afterwards, whatever the command
# does:  ramdisk.sh COMMAND ARGS…
# CORVANE_RAMDISK is T: when the disk is there; when it cannot be mounted (it
# needs root) the command runs without it, and says so.
prefix=${CORVANE_WINEPREFIX:-${WINEPREFIX:-$HOME/.wine}}
drive=$prefix/dosdevices/t:
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo -n"
# A run killed before its clean-up left its disk behind.
if [ -L "$drive" ]; then
    old=$(readlink "$drive")
    case $old in /tmp/corvane-ramdisk.*) $sudo umount "$old" 2>/dev/null; rmdir "$old" 2>/dev/null ;; esac
    rm -f "$drive"
fi
dir=$(mktemp -d /tmp/corvane-ramdisk.XXXXXX)
if error=$($sudo mount -t tmpfs -o size=16m tmpfs "$dir" 2>&1) && ln -s "$dir" "$drive"; then
    export CORVANE_RAMDISK=T:
    trap 'rm -f "$drive"; $sudo umount "$dir"; rmdir "$dir"' EXIT
    trap 'exit 1' INT TERM
else
    rmdir "$dir"
    echo "NO RAM DISK: cannot mount a 16 MB tmpfs as T: (${error:-no link}); the full-disk scenario will fail"
    unset CORVANE_RAMDISK
fi
"$@"
