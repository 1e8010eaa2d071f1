#!/usr/bin/env bash
# Runs a command with Tarnwick's test bed up: an X display, a private 32-bit Wine prefix
# with Chinese fonts, and one wineserver shared by every Windows program the command starts.
# With 64-bit Wine installed, a private display also gets a 64-bit prefix with its own
# server, for the tests that need a 64-bit process beside ours (as the shell of 64-bit
# Windows is); a program runs there when wine-exec sees TW_WINE_ARCH=win64.
#
#   scripts/testbed.sh [--build DIR] [--display private|auto] [--] CMD [ARG...]
#
# --build DIR      build folder (default $BUILD or "build"); the prefix lives in it.
# --display private (default) starts a private Xvfb, so tests never touch a user's desktop.
# --display auto   uses $TW_DISPLAY or $DISPLAY when a server answers there (for `make run`),
#                  with a second prefix in which Wine leaves the windows to the window
#                  manager; without a usable display it falls back to a private Xvfb.
#
# CMD sees WINEPREFIX, WINEARCH, TW_WINEPREFIX64 (empty without the 64-bit prefix), DISPLAY,
# WINEDEBUG, WINEDLLOVERRIDES, LOCPATH, LANG
# (default zh_CN.UTF-8, override with TW_LANG), TW_TESTBED=1 and TW_BUILD. The exit code is
# CMD's. On exit, failure or signal every Wine process of the prefix is ended and the
# private Xvfb is stopped. Sessions on the same build folder take turns (a lock), because
# they would share, and kill, one wineserver.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD:-build}
display_mode=private
while [[ $# -gt 0 ]]; do
    case $1 in
        --build) build=${2:?--build needs a folder}; shift 2 ;;
        --display) display_mode=${2:?--display needs private or auto}; shift 2 ;;
        --) shift; break ;;
        -*) echo "testbed.sh: unknown option '$1'" >&2; exit 2 ;;
        *) break ;;
    esac
done
[[ $# -gt 0 ]] || { echo "usage: testbed.sh [--build DIR] [--display private|auto] [--] CMD..." >&2; exit 2; }
case $display_mode in private|auto) ;; *) echo "testbed.sh: --display private|auto" >&2; exit 2 ;; esac

mkdir -p "$build"
build=$(cd "$build" && pwd)
log=$build/testbed.log

xvfb_pid=
child_pid=
servers_up=()

say() { echo "testbed: $*" >&2; }

