#!/bin/sh
# Turns a UTF-8 catalog into the shipped form: UTF-16LE with a byte-order mark
# and CRLF line ends, so its Chinese text reads right under any code page.
set -eu
in=$1 out=$2
printf '\377\376' > "$out.tmp"
sed 's/\r*$/\r/' "$in" | iconv -f UTF-8 -t UTF-16LE >> "$out.tmp"
mv "$out.tmp" "$out"
