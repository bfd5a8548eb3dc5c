#!/bin/sh
# Checks a built program's PE header and imports: machine, GUI subsystem, and
# only DLLs that Windows keeps as Known DLLs. Another could be looked for in
# the program's folder first, where a planted copy would run elevated before
# the program does; the program loads such DLLs at run time instead. With
# MAX_BYTES, also the program's size: what a download costs the user.
#   check-pe.sh EXE MACHINE OBJDUMP [MAX_BYTES]
set -u
exe=$1 machine=$2 objdump=$3 max=${4:-}
fail=0
headers=$("$objdump" -p "$exe") || { echo "FAIL: cannot read $exe"; exit 1; }
case $machine in
    i386) want='file format pei-i386' ;;
    x86-64) want='file format pei-x86-64' ;;
esac
"$objdump" -f "$exe" | grep -q "$want" || { echo "FAIL: not $machine"; fail=1; }
printf '%s\n' "$headers" | grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]+\(Windows GUI\)' || { echo "FAIL: not a GUI program"; fail=1; }
known='^(kernel32|user32|gdi32|advapi32|msvcrt)\.dll$'
dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
# An import table that could not be read would otherwise pass as clean.
[ -n "$dlls" ] || { echo "FAIL: no imported DLL found in $exe"; fail=1; }
for dll in $dlls; do
    printf '%s\n' "$dll" | grep -Eq "$known" || { echo "FAIL: imports $dll (only kernel32, user32, gdi32, advapi32 and msvcrt may be)"; fail=1; }
    echo "imports $dll"
done
size=$(stat -c %s "$exe")
echo "$exe: $size bytes"
[ -z "$max" ] || [ "$size" -le "$max" ] || { echo "FAIL: $size bytes, above $max"; fail=1; }
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
