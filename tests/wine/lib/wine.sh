# Runs Windows programs under Wine on the virtual desktop of the end-to-end
# tests (tests/e2e/lib/desktop.sh).
#   source tests/wine/lib/wine.sh
#   start_desktop [--wm]; start_wine     # a fresh Wine prefix on that display
#   stop_wine                            # ends its programs; on exit too
# Reuses the prefix named by QUILLET_WINEPREFIX when set (the test stage makes
# one per run, as a fresh prefix takes 10 to 25 s); otherwise makes its own
# temporary one and removes it on exit.
# shellcheck shell=bash

WINE_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUILLET_SRC=${QUILLET_SRC:-$(cd "$WINE_LIB_DIR/../../.." && pwd)}
export QUILLET_BUILD=${QUILLET_BUILD:-$QUILLET_SRC/build}
export QUILLET_WIN_BUILD=${QUILLET_WIN_BUILD:-$QUILLET_SRC/build-win}
# shellcheck source=../../e2e/lib/desktop.sh
source "$QUILLET_SRC/tests/e2e/lib/desktop.sh"

WINE_OWN_PREFIX=""

export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=-all
export WINEARCH=win64
unset QT_QPA_PLATFORM

# Ends every program of the prefix and its server; the prefix stays.
stop_wine() {
    if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
        timeout 20 wineserver -k 2>/dev/null || true
        timeout 20 wineserver -w 2>/dev/null || true
    fi
}

wine_cleanup() {
    stop_wine
    if [[ -n "$WINE_OWN_PREFIX" ]]; then
        rm -rf "$WINE_OWN_PREFIX"
        WINE_OWN_PREFIX=""
    fi
    stop_desktop
    cleanup_app_dirs
}
trap wine_cleanup EXIT

# Makes (or reuses) the Wine prefix and starts its server on $DISPLAY.
start_wine() {
    # start_desktop sets its own exit trap; ours also ends Wine.
    trap wine_cleanup EXIT
    if [[ -n "${QUILLET_WINEPREFIX:-}" ]]; then
        # A made prefix: its server starts with the first program.
        export WINEPREFIX=$QUILLET_WINEPREFIX
        return 0
    fi
    WINE_OWN_PREFIX=$(mktemp -d /tmp/quillet-wine.XXXXXX)
    export WINEPREFIX=$WINE_OWN_PREFIX
    timeout 180 wineboot -i >/dev/null 2>&1 || { echo "wine: the prefix could not be made" >&2; return 1; }
}

# The Windows path of a Unix path (Wine maps / to drive Z:).
wine_path() {
    local path
    path=$(realpath -m "$1")
    echo "Z:${path//\//\\}"
}

# --- For the end-to-end tests under Wine (tests/wine/test_*.sh); fail is the
# test's own (report and exit).

WINE_TESTS_DIR=$(cd "$WINE_LIB_DIR/.." && pwd)
popup_title="Input Dialog"

# Milliseconds since the library was loaded, before a line of progress.
WINE_T0=$(now_ms)
say() { echo "  $(($(now_ms) - WINE_T0)) ms: $*"; }

# Polls a shell condition every 50 ms until it holds or $1 milliseconds have
# passed (what it asks of Wine is slow to answer anyway).
within() { WAIT_FOR_POLL=0.05 wait_for "$@"; }

# Makes the test's scratch directory ($work, removed on exit), copies the
# Windows program into $work/app ($app) and builds the named tools of
# tests/wine (TOOL.c) into $work. The program is the folder QUILLET_WIN_APP
# names (the unpacked zip in the test stage), else the build's.
#   wine_test_dirs NAME [TOOL...]
wine_test_dirs() {
    local dist=${QUILLET_WIN_APP:-$QUILLET_WIN_BUILD/dist/quillet} tool
    [[ -f "$dist/quillet.exe" ]] || { echo "no Windows program in $dist (run scripts/build-windows)"; exit 1; }
    work=$(fresh_work_dir "$1")
    shift
    app=$work/app
    mkdir "$app"
    cp -r "$dist/." "$app/"
    for tool in "$@"; do
        x86_64-w64-mingw32-gcc-posix -O2 -Wall -Werror -static -municode "$WINE_TESTS_DIR/$tool.c" \
            -o "$work/$tool.exe" -luser32
    done
}

wintool() { wine "$work/wintool.exe" "$@" >/dev/null 2>&1; }
# Exact key events (tests/wine/xkey.py).
xkey() { python3 "$WINE_TESTS_DIR/xkey.py" "$@"; }
# Entry $1 of the history file (0 is the newest), or "count".
entry() { python3 "$WINE_TESTS_DIR/cliplist.py" "$app/cliplist.dat" "$1" 2>/dev/null; }
popup_shown() { xwininfo -name "$popup_title" 2>/dev/null | grep -q IsViewable; }
focused() { [[ "$(focused_name)" == "$1" ]]; }

# How many Wine tray icons the tray host holds (Wine's explorer embeds them).
docked_icons() {
    local panel count=0
    for panel in $(xdotool search --classname '^panel$' 2>/dev/null); do
        count=$((count + $(xwininfo -tree -id "$panel" | grep -c '"explorer.exe"')))
    done
    echo "$count"
}

# Starts quillet.exe from $app ($quillet_pid; its output in
# $work/quillet.log) and waits for its tray icon.
start_quillet_exe() {
    (cd "$app" && exec wine quillet.exe >"$work/quillet.log" 2>&1) &
    quillet_pid=$!
    disown "$quillet_pid"
    within 60000 '[[ $(docked_icons) -ge 1 ]]' || fail "no tray icon docked"
    kill -0 "$quillet_pid" 2>/dev/null || fail "quillet.exe ended at start-up"
}

# Starts Wine's notepad: Wine's hook sees only keys that X delivers to a
# Wine window. Sets its window ($notepad) and title ($notepad_title).
start_notepad() {
    wine notepad >/dev/null 2>&1 &
    disown $!
    # Wine may replace a window of notepad's while it starts: the window
    # counts once its name could be read.
    notepad=""
    notepad_title=""
    within 30000 'notepad=$(xdotool search --name " - Notepad$" 2>/dev/null | head -n 1) && [[ -n "$notepad" ]] &&
        notepad_title=$(xdotool getwindowname "$notepad" 2>/dev/null) && [[ -n "$notepad_title" ]]' ||
        fail "notepad did not start"
}

focus_notepad() {
    for _ in 1 2 3; do
        xdotool windowactivate --sync "$notepad" >/dev/null 2>&1 ||
            notepad=$(xdotool search --name " - Notepad$" 2>/dev/null | head -n 1)
        within 5000 'focused "$notepad_title"' && return 0
    done
    fail "notepad does not take the focus"
}

# The text in notepad's edit control (read by wintool with WM_GETTEXT).
notepad_text() { wintool edittext Notepad "$(wine_path "$work/text.txt")" && cat "$work/text.txt"; }
