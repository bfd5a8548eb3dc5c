#!/bin/sh
# Packages a plug-in folder for shipping:
#   scripts/package.sh [--x64] [--codepage N] [--out DIR] [--add FILE]...
#                      [--sign CERT.pfx [--sign-password-file FILE] [--timestamp URL]] [FOLDER]
#   scripts/package.sh --help | --version
# FOLDER holds Corvane.ini and the plug-in files it names. It is checked with
# CorvaneCheck under Wine (after its catalog is stored as UTF-16LE with a
# byte-order mark, from UTF-8, UTF-16 or, with --codepage N, code page N),
# whose findings are given against FOLDER's own catalog, and any error refuses
# it. Then DIR/<folder name>-x86/ (DIR: dist; -x64 with --x64) gets the 32-bit
# program (--x64: the 64-bit one), the catalog, the plug-in files the catalog
# names and each --add FILE, nothing else, and is zipped; the zip's path comes
# last. Without FOLDER the demo folder is packaged as dist/CorvaneSetup-x86/
# (or CorvaneSetup-x64/).
#
# --sign signs the program with Authenticode (SHA-256) with the certificate
# and key in CERT.pfx, whose password comes from CORVANE_SIGN_PASSWORD or from
# FILE, never from the command line; --timestamp adds a time stamp from URL.
# Each signature is verified against the certificate before anything is
# written.
#
# Only programs that scripts/test.sh has passed are packaged: when the build
# differs from the tested one, the tests run first. Tests of this script set
# CORVANE_PACKAGE_BUILD to a build folder whose programs are taken as they are.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# Set before anything starts. Long steps run in a session of their own and
# are waited for, so that Ctrl-C or TERM is acted on at once: the handler ends
# the step's whole group and this run's Wine server, and removes what it wrote.
child="" stage="" work="" lock="" own_wine="" prefix="" tests_ran=""
end_child() {
    [ -n "$child" ] || return 0
    kill -KILL "-$child" 2>/dev/null || true
    wait "$child" 2>/dev/null || true
    child=""
}
cleanup() {
    end_child
    [ -z "$own_wine" ] || wine_stop
    rm -rf "$stage" "$work"
    [ -z "$lock" ] || rm -f "$lock"
}
# The processes of a Wine prefix, its server among them, by their
# environment: a server killed alone leaves its processes running.
wine_pids() {
    grep -lszxF "WINEPREFIX=$1" /proc/[0-9]*/environ | sed 's|^/proc/||; s|/environ$||' | grep -vx -e $$ -e "$PPID" || true
}
interrupted() {
    trap '' INT TERM
    end_child
    # Killed outright, a graceful stop takes seconds: this run's prefix and,
    # when the tests ran, theirs.
    # The 32-bit probe's prefix too: its program may be running. Again until
    # no new one is found: one may start another as it is killed.
    killed=" "
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        pids=""
        for p in "$root/build/probe32/prefix" ${own_wine:+"$prefix"} ${tests_ran:+"$root/build/test-prefix"}; do
            for pid in $(wine_pids "$p"); do case $killed in *" $pid "*) ;; *) pids="$pids $pid" ;; esac; done
        done
        [ -n "$pids" ] || break
        # shellcheck disable=SC2086
        kill -KILL $pids 2>/dev/null || true
        killed="$killed${pids# } "
    done
    own_wine=""
    cleanup
    [ -z "${_started_xvfb:-}" ] || kill "$_started_xvfb" 2>/dev/null || true
    exit "$1"
}
trap cleanup EXIT
trap 'interrupted 130' INT
trap 'interrupted 143' TERM
# step COMMAND...: runs it in a session of its own and waits for it.
step() {
    setsid -w "$@" &
    child=$!
    _status=0
    wait "$child" || _status=$?
    child=""
    return $_status
}
usage() {
    echo "usage: scripts/package.sh [--x64] [--codepage N] [--out DIR] [--add FILE]... [--sign CERT.pfx [--sign-password-file FILE] [--timestamp URL]] [FOLDER] (--help explains)" >&2
    exit 2
}
help() {
    cat <<'EOF'
usage: scripts/package.sh [--x64] [--codepage N] [--out DIR] [--add FILE]...
                          [--sign CERT.pfx [--sign-password-file FILE] [--timestamp URL]] [FOLDER]
       scripts/package.sh --help | --version

Packages a plug-in folder for shipping. FOLDER holds Corvane.ini and the plug-in
files it names; without FOLDER the demo folder is packaged. The catalog is stored
as UTF-16LE with a byte-order mark and checked with CorvaneCheck under Wine; its
findings name FOLDER's own catalog and its lines. On any error nothing is written.
Otherwise DIR/NAME-x86/ (NAME-x64/ with --x64), NAME being FOLDER's name, gets the
tested CorvaneSetup.exe, the catalog, the plug-in files it names and the --add
files, nothing else, and is zipped to DIR/NAME-x86.zip, whose path comes last.

Options:
  --x64                     the 64-bit program instead of the 32-bit one
  --codepage N              the catalog is text in Windows code page N (936: Chinese)
  --out DIR                 write to DIR instead of dist
  --add FILE                put FILE beside the program too (a read-me, a licence);
                            repeatable; refused when it would replace a packaged file
  --sign CERT.pfx           sign the program with Authenticode (SHA-256); the password
                            comes from CORVANE_SIGN_PASSWORD or --sign-password-file FILE
  --timestamp URL           add a time stamp from URL (RFC 3161)
  --help                    this text
  --version                 the version of the programs it packages

Exit code: 0 packaged, 1 not packaged (an error in the folder, a failed signature,
failed tests), 2 a mistake in the command.
EOF
    exit 0
}
arch=i686 codepage="" out=dist folder="" cert="" password_file="" timestamp="" adds="" version=""
while [ $# -gt 0 ]; do
    case $1 in
        --help|-h) help ;;
        --version) version=1 ;;
        --x64) arch=x86_64 ;;
        --codepage) [ $# -ge 2 ] || usage; codepage=$2; shift ;;
        --out) [ $# -ge 2 ] || usage; out=$2; shift ;;
        --add)
            [ $# -ge 2 ] || usage
            [ -f "$2" ] || { echo "package: --add $2: no such file" >&2; exit 2; }
            adds="$adds$(realpath "$2")
"
            shift ;;
        --sign) [ $# -ge 2 ] || usage; cert=$(realpath "$2"); shift ;;
        --sign-password-file) [ $# -ge 2 ] || usage; password_file=$(realpath "$2"); shift ;;
        --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift ;;
        -*) echo "package: unknown option $1" >&2; usage ;;
        *) [ -z "$folder" ] || { echo "package: one FOLDER only: $1" >&2; usage; }; folder=$1 ;;
    esac
    shift
