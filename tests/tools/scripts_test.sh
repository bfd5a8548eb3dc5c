#!/bin/sh
# The scripts on a machine that cannot run 32-bit programs, and on one that
# can: the probe's answer forced, each script's line and exit status.
# CORVANE_PROBE_ONLY stops a script right after it has acted on the answer.
#   scripts_test.sh
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
cd "$root"
mkdir -p "$work/kit"
printf '[PlugInInfo]\r\nCount=1\r\nPlugIn1=A\r\n[A]\r\nName=A\r\nSrcFile=A.8bf\r\nSubDir1=Filters\r\n' >"$work/kit/Corvane.ini"
cp build/x86_64/e2e-inputs/CorvaneSharpen.8bf "$work/kit/A.8bf" 2>/dev/null || echo x >"$work/kit/A.8bf"
mkdir -p "$work/gbk"
printf '[PlugInInfo]\r\nCount=1\r\nPlugIn1=A\r\n[A]\r\nName=暗角 ; 改\r\nSrcFile=A.8bf\r\nSubDir1=Filters\r\n' |
    iconv -t CP936 >"$work/gbk/Corvane.ini"
cp "$work/kit/A.8bf" "$work/gbk/"

# row NAME FORCE CODE LINE COMMAND...: LINE (an extended regular expression,
# or !LINE for one that must not appear) among what the command prints.
row() {
    name=$1 force=$2 code=$3 line=$4
    shift 4
    # A script that hangs, or runs what it should have stopped before, fails.
    CORVANE_FORCE_32BIT=$force timeout 300 "$@" >"$work/out.txt" 2>&1
    got=$?
    case $line in
        !*) ! grep -Eq -- "${line#!}" "$work/out.txt" ;;
        *) grep -Eq -- "$line" "$work/out.txt" ;;
    esac
    found=$?
    if [ $got -eq "$code" ] && [ $found -eq 0 ]; then
        passed=$((passed + 1))
        echo "PASS $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name: exit status $got, want $code; line /$line/ $([ $found -eq 0 ] && echo as wanted || echo not as wanted):"
        sed 's/^/    /' "$work/out.txt"
    fi
}
no32='this machine cannot run 32-bit programs \(CORVANE_FORCE_32BIT=no\)'
probe="env CORVANE_PROBE_ONLY=1"
row demo-says-64-bit no 0 "^demo: $no32: showing the 64-bit program" $probe sh scripts/demo.sh
row demo-first-line no 0 "^demo: " sh -c 'CORVANE_PROBE_ONLY=1 sh scripts/demo.sh | head -n 1'
row demo-32-bit yes 0 '!^demo: ' $probe sh scripts/demo.sh
row package-stops no 1 "^package: $no32: .*--x64.*a machine that runs 32-bit programs" \
    sh scripts/package.sh --out "$work/dist" "$work/kit"
row package-no-test-run no 1 '!scripts/test.sh|^== |did not pass' sh scripts/package.sh --out "$work/dist" "$work/kit"
row package-nothing-written no 0 '!.' test ! -e "$work/dist"
row bench-i686-line no 0 "^== i686: no figures: $no32\$" $probe sh scripts/bench.sh
row bench-i686-runs yes 0 '!no figures' $probe sh scripts/bench.sh
row test-summary-i686 no 0 "^i686: .*; end-to-end groups skipped: $no32\$" $probe sh scripts/test.sh
row test-summary-x86_64 no 0 '^x86_64: .*end-to-end groups' $probe sh scripts/test.sh
row test-summary-native no 0 '^native: unit tests' $probe sh scripts/test.sh
row test-summary-i686-runs yes 0 '^i686: image checks and end-to-end groups' $probe sh scripts/test.sh
row check-64-bit no 0 "^check: $no32: running the 64-bit checker\$" sh scripts/check.sh --strict "$work/kit"
row check-findings no 1 "^$work/kit/Corvane.ini:6: error: entry 1 \\[A\\]: SrcFile \"A.8bf\" is missing" \
    sh -c 'rm "$1/A.8bf"; sh scripts/check.sh "$1"' - "$work/kit"
row check-code-page no 0 '^.*/gbk/Corvane.ini:5: warning: entry 1 \[A\]: Name "暗角 ; 改" has ";"' \
    sh scripts/check.sh --codepage 936 "$work/gbk"
# Help everywhere; an unknown option named. (Probe only: a script that took
# the option for a run would stop there.)
for script in demo test e2e package check fuzz; do
    row "$script-help" no 0 "^usage: scripts/$script.sh" $probe sh "scripts/$script.sh" --help
done
for script in demo test package check; do
    row "$script-unknown-option" no 2 "^$script: unknown option --bogus\$" $probe sh "scripts/$script.sh" --bogus
done
# The picture at the largest scale shows the dialog (its own Xvfb, sized to the scale).
row demo-picture-at-200 no 0 '^light 1$' env -u DISPLAY sh -c 'sh scripts/demo.sh --x64 --scale 200 >/dev/null &&
    convert build/setup-dialog-200.png -colorspace Gray -format "light %[fx:mean>0.5]\n" info:'

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
