#!/bin/sh
# The checker of one build under Wine: a clean folder, broken ones (several
# findings each where they do not interfere) and mistakes in the command,
# each run compared line by line with what it must print, and its exit code.
#   check_test.sh i686|x86_64 BUILD_DIR
set -u
arch=$1 build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
plugins=$build/e2e-inputs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

# The Windows path of a folder under $work, as the checker names it; at: its catalog's.
win() { printf 'Z:%s' "$work/$1" | tr / '\\'; }
at() { printf '%s\\Corvane.ini' "$(win "$1")"; }
# catalog DIR [raw]: the catalog from stdin; stored as the packager stores it
# (UTF-16LE with a byte-order mark) unless "raw".
catalog() {
    mkdir -p "$work/$1"
    if [ "${2:-}" = raw ]; then cat >"$work/$1/Corvane.ini"; else
        cat >"$work/src.ini" && sh "$root/scripts/make-catalog.sh" "$work/src.ini" "$work/$1/Corvane.ini"
    fi
}
# expect NAME CODE PROGRAM ARGS...: runs the checker (within $limit seconds when
# set); stdin holds the lines it must print.
expect() {
    name=$1 code=$2
    shift 2
    cat >"$work/want.txt"
    timeout "${limit:-300}" sh "$root/scripts/wine-run.sh" "$arch" "$@" >"$work/got.txt" 2>"$work/err.txt"
    got=$?
    if [ $got -eq "$code" ] && diff "$work/want.txt" "$work/got.txt" >"$work/diff.txt"; then
        passed=$((passed + 1))
        echo "PASS $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name: exit code $got, want $code"
        cat "$work/diff.txt" "$work/err.txt"
    fi
}
checker=$build/CorvaneCheck.exe
# machine FILE HEX: another machine type in FILE's header, which is all the
# checker reads of it (a fixture for what this build cannot make).
machine() {
    at=$(($(od -An -tu4 -j60 -N4 "$1") + 4))
    printf "\\$(printf %03o $((0x$2 & 255)))\\$(printf %03o $((0x$2 >> 8)))" |
        dd of="$1" bs=1 seek=$at conv=notrunc 2>/dev/null
}
# The samples are built for this build's machine; one x64 plug-in keeps a folder clean.
native=x64
[ "$arch" = x86_64 ] || native=x86

# Clean: the summary alone, from the checker's own folder by default. The
# catalog names a file in another case than on disk; --files names it as on disk.
catalog clean <<'EOF'
; 示例
[PlugInInfo]
Count=2
PlugIn1=Sharpen
PlugIn2=Frame

[Sharpen]
Name=锐化大师
SrcFile=CorvaneSharpen.8bf
SubDir1=滤镜
Description=边缘感知锐化。

[frame]
Name=Frame
SrcFile=corvaneframe.8bf
SubDir2=Effects
EOF
cp "$plugins/CorvaneSharpen.8bf" "$plugins/CorvaneFrame.8bf" "$checker" "$work/clean/"
machine "$work/clean/CorvaneSharpen.8bf" 8664
expect clean 0 "$work/clean/CorvaneCheck.exe" <<'EOF'
2 entries, 0 errors, 0 warnings
EOF
expect clean-files 0 "$checker" --files "$(win clean)" <<EOF
file: CorvaneSharpen.8bf (x64)
file: CorvaneFrame.8bf ($native)
2 entries, 0 errors, 0 warnings
EOF