done
if [ -n "$version" ]; then
    # What the programs' version resources hold: their build's, else the project's.
    v=$(sed -n 's/^#define CORVANE_VERSION_TEXT "\(.*\)"$/\1/p' "${CORVANE_PACKAGE_BUILD:-$root/build/$arch}/version.h" 2>/dev/null) ||
        true
    [ -n "$v" ] || v=$(sed -n 's/^project(CorvaneSetup VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
    echo "Corvane Setup $v"
    exit 0
fi
# Findings name the maker's catalog as the folder was given.
given=${folder%"${folder##*[!/]}"}
if [ -n "$folder" ]; then
    [ -d "$folder" ] || { echo "package: $folder is not a folder" >&2; exit 2; }
    folder=$(realpath "$folder")
    name=$(basename "$folder")
    case $name in /|.|..|'') echo "package: give the plug-in folder itself, not $folder" >&2; exit 2 ;; esac
fi
out=$(realpath -m "$out")
if [ -n "$cert" ]; then
    [ -f "$cert" ] || { echo "package: no certificate file $cert" >&2; exit 2; }
    if [ -z "$password_file" ] && [ -z "${CORVANE_SIGN_PASSWORD+set}" ]; then
        echo "package: --sign needs the certificate's password in CORVANE_SIGN_PASSWORD or --sign-password-file FILE" >&2
        exit 2
    fi
    [ -z "$password_file" ] || [ -f "$password_file" ] || { echo "package: no password file $password_file" >&2; exit 2; }
elif [ -n "$password_file$timestamp" ]; then
    usage
fi
cd "$root"
# Before any test run: the 32-bit checker and tests need a machine that runs them.
. scripts/wine-env.sh
if [ "$arch" = i686 ] && ! runs_32bit; then
    echo "package: $probe_32bit_why: the 32-bit program cannot be checked or tested here; package it with --x64, or on a machine that runs 32-bit programs; nothing packaged" >&2
    exit 1
fi

build=${CORVANE_PACKAGE_BUILD:-}
if [ -n "$build" ]; then
    echo "package: CORVANE_PACKAGE_BUILD is set: taking the programs in $build untested (for tests only)"
