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
echo "startup: ok"
