#!/bin/sh
# The packager with one build's programs (CORVANE_PACKAGE_BUILD: this build,
# untested by design; the tests themselves run here): a good folder with a
# UTF-8 catalog, one in code page 936, and a broken one that must be refused;
# signing with a throwaway certificate, and a wrong password refused.
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
x64=""
[ "$arch" = i686 ] || x64=--x64
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
package --out "$work/dist" "$kit"
code=$?
zip="$work/dist/Maker Kit.zip"
cat "$work/out.txt"
check good-folder-packaged [ $code -eq 0 ]
check zip-path-last [ "$(tail -n 1 "$work/out.txt")" = "$zip" ]
check warnings-shown grep -q '^warning: entry 2 \[Frame\]: SrcFile "Plugins/CorvaneFrame.8bf" names a sub-folder' "$work/out.txt"
unzip -Z1 "$zip" 2>/dev/null | sort >"$work/listing.txt"
printf '%s\n' "Maker Kit/" "Maker Kit/Corvane.ini" "Maker Kit/CorvaneSetup.exe" "Maker Kit/CorvaneSharpen.8bf" \
    "Maker Kit/Plugins/" "Maker Kit/Plugins/CorvaneFrame.8bf" | sort >"$work/want.txt"
check zip-holds-the-named-files-only diff "$work/want.txt" "$work/listing.txt"
check zip-holds-the-build-program sh -c 'unzip -p "$1" "Maker Kit/CorvaneSetup.exe" | cmp -s - "$2/CorvaneSetup.exe"' \
    - "$zip" "$build"
unzip -p "$zip" "Maker Kit/Corvane.ini" >"$work/stored.ini" 2>/dev/null
check catalog-stored-utf16le [ "$(head -c 2 "$work/stored.ini" | od -An -tx1 | tr -d ' ')" = fffe ]
check catalog-text-kept sh -c 'iconv -f UTF-16 -t UTF-8 "$1" | tr -d "\r" | cmp -s - "$2"' - "$work/stored.ini" \
    "$work/catalog.txt"

# The same catalog in code page 936, named on the command line.
gbk="$work/gbk"
mkdir -p "$gbk/Plugins"
iconv -f UTF-8 -t CP936 "$work/catalog.txt" >"$gbk/Corvane.ini"
cp "$plugins/CorvaneSharpen.8bf" "$gbk/"
cp "$plugins/CorvaneFrame.8bf" "$gbk/Plugins/"
package --codepage 936 --out "$work/dist" "$gbk"
code=$?
check code-page-folder-packaged [ $code -eq 0 ]
check code-page-catalog-converted sh -c 'unzip -p "$1" gbk/Corvane.ini | iconv -f UTF-16 -t UTF-8 | tr -d "\r" |
    cmp -s - "$2"' - "$work/dist/gbk.zip" "$work/catalog.txt"

# A broken folder: refused, naming the finding, and nothing written.
broken="$work/broken"
mkdir -p "$broken"
printf '[PlugInInfo]\nCount=1\nPlugIn1=A\n[A]\nName=A\nSrcFile=Absent.8bf\nSubDir1=Filters\n' >"$broken/Corvane.ini"
package --out "$work/dist2" "$broken"
code=$?
cat "$work/out.txt"
check broken-folder-refused [ $code -ne 0 ]
check finding-named grep -q '^error: entry 1 \[A\]: SrcFile "Absent.8bf" is missing beside the catalog$' "$work/out.txt"
check nothing-written [ -z "$(ls -A "$work/dist2" 2>/dev/null)" ]

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
unzip -p "$work/signed/Maker Kit.zip" "Maker Kit/CorvaneSetup.exe" >"$work/signed.exe" 2>/dev/null
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

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
