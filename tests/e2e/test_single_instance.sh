# Single instance: while quillet runs, a second start from the same directory
# shows the running one's popup and exits with 0 at once; a start from
# another directory is a program of its own; a program that was killed does
# not block the next start.
set -euo pipefail
source "$(dirname "$0")/lib/desktop.sh"

fail() {
    echo "single instance: $*"
    for f in "$app"/err*.txt; do
        [[ -s "$f" ]] && { echo "--- $f"; cat "$f"; }
    done
    exit 1
}

# The process listens on its local socket once it has claimed its directory.
listening() { ss -xlp 2>/dev/null | grep -q "pid=$1,"; }
# The popup's title is "Input Dialog"; the program's other visible windows
# are its tray icons (the main window is never shown). With no pid, all
# quillet windows of the display.
windows_of() {
    if [[ -n "${1:-}" ]]; then
        xdotool search --onlyvisible --pid "$1" 2>/dev/null || true
    else
        xdotool search --onlyvisible --classname '^quillet$' 2>/dev/null || true
    fi
}
popup_window() { xdotool search --all --onlyvisible --pid "$1" --name '^Input Dialog$' 2>/dev/null; }
# shellcheck disable=SC2120  # called with a pid inside wait_for's condition
tray_icons() { comm -23 <(windows_of "${1:-}" | sort) <(xdotool search --onlyvisible --name '^Input Dialog$' 2>/dev/null | sort); }

app=$(fresh_app_dir)
other=$(fresh_app_dir)
links=$(fresh_app_dir)
ln -s "$app/quillet" "$links/quillet-link"

for mode in "" --wm; do
    start_desktop $mode

    "$app/quillet" 2>"$app/err1.txt" &
    first=$!
    wait_for 5000 "listening $first" || fail "the first start never took its directory ($mode)"
    wait_for 5000 '[[ -n "$(tray_icons $first)" ]]' || fail "the first start docked no tray icon ($mode)"
    ! popup_window "$first" >/dev/null || fail "the popup was shown before anyone asked ($mode)"

    # The second start answers quickly with 0 and leaves the first running.
    run_start "$app/err2.txt" "$app/quillet"
    took=$start_ms
    [[ $start_code -eq 0 ]] || fail "the second start exited with $start_code ($mode)"
    [[ $took -lt 3000 ]] || fail "the second start took $took ms ($mode)"
    grep -q "another instance is running" "$app/err2.txt" || fail "the second start said nothing ($mode)"
    kill -0 "$first" 2>/dev/null || fail "the first process ended ($mode)"

    # ... the first one's popup is on the screen now, and there is still
    # just one tray icon.
    wait_for 3000 "popup_window $first >/dev/null" || fail "the running program did not show its popup ($mode)"
    popup=$(popup_window "$first" | head -1)
    xwininfo -id "$popup" | grep -q "IsViewable" || fail "the popup is not viewable ($mode)"
    icons=$(tray_icons | wc -l)
    [[ $icons -eq 1 ]] || fail "$icons tray icons after the second start ($mode)"
    echo "second start: exit 0 after $took ms, popup $popup shown ($mode)"

    # Started through a link, it is still the same program (the directory
    # is the executable's real one).
    run_start "$app/err3.txt" "$links/quillet-link"
    [[ $start_code -eq 0 ]] || fail "a start through a link exited with $start_code ($mode)"
    grep -q "another instance is running" "$app/err3.txt" || fail "a start through a link was not recognised ($mode)"

    # Another directory holds other files: it runs alongside.
    "$other/quillet" 2>"$app/err4.txt" &
    second=$!
    wait_for 5000 "listening $second" || fail "a program from another directory did not start ($mode)"
    kill -0 "$first" 2>/dev/null || fail "the first process ended when another directory started ($mode)"
    kill "$second"
    wait "$second" 2>/dev/null || true

    # A program killed outright leaves its socket file behind; the next start
    # must take over instead of asking a dead process.
    kill -KILL "$first"
    wait "$first" 2>/dev/null || true
    "$app/quillet" 2>"$app/err5.txt" &
    next=$!
    wait_for 5000 "listening $next" || fail "the start after a killed program did not take over ($mode)"
    kill -0 "$next" 2>/dev/null || fail "the start after a killed program ended ($mode)"
    ! grep -q "another instance" "$app/err5.txt" || fail "the start after a killed program saw a ghost ($mode)"
    kill "$next"
    wait "$next" 2>/dev/null || true

    stop_desktop
done
echo "single instance: ok"