# Warnings only: exit code 0, or 1 with --strict. UTF-8 without a mark (its
# only non-ASCII text is a comment, so no code page changes what is read).
long=$(printf 'N%.0s' $(seq 70))
section=$(printf 'S%.0s' $(seq 130))
cut=$(printf '%s' "$section" | cut -c1-127)
catalog warnings raw <<EOF
; 插件
[PlugInInfo]
Count=5
PlugIn1=Long
PlugIn2=Plain
PlugIn3=Again
PlugIn4=$section
[Long]
Name=$long
SrcFile=CorvaneSharpen.8bf
SubDir1=Filters
[Plain]
Name=Plain
SrcFile=CorvaneNoise.8bf
[Again]
Name=Again
SrcFile=corvanesharpen.8bf
SubDir1=Filters
[$cut]
Name=Cut
SrcFile=CorvaneFrame.8bf
SubDir1=Filters
EOF
cp "$plugins/CorvaneSharpen.8bf" "$plugins/CorvaneFrame.8bf" "$plugins/CorvaneNoise.8bf" "$work/warnings/"
machine "$work/warnings/CorvaneSharpen.8bf" 8664
p=$(at warnings)
cat >"$work/warnings.txt" <<EOF
$p: warning: Corvane.ini is UTF-8 without a byte-order mark with non-ASCII text: only UTF-16LE with a byte-order mark reads the same under every code page; store it so (scripts/package.sh does)
$p:3: warning: Count is 5 but the last PlugInN key is PlugIn4: entry 5 shows [未知]
$p:9: warning: entry 1 [Long]: Name has 70 characters; the installer keeps 63: "$(printf '%s' "$long" | cut -c1-63)"
$p:14: warning: entry 2 [Plain]: "CorvaneNoise.8bf" has no version text: the installer shows [NO VERSION]
$p:12: warning: entry 2 [Plain]: neither SubDir1 nor SubDir2: no sub-folder is preselected
$p:17: warning: entry 3 [Again]: SrcFile "corvanesharpen.8bf" is also entry 1's: one installs over the other
$p:7: warning: entry 4 [$cut]: PlugIn4 names a section of 130 characters; the installer reads the first 127, which may name another section
5 entries, 0 errors, 7 warnings
EOF
expect warnings 0 "$checker" "$(win warnings)" <"$work/warnings.txt"
expect warnings-strict 1 "$checker" --strict "$(win warnings)" <"$work/warnings.txt"

# Errors: a missing file, a gap in the index keys, a missing section, a name
# that leaves the folder (a file is there), a folder, a sub-folder path, and
# a link to a file outside, in a catalog in code page 1252.
catalog errors/kit raw <<'EOF'
; café
[PlugInInfo]
Count=7
PlugIn1=Missing
PlugIn3=Gone
PlugIn4=Out
PlugIn5=Dir
PlugIn6=Sub
PlugIn7=Link
[Missing]
Name=Missing
SrcFile=Absent.8bf
SubDir1=Filters
[Out]
Name=Out
SrcFile=..\CorvaneSharpen.8bf
SubDir1=Filters
[Dir]
Name=Dir
SrcFile=Plugins
SubDir1=Filters
[Sub]
Name=Sub
SrcFile=Plugins/CorvaneFrame.8bf
SubDir1=Filters
[Link]
Name=Link
SrcFile=Linked.8bf
SubDir1=Filters
EOF
iconv -f UTF-8 -t CP1252 "$work/errors/kit/Corvane.ini" >"$work/errors/kit/ansi.ini"
mv "$work/errors/kit/ansi.ini" "$work/errors/kit/Corvane.ini"
mkdir -p "$work/errors/kit/Plugins"
cp "$plugins/CorvaneSharpen.8bf" "$work/errors/"
cp "$plugins/CorvaneFrame.8bf" "$work/errors/kit/Plugins/"
machine "$work/errors/kit/Plugins/CorvaneFrame.8bf" 8664
ln -s ../CorvaneSharpen.8bf "$work/errors/kit/Linked.8bf"
p=$(at errors/kit)
expect errors 1 "$checker" "$(win errors/kit)" <<EOF
$p: warning: Corvane.ini is code-page text (not UTF-8) with non-ASCII text: only UTF-16LE with a byte-order mark reads the same under every code page; store it so (scripts/package.sh does)
$p:12: error: entry 1 [Missing]: SrcFile "Absent.8bf" is missing beside the catalog
$p:2: error: entry 2: PlugIn2 is missing or empty: every value takes its default ([未知])
$p:5: error: entry 3 [Gone]: the section is missing or holds none of Name, SrcFile, SubDir1, SubDir2, Description: every value takes its default ([未知])
$p:16: error: entry 4 [Out]: SrcFile "..\\CorvaneSharpen.8bf" leaves the folder
$p:20: error: entry 5 [Dir]: SrcFile "Plugins" is a folder, or may not be read (system error 5)
$p:24: warning: entry 6 [Sub]: SrcFile "Plugins/CorvaneFrame.8bf" names a sub-folder: the installer copies it into a folder of that name, which must already exist where it installs
$p:28: error: entry 7 [Link]: SrcFile "Linked.8bf" leads outside the folder (a link): the installer refuses it with system error 123
7 entries, 6 errors, 2 warnings
EOF

