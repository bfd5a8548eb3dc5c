# Sourced: a display and a Wine prefix for running the program. $WINE runs
# 64-bit programs, $WINE32 32-bit ones, in the same prefix.
#   wine_start PREFIX [WxH]  starts Xvfb (a screen of WxH, 1024x768 unless
#                       given) when there is no display, makes the prefix
#                       when it is new, and keeps a wineserver running
#   wine_stop           stops what wine_start started
WINE=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
_started_xvfb=""
# Put before each slow Wine command; a script that must stop at once on a
# signal sets it to a function that runs the command where it can end it.
wine_run=""

wine_start() {
    export WINEPREFIX=$1
    export CORVANE_WINEPREFIX=$1
    if [ -z "${DISPLAY:-}" ] || [ -n "${CORVANE_XVFB:-}" ]; then
        fdfile=$(mktemp)
        Xvfb -displayfd 3 -screen 0 "${2:-1024x768}x24" -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
        _started_xvfb=$!
        for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
        export DISPLAY=":$(head -n1 "$fdfile")"
        rm -f "$fdfile"
    fi
    # Made whole or made again: a set-up that was cut off leaves no mark.
    if [ ! -f "$WINEPREFIX/.made" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        $wine_run "$WINE" wineboot -i >"$WINEPREFIX.log" 2>&1
        $wine_run "$WINESERVER" -w
        link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
        for font in Tahoma "Microsoft Sans Serif"; do
            $wine_run "$WINE" reg add "$link" /v "$font" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >>"$WINEPREFIX.log" 2>&1
        done
        # Without a window manager, Wine otherwise waits 2 s on closing each window.
        $wine_run "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$WINEPREFIX.log" 2>&1
        # Caption buttons are glyphs of Marlett. Wine started as here loads no
        # font from its own data folder, only the prefix's Fonts folder (left
        # empty) and the system's, where no Marlett is: the close box drew as
        # another font's "r". Marlett alone: fonts that lay out text would
        # change the dialog's measured sizes.
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>>"$WINEPREFIX.log" || true
        $wine_run "$WINESERVER" -w
        : >"$WINEPREFIX/.made"
    fi
    # A persistent server started here, not by a test, so that no test's
    # output pipe is held open by it.
    "$WINESERVER" -p || {
        echo "a Wine server is running in $WINEPREFIX already (left by an ended run, or another run's): WINEPREFIX=$WINEPREFIX $WINESERVER -k stops it" >&2
        return 1
    }
}

wine_stop() {
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    if [ -n "$_started_xvfb" ]; then
        kill "$_started_xvfb" 2>/dev/null || true
        wait "$_started_xvfb" 2>/dev/null || true
        _started_xvfb=""
    fi
}

# The Wine loader for a build: wine_for i686|x86_64
wine_for() {
    if [ "$1" = i686 ]; then echo "$WINE32"; else echo "$WINE"; fi
}

# Whether this machine runs 32-bit Windows programs: a tiny 32-bit console
# program, built once into build/probe32/, must start under the 32-bit loader
# and print its word. Where the kernel lacks IA-32 emulation the loader itself
# cannot start (126); elsewhere a missing or broken wine32 fails the program.
# Sets probe_32bit_why to the reason when it does not. Run from the
# repository's folder. CORVANE_FORCE_32BIT=yes|no forces the answer, for the
# scripts' own tests only.
runs_32bit() {
    probe_32bit_why=""
    probe_32bit_kernel=""  # set when the kernel itself refuses: nothing to mend here
    case ${CORVANE_FORCE_32BIT:-} in
        yes) return 0 ;;
        no) probe_32bit_why="this machine cannot run 32-bit programs (CORVANE_FORCE_32BIT=no)"; probe_32bit_kernel=1
            return 1 ;;
    esac
    _probe=build/probe32
    _code=0
    "$WINE32" --version >/dev/null 2>&1 || _code=$?
    if [ $_code -eq 126 ]; then
        probe_32bit_why="this machine cannot run 32-bit programs (its kernel refuses Wine's 32-bit loader)"
        probe_32bit_kernel=1
        return 1
    elif [ $_code -ne 0 ]; then
        probe_32bit_why="this machine cannot run 32-bit programs (Wine's 32-bit loader $WINE32 fails: $_code; is wine32:i386 installed?)"
        return 1
    fi
    if [ ! -f "$_probe/probe.exe" ]; then
        mkdir -p "$_probe"
        printf '#include <stdio.h>\nint main(void) { puts(sizeof(void*) == 4 ? "i386" : "other"); return 0; }\n' \
            >"$_probe/probe.c"
        i686-w64-mingw32-gcc -s -o "$_probe/probe.exe.tmp" "$_probe/probe.c" 2>/dev/null &&
            mv "$_probe/probe.exe.tmp" "$_probe/probe.exe" || {
            probe_32bit_why="cannot tell whether this machine runs 32-bit programs: i686-w64-mingw32-gcc cannot build the probe"
            return 1
        }
    fi
    # A prefix of its own, made on the first probe (some seconds) and kept.
    _said=$(WINEPREFIX="$(pwd)/$_probe/prefix" timeout 300 "$WINE32" "$_probe/probe.exe" 2>/dev/null | tr -d '\r')
    [ "$_said" = i386 ] && return 0
    probe_32bit_why="this machine cannot run 32-bit programs (a 32-bit test program did not run under Wine's 32-bit loader)"
    return 1
}
