#!/bin/sh
# The packager with one build's programs (CORVANE_PACKAGE_BUILD: this build,
# untested by design; the tests themselves run here): a good folder with a
# UTF-8 catalog and added files, one in code page 936, and a broken one that
# must be refused, its findings at the lines of the maker's own file; added
# files that are missing or would replace a packaged one; signing with a
# throwaway certificate, and a wrong password refused; help and version.
#   package_test.sh i686|x86_64 BUILD_DIR
set -u
arch=$1 build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
plugins=$build/e2e-inputs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() {
    name=$1
    shift
    if "$@"; then passed=$((passed + 1)); echo "PASS $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
export CORVANE_PACKAGE_BUILD=$build
x64="" build_name=x86
[ "$arch" = i686 ] || x64=--x64 build_name=x64
package() { sh "$root/scripts/package.sh" $x64 "$@" >"$work/out.txt" 2>&1; }

# A good folder: UTF-8 catalog, a plug-in in a sub-folder (a warning), and
# files the catalog does not name, which stay out.
kit="$work/Maker Kit"
mkdir -p "$kit/Plugins"
cat >"$work/catalog.txt" <<'EOF'
[PlugInInfo]
Count=2
PlugIn1=Sharpen
PlugIn2=Frame
[Sharpen]
Name=锐化大师
SrcFile=CorvaneSharpen.8bf
SubDir1=滤镜
[Frame]
Name=相框 Frame
SrcFile=Plugins/CorvaneFrame.8bf
SubDir1=Effects
EOF
cp "$work/catalog.txt" "$kit/Corvane.ini"
cp "$plugins/CorvaneSharpen.8bf" "$plugins/CorvaneNoise.8bf" "$kit/"
cp "$plugins/CorvaneFrame.8bf" "$kit/Plugins/"
echo notes >"$kit/notes.txt"
mkdir -p "$work/extra"
echo read >"$work/extra/ReadMe.txt"
echo licence >"$work/extra/LICENCE"
package --out "$work/dist" --add "$work/extra/ReadMe.txt" --add "$work/extra/LICENCE" "$kit"
code=$?
zip="$work/dist/Maker Kit-$build_name.zip"
pk="Maker Kit-$build_name"
cat "$work/out.txt"
check good-folder-packaged [ $code -eq 0 ]
check zip-path-last [ "$(tail -n 1 "$work/out.txt")" = "$zip" ]
check versions-read sh -c '! grep -q "has no version text" "$1"' - "$work/out.txt"
check warnings-shown grep -qF "$kit/Corvane.ini:11: warning: entry 2 [Frame]: SrcFile \"Plugins/CorvaneFrame.8bf\" names a sub-folder" "$work/out.txt"
unzip -Z1 "$zip" 2>/dev/null | sort >"$work/listing.txt"
printf '%s\n' "$pk/" "$pk/Corvane.ini" "$pk/CorvaneSetup.exe" "$pk/CorvaneSharpen.8bf" "$pk/Plugins/" \
    "$pk/Plugins/CorvaneFrame.8bf" "$pk/ReadMe.txt" "$pk/LICENCE" | sort >"$work/want.txt"
check zip-holds-the-named-and-added-files-only diff "$work/want.txt" "$work/listing.txt"
check zip-holds-the-build-program sh -c 'unzip -p "$1" "$3/CorvaneSetup.exe" | cmp -s - "$2/CorvaneSetup.exe"' \
    - "$zip" "$build" "$pk"
unzip -p "$zip" "$pk/Corvane.ini" >"$work/stored.ini" 2>/dev/null
check catalog-stored-utf16le [ "$(head -c 2 "$work/stored.ini" | od -An -tx1 | tr -d ' ')" = fffe ]
check catalog-text-kept sh -c 'iconv -f UTF-16 -t UTF-8 "$1" | tr -d "\r" | cmp -s - "$2"' - "$work/stored.ini" \
    "$work/catalog.txt"

# The same catalog in code page 936, named on the command line, in a folder
# with a Chinese name: marked UTF-8 in the zip whatever the locale.
gbk="$work/滤镜 包"
mkdir -p "$gbk/Plugins"
iconv -f UTF-8 -t CP936 "$work/catalog.txt" >"$gbk/Corvane.ini"
cp "$plugins/CorvaneSharpen.8bf" "$gbk/"
cp "$plugins/CorvaneFrame.8bf" "$gbk/Plugins/"
LC_ALL=C package --codepage 936 --out "$work/dist" "$gbk"
code=$?
check code-page-folder-packaged [ $code -eq 0 ]
check code-page-catalog-converted sh -c 'unzip -p "$1" "$3/Corvane.ini" | iconv -f UTF-16 -t UTF-8 | tr -d "\r" |
    cmp -s - "$2"' - "$work/dist/滤镜 包-$build_name.zip" "$work/catalog.txt" "滤镜 包-$build_name"
check zip-names-marked-utf8 python3 -c 'import sys, zipfile
sys.exit(any(not i.flag_bits & 0x800 for i in zipfile.ZipFile(sys.argv[1]).infolist()))' "$work/dist/滤镜 包-$build_name.zip"

# A broken folder, given by a relative path, with a maker's mistakes in UTF-8:
# refused, each finding at its line of that file, in the file's order (the
# index names the entries in another), and nothing written.
broken="$work/broken"
mkdir -p "$broken"
cat >"$broken/Corvane.ini" <<'EOF'
[PlugInInfo]
Count=2
PlugIn1=B
PlugIn2=A
Cuont=2
[A]
Name=暗角 ; 以后改名
SrcFile=Absent.8bf
SubDir1=Filters
[B]
Name=B
SrcFlie=CorvaneSharpen.8bf
SubDir1=Filters
EOF
(cd "$work" && package --out "$work/dist2" broken)
code=$?
cat "$work/out.txt"
check broken-folder-refused [ $code -eq 1 ]
check finding-named grep -qx 'broken/Corvane.ini:8: error: entry 2 \[A\]: SrcFile "Absent.8bf" is missing beside the catalog' \
    "$work/out.txt"
printf '%s\n' 5:warning 7:warning 8:error 10:error 12:warning | sed 's|^|broken/Corvane.ini:|; s/:\([a-z]*\)$/: \1/' \
    >"$work/want.txt"
check findings-at-their-lines sh -c 'sed -n "s/^\(.*: \(error\|warning\)\): .*/\1/p" "$1" | diff "$2" -' - "$work/out.txt" \
    "$work/want.txt"
check nothing-written [ -z "$(ls -A "$work/dist2" 2>/dev/null)" ]

# Added files: one that is missing, and one that would replace a plug-in file.
package --out "$work/dist2" --add "$work/extra/Absent.txt" "$kit"
check missing-added-file-refused [ $? -eq 2 ]
check missing-added-file-said grep -qxF "package: --add $work/extra/Absent.txt: no such file" "$work/out.txt"
cp "$plugins/CorvaneFrame.8bf" "$work/extra/corvanesharpen.8bf"
package --out "$work/dist2" --add "$work/extra/corvanesharpen.8bf" "$kit"
check replacing-added-file-refused [ $? -eq 1 ]
check replacing-added-file-said grep -qxF \
    "package: --add $work/extra/corvanesharpen.8bf would replace corvanesharpen.8bf in the package; nothing packaged" \
    "$work/out.txt"
check added-files-nothing-written [ -z "$(ls -A "$work/dist2" 2>/dev/null)" ]

# A packaging step that fails half-way (here the zip) leaves the last package
# as it was and nothing half-written beside it.
mkdir -p "$work/nozip"
printf '#!/bin/sh\nexit 1\n' >"$work/nozip/python3"
chmod +x "$work/nozip/python3"
ls -R "$work/dist" >"$work/before.txt"
PATH="$work/nozip:$PATH" package --out "$work/dist" "$kit"
check failed-step-refused [ $? -ne 0 ]
check failed-step-keeps-last-package sh -c 'ls -R "$1" | diff "$2" - && unzip -tq "$3" >/dev/null' - "$work/dist" \
    "$work/before.txt" "$zip"

# A checker that ends without its summary (here a program that prints
# nothing and exits 0) is no pass.
mkdir -p "$work/mute"
cp "$build/CorvaneSetup.exe" "$build/version.h" "$work/mute/"
cp "$build/tests/Photoshop.exe" "$work/mute/CorvaneCheck.exe"
CORVANE_PACKAGE_BUILD=$work/mute package --out "$work/dist4" "$kit"
check silent-checker-refused [ $? -eq 1 ]
check silent-checker-nothing-written [ -z "$(ls -A "$work/dist4" 2>/dev/null)" ]

# Interrupted as from a terminal (the whole group; in its own prefix) at
# several moments: it stops within a second, with nothing left running and
# nothing written, or it had finished whole. Then a server an ended run
# left behind is stopped, and the package made.
prefix=$root/build/package-prefix
left() { grep -lszxF "CORVANE_MARK=$1" /proc/[0-9]*/environ | wc -l; }
for moment in INT:0.2 TERM:0.5 INT:0.9 TERM:1.4; do
    rm -rf "$work/dist5"
    setsid env --default-signal=INT,TERM -u CORVANE_WINEPREFIX CORVANE_MARK="$moment" \
        sh "$root/scripts/package.sh" $x64 --out "$work/dist5" "$kit" >"$work/out.txt" 2>&1 &
    pid=$!
    sleep "${moment#*:}"
    kill -"${moment%:*}" "-$pid" 2>/dev/null
    start=$(date +%s%N)
    # One that hangs is ended after 5 s, and fails.
    for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
    took=$((($(date +%s%N) - start) / 1000000))
    kill -KILL "-$pid" 2>/dev/null
    wait $pid
    code=$?
    echo "$moment: exit status $code after $took ms"
    check "interrupt-$moment-within-1-s" [ "$took" -le 1000 ]
    # Killed processes take some milliseconds to go.
    for _ in $(seq 10); do [ "$(left "$moment")" -eq 0 ] && break; sleep 0.05; done
    check "interrupt-$moment-nothing-running" [ "$(left "$moment")" -eq 0 ]
    check "interrupt-$moment-nothing-half-written" sh -c '[ "$1" -ne 0 ] && [ -z "$(ls -A "$2" 2>/dev/null)" ] ||
        { [ "$1" -eq 0 ] && unzip -tq "$2/$3.zip" >/dev/null; }' - "$code" "$work/dist5" "$pk"
done
mkdir -p "$prefix"
env CORVANE_MARK=stale WINEPREFIX="$prefix" /usr/lib/wine/wineserver64 -p
env -u CORVANE_WINEPREFIX CORVANE_MARK=again sh "$root/scripts/package.sh" $x64 --out "$work/dist5" "$kit" \
    >"$work/out.txt" 2>&1
code=$?
cat "$work/out.txt"
check run-again-packaged [ $code -eq 0 ]
check run-again-stale-server-stopped grep -qxF "package: stopped the Wine server and processes that an ended run left in $prefix" \
    "$work/out.txt"
check run-again-nothing-running [ "$(left stale)$(left again)" = 00 ]

# Signing: a self-signed code-signing certificate made here. The packaged
# program verifies against it and still starts and installs.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=Corvane Test Maker" -addext extendedKeyUsage=codeSigning >/dev/null 2>&1
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" -passout pass:s3cret
CORVANE_SIGN_PASSWORD=s3cret package --sign "$work/cert.pfx" --out "$work/signed" "$kit"
code=$?
cat "$work/out.txt"
check signed-folder-packaged [ $code -eq 0 ]
check no-time-stamp-said grep -q 'signed without a time stamp' "$work/out.txt"
unzip -p "$work/signed/$pk.zip" "$pk/CorvaneSetup.exe" >"$work/signed.exe" 2>/dev/null
check signature-verifies osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe"
cp -r "$plugins" "$work/inputs"
cp "$work/signed.exe" "$work/inputs/CorvaneSetup.exe"
check signed-program-installs sh "$root/scripts/wine-run.sh" "$arch" "$build/tests/e2e_driver.exe" smoke "$work/inputs"
printf 'wrong' >"$work/wrong.txt"
package --sign "$work/cert.pfx" --sign-password-file "$work/wrong.txt" --out "$work/dist3" "$kit"
code=$?
cat "$work/out.txt"
check wrong-password-refused [ $code -ne 0 ]
check wrong-password-said grep -q 'wrong password' "$work/out.txt"
check wrong-password-nothing-written [ -z "$(ls -A "$work/dist3" 2>/dev/null)" ]

# Help (as the README gives it) and version.
package --help
check help-exits-0 [ $? -eq 0 ]
sed -n '/^<!-- package.sh --help -->$/,/^```$/p' "$root/README.md" | sed '1,2d;$d' >"$work/want.txt"
check help-as-in-readme diff "$work/want.txt" "$work/out.txt"
package --version
code=$?
version=$(sed -n 's/^#define CORVANE_VERSION_TEXT "\(.*\)"$/\1/p' "$build/version.h")
check version-said [ "$code $(cat "$work/out.txt")" = "0 Corvane Setup $version" ]

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