else
    build=build/$arch
    tested() { [ -f "$build/tested.sha256" ] && sha256sum --status -c "$build/tested.sha256"; }
    if ! tested; then
        echo "The $arch build differs from the last tested one: running scripts/test.sh first."
        tests_ran=1
        step sh scripts/test.sh || { echo "package: the tests did not pass; nothing packaged" >&2; exit 1; }
        tested || { echo "package: the tests passed, but the $arch programs differ from the ones they tested; nothing packaged" >&2; exit 1; }
    fi
fi
build=$(cd "$build" && pwd)
if [ -z "$folder" ]; then
    folder=$build/demo
    name=CorvaneSetup
    given=$folder
fi
# The package's name says its build.
package=$name-x86
[ "$arch" = i686 ] || package=$name-x64

# The tests' prefix when they run this; otherwise one of its own, which no
# other run may share: a server an earlier, ended run left there is stopped.
stage=$(mktemp -d)
if [ -z "${CORVANE_WINEPREFIX:-}" ]; then
    prefix=$root/build/package-prefix
    if other=$(cat "$prefix.pid" 2>/dev/null) && [ -n "$other" ] && [ "$other" != $$ ] &&
        grep -qs package.sh "/proc/$other/cmdline"; then
        echo "package: another package.sh (process $other) is using $prefix; nothing packaged" >&2
        exit 1
    fi
    lock=$prefix.pid
    echo $$ >"$lock"
    stale=$(wine_pids "$prefix")
    if [ -n "$stale" ]; then
        # shellcheck disable=SC2086
        kill -KILL $stale 2>/dev/null || true
        # shellcheck disable=SC2086
        for _ in $(seq 50); do
            alive=""
            for p in $stale; do ! kill -0 "$p" 2>/dev/null || alive=1; done
            [ -n "$alive" ] || break
            sleep 0.02
        done
        echo "package: stopped the Wine server and processes that an ended run left in $prefix"
    fi
    own_wine=1
    # Making the prefix takes seconds: its steps run where a signal ends them.
    wine_run=step
    wine_start "$prefix"
fi

# What is checked is what ships: the stored catalog beside the folder's files.
mkdir "$stage/$name"
# Copies, not links (links followed): the checker, like the installer, reads
# no file whose final path leaves the folder, and the package ships the very
# copies it checked.
step find "$folder" -mindepth 1 -maxdepth 1 ! -iname Corvane.ini -exec cp -RL -t "$stage/$name/" {} +
catalog=$(find "$folder" -mindepth 1 -maxdepth 1 -iname Corvane.ini | head -n 1)
if [ -n "$catalog" ]; then
    sh scripts/make-catalog.sh ${codepage:+--codepage "$codepage"} "$catalog" "$stage/$name/Corvane.ini" ||
        { echo "package: $folder not packaged" >&2; exit 1; }
fi
status=0
staged=$(printf 'Z:%s' "$stage/$name" | tr / '\\')
# Wine takes the arguments in the locale's character set: UTF-8, whatever it is.
step env LC_ALL=C.UTF-8 sh scripts/wine-run.sh "$arch" "$build/CorvaneCheck.exe" --files "$staged" >"$stage/check.txt" 2>"$stage/check.err" ||
    status=$?
sh scripts/findings.sh "$staged\\Corvane.ini" "$given/$(basename "${catalog:-Corvane.ini}")" <"$stage/check.txt" |
    grep -v '^file: ' || true
# Only a whole run is a pass: the summary line last, no errors in it, and exit 0.
summary=$(tail -n 1 "$stage/check.txt")
case $status:$(printf '%s\n' "$summary" | sed -n 's/^[0-9][0-9]* entr[iesy]*, \([0-9][0-9]*\) errors\{0,1\}, [0-9][0-9]* warnings\{0,1\}$/\1/p') in
    0:0) ;;
    1:[1-9]*) echo "package: $given has the errors above; nothing packaged" >&2; exit 1 ;;
    *) cat "$stage/check.err" >&2
       echo "package: the checker did not finish its check (exit status $status, last line \"$summary\"); nothing packaged" >&2
       exit 1 ;;
