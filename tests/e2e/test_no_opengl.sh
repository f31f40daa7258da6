# Memory: nothing in the program draws with OpenGL, so no OpenGL driver may
# be mapped into it, not even after its popup has been shown (Qt's X11
# platform would load one at the first window). The small dispatch
# libraries Qt links (libGL, libGLX, libGLdispatch) are no driver and may
# stay. A user's own choice of integration in the environment is kept: with
# it, the driver does load, which also shows that this test can see one.
set -euo pipefail
source "$(dirname "$0")/lib/program.sh"
work=$(fresh_work_dir gl)

fail() {
    echo "no-opengl: $*" >&2
    [[ -f "$work/err.txt" ]] && sed 's/^/  quillet: /' "$work/err.txt" | tail -5 >&2
    exit 1
}

drivers() {
    { grep -E '_dri\.so|libGLX_mesa|libEGL_mesa|libLLVM' "/proc/$quillet_pid/maps" || true; } | awk '{print $6}' | sort -u
}

# Starts the program with the given environment, shows its popup with the
# hot key over a focused target and hides it again.
show_once() {
    app=$(fresh_app_dir)
    env "$@" "$app/quillet" >"$work/err.txt" 2>&1 &
    quillet_pid=$!
    wait_for "$patience" '[[ -n "$(tray_icon_geometry)" ]]' || fail "the tray icon did not dock ($*)"
    # The icon docks before the key watcher has started: a pair tapped too
    # early is not seen, so it is tapped again until the popup is up.
    local attempt
    for attempt in 1 2 3 4 5; do
        "$tools/xkey" Control_R Control_R
        wait_for 2000 popup_visible && break
    done
    popup_visible || fail "the hot key did not bring up the popup ($*)"
    "$tools/xkey" Escape
    wait_for "$patience" '! popup_visible' || fail "Escape did not hide the popup ($*)"
}

start_desktop
trap 'stop_quillet; stop_target; stop_desktop; cleanup_app_dirs' EXIT
start_target

show_once -u QT_XCB_GL_INTEGRATION
found=$(drivers)
[[ -z "$found" ]] || fail "OpenGL drivers mapped after the first show: $(echo $found)"
echo "no-opengl: no driver mapped after the first show ($(awk '/VmRSS/ {print $2, $3}' /proc/$quillet_pid/status))"
stop_quillet

show_once QT_XCB_GL_INTEGRATION=xcb_glx
found=$(drivers)
[[ -n "$found" ]] || fail "with QT_XCB_GL_INTEGRATION=xcb_glx no driver was seen: the check sees nothing"
echo "no-opengl: the user's own xcb_glx loads $(echo "$found" | wc -l) driver libraries"
stop_quillet
echo "no-opengl: ok"