# shellcheck disable=SC2317  # runs from the traps
cleanup() {
    local rc=$?
    set +e
    trap - EXIT INT TERM
    [[ -n $child_pid ]] && kill -TERM "$child_pid" 2>/dev/null
    local p
    for p in "${servers_up[@]}"; do
        # Ends every Wine process of this prefix, then the server itself.
        WINEPREFIX=$p wineserver -k >/dev/null 2>&1
        WINEPREFIX=$p timeout 20 wineserver -w >/dev/null 2>&1 || WINEPREFIX=$p wineserver -k9 >/dev/null 2>&1
    done
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# One session per build folder at a time; children must not inherit the lock's descriptor,
# or a stray process would hold it after we are gone.
exec 9>"$build/.testbed.lock"
if ! flock -n 9; then
    say "another session holds the test bed of $build; waiting"
    flock 9
fi

display_answers() { xdpyinfo -display "$1" >/dev/null 2>&1; }

start_xvfb() {
    local n i
    for ((n = 90; n < 190; n++)); do
        [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >>"$log" 2>&1 9>&- &
        xvfb_pid=$!
        for ((i = 0; i < 200; i++)); do
            # Someone else may have taken :n in the same instant; the lock file says whose it is.
            if [[ -S /tmp/.X11-unix/X$n ]] && [[ $(tr -d ' \n' </tmp/.X$n-lock 2>/dev/null) == "$xvfb_pid" ]] &&
               display_answers ":$n"; then
                export DISPLAY=:$n
                return 0
            fi
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=
    done
    say "could not start Xvfb on any display from :90 up (see $log)"
    return 1
}

prefix=$build/wineprefix
managed=N
if [[ $display_mode == auto ]]; then
    user_display=${TW_DISPLAY:-${DISPLAY:-}}
    if [[ -n $user_display ]] && display_answers "$user_display"; then
        export DISPLAY=$user_display
        # On a real desktop the window manager should frame and move the windows.
        prefix=$build/wineprefix-desktop
        managed=
    else
        start_xvfb
    fi
else
    unset XAUTHORITY
    start_xvfb
fi

# Locales for file names outside ASCII (see deps.sh).
"$root/scripts/deps.sh" --locales "$build/locale" >&2
export LOCPATH=$build/locale

export WINEDEBUG=-all
# No offers to install Mono or Gecko, no menu entries or file associations on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The code page comes from LANG; any LC_* or LANGUAGE from the caller would override it.
unset LC_ALL LC_CTYPE LC_MESSAGES LC_COLLATE LC_NUMERIC LC_TIME LC_MONETARY LANGUAGE
export LANG=${TW_LANG:-zh_CN.UTF-8}
export TW_TESTBED=1
export TW_BUILD=$build

# The registry settings of the bed. Written as a UTF-16LE "Version 5.00" file so that
# "宋体" arrives intact whatever code page regedit runs under.
registry_text() {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    local face
    for face in "Tahoma" "MS Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" "SimSun" "宋体" "Arial" "Trebuchet MS"; do
        printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"
    done
    printf '\r\n'
    if [[ -n $managed ]]; then
        # Without a window manager a managed window waits ~2 s for its answer on every hide.
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="%s"\r\n\r\n' "$managed"
    fi
    # A crash prints its backtrace and ends the process instead of waiting on a dialog.
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
}

# user.reg keeps non-ASCII names as \x escapes: 宋体 is U+5B8B U+4F53.
registry_landed() {
    local reg=$WINEPREFIX/user.reg
    grep -q '^"\\x5b8b\\x4f53"="WenQuanYi Micro Hei"' "$reg" &&
        grep -q '^"MS Shell Dlg 2"="WenQuanYi Micro Hei"' "$reg" &&
        grep -q '^"ShowCrashDialog"=dword:00000000' "$reg" &&
        { [[ -z $managed ]] || grep -q "^\"Managed\"=\"$managed\"" "$reg"; }
}

prepare_prefix() {
    local stamp=$WINEPREFIX/.tarnwick-testbed want
    # Bump "v2" when the way the prefix is made changes in a way the text below misses.
    want="v2 $(wine --version) $(registry_text | md5sum | cut -d' ' -f1)"
    [[ -f $stamp && $(<"$stamp") == "$want" ]] && return 0
    say "preparing the Wine prefix $WINEPREFIX"
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        wineboot -i >>"$log" 2>&1 9>&-
    fi
    # Wine draws caption buttons, check marks and scroll arrows with Marlett. This Wine does
    # not pick it up from its own font folder (fonts-wine), but does from the prefix's.
    local marlett=/usr/share/wine/fonts/marlett.ttf
    if [[ -f $marlett ]]; then
        cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
    else
        say "warning: $marlett is missing (package fonts-wine); title bar buttons will draw as letters"
    fi
    local reg=$build/testbed.reg
    { printf '\xff\xfe'; registry_text | iconv -f UTF-8 -t UTF-16LE; } >"$reg"
    wine regedit /S "$reg" >>"$log" 2>&1 9>&-
    # The server writes user.reg when it goes away.
    wineserver -w
    if ! registry_landed; then
        say "the registry settings did not land in $WINEPREFIX/user.reg (see $log)"
        return 1
    fi
    echo "$want" >"$stamp"
}

# One persistent server per prefix for the whole session. Started here, it does not hold
# CMD's output pipes (CTest would wait for them); the services Wine starts with the first
# program are started here too, for the same reason.
start_server() {
    wineserver -p >>"$log" 2>&1 9>&-
    servers_up+=("$WINEPREFIX")
    wine cmd /c exit 0 </dev/null >>"$log" 2>&1 9>&-
}

# The 64-bit prefix first, so that the variables CMD sees are the 32-bit one's. Debian's
# wine64 serves 32-bit prefixes from its 64-bit server too, which is why WINEARCH is always
# said outright.
export TW_WINEPREFIX64=
if [[ $display_mode == private && -x /usr/lib/wine/wine64 ]]; then
    export WINEPREFIX=$build/wineprefix64 WINEARCH=win64
    prepare_prefix
    start_server
    export TW_WINEPREFIX64=$WINEPREFIX
fi
export WINEPREFIX=$prefix WINEARCH=win32
prepare_prefix
start_server

# CMD runs in the background so that a signal reaches our trap at once; it keeps our stdin.
exec 8<&0
"$@" 0<&8 8<&- 9>&- &
child_pid=$!
set +e
wait "$child_pid"
rc=$?
set -e
child_pid=
exit "$rc"