# A maker's typical mistakes, in a UTF-16BE catalog, found at their lines:
# an unknown key in each section, a comment after a value, a missing file.
catalog mistakes raw <<'EOF'
; Blur and Vignette
[PlugInInfo]
Count=2
PlugIn1=Blur
PlugIn2=Vignette
Cuont=2
[Blur]
Name=Blur ; rename later
SrcFile=NuBlurr.8bf
SubDir1=Filters
[Vignette]
Name=Vignette
SrcFlie=CorvaneSharpen.8bf
SubDir1=Filters
EOF
{ printf '\376\377'; iconv -f UTF-8 -t UTF-16BE "$work/mistakes/Corvane.ini"; } >"$work/be.ini"
mv "$work/be.ini" "$work/mistakes/Corvane.ini"
cp "$plugins/CorvaneSharpen.8bf" "$work/mistakes/"
p=$(at mistakes)
expect mistakes 1 "$checker" "$(win mistakes)" <<EOF
$p: warning: Corvane.ini is UTF-16BE with non-ASCII text: only UTF-16LE with a byte-order mark reads the same under every code page; store it so (scripts/package.sh does)
$p:6: warning: [PlugInInfo]: the installer does not know the key "Cuont"; the nearest known key is Count
$p:8: warning: entry 1 [Blur]: Name "Blur ; rename later" has ";" after a space: the installer takes it as part of the value, not as a comment
$p:9: error: entry 1 [Blur]: SrcFile "NuBlurr.8bf" is missing beside the catalog
$p:11: error: entry 2 [Vignette]: no SrcFile: the installer looks for a file named [未知]
$p:13: warning: entry 2 [Vignette]: the installer does not know the key "SrcFlie"; the nearest known key is SrcFile
2 entries, 2 errors, 4 warnings
EOF

# Machine types: x86, ARM64 and an unnamed one (header fixtures), a text file
# named as a plug-in, and nothing for x64 editors.
catalog machines <<'EOF'
[PlugInInfo]
Count=4
PlugIn1=A
PlugIn2=B
PlugIn3=C
PlugIn4=D
[A]
SrcFile=CorvaneSharpen.8bf
[B]
SrcFile=CorvaneFrame.8bf
[C]
SrcFile=CorvaneGlow.8bf
[D]
SrcFile=Notes.8bf
EOF
sed -i 's/^SrcFile.*/Name=x\r\nSubDir1=F\r\n&/' "$work/src.ini"
sh "$root/scripts/make-catalog.sh" "$work/src.ini" "$work/machines/Corvane.ini"
cp "$plugins/CorvaneSharpen.8bf" "$plugins/CorvaneFrame.8bf" "$plugins/CorvaneGlow.8bf" "$work/machines/"
machine "$work/machines/CorvaneSharpen.8bf" 14c
machine "$work/machines/CorvaneFrame.8bf" aa64
machine "$work/machines/CorvaneGlow.8bf" 1c4
echo "a text file" >"$work/machines/Notes.8bf"
expect machines 1 "$checker" --files "$(win machines)" <<EOF
file: CorvaneSharpen.8bf (x86)
file: CorvaneFrame.8bf (ARM64)
file: CorvaneGlow.8bf (0x01c4)
$(at machines):22: error: entry 4 [D]: SrcFile "Notes.8bf" is not a Windows DLL: no editor can load it
$(at machines): warning: no plug-in file is built for x64: a 64-bit editor on x64 Windows loads none of them
4 entries, 1 error, 1 warning
EOF

