#!/bin/sh
# Turns a catalog into the shipped form: UTF-16LE with a byte-order mark and
# CRLF line ends, so its Chinese text reads right under any code page.
#   make-catalog.sh [--codepage N] IN OUT
# IN may be UTF-16 with a byte-order mark, UTF-8 with or without one, or, with
# --codepage N, text in Windows code page N (936: Simplified Chinese); a
# byte-order mark wins over --codepage.
set -eu
case ${1:-} in --help|-h) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;; esac
from=UTF-8
if [ "${1:-}" = --codepage ]; then
    case ${2:-} in
        ''|*[!0-9]*) echo "make-catalog: --codepage takes a number, e.g. --codepage 936" >&2; exit 2 ;;
        65001) ;;
        *) from=CP$2 ;;
    esac
    shift 2
fi
[ $# -eq 2 ] || { echo "usage: make-catalog.sh [--codepage N] IN OUT" >&2; exit 2; }
in=$1 out=$2
skip=0
case $(head -c 3 "$in" | od -An -tx1 | tr -d ' \n') in
    fffe*|feff*) from=UTF-16 ;;  # iconv reads the mark and drops it
    efbbbf) from=UTF-8 skip=3 ;;
esac
rm -f "$out.tmp" "$out.utf8"
tail -c +$((skip + 1)) "$in" | iconv -f "$from" -t UTF-8 >"$out.utf8" 2>/dev/null || {
    rm -f "$out.utf8"
    case $from in
        UTF-8) echo "make-catalog: $in is not UTF-8; name its code page, e.g. --codepage 936" >&2 ;;
        *) echo "make-catalog: $in is not valid $from text" >&2 ;;
    esac
    exit 1
}
printf '\377\376' >"$out.tmp"
sed 's/\r\{0,1\}$/\r/' "$out.utf8" | iconv -f UTF-8 -t UTF-16LE >>"$out.tmp"
rm -f "$out.utf8"
mv "$out.tmp" "$out"
