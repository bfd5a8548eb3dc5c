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

# The Windows path of a folder under $work, as the checker names it.
win() { printf 'Z:%s' "$work/$1" | tr / '\\'; }
# catalog DIR [raw]: the catalog from stdin; stored as the packager stores it
# (UTF-16LE with a byte-order mark) unless "raw".
catalog() {
    mkdir -p "$work/$1"
    if [ "${2:-}" = raw ]; then cat >"$work/$1/Corvane.ini"; else
        cat >"$work/src.ini" && sh "$root/scripts/make-catalog.sh" "$work/src.ini" "$work/$1/Corvane.ini"
    fi
}
# expect NAME CODE PROGRAM ARGS...: runs the checker; stdin holds the lines it must print.
expect() {
    name=$1 code=$2
    shift 2
    cat >"$work/want.txt"
    sh "$root/scripts/wine-run.sh" "$arch" "$@" >"$work/got.txt" 2>"$work/err.txt"
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
expect clean 0 "$work/clean/CorvaneCheck.exe" <<'EOF'
2 entries, 0 errors, 0 warnings
EOF
expect clean-files 0 "$checker" --files "$(win clean)" <<'EOF'
file: CorvaneSharpen.8bf
file: CorvaneFrame.8bf
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
cat >"$work/warnings.txt" <<EOF
warning: Corvane.ini is UTF-8 without a byte-order mark with non-ASCII text: only UTF-16LE with a byte-order mark reads the same under every code page; store it so (scripts/package.sh does)
warning: Count is 5 but the last PlugInN key is PlugIn4: entry 5 shows [未知]
warning: entry 1 [Long]: Name has 70 characters; the installer keeps 63: "$(printf '%s' "$long" | cut -c1-63)"
warning: entry 2 [Plain]: "CorvaneNoise.8bf" has no version text: the installer shows [NO VERSION]
warning: entry 2 [Plain]: neither SubDir1 nor SubDir2: no sub-folder is preselected
warning: entry 3 [Again]: SrcFile "corvanesharpen.8bf" is also entry 1's: one installs over the other
warning: entry 4 [$cut]: PlugIn4 names a section of 130 characters; the installer reads the first 127, which may name another section
5 entries, 0 errors, 7 warnings
EOF
expect warnings 0 "$checker" "$(win warnings)" <"$work/warnings.txt"
expect warnings-strict 1 "$checker" --strict "$(win warnings)" <"$work/warnings.txt"

# Errors: a missing file, a gap in the index keys, a missing section, a name
# that leaves the folder (a file is there), a folder, and a sub-folder path.
catalog errors/kit <<'EOF'
[PlugInInfo]
Count=6
PlugIn1=Missing
PlugIn3=Gone
PlugIn4=Out
PlugIn5=Dir
PlugIn6=Sub
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
EOF
mkdir -p "$work/errors/kit/Plugins"
cp "$plugins/CorvaneSharpen.8bf" "$work/errors/"
cp "$plugins/CorvaneFrame.8bf" "$work/errors/kit/Plugins/"
expect errors 1 "$checker" "$(win errors/kit)" <<'EOF'
error: entry 1 [Missing]: SrcFile "Absent.8bf" is missing beside the catalog
error: entry 2: PlugIn2 is missing or empty: every value takes its default ([未知])
error: entry 3 [Gone]: the section is missing or holds none of Name, SrcFile, SubDir1, SubDir2, Description: every value takes its default ([未知])
error: entry 4 [Out]: SrcFile "..\CorvaneSharpen.8bf" leaves the folder
error: entry 5 [Dir]: SrcFile "Plugins" is a folder, not a file
warning: entry 6 [Sub]: SrcFile "Plugins/CorvaneFrame.8bf" names a sub-folder: the installer copies it into a folder of that name, which must already exist where it installs
6 entries, 5 errors, 1 warning
EOF

# No usable catalog.
mkdir -p "$work/none" "$work/folder/Corvane.ini"
expect no-catalog 1 "$checker" "$(win none)" <<EOF
error: no catalog: $(win none)\\Corvane.ini does not exist
0 entries, 1 error, 0 warnings
EOF
expect catalog-folder 1 "$checker" "$(win folder)" <<EOF
error: no catalog: $(win folder)\\Corvane.ini is a folder, not a file
0 entries, 1 error, 0 warnings
EOF
printf '[PlugInInfo]\r\nCount=three\r\nPlugIn1=A\r\n' | catalog empty
expect no-entries 1 "$checker" "$(win empty)" <<'EOF'
error: no entries: Count is "three"
0 entries, 1 error, 0 warnings
EOF

# Mistakes in the command itself.
usage='(usage: CorvaneCheck [--strict] [--files] [FOLDER])'
expect unknown-option 2 "$checker" --fast "$(win clean)" <<EOF
CorvaneCheck: unknown option --fast $usage
EOF
expect too-many 2 "$checker" "$(win clean)" "$(win none)" <<EOF
CorvaneCheck: too many arguments: $(win none) $usage
EOF
expect not-a-folder 2 "$checker" "$(win clean)\\Corvane.ini" <<EOF
CorvaneCheck: not a folder: $(win clean)\\Corvane.ini $usage
EOF

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
