# Start-up: without a notification area the program says so and exits with 1;
# on an X11 desktop with a tray host it keeps running until it is ended.
set -euo pipefail
source "$(dirname "$0")/lib/desktop.sh"

app=$(fresh_app_dir)

# No notification area (offscreen platform): exit code 1 and one clear line.
set +e
QT_QPA_PLATFORM=offscreen "$app/quillet" 2>"$app/err.txt"
code=$?
set -e
[[ $code -eq 1 ]] || { echo "expected exit code 1 without a tray, got $code"; exit 1; }
grep -q "no notification area" "$app/err.txt" || { echo "no message on stderr:"; cat "$app/err.txt"; exit 1; }

# A Wayland session is named as such before anything else happens.
set +e
WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=offscreen "$app/quillet" 2>"$app/err.txt"
set -e
grep -q "Wayland session" "$app/err.txt" || { echo "no Wayland line:"; cat "$app/err.txt"; exit 1; }

for mode in "" --wm; do
    start_desktop $mode
    "$app/quillet" 2>"$app/err.txt" &
    pid=$!
    sleep 1
    kill -0 "$pid" 2>/dev/null || { echo "quillet ended on a desktop with a tray ($mode)"; cat "$app/err.txt"; exit 1; }
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    stop_desktop
done
# An X server without RECORD and XTEST: the program still runs, says once
# on standard error what is missing, and shows the same line as a balloon
# from its tray icon (a second visible window of its own, wider than the icon).
XVFB_EXTRA_ARGS="-extension RECORD -extension XTEST" start_desktop
"$app/quillet" 2>"$app/err.txt" &
pid=$!
balloon_shown() {
    local win
    for win in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        [[ $(xwininfo -id "$win" | awk '/Width:/ {print $2}') -gt 100 ]] && return 0
    done
    return 1
}
wait_for 10000 balloon_shown || { echo "no balloon for the missing extensions"; cat "$app/err.txt"; exit 1; }
kill -0 "$pid" 2>/dev/null || { echo "quillet ended without RECORD and XTEST"; exit 1; }
lines=$(grep -c "^quillet:" "$app/err.txt" || true)
[[ $lines -eq 1 ]] && grep -q "RECORD extension.*XTEST extension" "$app/err.txt" \
    || { echo "expected one line naming RECORD and XTEST:"; cat "$app/err.txt"; exit 1; }
kill "$pid"
wait "$pid" 2>/dev/null || true
stop_desktop
echo "startup: ok"
