# A virtual X11 desktop for the end-to-end tests: Xvfb on a free display,
# a tray host, and optionally a window manager.
#   source tests/e2e/lib/desktop.sh
#   start_desktop [--wm]     # exports DISPLAY; stop_desktop runs on exit
# XVFB_EXTRA_ARGS adds arguments to Xvfb (e.g. "-extension RECORD").
# Needs QUILLET_BUILD (the build tree with tests/e2e/tools).
# shellcheck shell=bash

DESKTOP_PIDS=()

stop_desktop() {
    local pid
    for pid in "${DESKTOP_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${DESKTOP_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    DESKTOP_PIDS=()
}

start_desktop() {
    local wm=0
    [[ "${1:-}" == --wm ]] && wm=1
    local tools="$QUILLET_BUILD/tests/e2e/tools"
    local fifo
    fifo=$(mktemp -u /tmp/quillet-xvfb.XXXXXX)
    mkfifo "$fifo"
    # shellcheck disable=SC2086
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp ${XVFB_EXTRA_ARGS:-} 3>"$fifo" >/dev/null 2>&1 &
    DESKTOP_PIDS+=($!)
    local number
    read -r -t 10 number <"$fifo"
    rm -f "$fifo"
    if [[ -z "$number" ]]; then
        echo "desktop: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$number"
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
    export XDG_SESSION_TYPE=x11
    trap 'stop_desktop; cleanup_app_dirs' EXIT
    if [[ $wm -eq 1 ]]; then
        openbox >/dev/null 2>&1 &
        DESKTOP_PIDS+=($!)
        "$tools/xwaitselection" WM_S0 5000 || { echo "desktop: no window manager" >&2; return 1; }
    fi
    trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
    DESKTOP_PIDS+=($!)
    "$tools/xwaitselection" _NET_SYSTEM_TRAY_S0 5000 || { echo "desktop: no tray host" >&2; return 1; }
}

# Makes a scratch directory /tmp/quillet-NAME.XXXXXX, removed on exit with
# the program's directories, and prints it.
APP_DIRS_FILE=$(mktemp /tmp/quillet-appdirs.XXXXXX)
fresh_work_dir() {
    local dir
    dir=$(mktemp -d "/tmp/quillet-$1.XXXXXX")
    echo "$dir" >>"$APP_DIRS_FILE"
    echo "$dir"
}

# Copies the built program into a fresh directory (it keeps its files beside
# its executable) and prints that directory.
fresh_app_dir() {
    local dir
    dir=$(fresh_work_dir app)
    cp "$QUILLET_BUILD/src/quillet" "$dir/"
    echo "$dir"
}

cleanup_app_dirs() {
    [[ -n "${KEEP_APP_DIRS:-}" ]] && return 0
    xargs -r rm -rf <"$APP_DIRS_FILE"
    rm -f "$APP_DIRS_FILE"
}
trap 'stop_desktop; cleanup_app_dirs' EXIT

# Milliseconds of wall time.
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# Polls a shell condition every 20 ms (every WAIT_FOR_POLL seconds when that
# is set) for up to $1 milliseconds of wall time.
wait_for() {
    local timeout=$1
    shift
    local deadline=$(($(now_ms) + timeout))
    until eval "$@"; do
        (($(now_ms) >= deadline)) && return 1
        sleep "${WAIT_FOR_POLL:-0.02}"
    done
    return 0
}

# Runs a start of the program in the foreground (at most 20 s), its standard
# error into $1: sets start_code (its exit code) and start_ms (how long it ran).
#   run_start ERRFILE PROGRAM
run_start() {
    local t0
    t0=$(now_ms)
    set +e
    timeout 20 "$2" 2>"$1"
    start_code=$?
    set -e
    start_ms=$(($(now_ms) - t0))
}

# Whether the child PID has ended: an ended child stays a zombie until it is
# waited for.
ended() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 0
    [[ $state == Z* ]]
}

# The name of the window with the keyboard focus (empty when there is none).
focused_name() { xdotool getwindowfocus getwindowname 2>/dev/null || true; }