# About 100 bytes with a huge Count: an error, at once.
catalog huge <<'EOF'
[PlugInInfo]
Count=3000000
PlugIn1=A
PlugIn2=B
PlugIn3=C
[A]
SrcFile=CorvaneSharpen.8bf
SubDir1=F
[B]
SrcFile=CorvaneFrame.8bf
SubDir1=F
[C]
SrcFile=CorvaneGlow.8bf
SubDir1=F
EOF
cp "$plugins/CorvaneSharpen.8bf" "$plugins/CorvaneFrame.8bf" "$plugins/CorvaneGlow.8bf" "$work/huge/"
machine "$work/huge/CorvaneSharpen.8bf" 8664
limit=3 expect huge-count 1 "$checker" "$(win huge)" <<EOF
$(at huge):2: error: Count 3000000 is more entries than a catalog may hold (100000): only the entries up to the last PlugInN key are checked
$(at huge):6: warning: entry 1 [A]: no Name: the list shows [未知]
$(at huge):9: warning: entry 2 [B]: no Name: the list shows [未知]
$(at huge):12: warning: entry 3 [C]: no Name: the list shows [未知]
3 entries, 1 error, 3 warnings
EOF

# No usable catalog.
mkdir -p "$work/none" "$work/folder/Corvane.ini"
expect no-catalog 1 "$checker" "$(win none)" <<EOF
$(at none): error: no catalog: the file does not exist
0 entries, 1 error, 0 warnings
EOF
expect catalog-folder 1 "$checker" "$(win folder)" <<EOF
$(at folder): error: no catalog: this is a folder, not a file
0 entries, 1 error, 0 warnings
EOF
printf '[PlugInInfo]\r\nCount=three\r\nPlugIn1=A\r\n' | catalog empty
expect no-entries 1 "$checker" "$(win empty)" <<EOF
$(at empty):2: error: no entries: Count is "three"
0 entries, 1 error, 0 warnings
EOF

# Help (as the README gives it) and version.
sed -n '/^<!-- CorvaneCheck --help -->$/,/^```$/p' "$root/README.md" | sed '1,2d;$d' >"$work/help.txt"
expect help 0 "$checker" --help <"$work/help.txt"
sed -n 's/^#define CORVANE_VERSION_TEXT "\(.*\)"$/CorvaneCheck \1/p' "$build/version.h" >"$work/version.txt"
expect version 0 "$checker" --version <"$work/version.txt"

# Mistakes in the command itself.
usage='(usage: CorvaneCheck [--strict] [--files] [--plan[=SWITCHES]] [FOLDER])'
expect unknown-option 2 "$checker" --fast "$(win clean)" <<EOF
CorvaneCheck: unknown option --fast $usage
EOF
expect too-many 2 "$checker" "$(win clean)" "$(win none)" <<EOF
CorvaneCheck: too many arguments: $(win none) $usage
EOF
expect not-a-folder 2 "$checker" "$(win clean)\\Corvane.ini" <<EOF
CorvaneCheck: not a folder: $(win clean)\\Corvane.ini $usage
EOF

# --plan: what /S would do into one folder, with nothing written there.
mkdir -p "$work/ps/Effects" && cp "$plugins/CorvaneFrame.8bf" "$work/ps/Effects/"
expect plan 0 "$checker" "--plan=/D=$(win ps)" "$(win clean)" <<EOF
CorvaneSetup.exe /S /D=$(win ps) would do, on this machine (nothing is written; /LOG is not opened):
installed	锐化大师 (CorvaneSharpen.8bf)	$(win ps)\\CorvaneSharpen.8bf	[ 0 ] Success.
up to date	Frame (corvaneframe.8bf)	$(win ps)\\Effects\\corvaneframe.8bf	[ 0 ] Success.
exit code: 0
EOF
[ ! -e "$work/ps/CorvaneSharpen.8bf" ] || { failed=$((failed + 1)); echo "FAIL plan wrote a file"; }

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
