# Memory: nothing in the program draws with OpenGL, so no OpenGL driver may
# be mapped into it, not even after its popup has been shown (Qt's X11
# platform would load one at the first window). The small dispatch
# libraries Qt links (libGL, libGLX, libGLdispatch) are no driver and may
# stay. A user's own choice of integration in the environment is kept: with
# it, the driver does load, which also shows that this test can see one.
set -euo pipefail
source "$(dirname "$0")/lib/desktop.sh"
tools="$QUILLET_BUILD/tests/e2e/tools"
patience=15000
work=$(mktemp -d /tmp/quillet-gl.XXXXXX)
echo "$work" >>"$APP_DIRS_FILE"
pid=""
target_pid=""

fail() {
    echo "no-opengl: $*" >&2
    [[ -f "$work/err.txt" ]] && sed 's/^/  quillet: /' "$work/err.txt" | tail -5 >&2
    exit 1
}

drivers() {
    { grep -E '_dri\.so|libGLX_mesa|libEGL_mesa|libLLVM' "/proc/$pid/maps" || true; } | awk '{print $6}' | sort -u
}

popup_visible() {
    xdotool search --onlyvisible --name '^Input Dialog$' >/dev/null 2>&1
}

# Starts the program with the given environment, shows its popup with the
# hot key over a focused target and hides it again.
show_once() {
    app=$(fresh_app_dir)
    env "$@" "$app/quillet" >"$work/err.txt" 2>&1 &
    pid=$!
    wait_for "$patience" '"$tools/xtrayicons" quillet | grep -q .' || fail "the tray icon did not dock ($*)"
    "$tools/xkey" Control_R Control_R
    wait_for "$patience" popup_visible || fail "the hot key did not bring up the popup ($*)"
    "$tools/xkey" Escape
    wait_for "$patience" '! popup_visible' || fail "Escape did not hide the popup ($*)"
}

stop_program() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
}

start_desktop
trap 'stop_program; kill $target_pid 2>/dev/null || true; stop_desktop; cleanup_app_dirs' EXIT
"$tools/targetwindow" "$work/target.txt" >/dev/null 2>&1 &
target_pid=$!
wait_for "$patience" '[[ "$(cat "$work/target.txt.focus" 2>/dev/null)" == 1 ]]' \
    || fail "the target window did not get the focus"

show_once -u QT_XCB_GL_INTEGRATION
found=$(drivers)
[[ -z "$found" ]] || fail "OpenGL drivers mapped after the first show: $(echo $found)"
echo "no-opengl: no driver mapped after the first show ($(awk '/VmRSS/ {print $2, $3}' /proc/$pid/status))"
stop_program

show_once QT_XCB_GL_INTEGRATION=xcb_glx
found=$(drivers)
[[ -n "$found" ]] || fail "with QT_XCB_GL_INTEGRATION=xcb_glx no driver was seen: the check sees nothing"
echo "no-opengl: the user's own xcb_glx loads $(echo "$found" | wc -l) driver libraries"
stop_program
echo "no-opengl: ok"