esac
# The checker's "file: NAME (MACHINE)" lines: the plug-in files the package holds.
sed -n 's/^file: \(.*\) ([^()]*)$/\1/p' "$stage/check.txt" >"$stage/files.txt"
# Added files lie beside the program: none may take a packaged name.
taken=$(printf 'corvanesetup.exe\ncorvane.ini\n'; sed 's|/.*||' "$stage/files.txt" | tr 'A-Z' 'a-z')
printf '%s' "$adds" | while IFS= read -r add; do
    low=$(basename "$add" | tr 'A-Z' 'a-z')
    if printf '%s\n' "$taken" | grep -qxF -- "$low"; then
        echo "package: --add $add would replace $(basename "$add") in the package; nothing packaged" >&2
        exit 1
    fi
    taken="$taken
$low"
done

# Signed and verified in the stage, so that a failure leaves nothing behind.
program=$build/CorvaneSetup.exe
if [ -n "$cert" ]; then
    pass=$stage/password
    (umask 077; if [ -n "$password_file" ]; then cat "$password_file"; else printf '%s' "$CORVANE_SIGN_PASSWORD"; fi >"$pass")
    if ! step openssl pkcs12 -in "$cert" -passin "file:$pass" -nokeys -out "$stage/cert.pem" 2>"$stage/sign.err"; then
        echo "package: cannot open $cert: wrong password, or not a PKCS#12 file; nothing packaged" >&2
        exit 1
    fi
    url=$(sed -n 's/^#define CREDIT_ADDRESS "\(.*\)"$/\1/p' common/credit.h)
    if ! step osslsigncode sign -pkcs12 "$cert" -readpass "$pass" -h sha256 -n "Corvane Setup" -i "$url" \
        ${timestamp:+-ts "$timestamp"} -in "$program" -out "$stage/CorvaneSetup.exe" >"$stage/sign.err" 2>&1; then
        sed 's/^/    /' "$stage/sign.err" >&2
        echo "package: signing with $cert failed; nothing packaged" >&2
        exit 1
    fi
    if ! step osslsigncode verify -CAfile "$stage/cert.pem" -in "$stage/CorvaneSetup.exe" >"$stage/verify.txt" 2>&1; then
        sed 's/^/    /' "$stage/verify.txt" >&2
        echo "package: the signature does not verify against $cert; nothing packaged" >&2
        exit 1
    fi
    program=$stage/CorvaneSetup.exe
    echo "CorvaneSetup.exe signed with $cert and verified against it"
    [ -n "$timestamp" ] || echo "package: signed without a time stamp (--timestamp URL adds one): the signature stops verifying when the certificate expires"
else
    echo "package: the programs are unsigned (--sign CERT.pfx signs them): Windows will name no publisher"
fi

case $folder/ in "$out/$package/"*)
    echo "package: $folder lies where the package goes; move it or give --out" >&2; exit 1 ;;
esac
mkdir -p "$out"
# Laid out and zipped beside its place and moved there only when whole: a
# failed copy leaves no half-written package, and the last one stays.
work=$(mktemp -d "$out/.$package.XXXXXX")
mkdir "$work/$package"
cp "$program" "$stage/$name/Corvane.ini" "$work/$package/"
while IFS= read -r file; do
    case $(printf '%s' "$file" | tr 'A-Z' 'a-z') in corvane.ini|corvanesetup.exe)
        echo "package: the catalog names $file, which the package holds already" >&2; exit 1 ;;
    esac
    mkdir -p "$(dirname "$work/$package/$file")"
    cp "$stage/$name/$file" "$work/$package/$file"
done <"$stage/files.txt"
printf '%s' "$adds" | while IFS= read -r add; do cp "$add" "$work/$package/"; done
# Every name that is not ASCII is marked UTF-8 (general purpose bit 11),
# whatever the locale: Windows reads an unmarked name in the user's code
# page. Info-ZIP's zip marks none here, in any locale.
step python3 -X utf8 -c '
import os, sys, zipfile
work, name = sys.argv[1:]
with zipfile.ZipFile(os.path.join(work, name + ".zip"), "w", zipfile.ZIP_DEFLATED, strict_timestamps=False) as z:
    for top, folders, files in os.walk(os.path.join(work, name)):
        folders.sort()
        inner = os.path.relpath(top, work)
        z.write(top, inner)
        for file in sorted(files):
            z.write(os.path.join(top, file), os.path.join(inner, file))
' "$work" "$package"
# Renames only, and then the package is whole: no signal cuts them.
trap '' INT TERM
rm -rf "${out:?}/$package" "$out/$package.zip"
mv "$work/$package" "$work/$package.zip" "$out/"
(cd "$out" && unzip -l "$package.zip" | sed '1,3d;$d' | sed '$d')
echo "$out/$package.zip"
